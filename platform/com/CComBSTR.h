#pragma once
// Owner of one BSTR; keeps null apart from empty.
#include "Bstr.h"

#include <string>
#include <string_view>

class CComBSTR {
public:
    BSTR m_str = nullptr;

    CComBSTR() = default;
    CComBSTR(const wchar_t* text);
    CComBSTR(std::wstring_view text);
    CComBSTR(const CComBSTR& other);
    CComBSTR(CComBSTR&& other) noexcept;
    CComBSTR& operator=(const CComBSTR& other);
    CComBSTR& operator=(CComBSTR&& other) noexcept;
    ~CComBSTR();

    operator BSTR() const { return m_str; }
    BSTR* operator&() { return &m_str; } // for out-parameters; must be empty
    uint32_t Length() const { return SysStringLen(m_str); }
    bool IsNull() const { return m_str == nullptr; }
    std::wstring_view View() const { return vlt::BstrView(m_str); }

    // A new copy for the caller to free (null for null).
    BSTR Copy() const;
    void Attach(BSTR s);
    BSTR Detach();
    void Empty();
    // Takes a copy of s (null stays null). false when memory runs out.
    bool AssignCopy(BSTR s);
};

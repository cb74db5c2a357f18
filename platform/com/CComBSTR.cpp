#include "CComBSTR.h"

#include <memory>
#include <utility>

CComBSTR::CComBSTR(const wchar_t* text) : m_str(SysAllocString(text)) {}

CComBSTR::CComBSTR(std::wstring_view text)
    : m_str(SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size())))
{
}

CComBSTR::CComBSTR(const CComBSTR& other) : m_str(other.Copy()) {}

CComBSTR::CComBSTR(CComBSTR&& other) noexcept : m_str(std::exchange(other.m_str, nullptr)) {}

CComBSTR& CComBSTR::operator=(const CComBSTR& other)
{
    if (this != std::addressof(other))
        AssignCopy(other.m_str);
    return *this;
}

CComBSTR& CComBSTR::operator=(CComBSTR&& other) noexcept
{
    if (this != std::addressof(other))
        Attach(std::exchange(other.m_str, nullptr));
    return *this;
}

CComBSTR::~CComBSTR() { SysFreeString(m_str); }

BSTR CComBSTR::Copy() const
{
    return m_str ? SysAllocStringLen(m_str, SysStringLen(m_str)) : nullptr;
}

void CComBSTR::Attach(BSTR s)
{
    if (s != m_str) {
        SysFreeString(m_str);
        m_str = s;
    }
}

BSTR CComBSTR::Detach() { return std::exchange(m_str, nullptr); }

void CComBSTR::Empty() { Attach(nullptr); }

bool CComBSTR::AssignCopy(BSTR s)
{
    if (!s) {
        Empty();
        return true;
    }
    BSTR copy = SysAllocStringLen(s, SysStringLen(s));
    if (!copy)
        return false;
    Attach(copy);
    return true;
}

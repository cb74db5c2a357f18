#pragma once
// Checks and copies shared by the channel sources.
#include "ComTypes.h"
#include "SafeArray.h"
#include "Variant.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace chansrc {

// A new BSTR copy of name for an out-parameter (an empty name gives an empty
// text). E_POINTER for a null out, E_OUTOFMEMORY when the copy fails.
HRESULT CopyText(const std::wstring& text, BSTR* out);

// The caller's array in psav, checked before anything is written into it: the
// variant is typed VT_ARRAY | vt, holds a one-dimensional array of elements of
// vt's size, and the array has room for `elements` elements. A caller's
// buffer may be labelled with another type of the same size, so the array's
// own element type is not compared. E_INVALIDARG otherwise.
HRESULT CallerArray(const VARIANT& psav, VARTYPE vt, uint64_t elements, SAFEARRAY** out);

// Number of elements of a one-dimensional array.
uint64_t ElementCount(const SAFEARRAY* psa);

// Makes v a variant of type vt holding the sample at p. v must be empty.
void StoreSample(VARIANT* v, VARTYPE vt, const void* p);

// text without white space at either end.
std::wstring TrimSpace(std::wstring_view text);

// Locks an array's data for the life of the guard.
class ArrayData {
public:
    explicit ArrayData(SAFEARRAY* psa) : m_psa(psa) { m_hr = SafeArrayAccessData(psa, &m_data); }
    ~ArrayData()
    {
        if (SUCCEEDED(m_hr))
            SafeArrayUnaccessData(m_psa);
    }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;

    HRESULT Result() const { return m_hr; }
    uint8_t* Bytes() const { return static_cast<uint8_t*>(m_data); }

private:
    SAFEARRAY* m_psa;
    void* m_data = nullptr;
    HRESULT m_hr;
};

} // namespace chansrc

#include "ChanSrcHelpers.h"

#include <cstring>
#include <cwctype>

namespace chansrc {

HRESULT CopyText(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CallerArray(const VARIANT& psav, VARTYPE vt, uint64_t elements, SAFEARRAY** out)
{
    *out = nullptr;
    if (psav.vt != (VT_ARRAY | vt) || !psav.parray)
        return E_INVALIDARG;
    SAFEARRAY* psa = psav.parray;
    if (SafeArrayGetDim(psa) != 1 || SafeArrayGetElemsize(psa) != vlt::SampleTypeSize(vt))
        return E_INVALIDARG;
    if (ElementCount(psa) < elements)
        return E_INVALIDARG;
    *out = psa;
    return S_OK;
}

uint64_t ElementCount(const SAFEARRAY* psa)
{
    return psa ? psa->rgsabound[0].cElements : 0;
}

void StoreSample(VARIANT* v, VARTYPE vt, const void* p)
{
    // Every member of the value union starts at the same address.
    v->ullVal = 0;
    std::memcpy(&v->ullVal, p, vlt::SampleTypeSize(vt));
    v->vt = vt;
}

std::wstring TrimSpace(std::wstring_view text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::iswspace(static_cast<wint_t>(text[first])))
        ++first;
    while (last > first && std::iswspace(static_cast<wint_t>(text[last - 1])))
        --last;
    return std::wstring(text.substr(first, last - first));
}

} // namespace chansrc

#include "CComVariant.h"

#include "ComInterfaces.h"

CComVariant::CComVariant(const VARIANT& v) { VariantCopy(this, &v); }
CComVariant::CComVariant(const CComVariant& v) : VARIANT() { VariantCopy(this, &v); }
CComVariant::CComVariant(CComVariant&& v) noexcept : VARIANT(static_cast<VARIANT&>(v)) { VariantInit(&v); }
CComVariant::CComVariant(int8_t v) { vt = VT_I1; cVal = v; }
CComVariant::CComVariant(uint8_t v) { vt = VT_UI1; bVal = v; }
CComVariant::CComVariant(int16_t v) { vt = VT_I2; iVal = v; }
CComVariant::CComVariant(uint16_t v) { vt = VT_UI2; uiVal = v; }
CComVariant::CComVariant(int32_t v) { vt = VT_I4; lVal = v; }
CComVariant::CComVariant(uint32_t v) { vt = VT_UI4; ulVal = v; }
CComVariant::CComVariant(int64_t v) { vt = VT_I8; llVal = v; }
CComVariant::CComVariant(uint64_t v) { vt = VT_UI8; ullVal = v; }
CComVariant::CComVariant(float v) { vt = VT_R4; fltVal = v; }
CComVariant::CComVariant(double v) { vt = VT_R8; dblVal = v; }
CComVariant::CComVariant(bool v) { vt = VT_BOOL; boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; }

CComVariant::CComVariant(std::wstring_view text)
{
    vt = VT_BSTR;
    bstrVal = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    if (!bstrVal) {
        vt = VT_ERROR;
        scode = E_OUTOFMEMORY;
    }
}

CComVariant::CComVariant(IUnknown* p)
{
    vt = VT_UNKNOWN;
    punkVal = p;
    if (p)
        p->AddRef();
}

CComVariant::~CComVariant() { VariantClear(this); }

CComVariant& CComVariant::operator=(const CComVariant& v)
{
    VariantCopy(this, &v);
    return *this;
}

CComVariant& CComVariant::operator=(CComVariant&& v) noexcept
{
    if (this != &v) {
        VariantClear(this);
        static_cast<VARIANT&>(*this) = static_cast<VARIANT&>(v);
        VariantInit(&v);
    }
    return *this;
}

HRESULT CComVariant::Detach(VARIANT* dst)
{
    if (!dst)
        return E_POINTER;
    HRESULT hr = VariantClear(dst);
    if (FAILED(hr))
        return hr;
    *dst = static_cast<VARIANT&>(*this);
    VariantInit(this);
    return S_OK;
}

HRESULT CComVariant::Attach(VARIANT* src)
{
    if (!src)
        return E_INVALIDARG;
    HRESULT hr = VariantClear(this);
    if (FAILED(hr))
        return hr;
    static_cast<VARIANT&>(*this) = *src;
    VariantInit(src);
    return S_OK;
}

CComVariant CComVariant::FromBstr(BSTR s)
{
    CComVariant v;
    v.vt = VT_BSTR;
    v.bstrVal = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
    if (s && !v.bstrVal) {
        v.vt = VT_ERROR;
        v.scode = E_OUTOFMEMORY;
    }
    return v;
}

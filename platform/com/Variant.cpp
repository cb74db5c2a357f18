#include "Variant.h"

#include "ComInterfaces.h"
#include "SafeArray.h"

#include <cstring>

void VariantInit(VARIANT* v)
{
    v->vt = VT_EMPTY;
    v->ullVal = 0;
}

HRESULT VariantClear(VARIANT* v)
{
    if (!v)
        return E_INVALIDARG;
    if (v->vt & VT_BYREF) {
        // refers to the caller's storage: nothing to free
    } else if (v->vt & VT_ARRAY) {
        HRESULT hr = SafeArrayDestroy(v->parray);
        if (FAILED(hr))
            return hr;
    } else if (v->vt == VT_BSTR) {
        SysFreeString(v->bstrVal);
    } else if (v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) {
        if (v->punkVal)
            v->punkVal->Release();
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src)
{
    if (!dst || !src)
        return E_INVALIDARG;
    if (dst == src)
        return S_OK;
    VARIANT tmp;
    tmp.vt = src->vt;
    if (src->vt & VT_BYREF) {
        tmp.byref = src->byref;
    } else if (src->vt & VT_ARRAY) {
        HRESULT hr = SafeArrayCopy(src->parray, &tmp.parray);
        if (FAILED(hr))
            return hr;
    } else if (src->vt == VT_BSTR) {
        tmp.bstrVal = src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
        if (src->bstrVal && !tmp.bstrVal)
            return E_OUTOFMEMORY;
    } else {
        tmp.ullVal = src->ullVal;
        if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && tmp.punkVal)
            tmp.punkVal->AddRef();
    }
    HRESULT hr = VariantClear(dst);
    if (FAILED(hr)) {
        VariantClear(&tmp);
        return hr;
    }
    *dst = tmp;
    return S_OK;
}

namespace vlt {

uint32_t SampleTypeSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
        return 4;
    case VT_R8:
        return 8;
    default:
        return 0;
    }
}

namespace {
// Bytes of the value a reference of this type points to; 0 for none.
size_t ValueSize(VARTYPE vt)
{
    if (vt & VT_ARRAY)
        return sizeof(SAFEARRAY*);
    switch (vt) {
    case VT_BOOL: return sizeof(VARIANT_BOOL);
    case VT_ERROR: return sizeof(HRESULT);
    case VT_I8:
    case VT_UI8: return sizeof(uint64_t);
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH: return sizeof(IUnknown*);
    default: return SampleTypeSize(vt);
    }
}

bool ArraysEqual(SAFEARRAY* a, SAFEARRAY* b)
{
    if (!a || !b)
        return a == b;
    if (a->vt != b->vt || a->rgsabound[0].cElements != b->rgsabound[0].cElements
        || a->rgsabound[0].lLbound != b->rgsabound[0].lLbound)
        return false;
    size_t bytes = size_t(a->rgsabound[0].cElements) * a->cbElements;
    return bytes == 0 || std::memcmp(a->pvData, b->pvData, bytes) == 0;
}
} // namespace

bool VariantEqual(const VARIANT& a, const VARIANT& b)
{
    if (a.vt != b.vt)
        return false;
    if (a.vt & VT_BYREF)
        return a.byref == b.byref;
    if (a.vt & VT_ARRAY)
        return ArraysEqual(a.parray, b.parray);
    switch (a.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_I1:
    case VT_UI1:
        return a.bVal == b.bVal;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return a.uiVal == b.uiVal;
    case VT_I4:
    case VT_UI4:
    case VT_ERROR:
        return a.ulVal == b.ulVal;
    case VT_R4:
        return a.fltVal == b.fltVal;
    case VT_R8:
        return a.dblVal == b.dblVal;
    case VT_I8:
    case VT_UI8:
        return a.ullVal == b.ullVal;
    case VT_BSTR:
        return BstrEqual(a.bstrVal, b.bstrVal);
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return a.punkVal == b.punkVal;
    default:
        return false;
    }
}

HRESULT VariantDeref(const VARIANT& v, VARIANT* view)
{
    if (!view)
        return E_POINTER;
    if (!(v.vt & VT_BYREF)) {
        *view = v;
        return S_OK;
    }
    if (!v.byref)
        return E_POINTER;
    const size_t size = ValueSize(v.vt & ~VT_BYREF);
    if (size == 0)
        return DISP_E_BADVARTYPE;
    VARIANT out;
    std::memcpy(&out.ullVal, v.byref, size); // every member of the union starts at the same address
    out.vt = v.vt & ~VT_BYREF;
    *view = out;
    return S_OK;
}

} // namespace vlt

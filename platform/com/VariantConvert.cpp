#include "VariantConvert.h"

#include "ComInterfaces.h"
#include "NumberParse.h"
#include "TextConv.h"
#include "VariantText.h"

#include <cfloat>
#include <cmath>
#include <cwctype>
#include <string>
#include <utility>

namespace vlt {
namespace {

// A number as read from a numeric, boolean or text variant.
struct Number {
    enum Kind { Signed, Unsigned, Float } kind = Signed;
    int64_t s = 0;
    uint64_t u = 0;
    double d = 0;
};

HRESULT ReadText(BSTR text, Number* n)
{
    const std::string s = WideToUtf8(BstrView(text));
    if (ParseNumberExact(s, n->s))
        n->kind = Number::Signed;
    else if (ParseNumberExact(s, n->u))
        n->kind = Number::Unsigned;
    else if (ParseNumberExact(s, n->d))
        n->kind = Number::Float;
    else
        return DISP_E_TYPEMISMATCH;
    return S_OK;
}

HRESULT ReadNumber(const VARIANT& v, Number* n)
{
    switch (v.vt) {
    case VT_I1: n->s = v.cVal; break;
    case VT_I2: n->s = v.iVal; break;
    case VT_I4: n->s = v.lVal; break;
    case VT_I8: n->s = v.llVal; break;
    case VT_BOOL: n->s = v.boolVal ? -1 : 0; break;
    case VT_UI1: n->kind = Number::Unsigned; n->u = v.bVal; break;
    case VT_UI2: n->kind = Number::Unsigned; n->u = v.uiVal; break;
    case VT_UI4: n->kind = Number::Unsigned; n->u = v.ulVal; break;
    case VT_UI8: n->kind = Number::Unsigned; n->u = v.ullVal; break;
    case VT_R4: n->kind = Number::Float; n->d = v.fltVal; break;
    case VT_R8: n->kind = Number::Float; n->d = v.dblVal; break;
    case VT_BSTR: return ReadText(v.bstrVal, n);
    default: return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

template <class T>
HRESULT ToInteger(const Number& n, T* out)
{
    if (n.kind == Number::Float) {
        const double r = std::nearbyint(n.d); // halves to even in the default rounding mode
        if (!(r >= -0x1p63 && r < 0x1p64))    // also refuses NaN
            return DISP_E_OVERFLOW;
        Number whole;
        if (r < 0)
            whole.s = static_cast<int64_t>(r);
        else
            whole = Number{Number::Unsigned, 0, static_cast<uint64_t>(r), 0};
        return ToInteger(whole, out);
    }
    const bool fits = n.kind == Number::Signed ? std::in_range<T>(n.s) : std::in_range<T>(n.u);
    if (!fits)
        return DISP_E_OVERFLOW;
    *out = n.kind == Number::Signed ? static_cast<T>(n.s) : static_cast<T>(n.u);
    return S_OK;
}

template <class T>
HRESULT ToFloat(const Number& n, T* out)
{
    const double d = n.kind == Number::Signed     ? static_cast<double>(n.s)
                     : n.kind == Number::Unsigned ? static_cast<double>(n.u)
                                                  : n.d;
    if (sizeof(T) == sizeof(float) && std::isfinite(d) && std::fabs(d) > FLT_MAX)
        return DISP_E_OVERFLOW;
    *out = static_cast<T>(d);
    return S_OK;
}

bool SameTextNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

HRESULT ToBool(const VARIANT& src, VARIANT_BOOL* out)
{
    if (src.vt == VT_BSTR) {
        const std::wstring_view text = BstrView(src.bstrVal);
        const bool yes = SameTextNoCase(text, L"True");
        if (yes || SameTextNoCase(text, L"False")) {
            *out = yes ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
    }
    Number n;
    HRESULT hr = ReadNumber(src, &n);
    if (FAILED(hr))
        return hr;
    const bool zero = n.kind == Number::Signed ? n.s == 0 : n.kind == Number::Unsigned ? n.u == 0 : n.d == 0.0;
    *out = zero ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

HRESULT ToText(const VARIANT& src, VARIANT* out)
{
    std::wstring text;
    HRESULT hr = VariantToText(src, &text);
    if (FAILED(hr))
        return hr;
    out->bstrVal = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    return out->bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToObject(const VARIANT& src, VARTYPE vt, VARIANT* out)
{
    if (src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH)
        return DISP_E_TYPEMISMATCH;
    if (vt == VT_UNKNOWN || !src.punkVal) {
        out->punkVal = src.punkVal;
        if (out->punkVal)
            out->punkVal->AddRef();
        return S_OK;
    }
    return SUCCEEDED(src.punkVal->QueryInterface(&out->pdispVal)) ? S_OK : DISP_E_TYPEMISMATCH;
}

// A number of any kind into out as type vt.
HRESULT ToNumber(const VARIANT& src, VARTYPE vt, VARIANT* out)
{
    Number n;
    HRESULT hr = ReadNumber(src, &n);
    if (FAILED(hr))
        return hr;
    switch (vt) {
    case VT_I1: return ToInteger(n, &out->cVal);
    case VT_UI1: return ToInteger(n, &out->bVal);
    case VT_I2: return ToInteger(n, &out->iVal);
    case VT_UI2: return ToInteger(n, &out->uiVal);
    case VT_I4: return ToInteger(n, &out->lVal);
    case VT_UI4: return ToInteger(n, &out->ulVal);
    case VT_I8: return ToInteger(n, &out->llVal);
    case VT_UI8: return ToInteger(n, &out->ullVal);
    case VT_R4: return ToFloat(n, &out->fltVal);
    case VT_R8: return ToFloat(n, &out->dblVal);
    default: return DISP_E_BADVARTYPE;
    }
}

// Converts into out, which is empty and owns the result on success.
HRESULT Convert(const VARIANT& src, VARTYPE vt, VARIANT* out)
{
    if (src.vt == vt)
        return VariantCopy(out, &src);
    if (vt & VT_ARRAY)
        return SampleTypeSize(vt & ~VT_ARRAY) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
    HRESULT hr = DISP_E_BADVARTYPE;
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
        hr = ToNumber(src, vt, out);
        break;
    case VT_BOOL:
        hr = ToBool(src, &out->boolVal);
        break;
    case VT_BSTR:
        hr = ToText(src, out);
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        hr = ToObject(src, vt, out);
        break;
    default:
        break;
    }
    if (SUCCEEDED(hr))
        out->vt = vt;
    return hr;
}

} // namespace

HRESULT VariantChangeType(VARIANT* dst, const VARIANT& src, VARTYPE vt)
{
    if (!dst)
        return E_POINTER;
    if (vt & VT_BYREF)
        return DISP_E_BADVARTYPE;
    VARIANT value;
    HRESULT hr = VariantDeref(src, &value);
    if (FAILED(hr))
        return hr;
    VARIANT out;
    hr = Convert(value, vt, &out);
    if (FAILED(hr))
        return hr;
    hr = VariantClear(dst);
    if (FAILED(hr)) {
        VariantClear(&out);
        return hr;
    }
    *dst = out;
    return S_OK;
}

} // namespace vlt

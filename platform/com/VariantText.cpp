#include "VariantText.h"

#include <cwchar>

namespace vlt {
namespace {

std::wstring FloatText(double v, int digits)
{
    wchar_t buf[64];
    const int n = std::swprintf(buf, sizeof(buf) / sizeof(buf[0]), L"%.*G", digits, v);
    return n > 0 ? std::wstring(buf, size_t(n)) : std::wstring();
}

} // namespace

HRESULT VariantToDouble(const VARIANT& v, double* out)
{
    if (!out)
        return E_POINTER;
    switch (v.vt) {
    case VT_I1: *out = v.cVal; break;
    case VT_UI1: *out = v.bVal; break;
    case VT_I2: *out = v.iVal; break;
    case VT_UI2: *out = v.uiVal; break;
    case VT_I4: *out = v.lVal; break;
    case VT_UI4: *out = v.ulVal; break;
    case VT_I8: *out = double(v.llVal); break;
    case VT_UI8: *out = double(v.ullVal); break;
    case VT_R4: *out = v.fltVal; break;
    case VT_R8: *out = v.dblVal; break;
    case VT_BOOL: *out = v.boolVal ? -1.0 : 0.0; break;
    default: return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT VariantToText(const VARIANT& v, std::wstring* out)
{
    if (!out)
        return E_POINTER;
    try {
        switch (v.vt) {
        case VT_I1: *out = std::to_wstring(v.cVal); break;
        case VT_UI1: *out = std::to_wstring(v.bVal); break;
        case VT_I2: *out = std::to_wstring(v.iVal); break;
        case VT_UI2: *out = std::to_wstring(v.uiVal); break;
        case VT_I4: *out = std::to_wstring(v.lVal); break;
        case VT_UI4: *out = std::to_wstring(v.ulVal); break;
        case VT_I8: *out = std::to_wstring(v.llVal); break;
        case VT_UI8: *out = std::to_wstring(v.ullVal); break;
        case VT_R4: *out = FloatText(v.fltVal, 7); break;
        case VT_R8: *out = FloatText(v.dblVal, 15); break;
        case VT_BOOL: *out = v.boolVal ? L"True" : L"False"; break;
        case VT_BSTR: *out = std::wstring(BstrView(v.bstrVal)); break;
        default: return DISP_E_TYPEMISMATCH;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace vlt

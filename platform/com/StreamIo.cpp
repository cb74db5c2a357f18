#include "StreamIo.h"

#include "Bstr.h"
#include "CComPtr.h"
#include "CStdFont.h"
#include "CStdPicture.h"
#include "TextConv.h"
#include "Variant.h"

#include <string>

namespace vlt {

HRESULT WriteBytes(IStream* s, const void* data, uint32_t size)
{
    uint32_t written = 0;
    HRESULT hr = s->Write(data, size, &written);
    if (FAILED(hr))
        return hr;
    return written == size ? S_OK : STG_E_WRITEFAULT;
}

HRESULT ReadBytes(IStream* s, void* data, uint32_t size)
{
    uint32_t read = 0;
    HRESULT hr = s->Read(data, size, &read);
    if (FAILED(hr))
        return hr;
    return read == size ? S_OK : STG_E_READFAULT;
}

namespace {
template <class T>
HRESULT WriteLe(IStream* s, T v)
{
    uint8_t b[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i)
        b[i] = static_cast<uint8_t>(v >> (8 * i));
    return WriteBytes(s, b, sizeof b);
}

template <class T>
HRESULT ReadLe(IStream* s, T& v)
{
    uint8_t b[sizeof(T)];
    HRESULT hr = ReadBytes(s, b, sizeof b);
    if (FAILED(hr))
        return hr;
    T out = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        out |= static_cast<T>(T(b[i]) << (8 * i));
    v = out;
    return S_OK;
}
} // namespace

HRESULT WriteU16(IStream* s, uint16_t v) { return WriteLe(s, v); }
HRESULT WriteU32(IStream* s, uint32_t v) { return WriteLe(s, v); }
HRESULT WriteU64(IStream* s, uint64_t v) { return WriteLe(s, v); }
HRESULT ReadU16(IStream* s, uint16_t& v) { return ReadLe(s, v); }
HRESULT ReadU32(IStream* s, uint32_t& v) { return ReadLe(s, v); }
HRESULT ReadU64(IStream* s, uint64_t& v) { return ReadLe(s, v); }

HRESULT WriteGuid(IStream* s, const GUID& g)
{
    HRESULT hr = WriteU32(s, g.Data1);
    if (SUCCEEDED(hr))
        hr = WriteU16(s, g.Data2);
    if (SUCCEEDED(hr))
        hr = WriteU16(s, g.Data3);
    if (SUCCEEDED(hr))
        hr = WriteBytes(s, g.Data4, 8);
    return hr;
}

HRESULT ReadGuid(IStream* s, GUID& g)
{
    GUID tmp;
    HRESULT hr = ReadU32(s, tmp.Data1);
    if (SUCCEEDED(hr))
        hr = ReadU16(s, tmp.Data2);
    if (SUCCEEDED(hr))
        hr = ReadU16(s, tmp.Data3);
    if (SUCCEEDED(hr))
        hr = ReadBytes(s, tmp.Data4, 8);
    if (SUCCEEDED(hr))
        g = tmp;
    return hr;
}

HRESULT WriteText(IStream* s, BSTR text)
{
    if (!text)
        return WriteU32(s, 0xFFFFFFFFu);
    std::string utf8 = WideToUtf8(BstrView(text));
    if (utf8.size() >= 0xFFFFFFFFu)
        return E_INVALIDARG;
    HRESULT hr = WriteU32(s, static_cast<uint32_t>(utf8.size()));
    if (SUCCEEDED(hr))
        hr = WriteBytes(s, utf8.data(), static_cast<uint32_t>(utf8.size()));
    return hr;
}

HRESULT ReadText(IStream* s, BSTR* pText, uint32_t maxBytes)
{
    if (!pText)
        return E_POINTER;
    *pText = nullptr;
    uint32_t len = 0;
    HRESULT hr = ReadU32(s, len);
    if (FAILED(hr))
        return hr;
    if (len == 0xFFFFFFFFu)
        return S_OK;
    if (len > maxBytes)
        return STG_E_READFAULT;
    std::string utf8(len, '\0');
    hr = ReadBytes(s, utf8.data(), len);
    if (FAILED(hr))
        return hr;
    std::wstring wide = Utf8ToWide(utf8);
    *pText = SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
    return *pText ? S_OK : E_OUTOFMEMORY;
}

HRESULT SaveObject(IStream* s, IUnknown* obj)
{
    if (!obj)
        return WriteGuid(s, GUID_NULL);
    CComPtr<IPersistStream> persist;
    if (FAILED(obj->QueryInterface(&persist)))
        return E_NOINTERFACE;
    CLSID clsid;
    HRESULT hr = persist->GetClassID(&clsid);
    if (SUCCEEDED(hr))
        hr = WriteGuid(s, clsid);
    if (SUCCEEDED(hr))
        hr = persist->Save(s, true);
    return hr;
}

HRESULT LoadObject(IStream* s, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CLSID clsid;
    HRESULT hr = ReadGuid(s, clsid);
    if (FAILED(hr) || clsid == GUID_NULL)
        return hr;
    CComPtr<IPersistStream> persist;
    if (clsid == CLSID_StdFont)
        hr = CStdFont::CreateDefault(IPersistStream::iid, reinterpret_cast<void**>(&persist));
    else if (clsid == CLSID_StdPicture)
        hr = CStdPicture::CreateEmpty(IPersistStream::iid, reinterpret_cast<void**>(&persist));
    else
        return REGDB_E_CLASSNOTREG;
    if (SUCCEEDED(hr))
        hr = persist->Load(s);
    if (SUCCEEDED(hr))
        hr = persist->QueryInterface(riid, ppv);
    return hr;
}

namespace {
uint32_t ValueBytes(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        return 0;
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
        return 8;
    default:
        return UINT32_MAX;
    }
}
} // namespace

HRESULT WriteVariant(IStream* s, const VARIANT& v)
{
    if (v.vt == VT_BSTR || v.vt == VT_UNKNOWN) {
        HRESULT hr = WriteU16(s, v.vt);
        if (FAILED(hr))
            return hr;
        return v.vt == VT_BSTR ? WriteText(s, v.bstrVal) : SaveObject(s, v.punkVal);
    }
    const uint32_t n = ValueBytes(v.vt);
    if (n == UINT32_MAX)
        return DISP_E_BADVARTYPE;
    HRESULT hr = WriteU16(s, v.vt);
    if (SUCCEEDED(hr) && n > 0)
        hr = WriteU64(s, v.ullVal & (n == 8 ? ~0ull : ((1ull << (8 * n)) - 1)));
    return hr;
}

HRESULT ReadVariant(IStream* s, VARIANT* pv)
{
    if (!pv)
        return E_POINTER;
    VariantInit(pv);
    uint16_t vt = 0;
    HRESULT hr = ReadU16(s, vt);
    if (FAILED(hr))
        return hr;
    if (vt == VT_BSTR) {
        BSTR text = nullptr;
        hr = ReadText(s, &text);
        if (SUCCEEDED(hr)) {
            pv->vt = VT_BSTR;
            pv->bstrVal = text;
        }
        return hr;
    }
    if (vt == VT_UNKNOWN) {
        IUnknown* obj = nullptr;
        hr = LoadObject(s, IUnknown::iid, reinterpret_cast<void**>(&obj));
        if (SUCCEEDED(hr)) {
            pv->vt = VT_UNKNOWN;
            pv->punkVal = obj;
        }
        return hr;
    }
    const uint32_t n = ValueBytes(vt);
    if (n == UINT32_MAX)
        return DISP_E_BADVARTYPE;
    uint64_t value = 0;
    if (n > 0) {
        hr = ReadU64(s, value);
        if (FAILED(hr))
            return hr;
        if (n < 8 && (value >> (8 * n)) != 0)
            return STG_E_READFAULT;
    }
    pv->vt = vt;
    pv->ullVal = value;
    return S_OK;
}

} // namespace vlt

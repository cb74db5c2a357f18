#include "CStdPicture.h"

#include "CComPtr.h"
#include "StreamIo.h"

namespace vlt {

namespace {
constexpr uint32_t kPictureStreamVersion = 1;
}

HRESULT CStdPicture::Create(const QImage& image, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CComObject<CStdPicture>* obj = nullptr;
    HRESULT hr = CComObject<CStdPicture>::CreateInstance(&obj);
    if (FAILED(hr))
        return hr;
    CComPtr<IPicture> hold(static_cast<IPicture*>(obj));
    if (!image.isNull()) {
        obj->m_image = image.convertToFormat(QImage::Format_ARGB32);
        if (obj->m_image.isNull())
            return E_OUTOFMEMORY;
    }
    return obj->QueryInterface(riid, ppv);
}

HRESULT CStdPicture::CreateEmpty(const IID& riid, void** ppv) { return Create(QImage(), riid, ppv); }

HRESULT CStdPicture::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (QiEntry<IUnknown, IPicture>(this, riid, ppv) || QiEntry<IPicture>(this, riid, ppv)
        || QiEntry<IPictureDisp>(this, riid, ppv) || QiEntry<IPersistStream>(this, riid, ppv)
        || QiEntry<IPersist, IPersistStream>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT CStdPicture::get_Type(int16_t* pType)
{
    if (!pType)
        return E_POINTER;
    *pType = m_image.isNull() ? PICTYPE_NONE : PICTYPE_BITMAP;
    return S_OK;
}

HRESULT CStdPicture::get_Width(int32_t* pWidth)
{
    if (!pWidth)
        return E_POINTER;
    *pWidth = m_image.width();
    return S_OK;
}

HRESULT CStdPicture::get_Height(int32_t* pHeight)
{
    if (!pHeight)
        return E_POINTER;
    *pHeight = m_image.height();
    return S_OK;
}

HRESULT CStdPicture::GetImage(QImage* pImage)
{
    if (!pImage)
        return E_POINTER;
    *pImage = m_image;
    return S_OK;
}

HRESULT CStdPicture::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_StdPicture;
    return S_OK;
}

HRESULT CStdPicture::IsDirty() { return S_FALSE; }

HRESULT CStdPicture::Save(IStream* pStm, bool)
{
    if (!pStm)
        return E_POINTER;
    const uint32_t w = static_cast<uint32_t>(m_image.width());
    const uint32_t h = static_cast<uint32_t>(m_image.height());
    HRESULT hr = WriteU32(pStm, kPictureStreamVersion);
    if (SUCCEEDED(hr))
        hr = WriteU32(pStm, w);
    if (SUCCEEDED(hr))
        hr = WriteU32(pStm, h);
    for (uint32_t y = 0; SUCCEEDED(hr) && y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(static_cast<int>(y)));
        for (uint32_t x = 0; SUCCEEDED(hr) && x < w; ++x)
            hr = WriteU32(pStm, line[x]);
    }
    return hr;
}

HRESULT CStdPicture::Load(IStream* pStm)
{
    if (!pStm)
        return E_POINTER;
    uint32_t version = 0, w = 0, h = 0;
    HRESULT hr = ReadU32(pStm, version);
    if (SUCCEEDED(hr) && version != kPictureStreamVersion)
        return STG_E_OLDFORMAT;
    if (SUCCEEDED(hr))
        hr = ReadU32(pStm, w);
    if (SUCCEEDED(hr))
        hr = ReadU32(pStm, h);
    if (FAILED(hr))
        return hr;
    if (w > kMaxSide || h > kMaxSide || (w == 0) != (h == 0))
        return STG_E_READFAULT;
    QImage image;
    if (w > 0) {
        image = QImage(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32);
        if (image.isNull())
            return E_OUTOFMEMORY;
    }
    for (uint32_t y = 0; SUCCEEDED(hr) && y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (uint32_t x = 0; SUCCEEDED(hr) && x < w; ++x) {
            uint32_t px = 0;
            hr = ReadU32(pStm, px);
            line[x] = px;
        }
    }
    if (FAILED(hr))
        return hr;
    m_image = image;
    return S_OK;
}

HRESULT CStdPicture::GetSizeMax(uint64_t* pcbSize)
{
    if (!pcbSize)
        return E_POINTER;
    *pcbSize = 12 + uint64_t(m_image.width()) * uint64_t(m_image.height()) * 4;
    return S_OK;
}

} // namespace vlt

#pragma once
// Picture object: a bitmap with its size.
#include "CComObject.h"
#include "ComInterfaces.h"

#include <QImage>

namespace vlt {

class CStdPicture : public IPicture, public IPictureDisp, public IPersistStream, public CComObjectRoot {
public:
    // A picture of the image (a null image makes an empty picture).
    static HRESULT Create(const QImage& image, const IID& riid, void** ppv);
    static HRESULT CreateEmpty(const IID& riid, void** ppv);

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);

    HRESULT get_Type(int16_t* pType) override;
    HRESULT get_Width(int32_t* pWidth) override;
    HRESULT get_Height(int32_t* pHeight) override;
    HRESULT GetImage(QImage* pImage) override;

    HRESULT GetClassID(CLSID* pClassID) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* pStm) override;
    HRESULT Save(IStream* pStm, bool clearDirty) override;
    HRESULT GetSizeMax(uint64_t* pcbSize) override;

    // Largest width or height accepted from a stream.
    static constexpr uint32_t kMaxSide = 8192;

private:
    QImage m_image; // ARGB32, or null when empty
};

} // namespace vlt

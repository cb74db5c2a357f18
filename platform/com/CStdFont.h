#pragma once
// Font object: face, size in points, weight, character set and style flags.
#include "CComBSTR.h"
#include "CComObject.h"
#include "ComInterfaces.h"

#include <cstdint>

class QFont;

struct FONTDESC {
    const wchar_t* lpstrName = L"";
    double points = 8.0;
    int16_t sWeight = 400;
    int16_t sCharset = 0;
    bool fItalic = false;
    bool fUnderline = false;
    bool fStrikethrough = false;
};

// Makes a font object from the description and hands out riid.
HRESULT OleCreateFontIndirect(const FONTDESC& desc, const IID& riid, void** ppv);

namespace vlt {

class CStdFont : public IFont, public IFontDisp, public IPersistStream, public CComObjectRoot {
public:
    static HRESULT Create(const FONTDESC& desc, const IID& riid, void** ppv);
    static HRESULT CreateDefault(const IID& riid, void** ppv);

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);

    HRESULT get_Name(BSTR* pName) override;
    HRESULT put_Name(BSTR name) override;
    HRESULT get_Size(double* pPoints) override;
    HRESULT put_Size(double points) override;
    HRESULT get_Weight(int16_t* pWeight) override;
    HRESULT put_Weight(int16_t weight) override;
    HRESULT get_Charset(int16_t* pCharset) override;
    HRESULT Clone(IFont** ppFont) override;
    HRESULT IsEqual(IFont* pOther) override;

    HRESULT GetClassID(CLSID* pClassID) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* pStm) override;
    HRESULT Save(IStream* pStm, bool clearDirty) override;
    HRESULT GetSizeMax(uint64_t* pcbSize) override;

private:
    FONTDESC Desc() const;
    HRESULT SetDesc(const FONTDESC& d);

    CComBSTR m_name{L""};
    double m_points = 8.0;
    int16_t m_weight = 400;
    int16_t m_charset = 0;
    bool m_italic = false;
    bool m_underline = false;
    bool m_strike = false;
    bool m_dirty = false;
};

// The Qt font for a font object (the application's default for null).
QFont FontToQFont(IUnknown* font);

} // namespace vlt

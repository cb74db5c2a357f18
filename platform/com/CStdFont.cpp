#include "CStdFont.h"

#include "CComPtr.h"
#include "StreamIo.h"
#include "TextConv.h"

#include <QFont>
#include <QString>
#include <algorithm>
#include <cmath>

namespace {
constexpr uint32_t kFontStreamVersion = 1;
constexpr uint32_t kMaxFaceBytes = 1024;
// Sizes are kept in ten-thousandths of a point on the stream, as currency.
constexpr double kSizeScale = 10000.0;
constexpr double kMaxPoints = 16384.0;
} // namespace

HRESULT OleCreateFontIndirect(const FONTDESC& desc, const IID& riid, void** ppv)
{
    return vlt::CStdFont::Create(desc, riid, ppv);
}

namespace vlt {

HRESULT CStdFont::Create(const FONTDESC& desc, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CComObject<CStdFont>* obj = nullptr;
    HRESULT hr = CComObject<CStdFont>::CreateInstance(&obj);
    if (FAILED(hr))
        return hr;
    CComPtr<IFont> hold(static_cast<IFont*>(obj));
    hr = obj->SetDesc(desc);
    if (SUCCEEDED(hr))
        hr = obj->QueryInterface(riid, ppv);
    return hr;
}

HRESULT CStdFont::CreateDefault(const IID& riid, void** ppv)
{
    return Create(FONTDESC{}, riid, ppv);
}

HRESULT CStdFont::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (QiEntry<IUnknown, IFont>(this, riid, ppv) || QiEntry<IFont>(this, riid, ppv)
        || QiEntry<IFontDisp>(this, riid, ppv) || QiEntry<IPersistStream>(this, riid, ppv)
        || QiEntry<IPersist, IPersistStream>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

FONTDESC CStdFont::Desc() const
{
    FONTDESC d;
    d.lpstrName = m_name.m_str ? m_name.m_str : L"";
    d.points = m_points;
    d.sWeight = m_weight;
    d.sCharset = m_charset;
    d.fItalic = m_italic;
    d.fUnderline = m_underline;
    d.fStrikethrough = m_strike;
    return d;
}

HRESULT CStdFont::SetDesc(const FONTDESC& d)
{
    if (!(d.points > 0.0 && d.points <= kMaxPoints))
        return E_INVALIDARG;
    CComBSTR name(d.lpstrName ? d.lpstrName : L"");
    if (name.IsNull())
        return E_OUTOFMEMORY;
    m_name = std::move(name);
    m_points = d.points;
    m_weight = d.sWeight;
    m_charset = d.sCharset;
    m_italic = d.fItalic;
    m_underline = d.fUnderline;
    m_strike = d.fStrikethrough;
    return S_OK;
}

HRESULT CStdFont::get_Name(BSTR* pName)
{
    if (!pName)
        return E_POINTER;
    *pName = m_name.Copy();
    return *pName ? S_OK : E_OUTOFMEMORY;
}

HRESULT CStdFont::put_Name(BSTR name)
{
    if (!name)
        return E_INVALIDARG;
    if (!m_name.AssignCopy(name))
        return E_OUTOFMEMORY;
    m_dirty = true;
    return S_OK;
}

HRESULT CStdFont::get_Size(double* pPoints)
{
    if (!pPoints)
        return E_POINTER;
    *pPoints = m_points;
    return S_OK;
}

HRESULT CStdFont::put_Size(double points)
{
    if (!(points > 0.0 && points <= kMaxPoints))
        return E_INVALIDARG;
    m_points = points;
    m_dirty = true;
    return S_OK;
}

HRESULT CStdFont::get_Weight(int16_t* pWeight)
{
    if (!pWeight)
        return E_POINTER;
    *pWeight = m_weight;
    return S_OK;
}

HRESULT CStdFont::put_Weight(int16_t weight)
{
    m_weight = weight;
    m_dirty = true;
    return S_OK;
}

HRESULT CStdFont::get_Charset(int16_t* pCharset)
{
    if (!pCharset)
        return E_POINTER;
    *pCharset = m_charset;
    return S_OK;
}

HRESULT CStdFont::Clone(IFont** ppFont)
{
    return Create(Desc(), IFont::iid, reinterpret_cast<void**>(ppFont));
}

HRESULT CStdFont::IsEqual(IFont* pOther)
{
    if (!pOther)
        return E_POINTER;
    CComBSTR name;
    double points = 0;
    int16_t weight = 0, charset = 0;
    if (FAILED(pOther->get_Name(&name)) || FAILED(pOther->get_Size(&points))
        || FAILED(pOther->get_Weight(&weight)) || FAILED(pOther->get_Charset(&charset)))
        return S_FALSE;
    bool same = name.View() == m_name.View() && points == m_points && weight == m_weight && charset == m_charset;
    return same ? S_OK : S_FALSE;
}

HRESULT CStdFont::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_StdFont;
    return S_OK;
}

HRESULT CStdFont::IsDirty() { return m_dirty ? S_OK : S_FALSE; }

HRESULT CStdFont::Save(IStream* pStm, bool clearDirty)
{
    if (!pStm)
        return E_POINTER;
    uint8_t flags = (m_italic ? 1 : 0) | (m_underline ? 2 : 0) | (m_strike ? 4 : 0);
    HRESULT hr = WriteU32(pStm, kFontStreamVersion);
    if (SUCCEEDED(hr))
        hr = WriteText(pStm, m_name);
    if (SUCCEEDED(hr))
        hr = WriteU64(pStm, static_cast<uint64_t>(std::llround(m_points * kSizeScale)));
    if (SUCCEEDED(hr))
        hr = WriteU16(pStm, static_cast<uint16_t>(m_weight));
    if (SUCCEEDED(hr))
        hr = WriteU16(pStm, static_cast<uint16_t>(m_charset));
    if (SUCCEEDED(hr))
        hr = WriteBytes(pStm, &flags, 1);
    if (SUCCEEDED(hr) && clearDirty)
        m_dirty = false;
    return hr;
}

HRESULT CStdFont::Load(IStream* pStm)
{
    if (!pStm)
        return E_POINTER;
    uint32_t version = 0;
    HRESULT hr = ReadU32(pStm, version);
    if (FAILED(hr))
        return hr;
    if (version != kFontStreamVersion)
        return STG_E_OLDFORMAT;
    CComBSTR name;
    uint64_t size = 0;
    uint16_t weight = 0, charset = 0;
    uint8_t flags = 0;
    hr = ReadText(pStm, &name, kMaxFaceBytes);
    if (SUCCEEDED(hr))
        hr = ReadU64(pStm, size);
    if (SUCCEEDED(hr))
        hr = ReadU16(pStm, weight);
    if (SUCCEEDED(hr))
        hr = ReadU16(pStm, charset);
    if (SUCCEEDED(hr))
        hr = ReadBytes(pStm, &flags, 1);
    if (FAILED(hr))
        return hr;
    if (name.IsNull())
        return STG_E_READFAULT;
    FONTDESC d;
    d.lpstrName = name.m_str;
    d.points = static_cast<double>(size) / kSizeScale;
    d.sWeight = static_cast<int16_t>(weight);
    d.sCharset = static_cast<int16_t>(charset);
    d.fItalic = flags & 1;
    d.fUnderline = flags & 2;
    d.fStrikethrough = flags & 4;
    hr = SetDesc(d);
    if (FAILED(hr))
        return STG_E_READFAULT;
    m_dirty = false;
    return S_OK;
}

HRESULT CStdFont::GetSizeMax(uint64_t* pcbSize)
{
    if (!pcbSize)
        return E_POINTER;
    *pcbSize = 4 + 4 + kMaxFaceBytes + 8 + 2 + 2 + 1;
    return S_OK;
}

QFont FontToQFont(IUnknown* font)
{
    CComPtr<IFont> f;
    if (!font || FAILED(font->QueryInterface(&f)))
        return QFont();
    CComBSTR name;
    double points = 8.0;
    int16_t weight = 400;
    f->get_Name(&name);
    f->get_Size(&points);
    f->get_Weight(&weight);
    QFont q(QString::fromStdString(WideToUtf8(name.View())));
    q.setPointSizeF(points);
    // Qt weights run from 1 to 1000 like the face weights here.
    q.setWeight(static_cast<QFont::Weight>(std::clamp<int>(weight, 1, 1000)));
    return q;
}

} // namespace vlt

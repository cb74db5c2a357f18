#include "CScopeCtrl.h"

#include "CSampleTipWindow.h"
#include "CScopeWnd.h"
#include "ChanSrcCreate.h"
#include "GdiDraw.h"
#include "CStdFont.h"
#include "CStdPicture.h"
#include "OleColor.h"
#include "ScopeDispatch.h"
#include "ScopeImages.h"
#include "TimerSet.h"

#include <QPainter>
#include <QScrollBar>
#include <cfloat>
#include <cmath>
#include <limits>

namespace {

FONTDESC DefaultFontDesc()
{
    FONTDESC d;
    d.lpstrName = L"MS Shell Dlg";
    d.points = 8.0;
    d.sWeight = 400;
    return d;
}

CComPtr<IFontDisp> MakeFont(int16_t weight)
{
    FONTDESC d = DefaultFontDesc();
    CComPtr<IFontDisp> font;
    if (FAILED(OleCreateFontIndirect(d, IFontDisp::iid, reinterpret_cast<void**>(&font)))) {
        d.lpstrName = L"Microsoft Sans Serif";
        d.points = 9.0;
        OleCreateFontIndirect(d, IFontDisp::iid, reinterpret_cast<void**>(&font));
    }
    CComPtr<IFont> face;
    if (font && weight != d.sWeight && SUCCEEDED(font.QueryInterface(&face)))
        face->put_Weight(weight);
    return font;
}

QPen MakePen(OLE_COLOR colour, TQ8GridLineStyle style = LineSolid)
{
    return gdidraw::CosmeticPen(vlt::OleColorToQColor(colour), style);
}

VARIANT_BOOL AsBool(bool b) { return b ? 1 : 0; }

bool IsFraction(double v) { return v >= 0.0 && v <= 1.0; } // false for NaN

} // namespace

CScopeCtrl::CScopeCtrl()
    : m_cpPropNotify(this, IPropertyNotifySink::iid),
      m_cpEvents(this, _IScopeTQ8Events::iid),
      m_cpEvents2(this, _IScopeTQ8Events2::iid)
{
}

CScopeCtrl::~CScopeCtrl()
{
    delete m_wnd.data();
}

HRESULT CScopeCtrl::FinalConstruct()
{
    m_font = MakeFont(400);
    m_axisFont = MakeFont(400);
    m_emphasisFont = MakeFont(600);

    m_backColor = GetSysColor(COLOR_BTNFACE);
    m_scopeForeColor = 0x11DDEE;
    m_scopeBackColor = 0x808000;
    m_defaultChannelColor = 0xFFFFFF;
    m_borderColor = 0;
    m_foreColor = 0;
    m_traceColor = 0x00FFFF;
    m_segmentLineColor = 0x00DD80;

    for (int mark = 0; mark < 2; ++mark) {
        m_trigMarks[mark].lineColor = 0xFFBF00;
        CreateDefaultTrigMarkPicture(mark);
    }

    try {
        m_channelColors = {{0, 0x00FF00}, {1, 0xFF0000}, {2, 0x241CED}, {3, 0x0EC9FF}};
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

    m_marginLeft = m_marginTop = m_marginRight = m_marginBottom = 4;

    if (m_scrollBarMode == ScrollbarYes || (m_scrollBarMode == ScrollbarAuto && MaxSampleCount() > m_pageWidth))
        CreateScrollBar(false);

    m_layoutRect = PixRect();
    m_tipChannel = kNone;
    m_tipSample = kNoSample;

    m_emptyPlotOriginal = MakeEmptyPlotImage();
    RecolourEmptyPlot();
    return S_OK;
}

void CScopeCtrl::FinalRelease()
{
    ReleaseDrawingResources();
}

HRESULT CScopeCtrl::InternalQueryInterface(const IID& riid, void** ppv)
{
    using vlt::QiEntry;
    if (QiEntry<IUnknown, IScopeTQ8>(this, riid, ppv) || QiEntry<IScopeTQ8>(this, riid, ppv)
        || QiEntry<IDispatch, IScopeTQ8>(this, riid, ppv) || QiEntry<IPersistStreamInit>(this, riid, ppv)
        || QiEntry<IPersist, IPersistStreamInit>(this, riid, ppv) || QiEntry<IOleWindow, IOleInPlaceObject>(this, riid, ppv)
        || QiEntry<IOleInPlaceObject>(this, riid, ppv) || QiEntry<IConnectionPointContainer>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

// ---- notification and redraw ----

void CScopeCtrl::NotifyChanged(DISPID id)
{
    m_cpPropNotify.Fire<IPropertyNotifySink>([id](IPropertyNotifySink* sink) { return sink->OnChanged(id); });
}

HRESULT CScopeCtrl::RequestEdit(DISPID id)
{
    for (auto& sink : m_cpPropNotify.Snapshot<IPropertyNotifySink>())
        if (sink->OnRequestEdit(id) == S_FALSE)
            return S_FALSE;
    return S_OK;
}

bool CScopeCtrl::WindowExists() const { return !m_wnd.isNull(); }

void CScopeCtrl::Invalidate()
{
    ++m_invalidateCount;
    if (WindowExists())
        m_wnd->update();
}

void CScopeCtrl::Redraw()
{
    m_flags |= LayoutDirty;
    Invalidate();
}

template <class T>
HRESULT CScopeCtrl::PutStock(DISPID id, T& member, T value)
{
    if (RequestEdit(id) == S_FALSE)
        return S_FALSE;
    member = value;
    m_requiresSave = true;
    NotifyChanged(id);
    Invalidate();
    return S_OK;
}

// ---- IDispatch ----

HRESULT CScopeCtrl::GetIDsOfNames(const wchar_t* const* names, uint32_t count, DISPID* ids)
{
    return ScopeIdsOfNames(names, count, ids);
}

// No member describes its failures beyond the HRESULT: EXCEPINFO stays as given.
HRESULT CScopeCtrl::Invoke(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult, EXCEPINFO*,
                           uint32_t* puArgErr)
{
    return InvokeScopeMember(this, id, flags, params, pResult, puArgErr);
}

// ---- stock properties ----

HRESULT CScopeCtrl::put_BackColor(OLE_COLOR clr)
{
    const HRESULT hr = PutStock(DISPID_BACKCOLOR, m_backColor, clr);
    if (hr == S_OK)
        m_ctrlBackBrush.reset();
    return hr;
}
HRESULT CScopeCtrl::put_BorderColor(OLE_COLOR clr) { return PutStock(DISPID_BORDERCOLOR, m_borderColor, clr); }
HRESULT CScopeCtrl::put_BorderStyle(int32_t style) { return PutStock(DISPID_BORDERSTYLE, m_borderStyle, style); }
HRESULT CScopeCtrl::put_ForeColor(OLE_COLOR clr) { return PutStock(DISPID_FORECOLOR, m_foreColor, clr); }
HRESULT CScopeCtrl::put_Enabled(VARIANT_BOOL v) { return PutStock(DISPID_ENABLED, m_enabled, int32_t(v)); }
HRESULT CScopeCtrl::put_BorderVisible(VARIANT_BOOL v) { return PutStock(DISPID_BORDERVISIBLE, m_borderVisible, int32_t(v)); }

#define SCOPE_GET(value) \
    if (!pVal)           \
        return E_POINTER; \
    *pVal = (value);     \
    return S_OK

HRESULT CScopeCtrl::get_BackColor(OLE_COLOR* pVal) { SCOPE_GET(m_backColor); }
HRESULT CScopeCtrl::get_BorderColor(OLE_COLOR* pVal) { SCOPE_GET(m_borderColor); }
HRESULT CScopeCtrl::get_BorderStyle(int32_t* pVal) { SCOPE_GET(m_borderStyle); }
HRESULT CScopeCtrl::get_ForeColor(OLE_COLOR* pVal) { SCOPE_GET(m_foreColor); }
HRESULT CScopeCtrl::get_Enabled(VARIANT_BOOL* pVal) { SCOPE_GET(m_enabled ? VARIANT_TRUE : VARIANT_FALSE); }
HRESULT CScopeCtrl::get_BorderVisible(VARIANT_BOOL* pVal) { SCOPE_GET(m_borderVisible ? VARIANT_TRUE : VARIANT_FALSE); }

HRESULT CScopeCtrl::putref_Font(IFontDisp* pFont)
{
    if (RequestEdit(DISPID_FONT) == S_FALSE)
        return S_FALSE;
    m_font = pFont;
    m_requiresSave = true;
    NotifyChanged(DISPID_FONT);
    Invalidate();
    Invalidate();
    return S_OK;
}

HRESULT CScopeCtrl::put_Font(IFontDisp* pFont)
{
    if (RequestEdit(DISPID_FONT) == S_FALSE)
        return S_FALSE;
    CComPtr<IFontDisp> clone;
    CComPtr<IFont> face;
    if (pFont && SUCCEEDED(pFont->QueryInterface(&face))) {
        CComPtr<IFont> copy;
        if (SUCCEEDED(face->Clone(&copy)))
            copy.QueryInterface(&clone);
    }
    m_font = clone;
    m_requiresSave = true;
    NotifyChanged(DISPID_FONT);
    Invalidate();
    Invalidate();
    return S_OK;
}

HRESULT CScopeCtrl::get_Font(IFontDisp** ppFont)
{
    if (!ppFont)
        return E_POINTER;
    return m_font.CopyTo(ppFont);
}

HRESULT CScopeCtrl::put_Caption(BSTR strCaption)
{
    if (RequestEdit(DISPID_CAPTION) == S_FALSE)
        return S_FALSE;
    if (!m_caption.AssignCopy(strCaption))
        return E_OUTOFMEMORY;
    m_requiresSave = true;
    NotifyChanged(DISPID_CAPTION);
    Invalidate();
    return S_OK;
}

HRESULT CScopeCtrl::get_Caption(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_caption.Copy();
    return (*pVal || m_caption.IsNull()) ? S_OK : E_OUTOFMEMORY;
}

// ---- labels ----

namespace {
HRESULT CopyOut(const CComBSTR& text, BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = text.Copy();
    return (*pVal || text.IsNull()) ? S_OK : E_OUTOFMEMORY;
}
} // namespace

void CScopeCtrl::UpdateLabelFlags()
{
    auto setIf = [this](uint32_t bit, bool on) { m_flags = on ? (m_flags | bit) : (m_flags & ~bit); };
    setIf(XLabelTextSet, m_labelXL.Length() || m_labelXM.Length() || m_labelXR.Length());
    setIf(YLabelTextSet, m_labelYT.Length() || m_labelYM.Length() || m_labelYB.Length());
    setIf(Y2LabelTextSet, m_labelYT2.Length() || m_labelYM2.Length() || m_labelYB2.Length());
}

HRESULT CScopeCtrl::PutLabel(CComBSTR& label, BSTR value, DISPID id)
{
    if (vlt::BstrView(value) == label.View())
        return S_OK;
    CComBSTR copy(vlt::BstrView(value));
    if (copy.IsNull())
        return E_OUTOFMEMORY;
    label = std::move(copy);
    UpdateLabelFlags();
    NotifyChanged(id);
    bool redraw = true;
    if (id == ScopeDispId::LabelXL || id == ScopeDispId::LabelXM || id == ScopeDispId::LabelXR)
        redraw = !HasFlag(AutoXLabels);
    else if (id == ScopeDispId::LabelYT || id == ScopeDispId::LabelYM || id == ScopeDispId::LabelYB)
        redraw = !HasFlag(AutoYLabels);
    if (redraw)
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_LabelXL(BSTR* pVal) { return CopyOut(m_labelXL, pVal); }
HRESULT CScopeCtrl::put_LabelXL(BSTR v) { return PutLabel(m_labelXL, v, ScopeDispId::LabelXL); }
HRESULT CScopeCtrl::get_LabelXR(BSTR* pVal) { return CopyOut(m_labelXR, pVal); }
HRESULT CScopeCtrl::put_LabelXR(BSTR v) { return PutLabel(m_labelXR, v, ScopeDispId::LabelXR); }
HRESULT CScopeCtrl::get_LabelXM(BSTR* pVal) { return CopyOut(m_labelXM, pVal); }
HRESULT CScopeCtrl::put_LabelXM(BSTR v) { return PutLabel(m_labelXM, v, ScopeDispId::LabelXM); }
HRESULT CScopeCtrl::get_LabelYT(BSTR* pVal) { return CopyOut(m_labelYT, pVal); }
HRESULT CScopeCtrl::put_LabelYT(BSTR v) { return PutLabel(m_labelYT, v, ScopeDispId::LabelYT); }
HRESULT CScopeCtrl::get_LabelYM(BSTR* pVal) { return CopyOut(m_labelYM, pVal); }
HRESULT CScopeCtrl::put_LabelYM(BSTR v) { return PutLabel(m_labelYM, v, ScopeDispId::LabelYM); }
HRESULT CScopeCtrl::get_LabelYB(BSTR* pVal) { return CopyOut(m_labelYB, pVal); }
HRESULT CScopeCtrl::put_LabelYB(BSTR v) { return PutLabel(m_labelYB, v, ScopeDispId::LabelYB); }
HRESULT CScopeCtrl::get_LabelYT2(BSTR* pVal) { return CopyOut(m_labelYT2, pVal); }
HRESULT CScopeCtrl::put_LabelYT2(BSTR v) { return PutLabel(m_labelYT2, v, ScopeDispId::LabelYT2); }
HRESULT CScopeCtrl::get_LabelYM2(BSTR* pVal) { return CopyOut(m_labelYM2, pVal); }
HRESULT CScopeCtrl::put_LabelYM2(BSTR v) { return PutLabel(m_labelYM2, v, ScopeDispId::LabelYM2); }
HRESULT CScopeCtrl::get_LabelYB2(BSTR* pVal) { return CopyOut(m_labelYB2, pVal); }
HRESULT CScopeCtrl::put_LabelYB2(BSTR v) { return PutLabel(m_labelYB2, v, ScopeDispId::LabelYB2); }

// ---- flag properties ----

HRESULT CScopeCtrl::PutBoolFlag(uint32_t bit, VARIANT_BOOL value, DISPID id, bool notify, bool redraw)
{
    if (HasFlag(bit) == (value != 0))
        return S_OK;
    m_flags ^= bit;
    if (notify)
        NotifyChanged(id);
    if (redraw)
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_AutoXLabels(VARIANT_BOOL* pVal) { SCOPE_GET(AsBool(HasFlag(AutoXLabels))); }
HRESULT CScopeCtrl::put_AutoXLabels(VARIANT_BOOL v) { return PutBoolFlag(AutoXLabels, v, ScopeDispId::AutoXLabels, true, true); }
HRESULT CScopeCtrl::get_AutoYLabels(VARIANT_BOOL* pVal) { SCOPE_GET(AsBool(HasFlag(AutoYLabels))); }
HRESULT CScopeCtrl::put_AutoYLabels(VARIANT_BOOL v) { return PutBoolFlag(AutoYLabels, v, ScopeDispId::AutoYLabels, true, true); }
HRESULT CScopeCtrl::get_AllowDataSelection(VARIANT_BOOL* pVal) { SCOPE_GET(AsBool(HasFlag(AllowDataSelection))); }
HRESULT CScopeCtrl::put_AllowDataSelection(VARIANT_BOOL v)
{
    return PutBoolFlag(AllowDataSelection, v, ScopeDispId::AllowDataSelection, false, true);
}
HRESULT CScopeCtrl::get_ContextMenuEnabled(VARIANT_BOOL* pVal) { SCOPE_GET(AsBool(HasFlag(ContextMenuEnabled))); }
HRESULT CScopeCtrl::put_ContextMenuEnabled(VARIANT_BOOL v)
{
    return PutBoolFlag(ContextMenuEnabled, v, ScopeDispId::ContextMenuEnabled, true, false);
}
HRESULT CScopeCtrl::get_SampleValueTipsEnabled(VARIANT_BOOL* pVal) { SCOPE_GET(AsBool(HasFlag(SampleValueTipsEnabled))); }
HRESULT CScopeCtrl::put_SampleValueTipsEnabled(VARIANT_BOOL v)
{
    const bool redraw = HasFlag(SourcesPresent) && ArePointMarkersVisible(true);
    return PutBoolFlag(SampleValueTipsEnabled, v, ScopeDispId::SampleValueTipsEnabled, true, redraw);
}

// ---- numbers ----

HRESULT CScopeCtrl::PutRadix(int32_t& radix, int32_t value, DISPID id, uint32_t autoBit)
{
    if (value < 2 || value > 36)
        return E_INVALIDARG;
    if (value == radix)
        return S_OK;
    radix = value;
    NotifyChanged(id);
    if (HasFlag(autoBit))
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_AutoXLabelRadix(int32_t* pVal) { SCOPE_GET(m_xLabelRadix); }
HRESULT CScopeCtrl::put_AutoXLabelRadix(int32_t v) { return PutRadix(m_xLabelRadix, v, ScopeDispId::AutoXLabelRadix, AutoXLabels); }
HRESULT CScopeCtrl::get_AutoYLabelRadix(int32_t* pVal) { SCOPE_GET(m_yLabelRadix); }
HRESULT CScopeCtrl::put_AutoYLabelRadix(int32_t v) { return PutRadix(m_yLabelRadix, v, ScopeDispId::AutoYLabelRadix, AutoYLabels); }

HRESULT CScopeCtrl::PutMargin(int32_t& margin, int32_t value, DISPID id)
{
    if (value < 0)
        return E_INVALIDARG;
    if (value == margin)
        return S_OK;
    margin = value;
    NotifyChanged(id);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_MarginLeft(int32_t* pVal) { SCOPE_GET(m_marginLeft); }
HRESULT CScopeCtrl::put_MarginLeft(int32_t v) { return PutMargin(m_marginLeft, v, ScopeDispId::MarginLeft); }
HRESULT CScopeCtrl::get_MarginRight(int32_t* pVal) { SCOPE_GET(m_marginRight); }
HRESULT CScopeCtrl::put_MarginRight(int32_t v) { return PutMargin(m_marginRight, v, ScopeDispId::MarginRight); }
HRESULT CScopeCtrl::get_MarginTop(int32_t* pVal) { SCOPE_GET(m_marginTop); }
HRESULT CScopeCtrl::put_MarginTop(int32_t v) { return PutMargin(m_marginTop, v, ScopeDispId::MarginTop); }
HRESULT CScopeCtrl::get_MarginBottom(int32_t* pVal) { SCOPE_GET(m_marginBottom); }
HRESULT CScopeCtrl::put_MarginBottom(int32_t v) { return PutMargin(m_marginBottom, v, ScopeDispId::MarginBottom); }

HRESULT CScopeCtrl::get_StartSample(uint64_t* pVal) { SCOPE_GET(m_startSample); }

HRESULT CScopeCtrl::put_StartSample(uint64_t v)
{
    if (v == m_startSample)
        return S_OK;
    if (v != 0 && v >= MaxSampleCount())
        return E_FAIL;
    m_startSample = v;
    UpdateScrollBar(false);
    Redraw();
    NotifyChanged(ScopeDispId::StartSample);
    return S_OK;
}

HRESULT CScopeCtrl::get_PageWidth(uint32_t* pVal) { SCOPE_GET(m_pageWidth); }

HRESULT CScopeCtrl::put_PageWidth(uint32_t v)
{
    v = v < 8 ? 8 : std::min(v, m_maxPageWidth);
    if (v == m_pageWidth)
        return S_OK;
    m_pageWidth = v;
    RecomputeXScale();
    UpdateScrollBar(true);
    NotifyChanged(ScopeDispId::PageWidth);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_MaxPageWidth(uint32_t* pVal) { SCOPE_GET(m_maxPageWidth); }

HRESULT CScopeCtrl::put_MaxPageWidth(uint32_t v)
{
    const HRESULT result = v < 8 ? S_FALSE : S_OK;
    v = std::max<uint32_t>(v, 8);
    if (v == m_maxPageWidth)
        return result;
    m_maxPageWidth = v;
    NotifyChanged(ScopeDispId::MaxPageWidth);
    if (m_pageWidth > m_maxPageWidth)
        put_PageWidth(m_maxPageWidth);
    return result;
}

HRESULT CScopeCtrl::get_MaxSampleValue(int32_t* pVal) { SCOPE_GET(m_maxSampleValue); }

HRESULT CScopeCtrl::put_MaxSampleValue(int32_t v)
{
    if (v == m_maxSampleValue)
        return S_OK;
    HRESULT result = S_OK;
    m_maxSampleValue = v;
    if (v <= m_minSampleValue) {
        // Saturated: at the top of the range the maximum cannot rise above the minimum.
        m_maxSampleValue = m_minSampleValue == std::numeric_limits<int32_t>::max() ? m_minSampleValue
                                                                                   : m_minSampleValue + 1;
        result = S_FALSE;
    }
    RecomputeYScale();
    NotifyChanged(ScopeDispId::MaxSampleValue);
    Redraw();
    return result;
}

HRESULT CScopeCtrl::get_MinSampleValue(int32_t* pVal) { SCOPE_GET(m_minSampleValue); }

HRESULT CScopeCtrl::put_MinSampleValue(int32_t v)
{
    if (v == m_minSampleValue)
        return S_OK;
    HRESULT result = S_OK;
    m_minSampleValue = v;
    if (v >= m_maxSampleValue) {
        m_minSampleValue = m_maxSampleValue == std::numeric_limits<int32_t>::min() ? m_maxSampleValue
                                                                                   : m_maxSampleValue - 1;
        result = S_FALSE;
    }
    RecomputeYScale();
    NotifyChanged(ScopeDispId::MinSampleValue);
    Redraw();
    return result;
}

HRESULT CScopeCtrl::get_MaxSampleCount(uint64_t* pVal) { SCOPE_GET(MaxSampleCount()); }

HRESULT CScopeCtrl::get_HScrollBar(TQ8ScrollBar* pVal) { SCOPE_GET(m_scrollBarMode); }

HRESULT CScopeCtrl::put_HScrollBar(TQ8ScrollBar v)
{
    if (v == m_scrollBarMode)
        return S_OK;
    switch (v) {
    case ScrollbarAuto:
        if (MaxSampleCount() > m_pageWidth)
            CreateScrollBar(true);
        else
            DestroyScrollBar();
        break;
    case ScrollbarYes:
        if (!HasFlag(ScrollBarInUse) && FAILED(CreateScrollBar(true)))
            return E_FAIL;
        break;
    case ScrollbarNo:
        DestroyScrollBar();
        break;
    default:
        return E_UNEXPECTED;
    }
    // Stored before the notification, so that a sink reading it back sees the new mode.
    m_scrollBarMode = v;
    NotifyChanged(ScopeDispId::HScrollBar);
    return S_OK;
}

HRESULT CScopeCtrl::get_PointRadius(int32_t* pVal) { SCOPE_GET(m_pointRadius); }

HRESULT CScopeCtrl::put_PointRadius(int32_t v)
{
    if (static_cast<uint32_t>(v) > 16)
        return E_INVALIDARG;
    if (v == m_pointRadius)
        return S_OK;
    const bool shownBefore = ArePointMarkersVisible(false);
    m_pointRadius = v;
    NotifyChanged(ScopeDispId::PointRadius);
    if (shownBefore || ArePointMarkersVisible(false))
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::PutGridCount(int32_t& count, int32_t value, DISPID id)
{
    if (value < 0)
        return E_FAIL;
    if (value == count)
        return S_OK;
    count = value;
    NotifyChanged(id);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_GridRows(int32_t* pVal) { SCOPE_GET(m_gridRows); }
HRESULT CScopeCtrl::put_GridRows(int32_t v) { return PutGridCount(m_gridRows, v, ScopeDispId::GridRows); }
HRESULT CScopeCtrl::get_GridColumns(int32_t* pVal) { SCOPE_GET(m_gridColumns); }
HRESULT CScopeCtrl::put_GridColumns(int32_t v) { return PutGridCount(m_gridColumns, v, ScopeDispId::GridColumns); }

HRESULT CScopeCtrl::get_GridLineStyle(TQ8GridLineStyle* pVal) { SCOPE_GET(m_gridLineStyle); }

HRESULT CScopeCtrl::put_GridLineStyle(TQ8GridLineStyle v)
{
    if (v == m_gridLineStyle)
        return S_OK;
    m_gridLineStyle = v;
    NotifyChanged(ScopeDispId::GridLineStyle);
    m_gridPen.reset();
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_AxisFont(IFontDisp** pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = nullptr;
    if (!m_axisFont)
        return S_OK;
    return m_axisFont.QueryInterface(pVal);
}

HRESULT CScopeCtrl::put_AxisFont(IFontDisp* v)
{
    if (!v)
        return E_POINTER;
    m_axisFont = v;
    NotifyChanged(ScopeDispId::AxisFont);
    Redraw();
    return S_OK;
}

// ---- redraw suspension ----

HRESULT CScopeCtrl::get_Redraw(VARIANT_BOOL* pVal) { SCOPE_GET(static_cast<VARIANT_BOOL>(m_redrawFlag & 0xFFFF)); }

HRESULT CScopeCtrl::put_Redraw(VARIANT_BOOL v)
{
    if (!v) {
        if (m_redrawSuspend < std::numeric_limits<int32_t>::max())
            ++m_redrawSuspend;
        return S_OK;
    }
    --m_redrawSuspend;
    if (m_redrawSuspend <= 0) {
        m_redrawSuspend = 0;
        m_redrawFlag = 1;
        if (WindowExists()) {
            ++m_invalidateCount;
            m_wnd->repaint();
        }
    }
    return S_OK;
}

// ---- trigger marks ----

HRESULT CScopeCtrl::PutTrigStyle(int mark, TQ8ScopeTrigMark v, DISPID id)
{
    if (v == m_trigMarks[mark].style)
        return S_OK;
    m_trigMarks[mark].style = v;
    NotifyChanged(id);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::PutTrigLevel(int mark, float v, DISPID id)
{
    if (!IsFraction(v))
        return E_INVALIDARG;
    if (v == m_trigMarks[mark].level)
        return S_OK;
    m_trigMarks[mark].level = v;
    NotifyChanged(id);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::PutTrigImage(int mark, IPictureDisp* v, DISPID id)
{
    if (v)
        m_trigMarks[mark].picture = v;
    else
        CreateDefaultTrigMarkPicture(mark);
    NotifyChanged(id);
    const TQ8ScopeTrigMark style = m_trigMarks[mark].style;
    if (style == TrigMarkImage || style == TrigMarkAll)
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::GetTrigImage(int mark, IPictureDisp** pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = nullptr;
    if (!m_trigMarks[mark].picture)
        return S_OK;
    return m_trigMarks[mark].picture.QueryInterface(pVal);
}

HRESULT CScopeCtrl::PutTrigAlpha(int mark, double v, DISPID id)
{
    if (!IsFraction(v))
        return E_INVALIDARG;
    m_trigMarks[mark].imageAlpha = v;
    NotifyChanged(id);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::PutTrigColor(int mark, OLE_COLOR v, DISPID id)
{
    if (v == m_trigMarks[mark].lineColor)
        return S_OK;
    m_trigMarks[mark].lineColor = v;
    m_trigMarks[mark].linePen.reset();
    NotifyChanged(id);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_TriggerMarkStyle1(TQ8ScopeTrigMark* pVal) { SCOPE_GET(m_trigMarks[0].style); }
HRESULT CScopeCtrl::put_TriggerMarkStyle1(TQ8ScopeTrigMark v) { return PutTrigStyle(0, v, ScopeDispId::TriggerMarkStyle1); }
HRESULT CScopeCtrl::get_TrigMarkLevel1(float* pVal) { SCOPE_GET(m_trigMarks[0].level); }
HRESULT CScopeCtrl::put_TrigMarkLevel1(float v) { return PutTrigLevel(0, v, ScopeDispId::TrigMarkLevel1); }
HRESULT CScopeCtrl::get_TrigMarkImage1(IPictureDisp** pVal) { return GetTrigImage(0, pVal); }
HRESULT CScopeCtrl::put_TrigMarkImage1(IPictureDisp* v) { return PutTrigImage(0, v, ScopeDispId::TrigMarkImage1); }
HRESULT CScopeCtrl::get_TrigMarkImageAlpha1(double* pVal) { SCOPE_GET(m_trigMarks[0].imageAlpha); }
HRESULT CScopeCtrl::put_TrigMarkImageAlpha1(double v) { return PutTrigAlpha(0, v, ScopeDispId::TrigMarkImageAlpha1); }
HRESULT CScopeCtrl::get_TrigMarkLineColor1(OLE_COLOR* pVal) { SCOPE_GET(m_trigMarks[0].lineColor); }
HRESULT CScopeCtrl::put_TrigMarkLineColor1(OLE_COLOR v) { return PutTrigColor(0, v, ScopeDispId::TrigMarkLineColor1); }
HRESULT CScopeCtrl::get_TriggerMarkStyle2(TQ8ScopeTrigMark* pVal) { SCOPE_GET(m_trigMarks[1].style); }
HRESULT CScopeCtrl::put_TriggerMarkStyle2(TQ8ScopeTrigMark v) { return PutTrigStyle(1, v, ScopeDispId::TriggerMarkStyle2); }
HRESULT CScopeCtrl::get_TrigMarkLevel2(float* pVal) { SCOPE_GET(m_trigMarks[1].level); }
HRESULT CScopeCtrl::put_TrigMarkLevel2(float v) { return PutTrigLevel(1, v, ScopeDispId::TrigMarkLevel2); }
HRESULT CScopeCtrl::get_TrigMarkImage2(IPictureDisp** pVal) { return GetTrigImage(1, pVal); }
HRESULT CScopeCtrl::put_TrigMarkImage2(IPictureDisp* v) { return PutTrigImage(1, v, ScopeDispId::TrigMarkImage2); }
HRESULT CScopeCtrl::get_TrigMarkImageAlpha2(double* pVal) { SCOPE_GET(m_trigMarks[1].imageAlpha); }
HRESULT CScopeCtrl::put_TrigMarkImageAlpha2(double v) { return PutTrigAlpha(1, v, ScopeDispId::TrigMarkImageAlpha2); }
HRESULT CScopeCtrl::get_TrigMarkLineColor2(OLE_COLOR* pVal) { SCOPE_GET(m_trigMarks[1].lineColor); }
HRESULT CScopeCtrl::put_TrigMarkLineColor2(OLE_COLOR v) { return PutTrigColor(1, v, ScopeDispId::TrigMarkLineColor2); }

bool CScopeCtrl::CreateDefaultTrigMarkPicture(int mark)
{
    m_trigMarks[mark].picture.Release();
    CComPtr<IPictureDisp> picture;
    if (FAILED(vlt::CStdPicture::Create(MakeTrigMarkImage(), IPictureDisp::iid, reinterpret_cast<void**>(&picture))))
        return false;
    m_trigMarks[mark].picture = picture;
    return true;
}

// ---- colours ----

HRESULT CScopeCtrl::PutColorDropping(OLE_COLOR& member, OLE_COLOR v, DISPID id, std::optional<QPen>* pen)
{
    if (v == member)
        return S_OK;
    member = v;
    if (pen)
        pen->reset();
    NotifyChanged(id);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_ScopeForeColor(OLE_COLOR* pVal) { SCOPE_GET(m_scopeForeColor); }

HRESULT CScopeCtrl::put_ScopeForeColor(OLE_COLOR v)
{
    if (v == m_scopeForeColor)
        return S_OK;
    m_scopeForeColor = v;
    m_gridPen.reset();
    m_scopeForePen.reset();
    NotifyChanged(ScopeDispId::ScopeForeColor);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_ScopeBackColor(OLE_COLOR* pVal) { SCOPE_GET(m_scopeBackColor); }

HRESULT CScopeCtrl::put_ScopeBackColor(OLE_COLOR v)
{
    if (v == m_scopeBackColor)
        return S_OK;
    m_scopeBackColor = v;
    m_backBrush.reset();
    RecolourEmptyPlot();
    NotifyChanged(ScopeDispId::ScopeBackColor);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_TraceColor(OLE_COLOR* pVal) { SCOPE_GET(m_traceColor); }

HRESULT CScopeCtrl::put_TraceColor(OLE_COLOR v)
{
    if (v == m_traceColor)
        return S_OK;
    m_traceColor = v;
    m_selTracePen.reset();
    NotifyChanged(ScopeDispId::TraceColor);
    if (HasFlag(SourcesPresent))
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_SegmentLineColor(OLE_COLOR* pVal) { SCOPE_GET(m_segmentLineColor); }
HRESULT CScopeCtrl::put_SegmentLineColor(OLE_COLOR v)
{
    return PutColorDropping(m_segmentLineColor, v, ScopeDispId::SegmentLineColor, &m_segmentPen);
}

HRESULT CScopeCtrl::get_SegmentLineStyle(TQ8GridLineStyle* pVal) { SCOPE_GET(m_segmentLineStyle); }

HRESULT CScopeCtrl::put_SegmentLineStyle(TQ8GridLineStyle v)
{
    if (v == m_segmentLineStyle)
        return S_OK;
    m_segmentLineStyle = v;
    m_segmentPen.reset();
    NotifyChanged(ScopeDispId::SegmentLineStyle);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_SegmentSize(uint32_t* pVal) { SCOPE_GET(m_segmentSize); }

HRESULT CScopeCtrl::put_SegmentSize(uint32_t v)
{
    if (v == m_segmentSize)
        return S_OK;
    m_segmentSize = v;
    NotifyChanged(ScopeDispId::SegmentSize);
    Redraw();
    return S_OK;
}

void CScopeCtrl::RecolourEmptyPlot()
{
    // Always from the pristine image, so that repeated changes cannot merge
    // picture pixels that happen to match an earlier back colour.
    m_emptyPlot = RecolourBackground(m_emptyPlotOriginal, vlt::OleColorToQColor(m_scopeBackColor).rgb());
}

// ---- channels ----

OLE_COLOR CScopeCtrl::GetChannelColorById(uint32_t chanId) const
{
    auto it = m_channelColors.find(chanId);
    return it != m_channelColors.end() ? it->second : m_defaultChannelColor;
}

HRESULT CScopeCtrl::SetChannelColor(uint32_t chanId, OLE_COLOR colour)
{
    try {
        m_channelColors[chanId] = colour;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    CLocalChanState* chan = m_sourceTable.Channel(chanId);
    if (chan && chan->colour != colour) {
        chan->colour = colour;
        chan->DropDrawingObjects();
        ForgetKeptTraces(chanId);
    }
    if (HasFlag(SourcesPresent) && !IsChannelHidden(chanId))
        Redraw();
    return S_OK;
}

bool CScopeCtrl::IsChannelHidden(uint32_t chanId) const
{
    const CLocalChanState* chan = m_sourceTable.Channel(chanId);
    return chan && chan->IsHidden();
}

HRESULT CScopeCtrl::SetChannelVisibility(uint32_t chanId, bool hidden)
{
    CLocalChanState* chan = m_sourceTable.Channel(chanId);
    if (!chan)
        return E_NOINTERFACE;
    if (chan->IsHidden() == hidden)
        return S_OK;
    chan->flags ^= CLocalChanState::Hidden;
    ForgetKeptTraces(chanId);
    if (m_startSample < chan->totalSamples)
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_ChannelColor(uint32_t chanId, OLE_COLOR* pVal)
{
    SCOPE_GET(chanId == kNone ? m_defaultChannelColor : GetChannelColorById(chanId));
}

HRESULT CScopeCtrl::put_ChannelColor(uint32_t chanId, OLE_COLOR v)
{
    if (GetChannelColorById(chanId) == v)
        return S_OK;
    // Stored before the notification, so that a sink reading it back sees the new colour.
    SetChannelColor(chanId, v);
    NotifyChanged(ScopeDispId::ChannelColor);
    return S_OK;
}

HRESULT CScopeCtrl::put_ChannelVisibility(uint32_t chanId, VARIANT_BOOL v) { return SetChannelVisibility(chanId, v == 0); }

HRESULT CScopeCtrl::get_ChannelVisibility(uint32_t chanId, VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_POINTER;
    const CLocalChanState* chan = m_sourceTable.Channel(chanId);
    if (!chan)
        return E_NOINTERFACE;
    *pVal = AsBool(!chan->IsHidden());
    return S_OK;
}

// ---- sample tips ----

HRESULT CScopeCtrl::get_SampleValueTipsChannelId(uint32_t* pVal) { SCOPE_GET(m_tipsChannelId); }

HRESULT CScopeCtrl::put_SampleValueTipsChannelId(uint32_t v)
{
    if (v == m_tipsChannelId)
        return S_OK;
    if (v != kNone && !m_sourceTable.Channel(v))
        return E_NOINTERFACE;
    m_tipsChannelId = v;
    NotifyChanged(ScopeDispId::SampleValueTipsChannelId);
    if (HasFlag(SourcesPresent) && ArePointMarkersVisible(true))
        Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::get_SampleValueTipsRadix(int32_t* pVal) { SCOPE_GET(m_sampleTipsRadix); }

HRESULT CScopeCtrl::put_SampleValueTipsRadix(int32_t v)
{
    if (v == m_sampleTipsRadix)
        return S_OK;
    m_sampleTipsRadix = v;
    Redraw();
    return S_OK;
}

#undef SCOPE_GET

// ---- sources ----

HRESULT CScopeCtrl::AddChannelSource(IScopeTQ8ChannelSource* pChanSrc, uint32_t* pSrcId)
{
    return AddChannelSource2(pChanSrc, nullptr, 0, pSrcId);
}

HRESULT CScopeCtrl::AddChannelSource2(IScopeTQ8ChannelSource* pChanSrc, IScopeTQ8ChannelArbiter* pArbiter,
                                      uint32_t max_chan_count, uint32_t* pSrcId)
{
    if (!pChanSrc)
        return E_POINTER;
    uint32_t channels = 0;
    if (FAILED(pChanSrc->GetChannelCount(&channels)) || channels == 0)
        return E_FAIL;
    const bool firstSource = !HasFlag(SourcesPresent);
    uint32_t id = kNone;
    HRESULT hr = m_sourceTable.Add(pChanSrc, pArbiter, channels, max_chan_count,
                                   [this](uint32_t chanId) { return GetChannelColorById(chanId); }, &id);
    if (FAILED(hr))
        return hr;
    UpdateScrollBar(true);
    if (firstSource)
        FitPageWidthToSamples();
    m_flags |= SourcesPresent;
    Redraw();
    if (pSrcId)
        *pSrcId = id;
    FireOnSourceAdded(id);
    return S_OK;
}

HRESULT CScopeCtrl::RemoveChannelSource(uint32_t srcId)
{
    if (srcId == kNone)
        return ResetScopeData();
    if (!m_sourceTable.HasSource(srcId))
        return E_INVALIDARG;
    m_sourceTable.KeepIdsForReuse(srcId, m_sourceTable.FirstChannelId(srcId));
    if (m_sourceTable.Sources().size() == 1)
        return ResetScopeData();
    // Sinks still find the source and its channels while they hear of its removal.
    FireOnSourceRemoved(srcId);
    m_sourceTable.Remove(srcId);
    m_keptTraces.Drop(srcId);
    UpdateScrollBar(true);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::RefreshChannelSource(uint32_t srcId)
{
    if (srcId != kNone && !m_sourceTable.HasSource(srcId))
        return E_INVALIDARG;
    // A drawing of other totals or types is not the source's last page any more.
    if (m_sourceTable.Refresh(srcId, [this](uint32_t reshaped) { m_keptTraces.Forget(reshaped); }) == 0)
        return S_FALSE;
    UpdateScrollBar(true);
    FitPageWidthToSamples();
    if (m_startSample > MaxSampleCount())
        put_StartSample(0);
    return RefreshScope();
}

void CScopeCtrl::FitPageWidthToSamples()
{
    if (m_pageWidth > MaxSampleCount())
        put_PageWidth(static_cast<uint32_t>(MaxSampleCount()));
}

HRESULT CScopeCtrl::ResetScopeData()
{
    if (HasFlag(SourcesPresent))
        FireOnSourceRemoved(kNone);
    m_sourceTable.Clear();
    m_sampleBuffers.Clear();
    m_keptTraces.Clear();
    m_flags &= ~SourcesPresent;
    put_StartSample(0);
    UpdateScrollBar(true);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::UseExampleData() { return E_NOTIMPL; }

HRESULT CScopeCtrl::RefreshScope()
{
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::AddFileChannelSource(BSTR bstrPath, BSTR bstrName, VARTYPE vt, int32_t nChannels,
                                         uint32_t skip_hdr_bytes, uint32_t* pSrcId)
{
    // A negative count would reach the source as billions of channels.
    if (nChannels <= 0)
        return E_INVALIDARG;
    CComPtr<IScopeTQ8ChannelSource> source;
    HRESULT hr = chansrc::CreateFileSource(bstrPath, bstrName, vt, static_cast<uint32_t>(nChannels), skip_hdr_bytes,
                                           &source);
    return FAILED(hr) ? hr : AddChannelSource(source, pSrcId);
}

HRESULT CScopeCtrl::AddBufferChannelSource(BSTR bstrName, VARIANT varBuf, uint32_t nChannels, uint32_t totalSamples,
                                           VARIANT_BOOL bFreeWhenDone, uint32_t* pSrcId)
{
    if (nChannels == 0)
        return E_INVALIDARG;
    CComPtr<IScopeTQ8ChannelSource> source;
    HRESULT hr = chansrc::CreateBufferSource(bstrName, varBuf, nChannels, totalSamples, bFreeWhenDone, &source);
    return FAILED(hr) ? hr : AddChannelSource(source, pSrcId);
}

HRESULT CScopeCtrl::AddTQ8ChannelSource(void* hBrd, uint32_t total_samples, BSTR bstrName,
                                        IScopeTQ8ChannelArbiter* pArbiter, uint32_t* pSrcId)
{
    CComPtr<IScopeTQ8ChannelSource> source;
    HRESULT hr = chansrc::CreateBoardSource(hBrd, total_samples, bstrName, &source);
    // A board source keeps four channel ids, whatever its active channels.
    return FAILED(hr) ? hr : AddChannelSource2(source, pArbiter, 4, pSrcId);
}

HRESULT CScopeCtrl::GetChannelSource(uint32_t srcId, IScopeTQ8ChannelSource** srcpp)
{
    if (srcId == kNone)
        return E_INVALIDARG;
    if (!srcpp)
        return E_POINTER;
    *srcpp = m_sourceTable.Source(srcId);
    if (!*srcpp)
        return E_NOINTERFACE;
    (*srcpp)->AddRef();
    return S_OK;
}

HRESULT CScopeCtrl::GetFirstChannelIdForSource(uint32_t srcId, uint32_t* pChanId)
{
    if (srcId == kNone)
        return E_INVALIDARG;
    if (!pChanId)
        return E_POINTER;
    const uint32_t first = m_sourceTable.FirstChannelId(srcId);
    if (first == kNone)
        return E_NOINTERFACE;
    *pChanId = first;
    return S_OK;
}

HRESULT CScopeCtrl::GetSourceIdFromChanId(uint32_t chanId, uint32_t* srcId)
{
    if (chanId == kNone)
        return E_INVALIDARG;
    if (!srcId)
        return E_POINTER;
    const CLocalChanState* chan = m_sourceTable.Channel(chanId);
    if (!chan)
        return E_NOINTERFACE;
    *srcId = chan->sourceId;
    return S_OK;
}

HRESULT CScopeCtrl::GetChannelSourceCount(uint32_t* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = static_cast<uint32_t>(m_sourceTable.Sources().size());
    return S_OK;
}

HRESULT CScopeCtrl::EnumChannelSourceIds(uint32_t* bufSize, uint32_t* ids)
{
    if (!bufSize)
        return E_POINTER;
    const auto& sources = m_sourceTable.Sources();
    if (!ids) {
        *bufSize = static_cast<uint32_t>(sources.size());
        return S_OK;
    }
    uint32_t n = 0;
    for (auto it = sources.begin(); it != sources.end() && n < *bufSize; ++it)
        ids[n++] = it->first;
    return sources.size() > *bufSize ? S_FALSE : S_OK;
}

HRESULT CScopeCtrl::SetCustomLabelProvider(IScopeTQ8CustomLabelProvider* p)
{
    if (p != m_labelProvider.p)
        m_labelProvider = p;
    return S_OK;
}

HRESULT CScopeCtrl::FetchSourcePage(uint32_t srcId, uint32_t chunkFrames, PageSink sink, bool reportFailure,
                                    bool* refused)
{
    if (refused)
        *refused = false;
    // Held for the fetch: an arbiter or a sink may remove the source meanwhile.
    CComPtr<IScopeTQ8ChannelSource> source = m_sourceTable.Source(srcId);
    if (!source)
        return E_INVALIDARG;
    PageSource page;
    page.sourceId = srcId;
    HRESULT hr = source->GetChannelCount(&page.channelCount);
    if (SUCCEEDED(hr))
        hr = source->GetChannelSampleType(0, &page.sampleType);
    if (FAILED(hr))
        return hr;
    if (page.channelCount == 0)
        return S_FALSE;
    page.firstChannelId = m_sourceTable.FirstChannelId(srcId);
    CComPtr<IScopeTQ8ChannelArbiter> arbiter;
    if (const CLocalChanState* first = m_sourceTable.Channel(page.firstChannelId))
        arbiter = first->arbiter;
    if (!sourcefetch::MayReadSource(arbiter, srcId)) {
        if (refused)
            *refused = true;
        return S_FALSE;
    }

    const uint32_t chunk = std::min(m_pageWidth, chunkFrames);
    SAFEARRAY* array = nullptr;
    hr = GetSampleBuffer(page.sampleType, uint64_t(chunk) * page.channelCount, &array);
    if (FAILED(hr))
        return hr;
    VARIANT buffer;
    buffer.vt = VT_ARRAY | page.sampleType;
    buffer.parray = array;
    hr = sourcefetch::ReadSourceChunks(source, nullptr, srcId, m_startSample, m_pageWidth, chunk, &buffer,
                                       [&](const sourcefetch::Chunk& c) { return sink(page, c); });
    if (FAILED(hr) && reportFailure) {
        CComBSTR reason(sourcefetch::SourceFailureReason(source, srcId, hr));
        FireOnSourceDataError(srcId, reason);
    }
    return hr;
}

// ---- persistence ----

HRESULT CScopeCtrl::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_CScopeCtrl;
    return S_OK;
}

HRESULT CScopeCtrl::IsDirty() { return m_requiresSave ? S_OK : S_FALSE; }

HRESULT CScopeCtrl::Load(IStream* pStm)
{
    ScopeExtent extent = m_extent;
    HRESULT hr = LoadScopeProperties(static_cast<IScopeTQ8*>(this), pStm, &extent);
    if (SUCCEEDED(hr)) {
        m_extent = extent;
        m_requiresSave = false;
    }
    return hr;
}

HRESULT CScopeCtrl::Save(IStream* pStm, bool clearDirty)
{
    HRESULT hr = SaveScopeProperties(static_cast<IScopeTQ8*>(this), pStm, m_extent);
    if (SUCCEEDED(hr) && clearDirty)
        m_requiresSave = false;
    return hr;
}

HRESULT CScopeCtrl::GetSizeMax(uint64_t*) { return E_NOTIMPL; }

HRESULT CScopeCtrl::InitNew() { return S_OK; }

// ---- connection points ----

HRESULT CScopeCtrl::FindConnectionPoint(const IID& riid, IConnectionPoint** ppCP)
{
    if (!ppCP)
        return E_POINTER;
    *ppCP = nullptr;
    for (vlt::CConnectionPoint* cp : {&m_cpPropNotify, &m_cpEvents, &m_cpEvents2}) {
        if (cp->Iid() == riid) {
            cp->AddRef();
            *ppCP = cp;
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT CScopeCtrl::FireOnSelectionChange(uint64_t start, uint64_t end)
{
    return m_cpEvents.Fire<_IScopeTQ8Events>([&](_IScopeTQ8Events* s) { return s->OnSelectionChange(start, end); });
}

HRESULT CScopeCtrl::FireOnSourceAdded(uint32_t srcId)
{
    return m_cpEvents.Fire<_IScopeTQ8Events>([&](_IScopeTQ8Events* s) { return s->OnSourceAdded(srcId); });
}

HRESULT CScopeCtrl::FireOnSourceRemoved(uint32_t srcId)
{
    return m_cpEvents.Fire<_IScopeTQ8Events>([&](_IScopeTQ8Events* s) { return s->OnSourceRemoved(srcId); });
}

HRESULT CScopeCtrl::FireOnSourceDataError(uint32_t srcId, BSTR reason)
{
    return m_cpEvents2.Fire<_IScopeTQ8Events2>([&](_IScopeTQ8Events2* s) { return s->OnSourceDataError(srcId, reason); });
}

// ---- window ----

HRESULT CScopeCtrl::GetWindow(QWidget** ppWnd)
{
    if (!ppWnd)
        return E_POINTER;
    *ppWnd = m_wnd.data();
    return m_wnd ? S_OK : E_FAIL;
}

HRESULT CScopeCtrl::InPlaceActivate(QWidget* parent)
{
    if (WindowExists())
        return S_OK;
    m_wnd = new CScopeWnd(this, parent);
    OnCreate();
    m_wnd->show();
    return S_OK;
}

HRESULT CScopeCtrl::InPlaceDeactivate()
{
    // A drag or a press does not outlive the window that saw it.
    StopEdgeTimer();
    m_flags &= ~(ButtonDown | Dragging | MouseTracking);
    m_tipWindow.reset();
    delete m_wnd.data();
    m_scrollBar.clear();
    return S_OK;
}

HRESULT CScopeCtrl::SetObjectRects(int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (!WindowExists())
        return E_FAIL;
    if (width < 0 || height < 0)
        return E_INVALIDARG;
    m_wnd->setGeometry(x, y, width, height);
    Redraw();
    return S_OK;
}

void CScopeCtrl::OnWindowPaint(QWidget* wnd) { OnDraw(wnd, PixRect::FromQRect(wnd->rect())); }

void CScopeCtrl::ReleaseDrawingResources()
{
    m_scrollBar.clear();
    ResetScopeData();
    ReleaseBackBuffer();
    ReleasePlotBuffer();
}

void CScopeCtrl::ReleaseBackBuffer()
{
    m_selBuffer = QImage();
    m_backBuffer = QImage();
}

void CScopeCtrl::ReleasePlotBuffer() { m_plotBuffer = QImage(); }

bool CScopeCtrl::CreateBackBuffer(const QRect& rect)
{
    ReleaseBackBuffer();
    if (rect.isEmpty())
        return false;
    m_backBuffer = QImage(rect.size(), QImage::Format_RGB32);
    return !m_backBuffer.isNull();
}

// ---- drawing state ----

std::pair<uint64_t, uint64_t> CScopeCtrl::GetOrderedSelection() const
{
    if (HasSelection() && m_selStart > m_selEnd)
        return {m_selEnd, m_selStart};
    return {m_selStart, m_selEnd};
}

bool CScopeCtrl::HasSelection() const { return m_selStart != kNoSample && m_selEnd != kNoSample; }

bool CScopeCtrl::ArePointMarkersVisible(bool forTips) const
{
    if (m_pointRadius >= 2)
        return m_xScale > (2.0 * m_pointRadius) * 1.25;
    return forTips && m_xScale > 5.0;
}

double CScopeCtrl::XScaleFor(int32_t width, uint32_t pageWidth)
{
    const double dx = pageWidth > 2 ? double(pageWidth - 1) : 1.0;
    return std::max(width / dx, DBL_MIN);
}

double CScopeCtrl::YScaleFor(int32_t height, int32_t minValue, int32_t maxValue)
{
    // In 64 bits: the difference of two 32-bit values overflows 32 bits.
    int64_t dy = std::llabs(int64_t(maxValue) - minValue - 1);
    if (dy < 1)
        dy = 1;
    return std::max(height / double(dy), DBL_MIN);
}

void CScopeCtrl::RecomputeXScale() { m_xScale = XScaleFor(m_plotRect.Width(), m_pageWidth); }

void CScopeCtrl::RecomputeYScale() { m_yScale = YScaleFor(m_plotRect.Height(), m_minSampleValue, m_maxSampleValue); }

const QBrush& CScopeCtrl::BackgroundBrush()
{
    if (!m_backBrush)
        m_backBrush = QBrush(vlt::OleColorToQColor(m_scopeBackColor));
    return *m_backBrush;
}

const QBrush& CScopeCtrl::ControlBackBrush()
{
    if (!m_ctrlBackBrush)
        m_ctrlBackBrush = QBrush(vlt::OleColorToQColor(m_backColor));
    return *m_ctrlBackBrush;
}

const QPen& CScopeCtrl::GridPen()
{
    if (!m_gridPen)
        m_gridPen = MakePen(m_scopeForeColor, m_gridLineStyle);
    return *m_gridPen;
}

const QPen& CScopeCtrl::ScopeForePen()
{
    if (!m_scopeForePen)
        m_scopeForePen = MakePen(m_scopeForeColor);
    return *m_scopeForePen;
}

const QPen& CScopeCtrl::SelectionTracePen()
{
    // Broad while markers are drawn, so that the edge stands out beside them.
    if (!m_selTracePen && m_pointRadius > 1 && m_xScale > 2.5 * m_pointRadius)
        m_selTracePen = gdidraw::GeometricPen(vlt::OleColorToQColor(m_traceColor), 3);
    if (!m_selTracePen)
        m_selTracePen = MakePen(m_traceColor);
    return *m_selTracePen;
}

const QPen& CScopeCtrl::SegmentPen()
{
    if (!m_segmentPen)
        m_segmentPen = MakePen(m_segmentLineColor, m_segmentLineStyle);
    return *m_segmentPen;
}

const QPen& CScopeCtrl::TrigMarkPen(int mark)
{
    TrigMarkSettings& m = m_trigMarks[mark == 0 ? 0 : 1];
    if (!m.linePen)
        m.linePen = MakePen(m.lineColor, LineDotted);
    return *m.linePen;
}

#pragma once
// The oscilloscope plot control: its state, every property of IScopeTQ8,
// its channel sources, persistence, the three connection points and its
// window.
#include "CComBSTR.h"
#include "CComObject.h"
#include "CComPtr.h"
#include "CComVariant.h"
#include "CConnectionPoint.h"
#include "CKeptTraces.h"
#include "CLocalChanState.h"
#include "CSampleBuffers.h"
#include "CSourceTable.h"
#include "FunctionRef.h"
#include "PixRect.h"
#include "SafeArray.h"
#include "ScopePropertyMap.h"
#include "ScrollBarRange.h"
#include "SourceFetch.h"
#include "TQ8UI.h"
#include "TracePlot.h"
#include "TrigMarkSettings.h"

#include <QBrush>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPen>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CSampleTipWindow;
class CScopeWnd;
class QMenu;
class QPaintDevice;
class QPainter;
class QScrollBar;
namespace vlt {
class TimerSet;
}

class CScopeCtrl : public IScopeTQ8,
                   public IPersistStreamInit,
                   public IConnectionPointContainer,
                   public IOleInPlaceObject,
                   public vlt::CComObjectRoot {
public:
    // Flags word bits.
    enum : uint32_t {
        SourcesPresent = 0x2,
        XLabelTextSet = 0x4,
        YLabelTextSet = 0x8,
        Y2LabelTextSet = 0x10,
        ScrollBarPending = 0x20,
        ScrollBarInUse = 0x40,
        AutoXLabels = 0x80,
        AutoYLabels = 0x100,
        ThumbTracking = 0x200,
        AllowDataSelection = 0x800,
        ButtonDown = 0x2000,
        Dragging = 0x4000,
        EdgeTimerRunning = 0x8000,
        ContextMenuEnabled = 0x10000,
        SampleValueTipsEnabled = 0x20000,
        LayoutDirty = 0x40000,
        TipToolAdded = 0x80000,
        HotLine = 0x100000,
        MouseTracking = 0x80000000,
    };
    static constexpr uint32_t kDefaultFlags = 0x20980;
    static constexpr uint32_t kNone = 0xFFFFFFFF;
    static constexpr uint64_t kNoSample = UINT64_MAX;

    CScopeCtrl();
    virtual ~CScopeCtrl();
    CScopeCtrl(const CScopeCtrl&) = delete;
    CScopeCtrl& operator=(const CScopeCtrl&) = delete;

    HRESULT FinalConstruct();
    void FinalRelease();
    HRESULT InternalQueryInterface(const IID& riid, void** ppv);

    // IDispatch
    HRESULT GetIDsOfNames(const wchar_t* const* names, uint32_t count, DISPID* ids) override;
    HRESULT Invoke(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult, EXCEPINFO* pExcepInfo,
                   uint32_t* puArgErr) override;

    // IScopeTQ8: stock properties
    HRESULT put_BackColor(OLE_COLOR clr) override;
    HRESULT get_BackColor(OLE_COLOR* pclr) override;
    HRESULT put_BorderColor(OLE_COLOR clr) override;
    HRESULT get_BorderColor(OLE_COLOR* pclr) override;
    HRESULT put_BorderStyle(int32_t style) override;
    HRESULT get_BorderStyle(int32_t* pstyle) override;
    HRESULT putref_Font(IFontDisp* pFont) override;
    HRESULT put_Font(IFontDisp* pFont) override;
    HRESULT get_Font(IFontDisp** ppFont) override;
    HRESULT put_ForeColor(OLE_COLOR clr) override;
    HRESULT get_ForeColor(OLE_COLOR* pclr) override;
    HRESULT put_Enabled(VARIANT_BOOL vbool) override;
    HRESULT get_Enabled(VARIANT_BOOL* pbool) override;
    HRESULT put_Caption(BSTR strCaption) override;
    HRESULT get_Caption(BSTR* pstrCaption) override;
    HRESULT put_BorderVisible(VARIANT_BOOL vbool) override;
    HRESULT get_BorderVisible(VARIANT_BOOL* pbool) override;

    // IScopeTQ8: own properties
    HRESULT get_LabelXL(BSTR* pVal) override;
    HRESULT put_LabelXL(BSTR newVal) override;
    HRESULT get_LabelXR(BSTR* pVal) override;
    HRESULT put_LabelXR(BSTR newVal) override;
    HRESULT get_LabelXM(BSTR* pVal) override;
    HRESULT put_LabelXM(BSTR newVal) override;
    HRESULT get_LabelYT(BSTR* pVal) override;
    HRESULT put_LabelYT(BSTR newVal) override;
    HRESULT get_LabelYM(BSTR* pVal) override;
    HRESULT put_LabelYM(BSTR newVal) override;
    HRESULT get_LabelYB(BSTR* pVal) override;
    HRESULT put_LabelYB(BSTR newVal) override;
    HRESULT get_LabelYT2(BSTR* pVal) override;
    HRESULT put_LabelYT2(BSTR newVal) override;
    HRESULT get_LabelYM2(BSTR* pVal) override;
    HRESULT put_LabelYM2(BSTR newVal) override;
    HRESULT get_LabelYB2(BSTR* pVal) override;
    HRESULT put_LabelYB2(BSTR newVal) override;
    HRESULT get_AutoXLabels(VARIANT_BOOL* pVal) override;
    HRESULT put_AutoXLabels(VARIANT_BOOL newVal) override;
    HRESULT get_AutoYLabels(VARIANT_BOOL* pVal) override;
    HRESULT put_AutoYLabels(VARIANT_BOOL newVal) override;
    HRESULT get_AutoXLabelRadix(int32_t* pVal) override;
    HRESULT put_AutoXLabelRadix(int32_t newVal) override;
    HRESULT get_AutoYLabelRadix(int32_t* pVal) override;
    HRESULT put_AutoYLabelRadix(int32_t newVal) override;
    HRESULT get_AllowDataSelection(VARIANT_BOOL* pVal) override;
    HRESULT put_AllowDataSelection(VARIANT_BOOL newVal) override;
    HRESULT get_MarginLeft(int32_t* pVal) override;
    HRESULT put_MarginLeft(int32_t newVal) override;
    HRESULT get_MarginRight(int32_t* pVal) override;
    HRESULT put_MarginRight(int32_t newVal) override;
    HRESULT get_MarginTop(int32_t* pVal) override;
    HRESULT put_MarginTop(int32_t newVal) override;
    HRESULT get_MarginBottom(int32_t* pVal) override;
    HRESULT put_MarginBottom(int32_t newVal) override;
    HRESULT get_StartSample(uint64_t* pVal) override;
    HRESULT put_StartSample(uint64_t newVal) override;
    HRESULT get_PageWidth(uint32_t* pVal) override;
    HRESULT put_PageWidth(uint32_t newVal) override;
    HRESULT get_MaxPageWidth(uint32_t* pVal) override;
    HRESULT put_MaxPageWidth(uint32_t newVal) override;
    HRESULT get_MaxSampleValue(int32_t* pVal) override;
    HRESULT put_MaxSampleValue(int32_t newVal) override;
    HRESULT get_MinSampleValue(int32_t* pVal) override;
    HRESULT put_MinSampleValue(int32_t newVal) override;
    HRESULT get_MaxSampleCount(uint64_t* pVal) override;
    HRESULT get_HScrollBar(TQ8ScrollBar* pVal) override;
    HRESULT put_HScrollBar(TQ8ScrollBar newVal) override;
    HRESULT get_PointRadius(int32_t* pVal) override;
    HRESULT put_PointRadius(int32_t newVal) override;
    HRESULT get_GridRows(int32_t* pVal) override;
    HRESULT put_GridRows(int32_t newVal) override;
    HRESULT get_GridColumns(int32_t* pVal) override;
    HRESULT put_GridColumns(int32_t newVal) override;
    HRESULT get_GridLineStyle(TQ8GridLineStyle* pVal) override;
    HRESULT put_GridLineStyle(TQ8GridLineStyle newVal) override;
    HRESULT get_AxisFont(IFontDisp** pVal) override;
    HRESULT put_AxisFont(IFontDisp* newVal) override;
    HRESULT get_Redraw(VARIANT_BOOL* pVal) override;
    HRESULT put_Redraw(VARIANT_BOOL newVal) override;
    HRESULT get_TriggerMarkStyle1(TQ8ScopeTrigMark* pVal) override;
    HRESULT put_TriggerMarkStyle1(TQ8ScopeTrigMark newVal) override;
    HRESULT get_TrigMarkLevel1(float* pVal) override;
    HRESULT put_TrigMarkLevel1(float newVal) override;
    HRESULT get_TrigMarkImage1(IPictureDisp** pVal) override;
    HRESULT put_TrigMarkImage1(IPictureDisp* newVal) override;
    HRESULT get_TrigMarkImageAlpha1(double* pVal) override;
    HRESULT put_TrigMarkImageAlpha1(double newVal) override;
    HRESULT get_TrigMarkLineColor1(OLE_COLOR* pVal) override;
    HRESULT put_TrigMarkLineColor1(OLE_COLOR newVal) override;
    HRESULT get_TriggerMarkStyle2(TQ8ScopeTrigMark* pVal) override;
    HRESULT put_TriggerMarkStyle2(TQ8ScopeTrigMark newVal) override;
    HRESULT get_TrigMarkLevel2(float* pVal) override;
    HRESULT put_TrigMarkLevel2(float newVal) override;
    HRESULT get_TrigMarkImage2(IPictureDisp** pVal) override;
    HRESULT put_TrigMarkImage2(IPictureDisp* newVal) override;
    HRESULT get_TrigMarkImageAlpha2(double* pVal) override;
    HRESULT put_TrigMarkImageAlpha2(double newVal) override;
    HRESULT get_TrigMarkLineColor2(OLE_COLOR* pVal) override;
    HRESULT put_TrigMarkLineColor2(OLE_COLOR newVal) override;
    HRESULT get_ScopeForeColor(OLE_COLOR* pVal) override;
    HRESULT put_ScopeForeColor(OLE_COLOR newVal) override;
    HRESULT get_ScopeBackColor(OLE_COLOR* pVal) override;
    HRESULT put_ScopeBackColor(OLE_COLOR newVal) override;
    HRESULT get_TraceColor(OLE_COLOR* pVal) override;
    HRESULT put_TraceColor(OLE_COLOR newVal) override;
    HRESULT get_ChannelColor(uint32_t chanId, OLE_COLOR* pVal) override;
    HRESULT put_ChannelColor(uint32_t chanId, OLE_COLOR newVal) override;
    HRESULT put_ChannelVisibility(uint32_t chanId, VARIANT_BOOL newVal) override;
    HRESULT get_ChannelVisibility(uint32_t chanId, VARIANT_BOOL* pVal) override;
    HRESULT get_SegmentSize(uint32_t* pVal) override;
    HRESULT put_SegmentSize(uint32_t newVal) override;
    HRESULT get_SegmentLineStyle(TQ8GridLineStyle* pVal) override;
    HRESULT put_SegmentLineStyle(TQ8GridLineStyle newVal) override;
    HRESULT get_SegmentLineColor(OLE_COLOR* pVal) override;
    HRESULT put_SegmentLineColor(OLE_COLOR newVal) override;
    HRESULT put_ContextMenuEnabled(VARIANT_BOOL newVal) override;
    HRESULT get_ContextMenuEnabled(VARIANT_BOOL* pVal) override;
    HRESULT put_SampleValueTipsEnabled(VARIANT_BOOL newVal) override;
    HRESULT get_SampleValueTipsEnabled(VARIANT_BOOL* pVal) override;
    HRESULT get_SampleValueTipsChannelId(uint32_t* pVal) override;
    HRESULT put_SampleValueTipsChannelId(uint32_t newVal) override;
    HRESULT get_SampleValueTipsRadix(int32_t* pVal) override;
    HRESULT put_SampleValueTipsRadix(int32_t newVal) override;

    // IScopeTQ8: methods
    HRESULT ResetScopeData() override;
    HRESULT UseExampleData() override;
    HRESULT RefreshScope() override;
    HRESULT AddChannelSource(IScopeTQ8ChannelSource* pChanSrc, uint32_t* pSrcId) override;
    HRESULT AddChannelSource2(IScopeTQ8ChannelSource* pChanSrc, IScopeTQ8ChannelArbiter* pArbiter,
                              uint32_t max_chan_count, uint32_t* pSrcId) override;
    HRESULT RemoveChannelSource(uint32_t srcId) override;
    HRESULT RefreshChannelSource(uint32_t srcId) override;
    HRESULT GetChannelSource(uint32_t srcId, IScopeTQ8ChannelSource** srcpp) override;
    HRESULT GetFirstChannelIdForSource(uint32_t srcId, uint32_t* pChanId) override;
    HRESULT GetSourceIdFromChanId(uint32_t chanId, uint32_t* srcId) override;
    HRESULT GetChannelSourceCount(uint32_t* pVal) override;
    HRESULT EnumChannelSourceIds(uint32_t* bufSize, uint32_t* ids) override;
    HRESULT SetSelection(uint64_t start, uint64_t end) override;
    HRESULT GetSelection(uint64_t* pStart, uint64_t* pEnd) override;
    HRESULT ZoomToSelection() override;
    HRESULT AutoSetScaling() override;
    HRESULT SetCustomLabelProvider(IScopeTQ8CustomLabelProvider* p) override;
    HRESULT AddFileChannelSource(BSTR bstrPath, BSTR bstrName, VARTYPE vt, int32_t nChannels,
                                 uint32_t skip_hdr_bytes, uint32_t* pSrcId) override;
    HRESULT AddBufferChannelSource(BSTR bstrName, VARIANT varBuf, uint32_t nChannels, uint32_t totalSamples,
                                   VARIANT_BOOL bFreeWhenDone, uint32_t* pSrcId) override;
    HRESULT AddTQ8ChannelSource(void* hBrd, uint32_t total_samples, BSTR bstrName,
                                IScopeTQ8ChannelArbiter* pArbiter, uint32_t* pSrcId) override;

    // IPersistStreamInit
    HRESULT GetClassID(CLSID* pClassID) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* pStm) override;
    HRESULT Save(IStream* pStm, bool clearDirty) override;
    HRESULT GetSizeMax(uint64_t* pcbSize) override;
    HRESULT InitNew() override;

    // IConnectionPointContainer
    HRESULT FindConnectionPoint(const IID& riid, IConnectionPoint** ppCP) override;

    // IOleWindow, IOleInPlaceObject
    HRESULT GetWindow(QWidget** ppWnd) override;
    HRESULT InPlaceActivate(QWidget* parent) override;
    HRESULT InPlaceDeactivate() override;
    HRESULT SetObjectRects(int32_t x, int32_t y, int32_t width, int32_t height) override;

    // Events.
    HRESULT FireOnSelectionChange(uint64_t start, uint64_t end);
    HRESULT FireOnSourceAdded(uint32_t srcId);
    HRESULT FireOnSourceRemoved(uint32_t srcId);
    HRESULT FireOnSourceDataError(uint32_t srcId, BSTR reason);

    // Sources and their data, for the drawing code. Frames per chunk of a
    // page fetch: for plotting, and for the scans of auto scaling.
    static constexpr uint32_t kPlotChunkFrames = 65536;
    static constexpr uint32_t kScaleChunkFrames = 8192;
    // What a page fetch tells its callback about the source it reads.
    struct PageSource {
        uint32_t sourceId = kNone;
        uint32_t firstChannelId = kNone;
        uint32_t channelCount = 0; // as the source reports it now
        VARTYPE sampleType = 0;    // of its channel 0
    };
    // Called for each chunk of the page; see sourcefetch::ChunkSink.
    using PageSink = FunctionRef<HRESULT(const PageSource&, const sourcefetch::Chunk&)>;
    // Reads the page (PageWidth frames from StartSample) of one source in
    // chunks of at most min(PageWidth, chunkFrames) frames through the shared
    // sample buffer, handing each chunk to sink before the next is read. Once
    // the buffer exists, a repeated fetch allocates nothing. S_FALSE when the
    // source's arbiter refuses (it is then told that data is wanted); a failed
    // read is fired as OnSourceDataError and returned; E_INVALIDARG for a
    // source id the table does not hold, E_OUTOFMEMORY when the buffer cannot
    // be had.
    // reportFailure false: a failed read is returned but not fired. refused,
    // when given, tells whether the arbiter refused.
    HRESULT FetchSourcePage(uint32_t srcId, uint32_t chunkFrames, PageSink sink, bool reportFailure = true,
                            bool* refused = nullptr);
    HRESULT GetSampleBuffer(VARTYPE vt, uint64_t count, SAFEARRAY** out) { return m_sampleBuffers.Get(vt, count, out); }
    const CSourceTable& SourceTable() const { return m_sourceTable; }
    CLocalChanState* ChannelState(uint32_t chanId) { return m_sourceTable.Channel(chanId); }
    IScopeTQ8CustomLabelProvider* CustomLabelProvider() const { return m_labelProvider; }

    // State the drawing, layout and input code reads.
    uint32_t Flags() const { return m_flags; }
    bool HasFlag(uint32_t bit) const { return (m_flags & bit) != 0; }
    std::pair<uint64_t, uint64_t> GetOrderedSelection() const;
    bool HasSelection() const;
    bool IsSelectionAllowed() const { return HasFlag(AllowDataSelection); }
    bool ArePointMarkersVisible(bool forTips) const;
    OLE_COLOR GetChannelColorById(uint32_t chanId) const;
    HRESULT SetChannelColor(uint32_t chanId, OLE_COLOR colour);
    HRESULT SetChannelVisibility(uint32_t chanId, bool hidden);
    bool IsChannelHidden(uint32_t chanId) const;
    double XScale() const { return m_xScale; }
    double YScale() const { return m_yScale; }
    int32_t RedrawSuspendCount() const { return m_redrawSuspend; }
    // How many times the control asked for its window to be repainted.
    int InvalidateCount() const { return m_invalidateCount; }
    ScopeExtent Extent() const { return m_extent; }
    void SetExtent(ScopeExtent extent) { m_extent = extent; }
    const QImage& EmptyPlotImage() const { return m_emptyPlot; }
    // The font of the selection labels: the caption font's face at weight 600.
    IFontDisp* EmphasisFont() const { return m_emphasisFont; }
    void RecomputeXScale();
    void RecomputeYScale();
    // Pixels per frame and per value step, never below the smallest normal double.
    static double XScaleFor(int32_t width, uint32_t pageWidth);
    static double YScaleFor(int32_t height, int32_t minValue, int32_t maxValue);

    // Layout: the room the caption and the axis labels take (all 0 without a
    // device to measure on), the plot rectangle within the control
    // rectangle, the scroll-bar strip, and both scale factors.
    struct LabelExtents {
        int32_t left = 0, top = 0, right = 0, bottom = 0;
    };
    LabelExtents MeasureLabels(const QPaintDevice* dc) const;
    PixRect RecalcLayout(const QPaintDevice* dc, const PixRect& control);
    // What the caption, the labels, the margins and the scroll bar take: a
    // window of this size has no plot area left.
    QSize LeastWindowSize() const;
    void RecalcScale();
    const PixRect& PlotRect() const { return m_plotRect; }
    const PixRect& ScrollBarRect() const { return m_scrollBarRect; }
    const PixRect& ControlRect() const { return m_layoutRect; }
    // Pixel mapping: a frame index of the page to a plot-buffer column, a
    // sample number to a client column, a value and a trigger level to a
    // plot-buffer row. Results are kept within a range the painter handles.
    int32_t FrameColumn(uint64_t index) const;
    int32_t ClientColumn(uint64_t sample) const;
    int32_t ValueRow(double value) const;
    int32_t LevelRow(float level) const;

    // Axis labels: index 0 left/top, 1 middle, 2 right/bottom.
    std::wstring GetXAxisLabelText(int index) const;
    std::wstring GetYAxisLabelText(int index) const;
    void DrawAxisLabels(QPainter& dc);
    // Where the X label was last written; empty when its text was empty.
    const PixRect& XLabelRect(int index) const { return m_rectX[index < 0 ? 0 : index > 2 ? 2 : index]; }
    // The same for the Y labels, top, middle and bottom.
    const PixRect& YLabelRect(int index) const { return m_rectY[index < 0 ? 0 : index > 2 ? 2 : index]; }
    QFont CaptionFont() const;
    QFont AxisQFont() const;

    // Traces: every source in ascending id into the plot buffer (S_OK; S_FALSE
    // when some failed, E_FAIL when all did), and one source's page, drawn
    // through canvas, or through its kept layer and then onto dc when an
    // arbiter guards it. A refused source is drawn from its kept layer while
    // the view is that of the layer's drawing, else not at all.
    HRESULT PlotAllSources(QPainter& dc);
    HRESULT PlotChannelSource(QPainter& dc, TraceCanvas& canvas, bool drawMarkers, uint32_t srcId);
    const CKeptTraces& KeptTraces() const { return m_keptTraces; }

    // Cached drawing objects, made on first use from the current colours and
    // styles; a put that changes a colour or style drops the ones made from it.
    const QBrush& BackgroundBrush(); // the plot's, ScopeBackColor
    const QBrush& ControlBackBrush(); // BackColor
    const QPen& GridPen();
    const QPen& ScopeForePen();
    const QPen& SelectionTracePen();
    const QPen& SegmentPen();
    const QPen& TrigMarkPen(int mark); // mark 0 or 1

    // Internal operations shared with drawing and input.
    void ReleaseDrawingResources();
    // A back buffer of the rectangle's size; false (and none) when it cannot be made.
    bool CreateBackBuffer(const QRect& rect);
    const QImage& BackBuffer() const { return m_backBuffer; }
    bool CreateDefaultTrigMarkPicture(int mark);
    HRESULT CreateScrollBar(bool updateNow);
    void DestroyScrollBar();
    // Brings the scroll bar in line with the sources, StartSample and PageWidth.
    void UpdateScrollBar(bool setRange);
    QScrollBar* ScrollBar() const;
    // What the scroll bar was last set to, in its own units.
    const ScrollBarRange& ScrollBarSettings() const { return m_scrollRange; }

    // Moving and scaling the view. x and y are pixels from the plot area's
    // left and top edges; a negative one zooms about no anchor (x) or the
    // centre of the value range (y).
    void ZoomHorizontal(double factor, int32_t x);
    void ZoomVertical(double factor, int32_t y);
    // One step of grab-and-drag panning to a client point; keys as the mouse
    // message's key state (scopeinput::MK_...).
    void DragPanTo(uint32_t keys, const QPoint& point);
    // A request of the scroll bar (scopeinput::SB_...); false when it comes
    // from a scroll bar that is not the control's.
    bool OnHScroll(int code, QScrollBar* sender);
    // The control's timers (the edge timer of drag panning is id 1).
    vlt::TimerSet& Timers();

    // Input, as the window forwards it: client points, key state as above,
    // keys as scopeinput::VK_... Each returns whether it handled the input.
    bool OnSetCursor();
    void OnMouseMove(uint32_t keys, const QPoint& point);
    bool OnTimer(unsigned id);
    bool OnKeyDown(int key, uint32_t keys);
    void OnMouseLeave();
    void OnMouseWheel(uint32_t keys, int delta, const QPoint& point);
    void OnRButtonDown(uint32_t keys, const QPoint& point);
    void OnRButtonUp(uint32_t keys, const QPoint& point);
    void OnLButtonDown(uint32_t keys, const QPoint& point);
    void OnLButtonUp();
    void OnCreate(); // the window has just been made
    const QPoint& LastMousePoint() const { return m_lastMouse; }
    // Where a trigger mark's image was last drawn (mark 0 or 1).
    const QRect& TrigMarkImageRect(int mark) const { return m_trigMarks[mark == 0 ? 0 : 1].imageRect; }

    // Context menu at a client point, and its commands.
    void ShowContextMenu(const QPoint& point);
    void BuildChannelMenu(QMenu& popup);
    void OnContextMenuCommand(int command);

    // Sample-value tips.
    struct TipHit {
        uint32_t channel = kNone;
        uint64_t sample = kNoSample;
        int32_t x = 0; // plot-buffer pixels
        int32_t y = 0;
        CComVariant value;
    };
    bool FindTipSample(const QPoint& point, TipHit* hit);
    bool HitTestPlottedPoint(uint32_t chanId, uint64_t column, const QPoint& plotPoint, TipHit* hit);
    void UpdateSampleTip();
    HRESULT FormatSampleTipText(uint32_t chanId, const VARIANT& value, std::wstring* text);
    CSampleTipWindow* SampleTipWindow() const { return m_tipWindow.get(); }
    uint32_t TipChannel() const { return m_tipChannel; }
    uint64_t TipSample() const { return m_tipSample; }
    void OnWindowPaint(QWidget* wnd); // the window's paint handler

    // The paint: the whole picture into the back buffer when the layout is
    // dirty or the bounds changed, else only the selection over the kept
    // picture; then the picture onto target. Gives the traces' result.
    HRESULT OnDraw(QPaintDevice* target, const PixRect& bounds);
    HRESULT DrawPlotArea(QPainter& back);
    HRESULT DrawOverlay(QPainter& target);
    void ReleaseBackBuffer();
    void ReleasePlotBuffer();
    const QImage& PlotBuffer() const { return m_plotBuffer; }
    // The selection as the input code stores it, without events or redraw.
    void StoreSelection(uint64_t start, uint64_t end)
    {
        m_selStart = start;
        m_selEnd = end;
    }
    // Texts of the selection labels: one end, and the span between them.
    std::wstring SelectionLabelText(uint64_t sample) const;
    std::wstring SpanLabelText(uint64_t low, uint64_t high) const;
    // Where the last overlay wrote the low, high and span labels (empty: not written).
    const std::array<PixRect, 3>& SelectionLabelRects() const { return m_selLabelRects; }
    // The container's ambient UserMode: false at design time.
    void SetAmbientUserMode(bool userMode) { m_userMode = userMode; }

private:
    // Notification and redraw.
    void NotifyChanged(DISPID id);
    HRESULT RequestEdit(DISPID id);
    void Invalidate();
    void Redraw();
    template <class T>
    HRESULT PutStock(DISPID id, T& member, T value);

    HRESULT PutLabel(CComBSTR& label, BSTR value, DISPID id);
    void UpdateLabelFlags();
    HRESULT PutBoolFlag(uint32_t bit, VARIANT_BOOL value, DISPID id, bool notify, bool redraw);
    HRESULT PutMargin(int32_t& margin, int32_t value, DISPID id);
    HRESULT PutRadix(int32_t& radix, int32_t value, DISPID id, uint32_t autoBit);
    HRESULT PutGridCount(int32_t& count, int32_t value, DISPID id);
    HRESULT PutTrigStyle(int mark, TQ8ScopeTrigMark value, DISPID id);
    HRESULT PutTrigLevel(int mark, float value, DISPID id);
    HRESULT PutTrigImage(int mark, IPictureDisp* value, DISPID id);
    HRESULT PutTrigAlpha(int mark, double value, DISPID id);
    HRESULT PutTrigColor(int mark, OLE_COLOR value, DISPID id);
    HRESULT GetTrigImage(int mark, IPictureDisp** pVal);
    HRESULT PutColorDropping(OLE_COLOR& member, OLE_COLOR value, DISPID id, std::optional<QPen>* pen);
    void RecolourEmptyPlot();
    bool WindowExists() const;
    uint64_t MaxSampleCount() const { return m_sourceTable.MaxSampleCount(); }
    // PageWidth no larger than MaxSampleCount, through its put.
    void FitPageWidthToSamples();
    struct LayoutRects {
        PixRect plot;
        PixRect scrollBar; // while ScrollBarInUse
    };
    LayoutRects PlaceRects(const LabelExtents& e, const PixRect& control) const;
    QSize LeastSizeFor(const LabelExtents& e) const;
    void DrawXAxisLabels(QPainter& dc, const QColor& back);
    void DrawYAxisLabels(QPainter& dc, const QColor& back);
    void DrawY2AxisLabels(QPainter& dc, const QColor& back);
    bool AnyLabels() const;
    void DrawBackground(QPainter& dc);
    void DrawCaption(QPainter& dc);
    HRESULT DrawTrigMarkImage(QPainter& dc, int mark);
    HRESULT RenderTrigMarkPicture(QPainter& dc, int mark);
    void DrawBorder(QPainter& dc);
    void DrawGrid(QPainter& dc, int32_t w, int32_t h);
    void DrawLevelLines(QPainter& dc, int32_t w);
    void DrawSegmentLines(QPainter& dc, int32_t h);
    void DrawScrollBarPlaceholder(QPainter& dc);
    bool ComposeSelection(uint64_t low, uint64_t high);
    void InvertSelectionBand(uint64_t low, uint64_t high);
    bool InsidePage(uint64_t sample) const;
    HRESULT DrawSelectionEdges(QPainter& dc, uint64_t low, uint64_t high);
    HRESULT DrawSelectionLabels(QPainter& dc, uint64_t low, uint64_t high);
    // Registers the sample-tip tool for a new plot rectangle.
    void UpdateSampleTipTool();
    bool InPlot(const QPoint& point) const;
    uint64_t SampleAtClientX(int32_t x) const;
    uint64_t ClampToSamples(uint64_t sample) const;
    bool ExtendSelectionByKey(int key, uint32_t keys);
    void ScrollByKey(int key);
    // Stores both ends of the value range, then notifies and redraws.
    void StoreValueRange(int32_t minValue, int32_t maxValue);
    void UpdateEdgeTimer(int32_t x);
    void StopEdgeTimer();
    void BeginDrag();
    void EndDrag();
    void TrackTip(const QPoint& point);
    HRESULT SampleTipText(std::wstring* text);
    void SetScrollBarPosition(uint64_t start);
    void SetScrollBarRange(bool setRange);
    void SetBarValue(int32_t position);
    void OnScrollBarAction(int action);
    // Pen, brush and point cache of the channels the page's chunks are drawn for.
    bool PrepareChannels(const PageSource& page, PlotRequest& req, bool drawMarkers, bool recordPoints);
    bool PrepareChannel(CLocalChanState& chan, bool drawMarkers, bool recordPoints);
    CKeptTraces::View CurrentView(bool drawMarkers, bool recordPoints) const;
    void ForgetPlottedPoints(uint32_t srcId);
    // The kept drawing of the channel's source no longer looks as the channel does.
    void ForgetKeptTraces(uint32_t chanId);

    // Connection points, in the order the container offers them.
    vlt::CConnectionPoint m_cpPropNotify;
    vlt::CConnectionPoint m_cpEvents;
    vlt::CConnectionPoint m_cpEvents2;
    bool m_requiresSave = false;
    ScopeExtent m_extent{5080, 5080};
    QPointer<CScopeWnd> m_wnd;

    CComPtr<IFontDisp> m_font;
    CComPtr<IFontDisp> m_axisFont;
    CComPtr<IFontDisp> m_emphasisFont;
    TQ8GridLineStyle m_gridLineStyle = LineDotted;
    OLE_COLOR m_defaultChannelColor = 0xFFFFFF;
    OLE_COLOR m_foreColor = 0;
    OLE_COLOR m_backColor = 0;
    OLE_COLOR m_borderColor = 0;
    OLE_COLOR m_scopeForeColor = 0x11DDEE;
    OLE_COLOR m_scopeBackColor = 0x808000;
    OLE_COLOR m_traceColor = 0x00FFFF;
    CComBSTR m_caption;
    CComBSTR m_labelXL{L""};
    CComBSTR m_labelXM{L""};
    CComBSTR m_labelXR{L""};
    std::array<PixRect, 3> m_rectX;
    std::array<PixRect, 3> m_rectY;
    CComBSTR m_labelYT{L""};
    CComBSTR m_labelYM{L""};
    CComBSTR m_labelYB{L""};
    CComBSTR m_labelYT2{L""};
    CComBSTR m_labelYM2{L""};
    CComBSTR m_labelYB2{L""};
    int32_t m_marginLeft = 4;
    int32_t m_marginTop = 4;
    int32_t m_marginRight = 4;
    int32_t m_marginBottom = 4;
    int32_t m_borderStyle = 0;
    int32_t m_borderVisible = 1;
    int32_t m_enabled = 1;
    uint32_t m_redrawFlag = 1;
    int32_t m_gridRows = 4;
    int32_t m_gridColumns = 4;
    int32_t m_pointRadius = 2;
    int32_t m_xLabelRadix = 10;
    int32_t m_yLabelRadix = 10;
    int32_t m_redrawSuspend = 0;
    int32_t m_sampleTipsRadix = 10;
    CComPtr<IScopeTQ8CustomLabelProvider> m_labelProvider;
    TQ8GridLineStyle m_segmentLineStyle = LineDashDotDot;
    OLE_COLOR m_segmentLineColor = 0x00DD80;
    uint32_t m_segmentSize = 0;
    std::array<TrigMarkSettings, 2> m_trigMarks;

    std::optional<QBrush> m_backBrush;
    std::optional<QBrush> m_ctrlBackBrush;
    std::optional<QPen> m_gridPen;
    std::optional<QPen> m_scopeForePen;
    std::optional<QPen> m_selTracePen;
    std::optional<QPen> m_segmentPen;
    QImage m_backBuffer;
    QImage m_plotBuffer;
    QImage m_selBuffer;
    bool m_userMode = true;
    std::array<PixRect, 3> m_selLabelRects;

    TQ8ScrollBar m_scrollBarMode = ScrollbarAuto;
    QPointer<QScrollBar> m_scrollBar;
    double m_scrollScale = 1.0;
    ScrollBarRange m_scrollRange;
    int m_scrollSignalDepth = 0; // inside a signal of the scroll bar
    PixRect m_scrollBarRect;
    uint64_t m_startSample = 0;
    uint32_t m_maxPageWidth = 32768;
    uint32_t m_pageWidth = 8192;
    int32_t m_maxSampleValue = 255;
    int32_t m_minSampleValue = 0;
    uint32_t m_flags = kDefaultFlags;
    double m_xScale = 0.0;
    double m_yScale = 0.0;
    PixRect m_layoutRect;
    PixRect m_plotRect;
    QSize m_leastWindowSize; // as the last layout found it

    // Sources, channels, their ids and MaxSampleCount.
    CSourceTable m_sourceTable;
    CSampleBuffers m_sampleBuffers;
    CKeptTraces m_keptTraces;
    SpanScratch m_spanScratch;
    std::vector<CLocalChanState*> m_plotChannels;
    std::map<uint32_t, OLE_COLOR> m_channelColors;
    uint64_t m_selStart = kNoSample;
    uint64_t m_selEnd = kNoSample;
    QPoint m_lastMouse;
    std::optional<QCursor> m_savedCursor; // none: the window had no cursor of its own
    std::unique_ptr<vlt::TimerSet> m_timers;
    std::unique_ptr<CSampleTipWindow> m_tipWindow;
    uint32_t m_tipsChannelId = kNone;
    uint32_t m_tipChannel = kNone;
    uint64_t m_tipSample = kNoSample;
    QPoint m_tipPoint{-1, -1};
    CComVariant m_tipValue;
    CComBSTR m_tipText;

    QImage m_emptyPlotOriginal;
    QImage m_emptyPlot;
    int m_invalidateCount = 0;
};

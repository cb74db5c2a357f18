#pragma once
// The plot library's type library: enumerations, interfaces (methods in
// method-table order), coclasses and their identifiers. Callers use the
// control only through these.
#include "ComInterfaces.h"
#include "Guid.h"
#include "Variant.h"

#include <cstdint>

inline constexpr GUID LIBID_TQ8UI = vlt::MakeGuid("FBFF18C8-87A2-4EB8-99F7-4852CEB687FA");

enum TQ8ScrollBar : int32_t {
    ScrollbarAuto = 0,
    ScrollbarYes = 1,
    ScrollbarNo = 2,
};

enum TQ8GridLineStyle : int32_t {
    LineSolid = 0,
    LineDashed = 1,
    LineDotted = 2,
    LineDashDot = 3,
    LineDashDotDot = 4,
    LineNone = 5,
};

enum TQ8ScopeTrigMark : int32_t {
    TrigMarkNone = 0,
    TrigMarkImage = 1,
    TrigMarkLine = 2,
    TrigMarkAll = 3,
    TrigMarkImageHotLine = 4,
};

// A source for TQ8 Scope control channel data
struct IScopeTQ8ChannelSource : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("9794CF85-1684-4622-8EC7-253B6E3E81F6");
    virtual HRESULT GetChannelSourceName(BSTR* pbstrName) = 0;
    virtual HRESULT GetChannelCount(uint32_t* valp) = 0;
    virtual HRESULT GetChannelSampleType(uint32_t chan, VARTYPE* pvt) = 0;
    virtual HRESULT GetTotalSampleCount(uint32_t chan, uint64_t* valp) = 0;
    virtual HRESULT IsSampleInterleavedData(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT RefreshTotalSampleCount(uint32_t newTotalSampCount) = 0;
    virtual HRESULT GetChannelData(uint32_t chan, uint64_t offset, uint32_t samples, VARIANT* psav,
                                   uint32_t* pSampsCopied) = 0;
    virtual HRESULT GetSampleValue(uint32_t chan, uint64_t offset, VARIANT* argp) = 0;
    virtual HRESULT ResizeSourceSampleCount(uint32_t newCount) = 0;
};

struct IChanSrcSimpleInit : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("A5249A9E-FDCB-4EF4-9EB8-0394E8BA9DF0");
    virtual HRESULT SetChannelSourceBuffer(BSTR bstrName, VARIANT var, uint32_t totalSamples, uint32_t nChannels,
                                           VARIANT_BOOL bFreeWhenDone) = 0;
};

struct IChanSrcSimpleFileInit : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("0B9C159A-C3F5-446E-B25C-B8651392C73F");
    virtual HRESULT SetChannelSourceFile(BSTR bstrName, BSTR bstrPath, VARTYPE vt, uint32_t nChannels,
                                         uint32_t skip_hdr_bytes) = 0;
};

struct IChanSrcErrorInfo : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("0957E557-5D53-4106-A21E-0C563FD4C078");
    virtual HRESULT GetChanSrcErrorInfo(BSTR* pbstrError) = 0;
};

struct IChanSrcTQ8Init : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("230A663E-8D34-4A3D-9789-B04DF1F36E53");
    virtual HRESULT SetChanSrcTQ8(void* hBrd, uint32_t total_samples, BSTR bstrName) = 0;
};

// Interface used to determine if its safe/allowable to obtain channel data
struct IScopeTQ8ChannelArbiter : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("455643FF-237D-477E-BF73-F9C4219BE48D");
    virtual HRESULT SafeToObtainChannelData(uint32_t srcId) = 0;
    virtual HRESULT OnScopeNeedsDataWhenAvailable(uint32_t srcId) = 0;
};

// Interface used for custom plot labels
struct IScopeTQ8CustomLabelProvider : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("4A8DF997-D3B1-412E-9F12-8E5F95375E7A");
    virtual HRESULT GetXAxisLabel(uint64_t x, BSTR* pbstrLabel) = 0;
    virtual HRESULT GetYAxisLabel(double y, BSTR* pbstrLabel) = 0;
    virtual HRESULT GetXSelLabel(uint64_t x, BSTR* pbstrLabel) = 0;
    virtual HRESULT GetXSelSpanLabel(uint64_t x1, uint64_t x2, BSTR* pbstrLabel) = 0;
    virtual HRESULT GetSampleTipLabel(uint32_t chanId, uint64_t dwSample, VARIANT var, BSTR* pbstrLabel) = 0;
};

// _IScopeTQ8Events Interface
struct _IScopeTQ8Events : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("CBAAA6D8-8FB5-4C3C-B570-0E664F1C9DA9");
    virtual HRESULT OnSelectionChange(uint64_t StartSample, uint64_t endSample) = 0;
    virtual HRESULT OnSourceAdded(uint32_t srcId) = 0;
    virtual HRESULT OnSourceRemoved(uint32_t srcId) = 0;
};

// _IScopeTQ8Events2 interface
struct _IScopeTQ8Events2 : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("CF49EA97-2BDF-4A46-BA91-2818C44D28AD");
    virtual HRESULT OnSourceDataError(uint32_t srcId, BSTR pReason) = 0;
};

// IScopeTQ8 Interface
struct IScopeTQ8 : IDispatch {
    static constexpr IID iid = vlt::MakeGuid("B1D71CE3-315A-4D73-9CD0-0BCB8CEB813A");

    virtual HRESULT put_BackColor(OLE_COLOR clr) = 0;
    virtual HRESULT get_BackColor(OLE_COLOR* pclr) = 0;
    virtual HRESULT put_BorderColor(OLE_COLOR clr) = 0;
    virtual HRESULT get_BorderColor(OLE_COLOR* pclr) = 0;
    virtual HRESULT put_BorderStyle(int32_t style) = 0;
    virtual HRESULT get_BorderStyle(int32_t* pstyle) = 0;
    virtual HRESULT putref_Font(IFontDisp* pFont) = 0;
    virtual HRESULT put_Font(IFontDisp* pFont) = 0;
    virtual HRESULT get_Font(IFontDisp** ppFont) = 0;
    virtual HRESULT put_ForeColor(OLE_COLOR clr) = 0;
    virtual HRESULT get_ForeColor(OLE_COLOR* pclr) = 0;
    virtual HRESULT put_Enabled(VARIANT_BOOL vbool) = 0;
    virtual HRESULT get_Enabled(VARIANT_BOOL* pbool) = 0;
    virtual HRESULT put_Caption(BSTR strCaption) = 0;
    virtual HRESULT get_Caption(BSTR* pstrCaption) = 0;
    virtual HRESULT put_BorderVisible(VARIANT_BOOL vbool) = 0;
    virtual HRESULT get_BorderVisible(VARIANT_BOOL* pbool) = 0;

    virtual HRESULT get_LabelXL(BSTR* pVal) = 0;
    virtual HRESULT put_LabelXL(BSTR newVal) = 0;
    virtual HRESULT get_LabelXR(BSTR* pVal) = 0;
    virtual HRESULT put_LabelXR(BSTR newVal) = 0;
    virtual HRESULT get_LabelXM(BSTR* pVal) = 0;
    virtual HRESULT put_LabelXM(BSTR newVal) = 0;
    virtual HRESULT get_LabelYT(BSTR* pVal) = 0;
    virtual HRESULT put_LabelYT(BSTR newVal) = 0;
    virtual HRESULT get_LabelYM(BSTR* pVal) = 0;
    virtual HRESULT put_LabelYM(BSTR newVal) = 0;
    virtual HRESULT get_LabelYB(BSTR* pVal) = 0;
    virtual HRESULT put_LabelYB(BSTR newVal) = 0;
    virtual HRESULT get_LabelYT2(BSTR* pVal) = 0;
    virtual HRESULT put_LabelYT2(BSTR newVal) = 0;
    virtual HRESULT get_LabelYM2(BSTR* pVal) = 0;
    virtual HRESULT put_LabelYM2(BSTR newVal) = 0;
    virtual HRESULT get_LabelYB2(BSTR* pVal) = 0;
    virtual HRESULT put_LabelYB2(BSTR newVal) = 0;
    virtual HRESULT get_AutoXLabels(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_AutoXLabels(VARIANT_BOOL newVal) = 0;
    virtual HRESULT get_AutoYLabels(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_AutoYLabels(VARIANT_BOOL newVal) = 0;
    virtual HRESULT get_AutoXLabelRadix(int32_t* pVal) = 0;
    virtual HRESULT put_AutoXLabelRadix(int32_t newVal) = 0;
    virtual HRESULT get_AutoYLabelRadix(int32_t* pVal) = 0;
    virtual HRESULT put_AutoYLabelRadix(int32_t newVal) = 0;
    virtual HRESULT get_AllowDataSelection(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_AllowDataSelection(VARIANT_BOOL newVal) = 0;
    virtual HRESULT get_MarginLeft(int32_t* pVal) = 0;
    virtual HRESULT put_MarginLeft(int32_t newVal) = 0;
    virtual HRESULT get_MarginRight(int32_t* pVal) = 0;
    virtual HRESULT put_MarginRight(int32_t newVal) = 0;
    virtual HRESULT get_MarginTop(int32_t* pVal) = 0;
    virtual HRESULT put_MarginTop(int32_t newVal) = 0;
    virtual HRESULT get_MarginBottom(int32_t* pVal) = 0;
    virtual HRESULT put_MarginBottom(int32_t newVal) = 0;
    virtual HRESULT get_StartSample(uint64_t* pVal) = 0;
    virtual HRESULT put_StartSample(uint64_t newVal) = 0;
    virtual HRESULT get_PageWidth(uint32_t* pVal) = 0;
    virtual HRESULT put_PageWidth(uint32_t newVal) = 0;
    virtual HRESULT get_MaxPageWidth(uint32_t* pVal) = 0;
    virtual HRESULT put_MaxPageWidth(uint32_t newVal) = 0;
    virtual HRESULT get_MaxSampleValue(int32_t* pVal) = 0;
    virtual HRESULT put_MaxSampleValue(int32_t newVal) = 0;
    virtual HRESULT get_MinSampleValue(int32_t* pVal) = 0;
    virtual HRESULT put_MinSampleValue(int32_t newVal) = 0;
    virtual HRESULT get_MaxSampleCount(uint64_t* pVal) = 0;
    virtual HRESULT get_HScrollBar(TQ8ScrollBar* pVal) = 0;
    virtual HRESULT put_HScrollBar(TQ8ScrollBar newVal) = 0;
    virtual HRESULT get_PointRadius(int32_t* pVal) = 0;
    virtual HRESULT put_PointRadius(int32_t newVal) = 0;
    virtual HRESULT get_GridRows(int32_t* pVal) = 0;
    virtual HRESULT put_GridRows(int32_t newVal) = 0;
    virtual HRESULT get_GridColumns(int32_t* pVal) = 0;
    virtual HRESULT put_GridColumns(int32_t newVal) = 0;
    virtual HRESULT get_GridLineStyle(TQ8GridLineStyle* pVal) = 0;
    virtual HRESULT put_GridLineStyle(TQ8GridLineStyle newVal) = 0;
    virtual HRESULT get_AxisFont(IFontDisp** pVal) = 0;
    virtual HRESULT put_AxisFont(IFontDisp* newVal) = 0;
    virtual HRESULT get_Redraw(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_Redraw(VARIANT_BOOL newVal) = 0;
    virtual HRESULT get_TriggerMarkStyle1(TQ8ScopeTrigMark* pVal) = 0;
    virtual HRESULT put_TriggerMarkStyle1(TQ8ScopeTrigMark newVal) = 0;
    virtual HRESULT get_TrigMarkLevel1(float* pVal) = 0;
    virtual HRESULT put_TrigMarkLevel1(float newVal) = 0;
    virtual HRESULT get_TrigMarkImage1(IPictureDisp** pVal) = 0;
    virtual HRESULT put_TrigMarkImage1(IPictureDisp* newVal) = 0;
    virtual HRESULT get_TrigMarkImageAlpha1(double* pVal) = 0;
    virtual HRESULT put_TrigMarkImageAlpha1(double newVal) = 0;
    virtual HRESULT get_TrigMarkLineColor1(OLE_COLOR* pVal) = 0;
    virtual HRESULT put_TrigMarkLineColor1(OLE_COLOR newVal) = 0;
    virtual HRESULT get_TriggerMarkStyle2(TQ8ScopeTrigMark* pVal) = 0;
    virtual HRESULT put_TriggerMarkStyle2(TQ8ScopeTrigMark newVal) = 0;
    virtual HRESULT get_TrigMarkLevel2(float* pVal) = 0;
    virtual HRESULT put_TrigMarkLevel2(float newVal) = 0;
    virtual HRESULT get_TrigMarkImage2(IPictureDisp** pVal) = 0;
    virtual HRESULT put_TrigMarkImage2(IPictureDisp* newVal) = 0;
    virtual HRESULT get_TrigMarkImageAlpha2(double* pVal) = 0;
    virtual HRESULT put_TrigMarkImageAlpha2(double newVal) = 0;
    virtual HRESULT get_TrigMarkLineColor2(OLE_COLOR* pVal) = 0;
    virtual HRESULT put_TrigMarkLineColor2(OLE_COLOR newVal) = 0;
    virtual HRESULT get_ScopeForeColor(OLE_COLOR* pVal) = 0;
    virtual HRESULT put_ScopeForeColor(OLE_COLOR newVal) = 0;
    virtual HRESULT get_ScopeBackColor(OLE_COLOR* pVal) = 0;
    virtual HRESULT put_ScopeBackColor(OLE_COLOR newVal) = 0;
    virtual HRESULT get_TraceColor(OLE_COLOR* pVal) = 0;
    virtual HRESULT put_TraceColor(OLE_COLOR newVal) = 0;
    virtual HRESULT get_ChannelColor(uint32_t chanId, OLE_COLOR* pVal) = 0;
    virtual HRESULT put_ChannelColor(uint32_t chanId, OLE_COLOR newVal) = 0;
    virtual HRESULT put_ChannelVisibility(uint32_t chanId, VARIANT_BOOL newVal) = 0;
    virtual HRESULT get_ChannelVisibility(uint32_t chanId, VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_SegmentSize(uint32_t* pVal) = 0;
    virtual HRESULT put_SegmentSize(uint32_t newVal) = 0;
    virtual HRESULT get_SegmentLineStyle(TQ8GridLineStyle* pVal) = 0;
    virtual HRESULT put_SegmentLineStyle(TQ8GridLineStyle newVal) = 0;
    virtual HRESULT get_SegmentLineColor(OLE_COLOR* pVal) = 0;
    virtual HRESULT put_SegmentLineColor(OLE_COLOR newVal) = 0;
    virtual HRESULT put_ContextMenuEnabled(VARIANT_BOOL newVal) = 0;
    virtual HRESULT get_ContextMenuEnabled(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT put_SampleValueTipsEnabled(VARIANT_BOOL newVal) = 0;
    virtual HRESULT get_SampleValueTipsEnabled(VARIANT_BOOL* pVal) = 0;
    virtual HRESULT get_SampleValueTipsChannelId(uint32_t* pVal) = 0;
    virtual HRESULT put_SampleValueTipsChannelId(uint32_t newVal) = 0;
    virtual HRESULT get_SampleValueTipsRadix(int32_t* pVal) = 0;
    virtual HRESULT put_SampleValueTipsRadix(int32_t newVal) = 0;

    virtual HRESULT ResetScopeData() = 0;
    virtual HRESULT UseExampleData() = 0;
    virtual HRESULT RefreshScope() = 0;
    virtual HRESULT AddChannelSource(IScopeTQ8ChannelSource* pChanSrc, uint32_t* pSrcId) = 0;
    virtual HRESULT AddChannelSource2(IScopeTQ8ChannelSource* pChanSrc, IScopeTQ8ChannelArbiter* pArbiter,
                                      uint32_t max_chan_count, uint32_t* pSrcId) = 0;
    virtual HRESULT RemoveChannelSource(uint32_t srcId) = 0;
    virtual HRESULT RefreshChannelSource(uint32_t srcId) = 0;
    virtual HRESULT GetChannelSource(uint32_t srcId, IScopeTQ8ChannelSource** srcpp) = 0;
    virtual HRESULT GetFirstChannelIdForSource(uint32_t srcId, uint32_t* pChanId) = 0;
    virtual HRESULT GetSourceIdFromChanId(uint32_t chanId, uint32_t* srcId) = 0;
    virtual HRESULT GetChannelSourceCount(uint32_t* pVal) = 0;
    virtual HRESULT EnumChannelSourceIds(uint32_t* bufSize, uint32_t* ids) = 0;
    virtual HRESULT SetSelection(uint64_t start, uint64_t end) = 0;
    virtual HRESULT GetSelection(uint64_t* pStart, uint64_t* pEnd) = 0;
    virtual HRESULT ZoomToSelection() = 0;
    virtual HRESULT AutoSetScaling() = 0;
    virtual HRESULT SetCustomLabelProvider(IScopeTQ8CustomLabelProvider* p) = 0;
    virtual HRESULT AddFileChannelSource(BSTR bstrPath, BSTR bstrName, VARTYPE vt, int32_t nChannels,
                                         uint32_t skip_hdr_bytes, uint32_t* pSrcId) = 0;
    virtual HRESULT AddBufferChannelSource(BSTR bstrName, VARIANT varBuf, uint32_t nChannels, uint32_t totalSamples,
                                           VARIANT_BOOL bFreeWhenDone, uint32_t* pSrcId) = 0;
    virtual HRESULT AddTQ8ChannelSource(void* hBrd, uint32_t total_samples, BSTR bstrName,
                                        IScopeTQ8ChannelArbiter* pArbiter, uint32_t* pSrcId) = 0;
};

// Simple buffer based channel source
inline constexpr CLSID CLSID_CChanSrcSimple = vlt::MakeGuid("9B5D5FD1-26A6-49E6-8137-35951EE50930");
// Simple single-channel file based channel source
inline constexpr CLSID CLSID_CChanSrcSimpleFile = vlt::MakeGuid("6C7FD7B1-93F5-4458-8C65-8939CBC98E47");
// Simple TQ8 base channel source
inline constexpr CLSID CLSID_CChanSrcBrd = vlt::MakeGuid("5086F34D-B9DB-4EF6-9FF6-9189D1624B3A");
// TQ8 Scope Control
inline constexpr CLSID CLSID_CScopeCtrl = vlt::MakeGuid("3D599856-84E9-42EA-8ABE-BB88809A80C6");

// DISPIDs of the stock properties.
constexpr DISPID DISPID_BACKCOLOR = -501;
constexpr DISPID DISPID_BORDERCOLOR = -503;
constexpr DISPID DISPID_BORDERSTYLE = -504;
constexpr DISPID DISPID_FONT = -512;
constexpr DISPID DISPID_FORECOLOR = -513;
constexpr DISPID DISPID_ENABLED = -514;
constexpr DISPID DISPID_CAPTION = -518;
constexpr DISPID DISPID_BORDERVISIBLE = -519;

// DISPIDs of the own properties of IScopeTQ8.
namespace ScopeDispId {
constexpr DISPID LabelXL = 1;
constexpr DISPID LabelXR = 2;
constexpr DISPID LabelXM = 3;
constexpr DISPID LabelYT = 4;
constexpr DISPID LabelYM = 5;
constexpr DISPID LabelYB = 6;
constexpr DISPID LabelYT2 = 7;
constexpr DISPID LabelYM2 = 8;
constexpr DISPID LabelYB2 = 9;
constexpr DISPID AutoXLabels = 10;
constexpr DISPID AutoYLabels = 11;
constexpr DISPID AutoXLabelRadix = 12;
constexpr DISPID AutoYLabelRadix = 13;
constexpr DISPID AllowDataSelection = 14;
constexpr DISPID MarginLeft = 15;
constexpr DISPID MarginRight = 16;
constexpr DISPID MarginTop = 17;
constexpr DISPID MarginBottom = 18;
constexpr DISPID StartSample = 19;
constexpr DISPID PageWidth = 20;
constexpr DISPID MaxSampleCount = 21;
constexpr DISPID MinSampleValue = 22;
constexpr DISPID MaxSampleValue = 23;
constexpr DISPID HScrollBar = 24;
constexpr DISPID PointRadius = 25;
constexpr DISPID GridRows = 26;
constexpr DISPID GridColumns = 27;
constexpr DISPID GridLineStyle = 28;
constexpr DISPID AxisFont = 29;
constexpr DISPID Redraw = 30;
constexpr DISPID TriggerMarkStyle1 = 31;
constexpr DISPID TrigMarkLevel1 = 32;
constexpr DISPID TrigMarkImage1 = 33;
constexpr DISPID TrigMarkImageAlpha1 = 34;
constexpr DISPID TrigMarkLineColor1 = 35;
constexpr DISPID TriggerMarkStyle2 = 36;
constexpr DISPID TrigMarkLevel2 = 37;
constexpr DISPID TrigMarkImage2 = 38;
constexpr DISPID TrigMarkImageAlpha2 = 39;
constexpr DISPID TrigMarkLineColor2 = 40;
constexpr DISPID ScopeForeColor = 41;
constexpr DISPID ScopeBackColor = 42;
constexpr DISPID TraceColor = 43;
constexpr DISPID ChannelColor = 44;
constexpr DISPID ChannelVisibility = 45;
constexpr DISPID MaxPageWidth = 46;
constexpr DISPID SegmentSize = 47;
constexpr DISPID SegmentLineStyle = 48;
constexpr DISPID SegmentLineColor = 49;
constexpr DISPID ContextMenuEnabled = 50;
constexpr DISPID SampleValueTipsEnabled = 51;
constexpr DISPID SampleValueTipsChannelId = 52;
constexpr DISPID SampleValueTipsRadix = 53;

// methods
constexpr DISPID ResetScopeData = 100;
constexpr DISPID UseExampleData = 101;
constexpr DISPID RefreshScope = 102;
constexpr DISPID AddChannelSource = 103;
constexpr DISPID RemoveChannelSource = 104;
constexpr DISPID RefreshChannelSource = 105;
constexpr DISPID SetSelection = 106;
constexpr DISPID GetSelection = 107;
constexpr DISPID ZoomToSelection = 108;
constexpr DISPID GetChannelSource = 109;
constexpr DISPID GetFirstChannelIdForSource = 110;
constexpr DISPID GetSourceIdFromChanId = 111;
constexpr DISPID AutoSetScaling = 112;
constexpr DISPID AddChannelSource2 = 113;
constexpr DISPID GetChannelSourceCount = 114;
constexpr DISPID EnumChannelSourceIds = 115;
constexpr DISPID SetCustomLabelProvider = 116;
constexpr DISPID AddFileChannelSource = 200;
constexpr DISPID AddBufferChannelSource = 201;
constexpr DISPID AddTQ8ChannelSource = 202;
} // namespace ScopeDispId

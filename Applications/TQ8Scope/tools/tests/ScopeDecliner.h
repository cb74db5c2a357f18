#pragma once
// Every method of the plot interface declines; a test's fake plot overrides
// what it needs.
#include "TQ8UI.h"

class ScopeDecliner : public IScopeTQ8 {
public:
    HRESULT GetIDsOfNames(const wchar_t* const*, uint32_t, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*) override { return E_NOTIMPL; }
    HRESULT put_BackColor(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_BackColor(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_BorderColor(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_BorderColor(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_BorderStyle(int32_t) override { return E_NOTIMPL; }
    HRESULT get_BorderStyle(int32_t*) override { return E_NOTIMPL; }
    HRESULT putref_Font(IFontDisp*) override { return E_NOTIMPL; }
    HRESULT put_Font(IFontDisp*) override { return E_NOTIMPL; }
    HRESULT get_Font(IFontDisp**) override { return E_NOTIMPL; }
    HRESULT put_ForeColor(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_ForeColor(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_Enabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_Enabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_Caption(BSTR) override { return E_NOTIMPL; }
    HRESULT get_Caption(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_BorderVisible(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_BorderVisible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_LabelXL(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelXL(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelXR(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelXR(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelXM(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelXM(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelYT(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelYT(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelYM(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelYM(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelYB(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelYB(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelYT2(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelYT2(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelYM2(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelYM2(BSTR) override { return E_NOTIMPL; }
    HRESULT get_LabelYB2(BSTR*) override { return E_NOTIMPL; }
    HRESULT put_LabelYB2(BSTR) override { return E_NOTIMPL; }
    HRESULT get_AutoXLabels(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_AutoXLabels(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_AutoYLabels(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_AutoYLabels(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_AutoXLabelRadix(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_AutoXLabelRadix(int32_t) override { return E_NOTIMPL; }
    HRESULT get_AutoYLabelRadix(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_AutoYLabelRadix(int32_t) override { return E_NOTIMPL; }
    HRESULT get_AllowDataSelection(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_AllowDataSelection(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_MarginLeft(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_MarginLeft(int32_t) override { return E_NOTIMPL; }
    HRESULT get_MarginRight(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_MarginRight(int32_t) override { return E_NOTIMPL; }
    HRESULT get_MarginTop(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_MarginTop(int32_t) override { return E_NOTIMPL; }
    HRESULT get_MarginBottom(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_MarginBottom(int32_t) override { return E_NOTIMPL; }
    HRESULT get_StartSample(uint64_t*) override { return E_NOTIMPL; }
    HRESULT put_StartSample(uint64_t) override { return E_NOTIMPL; }
    HRESULT get_PageWidth(uint32_t*) override { return E_NOTIMPL; }
    HRESULT put_PageWidth(uint32_t) override { return E_NOTIMPL; }
    HRESULT get_MaxPageWidth(uint32_t*) override { return E_NOTIMPL; }
    HRESULT put_MaxPageWidth(uint32_t) override { return E_NOTIMPL; }
    HRESULT get_MaxSampleValue(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_MaxSampleValue(int32_t) override { return E_NOTIMPL; }
    HRESULT get_MinSampleValue(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_MinSampleValue(int32_t) override { return E_NOTIMPL; }
    HRESULT get_MaxSampleCount(uint64_t*) override { return E_NOTIMPL; }
    HRESULT get_HScrollBar(TQ8ScrollBar*) override { return E_NOTIMPL; }
    HRESULT put_HScrollBar(TQ8ScrollBar) override { return E_NOTIMPL; }
    HRESULT get_PointRadius(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_PointRadius(int32_t) override { return E_NOTIMPL; }
    HRESULT get_GridRows(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_GridRows(int32_t) override { return E_NOTIMPL; }
    HRESULT get_GridColumns(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_GridColumns(int32_t) override { return E_NOTIMPL; }
    HRESULT get_GridLineStyle(TQ8GridLineStyle*) override { return E_NOTIMPL; }
    HRESULT put_GridLineStyle(TQ8GridLineStyle) override { return E_NOTIMPL; }
    HRESULT get_AxisFont(IFontDisp**) override { return E_NOTIMPL; }
    HRESULT put_AxisFont(IFontDisp*) override { return E_NOTIMPL; }
    HRESULT get_Redraw(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_Redraw(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_TriggerMarkStyle1(TQ8ScopeTrigMark*) override { return E_NOTIMPL; }
    HRESULT put_TriggerMarkStyle1(TQ8ScopeTrigMark) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkLevel1(float*) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkLevel1(float) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkImage1(IPictureDisp**) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkImage1(IPictureDisp*) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkImageAlpha1(double*) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkImageAlpha1(double) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkLineColor1(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkLineColor1(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_TriggerMarkStyle2(TQ8ScopeTrigMark*) override { return E_NOTIMPL; }
    HRESULT put_TriggerMarkStyle2(TQ8ScopeTrigMark) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkLevel2(float*) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkLevel2(float) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkImage2(IPictureDisp**) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkImage2(IPictureDisp*) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkImageAlpha2(double*) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkImageAlpha2(double) override { return E_NOTIMPL; }
    HRESULT get_TrigMarkLineColor2(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_TrigMarkLineColor2(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_ScopeForeColor(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_ScopeForeColor(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_ScopeBackColor(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_ScopeBackColor(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_TraceColor(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_TraceColor(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT get_ChannelColor(uint32_t, OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_ChannelColor(uint32_t, OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT put_ChannelVisibility(uint32_t, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_ChannelVisibility(uint32_t, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_SegmentSize(uint32_t*) override { return E_NOTIMPL; }
    HRESULT put_SegmentSize(uint32_t) override { return E_NOTIMPL; }
    HRESULT get_SegmentLineStyle(TQ8GridLineStyle*) override { return E_NOTIMPL; }
    HRESULT put_SegmentLineStyle(TQ8GridLineStyle) override { return E_NOTIMPL; }
    HRESULT get_SegmentLineColor(OLE_COLOR*) override { return E_NOTIMPL; }
    HRESULT put_SegmentLineColor(OLE_COLOR) override { return E_NOTIMPL; }
    HRESULT put_ContextMenuEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_ContextMenuEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_SampleValueTipsEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_SampleValueTipsEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_SampleValueTipsChannelId(uint32_t*) override { return E_NOTIMPL; }
    HRESULT put_SampleValueTipsChannelId(uint32_t) override { return E_NOTIMPL; }
    HRESULT get_SampleValueTipsRadix(int32_t*) override { return E_NOTIMPL; }
    HRESULT put_SampleValueTipsRadix(int32_t) override { return E_NOTIMPL; }
    HRESULT ResetScopeData() override { return E_NOTIMPL; }
    HRESULT UseExampleData() override { return E_NOTIMPL; }
    HRESULT RefreshScope() override { return E_NOTIMPL; }
    HRESULT AddChannelSource(IScopeTQ8ChannelSource*, uint32_t*) override { return E_NOTIMPL; }
    HRESULT AddChannelSource2(IScopeTQ8ChannelSource*, IScopeTQ8ChannelArbiter*, uint32_t, uint32_t*) override { return E_NOTIMPL; }
    HRESULT RemoveChannelSource(uint32_t) override { return E_NOTIMPL; }
    HRESULT RefreshChannelSource(uint32_t) override { return E_NOTIMPL; }
    HRESULT GetChannelSource(uint32_t, IScopeTQ8ChannelSource**) override { return E_NOTIMPL; }
    HRESULT GetFirstChannelIdForSource(uint32_t, uint32_t*) override { return E_NOTIMPL; }
    HRESULT GetSourceIdFromChanId(uint32_t, uint32_t*) override { return E_NOTIMPL; }
    HRESULT GetChannelSourceCount(uint32_t*) override { return E_NOTIMPL; }
    HRESULT EnumChannelSourceIds(uint32_t*, uint32_t*) override { return E_NOTIMPL; }
    HRESULT SetSelection(uint64_t, uint64_t) override { return E_NOTIMPL; }
    HRESULT GetSelection(uint64_t*, uint64_t*) override { return E_NOTIMPL; }
    HRESULT ZoomToSelection() override { return E_NOTIMPL; }
    HRESULT AutoSetScaling() override { return E_NOTIMPL; }
    HRESULT SetCustomLabelProvider(IScopeTQ8CustomLabelProvider*) override { return E_NOTIMPL; }
    HRESULT AddFileChannelSource(BSTR, BSTR, VARTYPE, int32_t, uint32_t, uint32_t*) override { return E_NOTIMPL; }
    HRESULT AddBufferChannelSource(BSTR, VARIANT, uint32_t, uint32_t, VARIANT_BOOL, uint32_t*) override { return E_NOTIMPL; }
    HRESULT AddTQ8ChannelSource(void*, uint32_t, BSTR, IScopeTQ8ChannelArbiter*, uint32_t*) override { return E_NOTIMPL; }
};

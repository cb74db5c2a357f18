#include "ScopePropertyMap.h"

#include "CComVariant.h"
#include "ScopeDispatch.h"
#include "StreamIo.h"
#include "TQ8UI.h"

#include <iterator>
#include <vector>

namespace {

constexpr ScopeMapEntry kMap[] = {
    {L"BackColor", DISPID_BACKCOLOR},
    {L"BorderColor", DISPID_BORDERCOLOR},
    {L"BorderStyle", DISPID_BORDERSTYLE},
    {L"BorderVisible", DISPID_BORDERVISIBLE},
    {L"Caption", DISPID_CAPTION},
    {L"Enabled", DISPID_ENABLED},
    {L"Font", DISPID_FONT},
    {L"ForeColor", DISPID_FORECOLOR},
    {L"LabelXL", ScopeDispId::LabelXL},
    {L"LabelXR", ScopeDispId::LabelXR},
    {L"LabelXM", ScopeDispId::LabelXM},
    {L"LabelYT", ScopeDispId::LabelYT},
    {L"LabelYM", ScopeDispId::LabelYM},
    {L"LabelYB", ScopeDispId::LabelYB},
    {L"LabelYT2", ScopeDispId::LabelYT2},
    {L"LabelYM2", ScopeDispId::LabelYM2},
    {L"LabelYB2", ScopeDispId::LabelYB2},
    {L"MarginLeft", ScopeDispId::MarginLeft},
    {L"MarginRight", ScopeDispId::MarginRight},
    {L"MarginTop", ScopeDispId::MarginTop},
    {L"MarginBottom", ScopeDispId::MarginBottom},
    {L"PageWidth", ScopeDispId::PageWidth},
    {L"MaxPageWidth", ScopeDispId::MaxPageWidth},
    {L"MaxSampleValue", ScopeDispId::MaxSampleValue},
    {L"MinSampleValue", ScopeDispId::MinSampleValue},
    {L"ScopeForeColor", ScopeDispId::ScopeForeColor},
    {L"ScopeBackColor", ScopeDispId::ScopeBackColor},
    {L"GridRows", ScopeDispId::GridRows},
    {L"GridColumns", ScopeDispId::GridColumns},
    {L"AxisFont", ScopeDispId::AxisFont},
    {L"Redraw", ScopeDispId::Redraw},
    {L"PointRadius", ScopeDispId::PointRadius},
    {L"TriggerMarkStyle1", ScopeDispId::TriggerMarkStyle1},
    {L"TrigMarkLineColor1", ScopeDispId::TrigMarkLineColor1},
    {L"TrigMarkLevel1", ScopeDispId::TrigMarkLevel1},
    {L"TrigMarkImage1", ScopeDispId::TrigMarkImage1},
    {L"TrigMarkImageAlpha1", ScopeDispId::TrigMarkImageAlpha1},
    {L"TriggerMarkStyle2", ScopeDispId::TriggerMarkStyle2},
    {L"TrigMarkLineColor2", ScopeDispId::TrigMarkLineColor2},
    {L"TrigMarkLevel2", ScopeDispId::TrigMarkLevel2},
    {L"TrigMarkImage2", ScopeDispId::TrigMarkImage2},
    {L"TrigMarkImageAlpha2", ScopeDispId::TrigMarkImageAlpha2},
    {L"HScrollBar", ScopeDispId::HScrollBar},
    {L"GridLineStyle", ScopeDispId::GridLineStyle},
    {L"StartSample", ScopeDispId::StartSample},
    {L"AutoXLabels", ScopeDispId::AutoXLabels},
    {L"AutoYLabels", ScopeDispId::AutoYLabels},
    {L"AutoXLabelRadix", ScopeDispId::AutoXLabelRadix},
    {L"AutoYLabelRadix", ScopeDispId::AutoYLabelRadix},
    {L"TraceColor", ScopeDispId::TraceColor},
    {L"AllowSelection", ScopeDispId::AllowDataSelection},
    {L"SegmentSize", ScopeDispId::SegmentSize},
    {L"SegmentLineStyle", ScopeDispId::SegmentLineStyle},
    {L"SegmentLineColor", ScopeDispId::SegmentLineColor},
    {L"ContextMenuEnable", ScopeDispId::ContextMenuEnabled},
    {L"SampleTipsEnable", ScopeDispId::SampleValueTipsEnabled},
    {L"SampleTipsChanId", ScopeDispId::SampleValueTipsChannelId},
};
constexpr size_t kMapSize = std::size(kMap);
static_assert(kMapSize == 57);

size_t IndexOf(DISPID id)
{
    for (size_t i = 0; i < kMapSize; ++i)
        if (kMap[i].id == id)
            return i;
    return kMapSize;
}

HRESULT GetProperty(IDispatch* obj, DISPID id, VARIANT* out)
{
    DISPPARAMS none;
    return obj->Invoke(id, DISPATCH_PROPERTYGET, &none, out, nullptr, nullptr);
}

HRESULT PutProperty(IDispatch* obj, DISPID id, VARIANT& value)
{
    DISPPARAMS args{&value, 1};
    return obj->Invoke(id, DISPATCH_PROPERTYPUT, &args, nullptr, nullptr, nullptr);
}

int32_t IntOf(const std::vector<CComVariant>& values, DISPID id)
{
    return values[IndexOf(id)].lVal;
}

// The order in which the loaded values are put. A bounded value is put after
// its bound when the bound must grow first, and before it otherwise.
std::vector<size_t> PutOrder(IDispatch* obj, const std::vector<CComVariant>& values)
{
    const size_t pageWidth = IndexOf(ScopeDispId::PageWidth);
    const size_t maxPageWidth = IndexOf(ScopeDispId::MaxPageWidth);
    const size_t maxValue = IndexOf(ScopeDispId::MaxSampleValue);
    const size_t minValue = IndexOf(ScopeDispId::MinSampleValue);

    // The new minimum fits under the current maximum: put the minimum first.
    bool minFirst = false;
    CComVariant currentMax;
    if (values[minValue].vt == VT_I4 && SUCCEEDED(GetProperty(obj, ScopeDispId::MaxSampleValue, &currentMax))
        && currentMax.vt == VT_I4)
        minFirst = IntOf(values, ScopeDispId::MinSampleValue) < currentMax.lVal;

    std::vector<size_t> order;
    for (size_t i = 0; i < kMapSize; ++i) {
        if (i == maxPageWidth || i == minValue)
            continue;
        if (i == pageWidth) {
            order.push_back(maxPageWidth);
            order.push_back(pageWidth);
        } else if (i == maxValue) {
            order.push_back(minFirst ? minValue : maxValue);
            order.push_back(minFirst ? maxValue : minValue);
        } else {
            order.push_back(i);
        }
    }
    return order;
}

} // namespace

const ScopeMapEntry* ScopePropertyMap(size_t* count)
{
    if (count)
        *count = kMapSize;
    return kMap;
}

HRESULT SaveScopeProperties(IDispatch* obj, IStream* stream, const ScopeExtent& extent)
{
    if (!obj || !stream)
        return E_POINTER;
    HRESULT hr = vlt::WriteU32(stream, kScopeStreamVersion);
    if (SUCCEEDED(hr))
        hr = vlt::WriteU32(stream, extent.cx);
    if (SUCCEEDED(hr))
        hr = vlt::WriteU32(stream, extent.cy);
    for (size_t i = 0; SUCCEEDED(hr) && i < kMapSize; ++i) {
        CComVariant value;
        hr = GetProperty(obj, kMap[i].id, &value);
        if (SUCCEEDED(hr))
            hr = vlt::WriteVariant(stream, value);
    }
    return hr;
}

HRESULT LoadScopeProperties(IDispatch* obj, IStream* stream, ScopeExtent* extent)
{
    if (!obj || !stream || !extent)
        return E_POINTER;
    uint32_t version = 0;
    ScopeExtent ext;
    HRESULT hr = vlt::ReadU32(stream, version);
    if (SUCCEEDED(hr) && version != kScopeStreamVersion)
        return STG_E_OLDFORMAT;
    if (SUCCEEDED(hr))
        hr = vlt::ReadU32(stream, ext.cx);
    if (SUCCEEDED(hr))
        hr = vlt::ReadU32(stream, ext.cy);
    std::vector<CComVariant> values(kMapSize);
    for (size_t i = 0; SUCCEEDED(hr) && i < kMapSize; ++i) {
        hr = vlt::ReadVariant(stream, &values[i]);
        if (SUCCEEDED(hr) && values[i].vt != FindScopeProperty(kMap[i].id)->vt)
            hr = DISP_E_TYPEMISMATCH;
    }
    if (FAILED(hr))
        return hr;

    *extent = ext;
    for (size_t i : PutOrder(obj, values))
        PutProperty(obj, kMap[i].id, values[i]);
    return S_OK;
}

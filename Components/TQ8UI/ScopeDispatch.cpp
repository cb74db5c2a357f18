#include "ScopeDispatch.h"

#include "CComPtr.h"

#include <cwctype>
#include <iterator>
#include <type_traits>

namespace {

constexpr ScopeProperty kProperties[] = {
    {DISPID_BACKCOLOR, L"BackColor", VT_UI4, false, false},
    {DISPID_BORDERCOLOR, L"BorderColor", VT_UI4, false, false},
    {DISPID_BORDERSTYLE, L"BorderStyle", VT_I4, false, false},
    {DISPID_FONT, L"Font", VT_UNKNOWN, false, false},
    {DISPID_FORECOLOR, L"ForeColor", VT_UI4, false, false},
    {DISPID_ENABLED, L"Enabled", VT_BOOL, false, false},
    {DISPID_CAPTION, L"Caption", VT_BSTR, false, false},
    {DISPID_BORDERVISIBLE, L"BorderVisible", VT_BOOL, false, false},
    {ScopeDispId::LabelXL, L"LabelXL", VT_BSTR, false, false},
    {ScopeDispId::LabelXR, L"LabelXR", VT_BSTR, false, false},
    {ScopeDispId::LabelXM, L"LabelXM", VT_BSTR, false, false},
    {ScopeDispId::LabelYT, L"LabelYT", VT_BSTR, false, false},
    {ScopeDispId::LabelYM, L"LabelYM", VT_BSTR, false, false},
    {ScopeDispId::LabelYB, L"LabelYB", VT_BSTR, false, false},
    {ScopeDispId::LabelYT2, L"LabelYT2", VT_BSTR, false, false},
    {ScopeDispId::LabelYM2, L"LabelYM2", VT_BSTR, false, false},
    {ScopeDispId::LabelYB2, L"LabelYB2", VT_BSTR, false, false},
    {ScopeDispId::AutoXLabels, L"AutoXLabels", VT_BOOL, false, false},
    {ScopeDispId::AutoYLabels, L"AutoYLabels", VT_BOOL, false, false},
    {ScopeDispId::AutoXLabelRadix, L"AutoXLabelRadix", VT_I4, false, false},
    {ScopeDispId::AutoYLabelRadix, L"AutoYLabelRadix", VT_I4, false, false},
    {ScopeDispId::AllowDataSelection, L"AllowDataSelection", VT_BOOL, false, false},
    {ScopeDispId::MarginLeft, L"MarginLeft", VT_I4, false, false},
    {ScopeDispId::MarginRight, L"MarginRight", VT_I4, false, false},
    {ScopeDispId::MarginTop, L"MarginTop", VT_I4, false, false},
    {ScopeDispId::MarginBottom, L"MarginBottom", VT_I4, false, false},
    {ScopeDispId::StartSample, L"StartSample", VT_UI8, false, false},
    {ScopeDispId::PageWidth, L"PageWidth", VT_UI4, false, false},
    {ScopeDispId::MaxPageWidth, L"MaxPageWidth", VT_UI4, false, false},
    {ScopeDispId::MaxSampleValue, L"MaxSampleValue", VT_I4, false, false},
    {ScopeDispId::MinSampleValue, L"MinSampleValue", VT_I4, false, false},
    {ScopeDispId::MaxSampleCount, L"MaxSampleCount", VT_UI8, false, true},
    {ScopeDispId::HScrollBar, L"HScrollBar", VT_I4, false, false},
    {ScopeDispId::PointRadius, L"PointRadius", VT_I4, false, false},
    {ScopeDispId::GridRows, L"GridRows", VT_I4, false, false},
    {ScopeDispId::GridColumns, L"GridColumns", VT_I4, false, false},
    {ScopeDispId::GridLineStyle, L"GridLineStyle", VT_I4, false, false},
    {ScopeDispId::AxisFont, L"AxisFont", VT_UNKNOWN, false, false},
    {ScopeDispId::Redraw, L"Redraw", VT_BOOL, false, false},
    {ScopeDispId::TriggerMarkStyle1, L"TriggerMarkStyle1", VT_I4, false, false},
    {ScopeDispId::TrigMarkLevel1, L"TrigMarkLevel1", VT_R4, false, false},
    {ScopeDispId::TrigMarkImage1, L"TrigMarkImage1", VT_UNKNOWN, false, false},
    {ScopeDispId::TrigMarkImageAlpha1, L"TrigMarkImageAlpha1", VT_R8, false, false},
    {ScopeDispId::TrigMarkLineColor1, L"TrigMarkLineColor1", VT_UI4, false, false},
    {ScopeDispId::TriggerMarkStyle2, L"TriggerMarkStyle2", VT_I4, false, false},
    {ScopeDispId::TrigMarkLevel2, L"TrigMarkLevel2", VT_R4, false, false},
    {ScopeDispId::TrigMarkImage2, L"TrigMarkImage2", VT_UNKNOWN, false, false},
    {ScopeDispId::TrigMarkImageAlpha2, L"TrigMarkImageAlpha2", VT_R8, false, false},
    {ScopeDispId::TrigMarkLineColor2, L"TrigMarkLineColor2", VT_UI4, false, false},
    {ScopeDispId::ScopeForeColor, L"ScopeForeColor", VT_UI4, false, false},
    {ScopeDispId::ScopeBackColor, L"ScopeBackColor", VT_UI4, false, false},
    {ScopeDispId::TraceColor, L"TraceColor", VT_UI4, false, false},
    {ScopeDispId::ChannelColor, L"ChannelColor", VT_UI4, true, false},
    {ScopeDispId::ChannelVisibility, L"ChannelVisibility", VT_BOOL, true, false},
    {ScopeDispId::SegmentSize, L"SegmentSize", VT_UI4, false, false},
    {ScopeDispId::SegmentLineStyle, L"SegmentLineStyle", VT_I4, false, false},
    {ScopeDispId::SegmentLineColor, L"SegmentLineColor", VT_UI4, false, false},
    {ScopeDispId::ContextMenuEnabled, L"ContextMenuEnabled", VT_BOOL, false, false},
    {ScopeDispId::SampleValueTipsEnabled, L"SampleValueTipsEnabled", VT_BOOL, false, false},
    {ScopeDispId::SampleValueTipsChannelId, L"SampleValueTipsChannelId", VT_UI4, false, false},
    {ScopeDispId::SampleValueTipsRadix, L"SampleValueTipsRadix", VT_I4, false, false},
};

// Variant <-> value of a property's own type.
template <class T>
constexpr VARTYPE VtOf()
{
    if constexpr (std::is_enum_v<T> || std::is_same_v<T, int32_t>)
        return VT_I4;
    else if constexpr (std::is_same_v<T, uint32_t>)
        return VT_UI4;
    else if constexpr (std::is_same_v<T, uint64_t>)
        return VT_UI8;
    else if constexpr (std::is_same_v<T, VARIANT_BOOL>)
        return VT_BOOL;
    else if constexpr (std::is_same_v<T, float>)
        return VT_R4;
    else if constexpr (std::is_same_v<T, double>)
        return VT_R8;
    else if constexpr (std::is_same_v<T, BSTR>)
        return VT_BSTR;
    else
        return VT_UNKNOWN;
}

template <class T>
void Store(VARIANT* out, T value) // takes over text and references
{
    out->vt = VtOf<T>();
    if constexpr (std::is_enum_v<T> || std::is_same_v<T, int32_t>)
        out->lVal = static_cast<int32_t>(value);
    else if constexpr (std::is_same_v<T, uint32_t>)
        out->ulVal = value;
    else if constexpr (std::is_same_v<T, uint64_t>)
        out->ullVal = value;
    else if constexpr (std::is_same_v<T, VARIANT_BOOL>)
        out->boolVal = value;
    else if constexpr (std::is_same_v<T, float>)
        out->fltVal = value;
    else if constexpr (std::is_same_v<T, double>)
        out->dblVal = value;
    else if constexpr (std::is_same_v<T, BSTR>)
        out->bstrVal = value;
    else
        out->punkVal = value; // an interface pointer with its reference
}

template <class T>
T Extract(const VARIANT& in)
{
    if constexpr (std::is_enum_v<T>)
        return static_cast<T>(in.lVal);
    else if constexpr (std::is_same_v<T, int32_t>)
        return in.lVal;
    else if constexpr (std::is_same_v<T, uint32_t>)
        return in.ulVal;
    else if constexpr (std::is_same_v<T, uint64_t>)
        return in.ullVal;
    else if constexpr (std::is_same_v<T, VARIANT_BOOL>)
        return in.boolVal;
    else if constexpr (std::is_same_v<T, float>)
        return in.fltVal;
    else if constexpr (std::is_same_v<T, double>)
        return in.dblVal;
    else
        return in.bstrVal;
}

struct Call {
    IScopeTQ8* scope;
    bool get;
    VARIANT* result;
    const VARIANT* value;
    uint32_t chanId;

    template <class T>
    HRESULT Prop(HRESULT (IScopeTQ8::*getter)(T*), HRESULT (IScopeTQ8::*putter)(T)) const
    {
        if (get) {
            T v{};
            HRESULT hr = (scope->*getter)(&v);
            if (SUCCEEDED(hr))
                Store(result, v);
            return hr;
        }
        if (value->vt != VtOf<T>())
            return DISP_E_TYPEMISMATCH;
        if constexpr (std::is_pointer_v<T> && !std::is_same_v<T, BSTR>) {
            // Objects: the value's face for this property (null allowed).
            CComPtr<std::remove_pointer_t<T>> face;
            if (value->punkVal && FAILED(value->punkVal->QueryInterface(&face)))
                return DISP_E_TYPEMISMATCH;
            return (scope->*putter)(face.p);
        } else {
            return (scope->*putter)(Extract<T>(*value));
        }
    }

    template <class T>
    HRESULT Indexed(HRESULT (IScopeTQ8::*getter)(uint32_t, T*), HRESULT (IScopeTQ8::*putter)(uint32_t, T)) const
    {
        if (get) {
            T v{};
            HRESULT hr = (scope->*getter)(chanId, &v);
            if (SUCCEEDED(hr))
                Store(result, v);
            return hr;
        }
        if (value->vt != VtOf<T>())
            return DISP_E_TYPEMISMATCH;
        return (scope->*putter)(chanId, Extract<T>(*value));
    }

    HRESULT ReadOnly(HRESULT (IScopeTQ8::*getter)(uint64_t*)) const
    {
        if (!get)
            return DISP_E_MEMBERNOTFOUND;
        uint64_t v = 0;
        HRESULT hr = (scope->*getter)(&v);
        if (SUCCEEDED(hr))
            Store(result, v);
        return hr;
    }
};

#define SCOPE_PROP(name) return c.Prop(&IScopeTQ8::get_##name, &IScopeTQ8::put_##name)

HRESULT Dispatch(const Call& c, DISPID id)
{
    switch (id) {
    case DISPID_BACKCOLOR: SCOPE_PROP(BackColor);
    case DISPID_BORDERCOLOR: SCOPE_PROP(BorderColor);
    case DISPID_BORDERSTYLE: SCOPE_PROP(BorderStyle);
    case DISPID_FONT: SCOPE_PROP(Font);
    case DISPID_FORECOLOR: SCOPE_PROP(ForeColor);
    case DISPID_ENABLED: SCOPE_PROP(Enabled);
    case DISPID_CAPTION: SCOPE_PROP(Caption);
    case DISPID_BORDERVISIBLE: SCOPE_PROP(BorderVisible);
    case ScopeDispId::LabelXL: SCOPE_PROP(LabelXL);
    case ScopeDispId::LabelXR: SCOPE_PROP(LabelXR);
    case ScopeDispId::LabelXM: SCOPE_PROP(LabelXM);
    case ScopeDispId::LabelYT: SCOPE_PROP(LabelYT);
    case ScopeDispId::LabelYM: SCOPE_PROP(LabelYM);
    case ScopeDispId::LabelYB: SCOPE_PROP(LabelYB);
    case ScopeDispId::LabelYT2: SCOPE_PROP(LabelYT2);
    case ScopeDispId::LabelYM2: SCOPE_PROP(LabelYM2);
    case ScopeDispId::LabelYB2: SCOPE_PROP(LabelYB2);
    case ScopeDispId::AutoXLabels: SCOPE_PROP(AutoXLabels);
    case ScopeDispId::AutoYLabels: SCOPE_PROP(AutoYLabels);
    case ScopeDispId::AutoXLabelRadix: SCOPE_PROP(AutoXLabelRadix);
    case ScopeDispId::AutoYLabelRadix: SCOPE_PROP(AutoYLabelRadix);
    case ScopeDispId::AllowDataSelection: SCOPE_PROP(AllowDataSelection);
    case ScopeDispId::MarginLeft: SCOPE_PROP(MarginLeft);
    case ScopeDispId::MarginRight: SCOPE_PROP(MarginRight);
    case ScopeDispId::MarginTop: SCOPE_PROP(MarginTop);
    case ScopeDispId::MarginBottom: SCOPE_PROP(MarginBottom);
    case ScopeDispId::StartSample: SCOPE_PROP(StartSample);
    case ScopeDispId::PageWidth: SCOPE_PROP(PageWidth);
    case ScopeDispId::MaxPageWidth: SCOPE_PROP(MaxPageWidth);
    case ScopeDispId::MaxSampleValue: SCOPE_PROP(MaxSampleValue);
    case ScopeDispId::MinSampleValue: SCOPE_PROP(MinSampleValue);
    case ScopeDispId::MaxSampleCount: return c.ReadOnly(&IScopeTQ8::get_MaxSampleCount);
    case ScopeDispId::HScrollBar: SCOPE_PROP(HScrollBar);
    case ScopeDispId::PointRadius: SCOPE_PROP(PointRadius);
    case ScopeDispId::GridRows: SCOPE_PROP(GridRows);
    case ScopeDispId::GridColumns: SCOPE_PROP(GridColumns);
    case ScopeDispId::GridLineStyle: SCOPE_PROP(GridLineStyle);
    case ScopeDispId::AxisFont: SCOPE_PROP(AxisFont);
    case ScopeDispId::Redraw: SCOPE_PROP(Redraw);
    case ScopeDispId::TriggerMarkStyle1: SCOPE_PROP(TriggerMarkStyle1);
    case ScopeDispId::TrigMarkLevel1: SCOPE_PROP(TrigMarkLevel1);
    case ScopeDispId::TrigMarkImage1: SCOPE_PROP(TrigMarkImage1);
    case ScopeDispId::TrigMarkImageAlpha1: SCOPE_PROP(TrigMarkImageAlpha1);
    case ScopeDispId::TrigMarkLineColor1: SCOPE_PROP(TrigMarkLineColor1);
    case ScopeDispId::TriggerMarkStyle2: SCOPE_PROP(TriggerMarkStyle2);
    case ScopeDispId::TrigMarkLevel2: SCOPE_PROP(TrigMarkLevel2);
    case ScopeDispId::TrigMarkImage2: SCOPE_PROP(TrigMarkImage2);
    case ScopeDispId::TrigMarkImageAlpha2: SCOPE_PROP(TrigMarkImageAlpha2);
    case ScopeDispId::TrigMarkLineColor2: SCOPE_PROP(TrigMarkLineColor2);
    case ScopeDispId::ScopeForeColor: SCOPE_PROP(ScopeForeColor);
    case ScopeDispId::ScopeBackColor: SCOPE_PROP(ScopeBackColor);
    case ScopeDispId::TraceColor: SCOPE_PROP(TraceColor);
    case ScopeDispId::ChannelColor: return c.Indexed(&IScopeTQ8::get_ChannelColor, &IScopeTQ8::put_ChannelColor);
    case ScopeDispId::ChannelVisibility:
        return c.Indexed(&IScopeTQ8::get_ChannelVisibility, &IScopeTQ8::put_ChannelVisibility);
    case ScopeDispId::SegmentSize: SCOPE_PROP(SegmentSize);
    case ScopeDispId::SegmentLineStyle: SCOPE_PROP(SegmentLineStyle);
    case ScopeDispId::SegmentLineColor: SCOPE_PROP(SegmentLineColor);
    case ScopeDispId::ContextMenuEnabled: SCOPE_PROP(ContextMenuEnabled);
    case ScopeDispId::SampleValueTipsEnabled: SCOPE_PROP(SampleValueTipsEnabled);
    case ScopeDispId::SampleValueTipsChannelId: SCOPE_PROP(SampleValueTipsChannelId);
    case ScopeDispId::SampleValueTipsRadix: SCOPE_PROP(SampleValueTipsRadix);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

#undef SCOPE_PROP

bool SameNameNoCase(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::towlower(*a) != std::towlower(*b))
            return false;
    return *a == *b;
}

} // namespace

const ScopeProperty* ScopeProperties(size_t* count)
{
    if (count)
        *count = std::size(kProperties);
    return kProperties;
}

const ScopeProperty* FindScopeProperty(DISPID id)
{
    for (const auto& p : kProperties)
        if (p.id == id)
            return &p;
    return nullptr;
}

HRESULT ScopePropertyIdOfName(const wchar_t* name, DISPID* pid)
{
    if (!name || !pid)
        return E_POINTER;
    for (const auto& p : kProperties) {
        if (SameNameNoCase(p.name, name)) {
            *pid = p.id;
            return S_OK;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT InvokeScopeProperty(IScopeTQ8* scope, DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult)
{
    const ScopeProperty* prop = FindScopeProperty(id);
    if (!prop)
        return DISP_E_MEMBERNOTFOUND;
    const bool get = flags & DISPATCH_PROPERTYGET;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    if (get == put)
        return DISP_E_MEMBERNOTFOUND;
    const uint32_t argc = params ? params->cArgs : 0;
    const uint32_t wanted = (prop->indexed ? 1u : 0u) + (put ? 1u : 0u);
    if (argc != wanted || (argc > 0 && !params->rgvarg))
        return DISP_E_BADPARAMCOUNT;
    if (get && !pResult)
        return E_POINTER;
    Call c{scope, get, pResult, nullptr, 0};
    if (prop->indexed) {
        if (params->rgvarg[0].vt != VT_UI4)
            return DISP_E_TYPEMISMATCH;
        c.chanId = params->rgvarg[0].ulVal;
    }
    if (put)
        c.value = &params->rgvarg[argc - 1];
    if (get)
        VariantClear(pResult);
    // putref is the stored-object put for the font; the other object
    // properties store the given object with their only put.
    if (put && (flags & DISPATCH_PROPERTYPUTREF) && id == DISPID_FONT) {
        if (c.value->vt != VT_UNKNOWN)
            return DISP_E_TYPEMISMATCH;
        CComPtr<IFontDisp> face;
        if (c.value->punkVal && FAILED(c.value->punkVal->QueryInterface(&face)))
            return DISP_E_TYPEMISMATCH;
        return scope->putref_Font(face.p);
    }
    return Dispatch(c, id);
}

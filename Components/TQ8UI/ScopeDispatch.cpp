#include "ScopeDispatch.h"

#include "CComPtr.h"
#include "CComVariant.h"
#include "ChanSrcCreate.h"
#include "SafeArray.h"
#include "VariantConvert.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

// One Invoke's arguments, in the member's own order.
struct ScopeInvocation {
    bool get;    // a property get
    bool putRef; // a property put by reference
    const DISPPARAMS& args;
    VARIANT* result;
    uint32_t* argErr;

    uint32_t Count() const { return args.cArgs; }
    // Argument i (first is 0); null for one the caller left out.
    VARIANT* Arg(uint32_t i) const { return i < args.cArgs ? &args.rgvarg[args.cArgs - 1 - i] : nullptr; }
    // Reports argument i as the one refused.
    HRESULT Refuse(uint32_t i, HRESULT hr) const
    {
        if (argErr && i < args.cArgs)
            *argErr = args.cArgs - 1 - i;
        return hr;
    }
    template <class H>
    HRESULT Take(uint32_t i, H& holder) const
    {
        const HRESULT hr = holder.Take(Arg(i));
        return FAILED(hr) ? Refuse(i, hr) : hr;
    }
    template <class H>
    HRESULT Give(uint32_t i, H& holder) const
    {
        const HRESULT hr = holder.Give(result);
        return FAILED(hr) ? Refuse(i, hr) : hr;
    }
};

namespace {

// ---- values of the members' own types in variants ----

template <class T>
constexpr VARTYPE VtOf()
{
    if constexpr (std::is_enum_v<T> || std::is_same_v<T, int32_t>)
        return VT_I4;
    else if constexpr (std::is_same_v<T, uint16_t>)
        return VT_UI2;
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
    else if constexpr (std::is_same_v<T, uint16_t>)
        out->uiVal = value;
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
    else if constexpr (std::is_same_v<T, uint16_t>)
        return in.uiVal;
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

template <class T>
constexpr bool kIsObject = std::is_pointer_v<T> && !std::is_same_v<T, BSTR>;

// ---- properties ----

template <class G>
struct Getter;
template <class T>
struct Getter<HRESULT (IScopeTQ8::*)(T*)> {
    using type = T;
    static constexpr bool indexed = false;
};
template <class T>
struct Getter<HRESULT (IScopeTQ8::*)(uint32_t, T*)> {
    using type = T;
    static constexpr bool indexed = true;
};

template <auto Get, auto Put, auto PutRef>
HRESULT PropertyCall(IScopeTQ8* scope, const ScopeInvocation& how)
{
    using G = Getter<decltype(Get)>;
    using T = typename G::type;
    uint32_t chanId = 0;
    if constexpr (G::indexed) {
        if (how.Arg(0)->vt != VT_UI4)
            return how.Refuse(0, DISP_E_TYPEMISMATCH);
        chanId = how.Arg(0)->ulVal;
    }
    auto call = [&](auto member, auto... value) {
        if constexpr (G::indexed)
            return (scope->*member)(chanId, value...);
        else
            return (scope->*member)(value...);
    };
    if (how.get) {
        T v{};
        const HRESULT hr = call(Get, &v);
        if (SUCCEEDED(hr))
            Store(how.result, v);
        return hr;
    }
    if constexpr (std::is_null_pointer_v<decltype(Put)>) {
        return DISP_E_MEMBERNOTFOUND;
    } else {
        const uint32_t last = how.Count() - 1;
        const VARIANT& value = *how.Arg(last);
        if (value.vt != VtOf<T>())
            return how.Refuse(last, DISP_E_TYPEMISMATCH);
        if constexpr (kIsObject<T>) {
            // The value's face for this property (null allowed).
            CComPtr<std::remove_pointer_t<T>> face;
            if (value.punkVal && FAILED(value.punkVal->QueryInterface(&face)))
                return how.Refuse(last, DISP_E_TYPEMISMATCH);
            // putref is the stored-object put for the font; the other object
            // properties store the given object with their only put.
            if constexpr (!std::is_null_pointer_v<decltype(PutRef)>)
                if (how.putRef)
                    return call(PutRef, face.p);
            return call(Put, face.p);
        } else {
            return call(Put, Extract<T>(value));
        }
    }
}

template <auto Get, auto Put = nullptr, auto PutRef = nullptr>
constexpr ScopeMember Property(DISPID id, const wchar_t* name)
{
    using G = Getter<decltype(Get)>;
    return {id, name, VtOf<typename G::type>(), G::indexed, std::is_null_pointer_v<decltype(Put)>, false,
            G::indexed ? L"chanId" : L"", &PropertyCall<Get, Put, PutRef>};
}

// ---- method arguments: Take reads the caller's variant (null: left out, to
// come back as the result), Arg is what the method gets, Give hands an out
// value back once the method has succeeded ----

struct InArg {
    static constexpr bool out = false;
    HRESULT Give(VARIANT*) { return S_OK; }
};

template <class T>
struct In : InArg {
    CComVariant value;
    HRESULT Take(VARIANT* a) { return vlt::VariantChangeType(&value, *a, VtOf<T>()); }
    T Arg() const { return Extract<T>(value); }
};

// A board handle, given as the number of its address.
struct InHandle : InArg {
    CComVariant value;
    HRESULT Take(VARIANT* a)
    {
        const HRESULT hr = vlt::VariantChangeType(&value, *a, VT_UI8);
        return SUCCEEDED(hr) && !std::in_range<uintptr_t>(value.ullVal) ? DISP_E_OVERFLOW : hr;
    }
    void* Arg() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(value.ullVal)); }
};

// Passed on as given; a reference as the value it refers to.
struct InVariant : InArg {
    VARIANT view;
    HRESULT Take(VARIANT* a) { return vlt::VariantDeref(*a, &view); }
    VARIANT Arg() const { return view; }
};

template <class I>
struct InObject : InArg {
    CComPtr<I> object;
    HRESULT Take(VARIANT* a)
    {
        CComVariant any;
        const HRESULT hr = vlt::VariantChangeType(&any, *a, VT_UNKNOWN);
        if (FAILED(hr))
            return hr;
        return !any.punkVal || SUCCEEDED(any.punkVal->QueryInterface(&object)) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    I* Arg() const { return object.p; }
};

// A number the method writes: through the caller's reference of its type
// (a null one reaches the method as null), or into the result.
template <class T>
struct Out {
    static constexpr bool out = true;
    T local{};
    T* target = nullptr;
    bool asResult = false;
    HRESULT Take(VARIANT* a)
    {
        asResult = !a;
        if (asResult)
            target = &local;
        else if (a->vt == (VT_BYREF | VtOf<T>()))
            target = static_cast<T*>(a->byref);
        else
            return DISP_E_TYPEMISMATCH;
        return S_OK;
    }
    T* Arg() const { return target; }
    HRESULT Give(VARIANT* result)
    {
        if (asResult && result)
            Store(result, local);
        return S_OK;
    }
};

// An object the method hands out: through a VT_UNKNOWN or VT_DISPATCH
// reference, or into the result.
template <class I>
struct OutObject {
    static constexpr bool out = true;
    CComPtr<I> local;
    VARIANT* slot = nullptr;
    HRESULT Take(VARIANT* a)
    {
        slot = a;
        return !a || a->vt == (VT_BYREF | VT_UNKNOWN) || a->vt == (VT_BYREF | VT_DISPATCH) ? S_OK
                                                                                          : DISP_E_TYPEMISMATCH;
    }
    I** Arg() { return !slot || slot->byref ? &local.p : nullptr; }
    HRESULT Give(VARIANT* result)
    {
        CComVariant object(static_cast<IUnknown*>(local.p));
        if (!slot)
            return result ? object.Detach(result) : S_OK;
        if (!slot->byref)
            return S_OK;
        CComVariant face;
        const HRESULT hr = vlt::VariantChangeType(&face, object, slot->vt & ~VT_BYREF);
        if (FAILED(hr))
            return hr;
        VARIANT handed;
        face.Detach(&handed);
        if (handed.vt == VT_DISPATCH)
            *slot->ppdispVal = handed.pdispVal;
        else
            *slot->ppunkVal = handed.punkVal;
        return S_OK;
    }
};

// The ids of EnumChannelSourceIds: an array of those written, as many as
// fit in *bufSize but no more than there are sources.
struct IdArray {
    static constexpr bool out = true;
    VARIANT* slot = nullptr;
    std::vector<uint32_t> ids;
    HRESULT Take(VARIANT* a)
    {
        slot = a;
        return !a || a->vt == (VT_BYREF | VT_ARRAY | VT_UI4) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    bool Wanted() const { return !slot || slot->byref; }
    IdArray* Arg() { return this; }
    HRESULT Give(VARIANT* result)
    {
        if (!Wanted() || (!slot && !result))
            return S_OK;
        SAFEARRAY* psa = SafeArrayCreateVector(VT_UI4, 0, static_cast<uint32_t>(ids.size()));
        if (!psa)
            return E_OUTOFMEMORY;
        if (!ids.empty())
            std::memcpy(psa->pvData, ids.data(), ids.size() * sizeof(uint32_t));
        if (slot) {
            *slot->pparray = psa;
        } else {
            result->vt = VT_ARRAY | VT_UI4;
            result->parray = psa;
        }
        return S_OK;
    }
};

template <class T>
struct HolderFor {
    using type = In<T>;
};
template <class T>
struct HolderFor<T*> {
    using type = std::conditional_t<std::is_base_of_v<IUnknown, T>, InObject<T>, Out<T>>;
};
template <class I>
struct HolderFor<I**> {
    using type = OutObject<I>;
};
template <>
struct HolderFor<BSTR> {
    using type = In<BSTR>;
};
template <>
struct HolderFor<void*> {
    using type = InHandle;
};
template <>
struct HolderFor<VARIANT> {
    using type = InVariant;
};

template <class... H>
constexpr bool LastIsOut()
{
    if constexpr (sizeof...(H) == 0)
        return false;
    else
        return std::tuple_element_t<sizeof...(H) - 1, std::tuple<H...>>::out;
}

template <class... H, size_t... I, class Call>
HRESULT MarshalArgs([[maybe_unused]] const ScopeInvocation& how, std::index_sequence<I...>, Call& call)
{
    [[maybe_unused]] std::tuple<H...> holders;
    HRESULT hr = S_OK;
    (void)(... && SUCCEEDED(hr = how.Take(I, std::get<I>(holders))));
    if (FAILED(hr))
        return hr;
    hr = call(std::get<I>(holders).Arg()...);
    if (FAILED(hr))
        return hr;
    HRESULT given = S_OK;
    (void)(... && SUCCEEDED(given = how.Give(I, std::get<I>(holders))));
    return FAILED(given) ? given : hr;
}

// The argument marshaller: checks the count, converts every argument with
// its holder H, calls, and hands back the out values.
template <class... H, class Call>
HRESULT Marshal(const ScopeInvocation& how, Call call)
{
    constexpr uint32_t n = sizeof...(H);
    if (how.Count() != n && !(LastIsOut<H...>() && how.Count() + 1 == n))
        return DISP_E_BADPARAMCOUNT;
    return MarshalArgs<H...>(how, std::index_sequence_for<H...>{}, call);
}

template <class Fn>
struct MethodOf;
template <class... A>
struct MethodOf<HRESULT (IScopeTQ8::*)(A...)> {
    template <auto Fn>
    static HRESULT Call(IScopeTQ8* scope, const ScopeInvocation& how)
    {
        return Marshal<typename HolderFor<A>::type...>(how, [scope](auto... a) { return (scope->*Fn)(a...); });
    }
};

template <auto Fn>
constexpr ScopeMember Method(DISPID id, const wchar_t* name, const wchar_t* params)
{
    return {id, name, VT_EMPTY, false, false, true, params, &MethodOf<decltype(Fn)>::template Call<Fn>};
}

HRESULT EnumIdsCall(IScopeTQ8* scope, const ScopeInvocation& how)
{
    return Marshal<Out<uint32_t>, IdArray>(how, [scope](uint32_t* bufSize, IdArray* ids) {
        if (!bufSize || !ids->Wanted())
            return scope->EnumChannelSourceIds(bufSize, nullptr);
        uint32_t fit = 0;
        HRESULT hr = scope->EnumChannelSourceIds(&fit, nullptr);
        if (FAILED(hr))
            return hr;
        fit = std::min(fit, *bufSize);
        ids->ids.resize(size_t(fit) + 1); // never empty: no buffer would ask for the count
        hr = scope->EnumChannelSourceIds(&fit, ids->ids.data());
        ids->ids.resize(fit);
        return hr;
    });
}

// A late-bound caller frees its own arguments after the call, so a buffer
// the source is to free on its own is handed over as a copy: the source
// owns the copy once it is made, and the caller's array stays the caller's.
HRESULT AddBufferCall(IScopeTQ8* scope, const ScopeInvocation& how)
{
    return Marshal<In<BSTR>, InVariant, In<uint32_t>, In<uint32_t>, In<VARIANT_BOOL>, Out<uint32_t>>(
        how, [scope](BSTR name, VARIANT buffer, uint32_t channels, uint32_t total, VARIANT_BOOL freeIt,
                     uint32_t* srcId) {
            if (!freeIt || channels == 0)
                return scope->AddBufferChannelSource(name, buffer, channels, total, freeIt, srcId);
            CComVariant own;
            HRESULT hr = own.Copy(&buffer);
            if (FAILED(hr))
                return hr;
            CComPtr<IScopeTQ8ChannelSource> source;
            hr = chansrc::CreateBufferSource(name, own, channels, total, VARIANT_TRUE, &source);
            if (FAILED(hr))
                return hr;
            VARIANT taken; // the source frees it from here on
            own.Detach(&taken);
            return scope->AddChannelSource(source, srcId);
        });
}

#define SCOPE_PROP(id, name) Property<&IScopeTQ8::get_##name, &IScopeTQ8::put_##name>(id, L"" #name)
#define SCOPE_METHOD(name, params) Method<&IScopeTQ8::name>(ScopeDispId::name, L"" #name, params)

constexpr ScopeMember kMembers[] = {
    SCOPE_PROP(DISPID_BACKCOLOR, BackColor),
    SCOPE_PROP(DISPID_BORDERCOLOR, BorderColor),
    SCOPE_PROP(DISPID_BORDERSTYLE, BorderStyle),
    Property<&IScopeTQ8::get_Font, &IScopeTQ8::put_Font, &IScopeTQ8::putref_Font>(DISPID_FONT, L"Font"),
    SCOPE_PROP(DISPID_FORECOLOR, ForeColor),
    SCOPE_PROP(DISPID_ENABLED, Enabled),
    SCOPE_PROP(DISPID_CAPTION, Caption),
    SCOPE_PROP(DISPID_BORDERVISIBLE, BorderVisible),
    SCOPE_PROP(ScopeDispId::LabelXL, LabelXL),
    SCOPE_PROP(ScopeDispId::LabelXR, LabelXR),
    SCOPE_PROP(ScopeDispId::LabelXM, LabelXM),
    SCOPE_PROP(ScopeDispId::LabelYT, LabelYT),
    SCOPE_PROP(ScopeDispId::LabelYM, LabelYM),
    SCOPE_PROP(ScopeDispId::LabelYB, LabelYB),
    SCOPE_PROP(ScopeDispId::LabelYT2, LabelYT2),
    SCOPE_PROP(ScopeDispId::LabelYM2, LabelYM2),
    SCOPE_PROP(ScopeDispId::LabelYB2, LabelYB2),
    SCOPE_PROP(ScopeDispId::AutoXLabels, AutoXLabels),
    SCOPE_PROP(ScopeDispId::AutoYLabels, AutoYLabels),
    SCOPE_PROP(ScopeDispId::AutoXLabelRadix, AutoXLabelRadix),
    SCOPE_PROP(ScopeDispId::AutoYLabelRadix, AutoYLabelRadix),
    SCOPE_PROP(ScopeDispId::AllowDataSelection, AllowDataSelection),
    SCOPE_PROP(ScopeDispId::MarginLeft, MarginLeft),
    SCOPE_PROP(ScopeDispId::MarginRight, MarginRight),
    SCOPE_PROP(ScopeDispId::MarginTop, MarginTop),
    SCOPE_PROP(ScopeDispId::MarginBottom, MarginBottom),
    SCOPE_PROP(ScopeDispId::StartSample, StartSample),
    SCOPE_PROP(ScopeDispId::PageWidth, PageWidth),
    SCOPE_PROP(ScopeDispId::MaxPageWidth, MaxPageWidth),
    SCOPE_PROP(ScopeDispId::MaxSampleValue, MaxSampleValue),
    SCOPE_PROP(ScopeDispId::MinSampleValue, MinSampleValue),
    Property<&IScopeTQ8::get_MaxSampleCount>(ScopeDispId::MaxSampleCount, L"MaxSampleCount"),
    SCOPE_PROP(ScopeDispId::HScrollBar, HScrollBar),
    SCOPE_PROP(ScopeDispId::PointRadius, PointRadius),
    SCOPE_PROP(ScopeDispId::GridRows, GridRows),
    SCOPE_PROP(ScopeDispId::GridColumns, GridColumns),
    SCOPE_PROP(ScopeDispId::GridLineStyle, GridLineStyle),
    SCOPE_PROP(ScopeDispId::AxisFont, AxisFont),
    SCOPE_PROP(ScopeDispId::Redraw, Redraw),
    SCOPE_PROP(ScopeDispId::TriggerMarkStyle1, TriggerMarkStyle1),
    SCOPE_PROP(ScopeDispId::TrigMarkLevel1, TrigMarkLevel1),
    SCOPE_PROP(ScopeDispId::TrigMarkImage1, TrigMarkImage1),
    SCOPE_PROP(ScopeDispId::TrigMarkImageAlpha1, TrigMarkImageAlpha1),
    SCOPE_PROP(ScopeDispId::TrigMarkLineColor1, TrigMarkLineColor1),
    SCOPE_PROP(ScopeDispId::TriggerMarkStyle2, TriggerMarkStyle2),
    SCOPE_PROP(ScopeDispId::TrigMarkLevel2, TrigMarkLevel2),
    SCOPE_PROP(ScopeDispId::TrigMarkImage2, TrigMarkImage2),
    SCOPE_PROP(ScopeDispId::TrigMarkImageAlpha2, TrigMarkImageAlpha2),
    SCOPE_PROP(ScopeDispId::TrigMarkLineColor2, TrigMarkLineColor2),
    SCOPE_PROP(ScopeDispId::ScopeForeColor, ScopeForeColor),
    SCOPE_PROP(ScopeDispId::ScopeBackColor, ScopeBackColor),
    SCOPE_PROP(ScopeDispId::TraceColor, TraceColor),
    SCOPE_PROP(ScopeDispId::ChannelColor, ChannelColor),
    SCOPE_PROP(ScopeDispId::ChannelVisibility, ChannelVisibility),
    SCOPE_PROP(ScopeDispId::SegmentSize, SegmentSize),
    SCOPE_PROP(ScopeDispId::SegmentLineStyle, SegmentLineStyle),
    SCOPE_PROP(ScopeDispId::SegmentLineColor, SegmentLineColor),
    SCOPE_PROP(ScopeDispId::ContextMenuEnabled, ContextMenuEnabled),
    SCOPE_PROP(ScopeDispId::SampleValueTipsEnabled, SampleValueTipsEnabled),
    SCOPE_PROP(ScopeDispId::SampleValueTipsChannelId, SampleValueTipsChannelId),
    SCOPE_PROP(ScopeDispId::SampleValueTipsRadix, SampleValueTipsRadix),

    SCOPE_METHOD(ResetScopeData, L""),
    SCOPE_METHOD(UseExampleData, L""),
    SCOPE_METHOD(RefreshScope, L""),
    SCOPE_METHOD(AddChannelSource, L"pChanSrc,pSrcId"),
    SCOPE_METHOD(AddChannelSource2, L"pChanSrc,pArbiter,max_chan_count,pSrcId"),
    SCOPE_METHOD(RemoveChannelSource, L"srcId"),
    SCOPE_METHOD(RefreshChannelSource, L"srcId"),
    SCOPE_METHOD(GetChannelSource, L"srcId,srcpp"),
    SCOPE_METHOD(GetFirstChannelIdForSource, L"srcId,pChanId"),
    SCOPE_METHOD(GetSourceIdFromChanId, L"chanId,srcId"),
    SCOPE_METHOD(GetChannelSourceCount, L"pVal"),
    {ScopeDispId::EnumChannelSourceIds, L"EnumChannelSourceIds", VT_EMPTY, false, false, true, L"bufSize,ids",
     &EnumIdsCall},
    SCOPE_METHOD(SetSelection, L"start,end"),
    SCOPE_METHOD(GetSelection, L"pStart,pEnd"),
    SCOPE_METHOD(ZoomToSelection, L""),
    SCOPE_METHOD(AutoSetScaling, L""),
    SCOPE_METHOD(SetCustomLabelProvider, L"p"),
    SCOPE_METHOD(AddFileChannelSource, L"bstrPath,bstrName,vt,nChannels,skip_hdr_bytes,pSrcId"),
    {ScopeDispId::AddBufferChannelSource, L"AddBufferChannelSource", VT_EMPTY, false, false, true,
     L"bstrName,varBuf,nChannels,totalSamples,bFreeWhenDone,pSrcId", &AddBufferCall},
    SCOPE_METHOD(AddTQ8ChannelSource, L"hBrd,total_samples,bstrName,pArbiter,pSrcId"),
};

#undef SCOPE_PROP
#undef SCOPE_METHOD

wint_t Lower(wchar_t c) { return std::towlower(static_cast<wint_t>(c)); }

bool SameNameNoCase(std::wstring_view a, std::wstring_view b)
{
    return std::ranges::equal(a, b, [](wchar_t x, wchar_t y) { return Lower(x) == Lower(y); });
}

const ScopeMember* FindByName(const wchar_t* name)
{
    for (const auto& m : kMembers)
        if (SameNameNoCase(m.name, name))
            return &m;
    return nullptr;
}

// The position of a parameter among the comma-separated names.
DISPID ParamPosition(std::wstring_view params, const wchar_t* name)
{
    for (DISPID pos = 0; name && !params.empty(); ++pos) {
        const size_t comma = std::min(params.find(L','), params.size());
        if (SameNameNoCase(params.substr(0, comma), name))
            return pos;
        params.remove_prefix(std::min(comma + 1, params.size()));
    }
    return DISPID_UNKNOWN;
}

} // namespace

const ScopeMember* ScopeMembers(size_t* count)
{
    if (count)
        *count = std::size(kMembers);
    return kMembers;
}

const ScopeMember* FindScopeMember(DISPID id)
{
    for (const auto& m : kMembers)
        if (m.id == id)
            return &m;
    return nullptr;
}

const ScopeMember* FindScopeProperty(DISPID id)
{
    const ScopeMember* m = FindScopeMember(id);
    return m && !m->method ? m : nullptr;
}

HRESULT ScopeIdsOfNames(const wchar_t* const* names, uint32_t count, DISPID* ids)
{
    if (!names || !ids || (count > 0 && !names[0]))
        return E_POINTER;
    if (count == 0)
        return E_INVALIDARG;
    std::fill_n(ids, count, DISPID_UNKNOWN);
    const ScopeMember* member = FindByName(names[0]);
    if (!member)
        return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    HRESULT hr = S_OK;
    for (uint32_t i = 1; i < count; ++i) {
        ids[i] = ParamPosition(member->params, names[i]);
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT InvokeScopeMember(IScopeTQ8* scope, DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult,
                          uint32_t* puArgErr)
{
    const ScopeMember* member = FindScopeMember(id);
    if (!member)
        return DISP_E_MEMBERNOTFOUND;
    static const DISPPARAMS kNoArgs;
    const DISPPARAMS& args = params ? *params : kNoArgs;
    const bool get = flags & DISPATCH_PROPERTYGET;
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    if (member->method ? !(flags & DISPATCH_METHOD) || put : get == put || (put && member->readOnly))
        return DISP_E_MEMBERNOTFOUND;
    // Only a put's value may be named.
    const bool namedValue = put && args.cNamedArgs == 1 && args.rgdispidNamedArgs
                            && args.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    if (args.cNamedArgs > 0 && !namedValue)
        return DISP_E_NONAMEDARGS;
    if (args.cArgs > 0 && !args.rgvarg)
        return DISP_E_BADPARAMCOUNT;
    if (!member->method) {
        if (args.cArgs != (member->indexed ? 1u : 0u) + (put ? 1u : 0u))
            return DISP_E_BADPARAMCOUNT;
        if (get && !pResult)
            return E_POINTER;
    }
    if (pResult && !put)
        VariantClear(pResult);
    const ScopeInvocation how{get, (flags & DISPATCH_PROPERTYPUTREF) != 0, args, pResult, puArgErr};
    return member->call(scope, how);
}

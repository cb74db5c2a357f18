// The control's methods through IDispatch: every method called late-bound on
// one control and through its method table on another set up alike, with the
// same results, out values and events; and the answers to bad calls.
#include "CComBSTR.h"
#include "FakeSource.h"
#include "ScopeDispatch.h"
#include "ScopeWithSources.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TextConv.h"

#include <functional>
#include <set>
#include <string>

namespace {

// One control and what it is given, alike on both sides.
struct Side {
    // Both sides read the one board: its memory is the same for both.
    explicit Side(TQ8_HANDLE board) : board(board)
    {
        Connect(scope, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(events.p));
    }
    ~Side() { scope.Release(); } // before the sources it borrows from

    VARIANT Buffer() const
    {
        VARIANT v;
        v.vt = VT_ARRAY | VT_I2;
        v.parray = samples.get();
        return v;
    }

    ArrayHolder samples{MakeArray(Samples<int16_t>(2 * 500))};
    TQ8_HANDLE board;
    FakeSourcePtr fake = MakeFakeSource(1, 300);
    FakeSourcePtr fake2 = MakeFakeSource(2, 700);
    CComPtr<TestArbiter> arbiter = MakeArbiter();
    CComPtr<NoLabels> labels = MakeSink<NoLabels>();
    CComPtr<IScopeTQ8> scope = NewScope();
    CComPtr<EventSink> events = MakeSink<EventSink>();
};

// One argument of a late-bound call, in the method's order.
struct Arg {
    CComVariant owned;      // an [in] value, or
    VARIANT borrowed;       // one that the test keeps alive
    VARTYPE ref = VT_EMPTY; // an out parameter: a reference of this type to `out`
    bool nullRef = false;
    bool leftOut = false; // the last out parameter, left for the result
    union {
        uint32_t u4;
        uint64_t u8;
        IUnknown* unknown;
        SAFEARRAY* array;
    } out{};

    VARIANT Value()
    {
        if (ref == VT_EMPTY)
            return owned.vt != VT_EMPTY ? owned : borrowed;
        VARIANT v;
        v.vt = VT_BYREF | ref;
        v.byref = nullRef ? nullptr : &out;
        return v;
    }
};

Arg In(CComVariant v)
{
    Arg a;
    a.owned = std::move(v);
    return a;
}

Arg Borrow(const VARIANT& v)
{
    Arg a;
    a.borrowed = v;
    return a;
}

// A reference of type vt, its storage all ones for numbers (or null).
Arg Ref(VARTYPE vt, bool null = false)
{
    Arg a;
    a.ref = vt;
    a.nullRef = null;
    a.out.u8 = vt == VT_UI4 || vt == VT_UI8 ? ~uint64_t(0) : 0;
    return a;
}

Arg RefUI4(uint32_t initial)
{
    Arg a = Ref(VT_UI4);
    a.out.u4 = initial;
    return a;
}

Arg Result()
{
    Arg a;
    a.leftOut = true;
    return a;
}

using Args = std::vector<Arg>;
using Outs = std::vector<CComVariant>;

// An object handed out is compared by the source's name.
CComVariant Comparable(const VARIANT& v)
{
    if (v.vt != VT_UNKNOWN || !v.punkVal)
        return CComVariant(v);
    CComPtr<IScopeTQ8ChannelSource> source;
    CComBSTR name;
    if (FAILED(v.punkVal->QueryInterface(&source)) || FAILED(source->GetChannelSourceName(&name)))
        return CComVariant(std::wstring_view(L"?"));
    return CComVariant(std::wstring_view(vlt::BstrView(name)));
}

// Invokes method by name with args; the out values in order, the one left
// out taken from the result.
HRESULT CallLate(IScopeTQ8* scope, const wchar_t* method, Args& args, Outs& outs)
{
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(scope->GetIDOfName(method, &id), S_OK) << vlt::WideToUtf8(method);
    std::vector<VARIANT> rgvarg;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        if (!it->leftOut)
            rgvarg.push_back(it->Value());
    DISPPARAMS params{rgvarg.data(), static_cast<uint32_t>(rgvarg.size())};
    const bool keepsResult = !args.empty() && args.back().leftOut;
    CComVariant result;
    uint32_t argErr = kNone;
    const HRESULT hr = scope->Invoke(id, DISPATCH_METHOD | (keepsResult ? DISPATCH_PROPERTYGET : 0), &params,
                                     &result, nullptr, &argErr);
    EXPECT_EQ(argErr, kNone);
    for (Arg& a : args) {
        if (a.leftOut) {
            outs.push_back(Comparable(result));
        } else if (a.ref == VT_UI4) {
            outs.push_back(CComVariant(a.out.u4));
        } else if (a.ref == VT_UI8) {
            outs.push_back(CComVariant(a.out.u8));
        } else if (a.ref == VT_UNKNOWN) {
            outs.push_back(Comparable(CComVariant(a.out.unknown)));
            if (a.out.unknown)
                a.out.unknown->Release();
        } else if (a.ref != VT_EMPTY) {
            CComVariant array;
            array.vt = VT_ARRAY | VT_UI4;
            array.parray = a.out.array; // owned from here on
            outs.push_back(array);
        }
    }
    if (!keepsResult) {
        EXPECT_EQ(result.vt, VT_EMPTY) << vlt::WideToUtf8(method);
    }
    return hr;
}

// An array of ids; none: a null array.
CComVariant Ids(const std::vector<uint32_t>* ids)
{
    CComVariant v;
    v.vt = VT_ARRAY | VT_UI4;
    v.parray = ids ? MakeArray(*ids) : nullptr;
    return v;
}

struct Step {
    const wchar_t* method;
    std::function<Args(Side&)> late;
    std::function<HRESULT(Side&, Outs&)> early;
};

// Early-bound helpers: call, then give the out value.
template <class T, class F>
HRESULT Give(Outs& o, F call)
{
    T v = T(~uint64_t(0));
    const HRESULT hr = call(&v);
    o.push_back(CComVariant(v));
    return hr;
}

HRESULT GiveSource(Outs& o, IScopeTQ8* s, uint32_t srcId)
{
    CComPtr<IScopeTQ8ChannelSource> src;
    const HRESULT hr = s->GetChannelSource(srcId, &src);
    o.push_back(Comparable(CComVariant(static_cast<IUnknown*>(src.p))));
    return hr;
}

HRESULT GiveCount(Side& s, Outs& o)
{
    return Give<uint32_t>(o, [&](uint32_t* v) { return s.scope->GetChannelSourceCount(v); });
}

HRESULT GiveSelection(Side& s, Outs& o)
{
    uint64_t start = ~uint64_t(0), end = ~uint64_t(0);
    const HRESULT hr = s.scope->GetSelection(&start, &end);
    o.push_back(CComVariant(start));
    o.push_back(CComVariant(end));
    return hr;
}

CComVariant Unknown(IUnknown* p) { return CComVariant(p); }
CComVariant Source(IScopeTQ8ChannelSource* p) { return CComVariant(static_cast<IUnknown*>(p)); }
CComVariant U4(uint32_t v) { return CComVariant(v); }
CComVariant Text(const wchar_t* s) { return CComVariant(std::wstring_view(s)); }

uint64_t Handle(TQ8_HANDLE board) { return reinterpret_cast<uintptr_t>(board); }

std::vector<Step> Steps(const std::wstring& file)
{
    return {
        {L"GetChannelSourceCount", [](Side&) { return Args{Result()}; },
         GiveCount},
        {L"AddBufferChannelSource",
         [](Side& s) {
             return Args{In(Text(L"Buffer")), Borrow(s.Buffer()), In(CComVariant(int32_t(2))), In(Text(L"500")),
                         In(CComVariant(false)), Ref(VT_UI4)};
         },
         [](Side& s, Outs& o) {
             return Give<uint32_t>(o, [&](uint32_t* id) {
                 return s.scope->AddBufferChannelSource(CComBSTR(L"Buffer"), s.Buffer(), 2, 500, VARIANT_FALSE, id);
             });
         }},
        {L"AddTQ8ChannelSource",
         [](Side& s) {
             return Args{In(CComVariant(Handle(s.board))), In(CComVariant(int32_t(2000))), In(Text(L"Board")),
                         In(Unknown(nullptr)), Result()};
         },
         [](Side& s, Outs& o) {
             return Give<uint32_t>(o, [&](uint32_t* id) {
                 return s.scope->AddTQ8ChannelSource(s.board, 2000, CComBSTR(L"Board"), nullptr, id);
             });
         }},
        {L"AddFileChannelSource",
         [file](Side&) {
             return Args{In(Text(file.c_str())), In(Text(L"File")), In(CComVariant(int32_t(VT_I2))),
                         In(CComVariant(uint8_t(1))), In(CComVariant(0.0)), Ref(VT_UI4)};
         },
         [file](Side& s, Outs& o) {
             return Give<uint32_t>(o, [&](uint32_t* id) {
                 return s.scope->AddFileChannelSource(CComBSTR(file), CComBSTR(L"File"), VT_I2, 1, 0, id);
             });
         }},
        {L"AddChannelSource", [](Side& s) { return Args{In(Source(s.fake)), Ref(VT_UI4)}; },
         [](Side& s, Outs& o) {
             return Give<uint32_t>(o, [&](uint32_t* id) { return s.scope->AddChannelSource(s.fake.p, id); });
         }},
        {L"AddChannelSource2",
         [](Side& s) { return Args{In(Source(s.fake2)), In(Unknown(s.arbiter.p)), In(U4(4)), Result()}; },
         [](Side& s, Outs& o) {
             return Give<uint32_t>(o, [&](uint32_t* id) {
                 return s.scope->AddChannelSource2(s.fake2.p, s.arbiter, 4, id);
             });
         }},
        {L"GetChannelSourceCount", [](Side&) { return Args{Ref(VT_UI4)}; },
         GiveCount},
        {L"EnumChannelSourceIds", [](Side&) { return Args{RefUI4(3), Ref(VT_ARRAY | VT_UI4)}; },
         [](Side& s, Outs& o) {
             uint32_t size = 3, ids[3] = {};
             const HRESULT hr = s.scope->EnumChannelSourceIds(&size, ids);
             o.push_back(U4(size));
             const std::vector<uint32_t> written(ids, ids + 3);
             o.push_back(Ids(&written));
             return hr;
         }},
        {L"EnumChannelSourceIds", [](Side&) { return Args{RefUI4(10), Result()}; },
         [](Side& s, Outs& o) {
             uint32_t size = 10, ids[10] = {};
             const HRESULT hr = s.scope->EnumChannelSourceIds(&size, ids);
             o.push_back(U4(size));
             const std::vector<uint32_t> written(ids, ids + 5); // as many as there are sources
             o.push_back(Ids(&written));
             return hr;
         }},
        {L"EnumChannelSourceIds", [](Side&) { return Args{RefUI4(0), Ref(VT_ARRAY | VT_UI4, true)}; },
         [](Side& s, Outs& o) {
             uint32_t size = 0;
             const HRESULT hr = s.scope->EnumChannelSourceIds(&size, nullptr);
             o.push_back(U4(size));
             o.push_back(Ids(nullptr)); // the null reference's storage, untouched
             return hr;
         }},
        {L"GetChannelSource", [](Side&) { return Args{In(U4(0)), Ref(VT_UNKNOWN)}; },
         [](Side& s, Outs& o) { return GiveSource(o, s.scope, 0); }},
        {L"GetChannelSource", [](Side&) { return Args{In(CComVariant(int16_t(1))), Result()}; },
         [](Side& s, Outs& o) { return GiveSource(o, s.scope, 1); }},
        {L"GetFirstChannelIdForSource", [](Side&) { return Args{In(U4(3)), Ref(VT_UI4)}; },
         [](Side& s, Outs& o) {
             return Give<uint32_t>(o, [&](uint32_t* v) { return s.scope->GetFirstChannelIdForSource(3, v); });
         }},
        {L"GetSourceIdFromChanId", [](Side&) { return Args{In(U4(6)), Result()}; },
         [](Side& s, Outs& o) {
             return Give<uint32_t>(o, [&](uint32_t* v) { return s.scope->GetSourceIdFromChanId(6, v); });
         }},
        {L"SetSelection", [](Side&) { return Args{In(CComVariant(uint64_t(40))), In(Text(L"20"))}; },
         [](Side& s, Outs&) { return s.scope->SetSelection(40, 20); }},
        {L"GetSelection", [](Side&) { return Args{Ref(VT_UI8), Ref(VT_UI8)}; }, GiveSelection},
        {L"GetSelection", [](Side&) { return Args{Ref(VT_UI8), Result()}; }, GiveSelection},
        {L"ZoomToSelection", [](Side&) { return Args{}; }, [](Side& s, Outs&) { return s.scope->ZoomToSelection(); }},
        {L"AutoSetScaling", [](Side&) { return Args{}; }, [](Side& s, Outs&) { return s.scope->AutoSetScaling(); }},
        {L"SetCustomLabelProvider", [](Side& s) { return Args{In(Unknown(s.labels.p))}; },
         [](Side& s, Outs&) { return s.scope->SetCustomLabelProvider(s.labels); }},
        {L"RefreshChannelSource", [](Side&) { return Args{In(U4(kNone))}; },
         [](Side& s, Outs&) { return s.scope->RefreshChannelSource(kNone); }},
        {L"RefreshScope", [](Side&) { return Args{}; }, [](Side& s, Outs&) { return s.scope->RefreshScope(); }},
        {L"UseExampleData", [](Side&) { return Args{}; }, [](Side& s, Outs&) { return s.scope->UseExampleData(); }},
        {L"RemoveChannelSource", [](Side&) { return Args{In(CComVariant(2.0))}; },
         [](Side& s, Outs&) { return s.scope->RemoveChannelSource(2); }},
        {L"GetChannelSourceCount", [](Side&) { return Args{Result()}; },
         GiveCount},
        {L"ResetScopeData", [](Side&) { return Args{}; }, [](Side& s, Outs&) { return s.scope->ResetScopeData(); }},
    };
}

// The control's state that the methods change, as one comparable list.
Outs State(IScopeTQ8* s)
{
    uint64_t start = 0, count = 0;
    uint32_t page = 0;
    int32_t maxValue = 0, minValue = 0;
    s->get_StartSample(&start);
    s->get_MaxSampleCount(&count);
    s->get_PageWidth(&page);
    s->get_MaxSampleValue(&maxValue);
    s->get_MinSampleValue(&minValue);
    return {CComVariant(start), CComVariant(count), CComVariant(page), CComVariant(maxValue), CComVariant(minValue)};
}

void ExpectSameOuts(const Outs& late, const Outs& early, const std::string& what)
{
    ASSERT_EQ(late.size(), early.size()) << what;
    for (size_t i = 0; i < late.size(); ++i)
        EXPECT_TRUE(vlt::VariantEqual(late[i], early[i]))
            << what << " value " << i << ": vt " << late[i].vt << " / " << early[i].vt << ", " << late[i].ullVal
            << " / " << early[i].ullVal;
}

using ScopeMethodDispatch = ScopeWithSources;

} // namespace

TEST_F(ScopeMethodDispatch, EveryMethodGivesTheSameLateBoundAsThroughItsMethodTable)
{
    TQ8Sim_Reset();
    const auto file = s_lib->WriteFile("dispatch.bin", Bytes(Samples<int16_t>(300)));
    const auto steps = Steps(vlt::Utf8ToWide(file.string()));
    TQ8_HANDLE board = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&board, 1600, 1), TQ8_OK);
    {
        Side early(board), late(board);
        for (const Step& step : steps) {
            const std::string what = vlt::WideToUtf8(step.method);
            Outs earlyOuts, lateOuts;
            Args args = step.late(late);
            const HRESULT lateResult = CallLate(late.scope, step.method, args, lateOuts);
            const HRESULT earlyResult = step.early(early, earlyOuts);
            EXPECT_EQ(lateResult, earlyResult) << what;
            ExpectSameOuts(lateOuts, earlyOuts, what);
            EXPECT_EQ(late.events->sources, early.events->sources) << what;
            EXPECT_EQ(late.events->selections, early.events->selections) << what;
            ExpectSameOuts(State(late.scope), State(early.scope), what + " (state)");
        }
        // The run went through adding and removing: events to compare were there.
        EXPECT_EQ(late.events->added.size(), 5u);
        EXPECT_EQ(late.events->removed, (std::vector<uint32_t>{2, kNone}));
        EXPECT_FALSE(late.events->selections.empty());
    }
    TQ8Sim_Reset();

    // Every method of the table has been called.
    std::set<std::wstring> called, methods;
    for (const Step& step : steps)
        called.insert(step.method);
    size_t count = 0;
    const ScopeMember* members = ScopeMembers(&count);
    for (size_t i = 0; i < count; ++i)
        if (members[i].method)
            methods.insert(members[i].name);
    EXPECT_EQ(methods.size(), 20u);
    EXPECT_EQ(called, methods);
}

TEST_F(ScopeMethodDispatch, BadCallsAreAnsweredAsLateBoundCallersExpect)
{
    uint32_t argErr = kNone;
    auto invoke = [&](DISPID id, std::vector<VARIANT> rgvarg, uint16_t flags = DISPATCH_METHOD,
                      DISPID* named = nullptr, EXCEPINFO* info = nullptr) {
        DISPPARAMS params{rgvarg.data(), static_cast<uint32_t>(rgvarg.size()), named, named ? 1u : 0u};
        argErr = kNone;
        CComVariant result;
        return scope->Invoke(id, flags, &params, &result, info, &argErr);
    };
    CComVariant u8(uint64_t(1)), text(std::wstring_view(L"ten")), u4(uint32_t(7));

    // Wrong count: SetSelection takes two, and has no out parameter to leave out.
    EXPECT_EQ(invoke(ScopeDispId::SetSelection, {u8}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(ScopeDispId::RefreshScope, {u8}), DISP_E_BADPARAMCOUNT);
    // A value that does not convert: rgvarg holds the last argument first.
    EXPECT_EQ(invoke(ScopeDispId::SetSelection, {u8, text}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    EXPECT_EQ(invoke(ScopeDispId::RemoveChannelSource, {CComVariant(int32_t(-1))}), DISP_E_OVERFLOW);
    EXPECT_EQ(argErr, 0u);
    VARIANT wrongRef; // an out parameter given as a reference of another type
    uint32_t small = 0;
    wrongRef.vt = VT_BYREF | VT_UI4;
    wrongRef.pulVal = &small;
    EXPECT_EQ(invoke(ScopeDispId::GetSelection, {wrongRef, wrongRef}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    // Named arguments.
    DISPID name = 0;
    EXPECT_EQ(invoke(ScopeDispId::SetSelection, {u8, u8}, DISPATCH_METHOD, &name), DISP_E_NONAMEDARGS);
    name = DISPID_PROPERTYPUT;
    EXPECT_EQ(invoke(ScopeDispId::SetSelection, {u8, u8}, DISPATCH_METHOD, &name), DISP_E_NONAMEDARGS);
    EXPECT_EQ(invoke(ScopeDispId::GridRows, {CComVariant(int32_t(3))}, DISPATCH_PROPERTYPUT, &name), S_OK);
    // Unknown ids, and a method asked for as a property.
    EXPECT_EQ(invoke(117, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(ScopeDispId::RefreshScope, {}, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND);
    // A null reference reaches the method, which answers for it.
    VARIANT nullRef;
    nullRef.vt = VT_BYREF | VT_UI4;
    nullRef.byref = nullptr;
    EXPECT_EQ(invoke(ScopeDispId::GetChannelSourceCount, {nullRef}), E_POINTER);
    EXPECT_EQ(argErr, kNone);
    // The method's own failure comes back as it is, EXCEPINFO untouched.
    EXCEPINFO info;
    info.wCode = 77;
    EXPECT_EQ(invoke(ScopeDispId::RemoveChannelSource, {u4}, DISPATCH_METHOD, nullptr, &info), E_INVALIDARG);
    EXPECT_EQ(info.wCode, 77);
    EXPECT_EQ(info.bstrDescription, nullptr);
    EXPECT_EQ(invoke(ScopeDispId::UseExampleData, {}), E_NOTIMPL);

    // A source asked for as IDispatch: the sources have no such face.
    const uint32_t id = AddBuffer(1, 10);
    IDispatch* disp = nullptr;
    VARIANT dispRef;
    dispRef.vt = VT_BYREF | VT_DISPATCH;
    dispRef.ppdispVal = &disp;
    EXPECT_EQ(invoke(ScopeDispId::GetChannelSource, {dispRef, CComVariant(id)}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(disp, nullptr);
}

TEST_F(ScopeMethodDispatch, MethodAndParameterNamesAreKnownWithoutRegardToCase)
{
    const wchar_t* names[] = {L"addbufferchannelsource", L"PSRCID", L"varBuf", L"nosuch"};
    DISPID ids[4] = {};
    EXPECT_EQ(scope->GetIDsOfNames(names, 3, ids), S_OK);
    EXPECT_EQ(ids[0], ScopeDispId::AddBufferChannelSource);
    EXPECT_EQ(ids[1], 5);
    EXPECT_EQ(ids[2], 1);
    EXPECT_EQ(scope->GetIDsOfNames(names, 4, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[2], 1);
    EXPECT_EQ(ids[3], DISPID_UNKNOWN);
    // Hidden, and still reached by its name; an indexed property names its index.
    EXPECT_EQ(scope->GetIDOfName(L"UseExampleData", ids), S_OK);
    EXPECT_EQ(ids[0], ScopeDispId::UseExampleData);
    const wchar_t* color[] = {L"ChannelColor", L"chanid"};
    EXPECT_EQ(scope->GetIDsOfNames(color, 2, ids), S_OK);
    EXPECT_EQ(ids[1], 0);
    const wchar_t* unknown[] = {L"NoSuchMethod", L"srcId"};
    EXPECT_EQ(scope->GetIDsOfNames(unknown, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(ScopeMethodDispatch, ABufferHandedOverLateBoundIsTheSourcesOwnCopy)
{
    // The caller frees its arguments after the call, as late-bound callers
    // do; the source that is to free its buffer must not share that array.
    const std::vector<int16_t> samples = Samples<int16_t>(2 * 50);
    CComVariant buffer;
    buffer.vt = VT_ARRAY | VT_I2;
    buffer.parray = MakeArray(samples);
    CComVariant result;
    {
        CComVariant freeIt(true), total(uint32_t(50)), channels(uint32_t(2)), name(std::wstring_view(L"Late"));
        std::vector<VARIANT> rgvarg{freeIt, total, channels, buffer, name};
        DISPPARAMS params{rgvarg.data(), static_cast<uint32_t>(rgvarg.size())};
        ASSERT_EQ(scope->Invoke(ScopeDispId::AddBufferChannelSource, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                                &result, nullptr, nullptr),
                  S_OK);
    }
    buffer.Clear();
    CComPtr<IScopeTQ8ChannelSource> source;
    ASSERT_EQ(scope->GetChannelSource(result.ulVal, &source), S_OK);
    uint64_t frames = 0;
    ASSERT_EQ(source->GetTotalSampleCount(1, &frames), S_OK);
    ASSERT_GT(frames, 0u);
    for (uint64_t i : {uint64_t(0), frames - 1}) {
        CComVariant value;
        ASSERT_EQ(source->GetSampleValue(1, i, &value), S_OK);
        EXPECT_EQ(value.iVal, samples[2 * i + 1]) << i;
    }
    EXPECT_EQ(scope->RemoveChannelSource(result.ulVal), S_OK); // frees the copy once
}

#include "ScopeOnScreen.h"

void ScopeOnScreen::SetUp()
{
    ScopeWithSources::SetUp();
    scope->put_AutoXLabels(VARIANT_FALSE);
    scope->put_AutoYLabels(VARIANT_FALSE);
    host = std::make_unique<QWidget>();
    host->resize(kPlotW + 8, kPlotH + 8);
    CComPtr<IOleInPlaceObject> inplace;
    ASSERT_EQ(scope.QueryInterface(&inplace), S_OK);
    ASSERT_EQ(inplace->InPlaceActivate(host.get()), S_OK);
    ASSERT_EQ(inplace->SetObjectRects(0, 0, kPlotW + 8, kPlotH + 8), S_OK);
    Place();
}

void ScopeOnScreen::TearDown()
{
    CComPtr<IOleInPlaceObject> inplace;
    scope.QueryInterface(&inplace);
    inplace->InPlaceDeactivate();
    host.reset();
}

QWidget* ScopeOnScreen::wnd()
{
    QWidget* w = nullptr;
    CComPtr<IOleInPlaceObject> inplace;
    scope.QueryInterface(&inplace);
    inplace->GetWindow(&w);
    return w;
}

void ScopeOnScreen::Place() { ctrl()->RecalcLayout(nullptr, {0, 0, kPlotW + 8, kPlotH + 8}); }

FakeSourcePtr ScopeOnScreen::AddFake(uint64_t total, uint32_t channels)
{
    FakeSourcePtr source = MakeFakeSource(channels, total);
    Add(source);
    Place();
    return source;
}

uint64_t ScopeOnScreen::Start()
{
    uint64_t v = 0;
    scope->get_StartSample(&v);
    return v;
}

uint32_t ScopeOnScreen::Page()
{
    uint32_t v = 0;
    scope->get_PageWidth(&v);
    return v;
}

std::pair<int32_t, int32_t> ScopeOnScreen::Range()
{
    int32_t lo = 0, hi = 0;
    scope->get_MinSampleValue(&lo);
    scope->get_MaxSampleValue(&hi);
    return {lo, hi};
}

CComPtr<NotifySink> ScopeOnScreen::Listen()
{
    CComPtr<NotifySink> sink = MakeSink<NotifySink>();
    Connect(scope, IPropertyNotifySink::iid, static_cast<IPropertyNotifySink*>(sink.p));
    return sink;
}

#include "CComBSTR.h"
#include "ScopeTestSupport.h"

#include <gtest/gtest.h>

TEST(ScopeEvents, OffersThreeConnectionPointsInOrder)
{
    auto s = NewScope();
    CComPtr<IConnectionPointContainer> cpc;
    ASSERT_EQ(s.QueryInterface(&cpc), S_OK);
    for (const IID* iid : {&IPropertyNotifySink::iid, &_IScopeTQ8Events::iid, &_IScopeTQ8Events2::iid}) {
        CComPtr<IConnectionPoint> cp;
        ASSERT_EQ(cpc->FindConnectionPoint(*iid, &cp), S_OK);
        IID got;
        cp->GetConnectionInterface(&got);
        EXPECT_EQ(got, *iid);
        CComPtr<IConnectionPointContainer> back;
        cp->GetConnectionPointContainer(&back);
        EXPECT_TRUE(IsSameObject(back, cpc));
    }
    CComPtr<IConnectionPoint> none;
    EXPECT_EQ(cpc->FindConnectionPoint(IScopeTQ8::iid, &none), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(none.p, nullptr);
}

TEST(ScopeEvents, SinkWithoutTheInterfaceCannotConnect)
{
    auto s = NewScope();
    auto wrong = MakeSink<EventSink>();
    CComPtr<IConnectionPointContainer> cpc;
    s.QueryInterface(&cpc);
    CComPtr<IConnectionPoint> cp;
    cpc->FindConnectionPoint(IPropertyNotifySink::iid, &cp);
    uint32_t cookie = 1;
    EXPECT_EQ(cp->Advise(static_cast<_IScopeTQ8Events*>(wrong.p), &cookie), CONNECT_E_CANNOTCONNECT);
}

TEST(ScopeEvents, EverySinkHearsEventsEvenWhenOneLeavesDuringTheCall)
{
    auto s = NewScope();
    auto a = MakeSink<EventSink>(), b = MakeSink<EventSink>(), c = MakeSink<EventSink>();
    const uint32_t ka = Connect(s, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(a.p));
    const uint32_t kb = Connect(s, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(b.p));
    Connect(s, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(c.p));
    b->during = [&] {
        Disconnect(s, _IScopeTQ8Events::iid, kb);
        b->during = nullptr;
    };
    a->result = E_FAIL;
    c->result = E_ABORT;

    EXPECT_EQ(Impl(s)->FireOnSourceAdded(4), E_ABORT);
    EXPECT_EQ(a->added, std::vector<uint32_t>{4});
    EXPECT_EQ(b->added, std::vector<uint32_t>{4});
    EXPECT_EQ(c->added, std::vector<uint32_t>{4});

    c->result = S_OK;
    EXPECT_EQ(Impl(s)->FireOnSourceRemoved(4), E_FAIL);
    EXPECT_EQ(a->removed, std::vector<uint32_t>{4});
    EXPECT_TRUE(b->removed.empty());
    EXPECT_EQ(c->removed, std::vector<uint32_t>{4});

    Disconnect(s, _IScopeTQ8Events::iid, ka);
    EXPECT_EQ(Impl(s)->FireOnSelectionChange(10, 2), S_OK);
    EXPECT_TRUE(a->selections.empty());
    ASSERT_EQ(c->selections.size(), 1u);
    EXPECT_EQ(c->selections[0], std::make_pair(uint64_t(10), uint64_t(2)));
}

TEST(ScopeEvents, DataErrorGoesToTheSecondEventInterfaceOnly)
{
    auto s = NewScope();
    auto first = MakeSink<EventSink>();
    auto second = MakeSink<EventSink2>();
    Connect(s, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(first.p));
    Connect(s, _IScopeTQ8Events2::iid, static_cast<_IScopeTQ8Events2*>(second.p));
    EXPECT_EQ(Impl(s)->FireOnSourceDataError(3, CComBSTR(L"Synchronous data transfer failed: x")), S_OK);
    ASSERT_EQ(second->errors.size(), 1u);
    EXPECT_EQ(second->errors[0].first, 3u);
    EXPECT_EQ(second->errors[0].second, L"Synchronous data transfer failed: x");
    EXPECT_TRUE(first->added.empty() && first->removed.empty() && first->selections.empty());
}

TEST(ScopeEvents, NoSinksNoEventsAndEverythingStillWorks)
{
    auto s = NewScope();
    EXPECT_EQ(Impl(s)->FireOnSourceAdded(0), S_OK);
    EXPECT_EQ(s->put_PageWidth(100), S_OK);
    EXPECT_EQ(s->put_BackColor(0x123456), S_OK);
    EXPECT_EQ(s->ResetScopeData(), S_OK);
}

TEST(ScopeEvents, ResetWithoutSourcesSendsNoRemoval)
{
    auto s = NewScope();
    auto sink = MakeSink<EventSink>();
    Connect(s, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(sink.p));
    EXPECT_EQ(s->ResetScopeData(), S_OK);
    EXPECT_TRUE(sink->removed.empty());
    s.Release(); // final release resets too
    EXPECT_TRUE(sink->removed.empty());
}

TEST(ScopeEvents, RequestEditStopsAtTheFirstRefusal)
{
    auto s = NewScope();
    auto a = MakeSink<NotifySink>(), b = MakeSink<NotifySink>(), c = MakeSink<NotifySink>();
    for (NotifySink* sink : {a.p, b.p, c.p})
        Connect(s, IPropertyNotifySink::iid, static_cast<IPropertyNotifySink*>(sink));
    b->editAnswer = S_FALSE;
    EXPECT_EQ(s->put_BorderStyle(2), S_FALSE);
    EXPECT_EQ(a->requested, std::vector<DISPID>{DISPID_BORDERSTYLE});
    EXPECT_EQ(b->requested, std::vector<DISPID>{DISPID_BORDERSTYLE});
    EXPECT_TRUE(c->requested.empty());
    EXPECT_TRUE(a->changed.empty() && b->changed.empty() && c->changed.empty());

    // A failing sink is no refusal.
    b->editAnswer = E_NOTIMPL;
    EXPECT_EQ(s->put_BorderStyle(2), S_OK);
    for (NotifySink* sink : {a.p, b.p, c.p})
        EXPECT_EQ(sink->changed, std::vector<DISPID>{DISPID_BORDERSTYLE});
}

TEST(ScopeEvents, SinkMayCallBackIntoTheControl)
{
    auto s = NewScope();
    auto sink = MakeSink<NotifySink>();
    Connect(s, IPropertyNotifySink::iid, static_cast<IPropertyNotifySink*>(sink.p));
    std::vector<uint32_t> seen;
    sink->onChanged = [&](DISPID id) {
        uint32_t w = 0;
        s->get_PageWidth(&w);
        seen.push_back(w);
        if (id == ScopeDispId::PageWidth && w == 64)
            s->put_PageWidth(128); // nested put from inside the notification
    };
    s->put_PageWidth(64);
    EXPECT_EQ(seen, (std::vector<uint32_t>{64, 128}));
    uint32_t w = 0;
    s->get_PageWidth(&w);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(sink->changed, (std::vector<DISPID>{ScopeDispId::PageWidth, ScopeDispId::PageWidth}));
}

TEST(ScopeEvents, ControlReleasesItsSinksWhenDestroyed)
{
    auto sink = MakeSink<NotifySink>();
    auto events = MakeSink<EventSink>();
    {
        auto s = NewScope();
        Connect(s, IPropertyNotifySink::iid, static_cast<IPropertyNotifySink*>(sink.p));
        Connect(s, _IScopeTQ8Events::iid, static_cast<_IScopeTQ8Events*>(events.p));
        EXPECT_EQ(RefCount(static_cast<IPropertyNotifySink*>(sink.p)), 2u);
        EXPECT_EQ(RefCount(static_cast<_IScopeTQ8Events*>(events.p)), 2u);
    }
    EXPECT_EQ(RefCount(static_cast<IPropertyNotifySink*>(sink.p)), 1u);
    EXPECT_EQ(RefCount(static_cast<_IScopeTQ8Events*>(events.p)), 1u);
}

#include "CComObject.h"
#include "CComPtr.h"
#include "CConnectionPoint.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A container whose only job is to own one connection point.
struct Container : IConnectionPointContainer, vlt::CComObjectRoot {
    vlt::CConnectionPoint cp{this, IPropertyNotifySink::iid};
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        if (vlt::QiEntry<IUnknown, IConnectionPointContainer>(this, riid, ppv)
            || vlt::QiEntry<IConnectionPointContainer>(this, riid, ppv))
            return S_OK;
        return E_NOINTERFACE;
    }
    HRESULT FindConnectionPoint(const IID&, IConnectionPoint**) override { return E_NOTIMPL; }
};

struct Sink : IPropertyNotifySink, vlt::CComObjectRoot {
    std::vector<DISPID> changed;
    HRESULT result = S_OK;
    std::function<void()> during;
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        if (vlt::QiEntry<IUnknown, IPropertyNotifySink>(this, riid, ppv)
            || vlt::QiEntry<IPropertyNotifySink>(this, riid, ppv))
            return S_OK;
        return E_NOINTERFACE;
    }
    HRESULT OnChanged(DISPID id) override
    {
        changed.push_back(id);
        if (during)
            during();
        return result;
    }
    HRESULT OnRequestEdit(DISPID) override { return S_OK; }
};

struct NotASink : IUnknown, vlt::CComObjectRoot {
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        return vlt::QiEntry<IUnknown>(this, riid, ppv) ? S_OK : E_NOINTERFACE;
    }
};

template <class T>
CComPtr<T> Make(vlt::CComObject<T>** raw = nullptr)
{
    vlt::CComObject<T>* p = nullptr;
    EXPECT_EQ(vlt::CComObject<T>::CreateInstance(&p), S_OK);
    if (raw)
        *raw = p;
    return CComPtr<T>(p);
}

uint32_t RefCount(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

HRESULT FireChanged(vlt::CConnectionPoint& cp, DISPID id)
{
    return cp.Fire<IPropertyNotifySink>([id](IPropertyNotifySink* s) { return s->OnChanged(id); });
}

} // namespace

TEST(ConnectionPoint, AdviseRefusesObjectsWithoutTheInterface)
{
    auto c = Make<Container>();
    auto other = Make<NotASink>();
    uint32_t cookie = 99;
    EXPECT_EQ(c->cp.Advise(other, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(c->cp.Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(c->cp.SinkCount(), 0u);
}

TEST(ConnectionPoint, UnadviseUnknownCookieFails)
{
    auto c = Make<Container>();
    auto s = Make<Sink>();
    uint32_t cookie = 0;
    ASSERT_EQ(c->cp.Advise(static_cast<IPropertyNotifySink*>(s), &cookie), S_OK);
    EXPECT_EQ(c->cp.Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(c->cp.Unadvise(cookie), S_OK);
    EXPECT_EQ(c->cp.Unadvise(cookie), CONNECT_E_NOCONNECTION);
}

TEST(ConnectionPoint, HoldsSinksUntilUnadvisedOrDestroyed)
{
    auto s = Make<Sink>();
    {
        auto c = Make<Container>();
        uint32_t cookie = 0;
        c->cp.Advise(static_cast<IPropertyNotifySink*>(s), &cookie);
        EXPECT_EQ(RefCount(s), 2u);
    }
    EXPECT_EQ(RefCount(s), 1u);
}

TEST(ConnectionPoint, FiresEverySinkInOrderAndReturnsTheLastFailure)
{
    auto c = Make<Container>();
    auto a = Make<Sink>(), b = Make<Sink>(), d = Make<Sink>();
    b->result = E_FAIL;
    d->result = E_ABORT;
    uint32_t k = 0;
    for (Sink* s : {a.p, b.p, d.p})
        c->cp.Advise(static_cast<IPropertyNotifySink*>(s), &k);
    EXPECT_EQ(FireChanged(c->cp, 7), E_ABORT);
    for (Sink* s : {a.p, b.p, d.p})
        EXPECT_EQ(s->changed, std::vector<DISPID>{7});
    d->result = S_OK;
    EXPECT_EQ(FireChanged(c->cp, 8), E_FAIL);
}

TEST(ConnectionPoint, SinksMayUnadviseWhileBeingCalled)
{
    auto c = Make<Container>();
    auto a = Make<Sink>(), b = Make<Sink>(), d = Make<Sink>();
    uint32_t ka = 0, kb = 0, kd = 0;
    c->cp.Advise(static_cast<IPropertyNotifySink*>(a), &ka);
    c->cp.Advise(static_cast<IPropertyNotifySink*>(b), &kb);
    c->cp.Advise(static_cast<IPropertyNotifySink*>(d), &kd);
    // b removes itself and a; the caller drops its own reference to b meanwhile.
    Sink* rawB = b.p;
    b->during = [&] {
        EXPECT_EQ(c->cp.Unadvise(kb), S_OK);
        EXPECT_EQ(c->cp.Unadvise(ka), S_OK);
        b.Release();
        rawB->changed.push_back(-1); // still alive: the firing holds it
    };
    EXPECT_EQ(FireChanged(c->cp, 3), S_OK);
    EXPECT_EQ(a->changed, std::vector<DISPID>{3});
    EXPECT_EQ(d->changed, std::vector<DISPID>{3});
    EXPECT_EQ(c->cp.SinkCount(), 1u);
    EXPECT_EQ(FireChanged(c->cp, 4), S_OK);
    EXPECT_EQ(a->changed, std::vector<DISPID>{3});
    EXPECT_EQ(d->changed, (std::vector<DISPID>{3, 4}));
}

TEST(ConnectionPoint, NoSinksFiresNothingAndSucceeds)
{
    auto c = Make<Container>();
    EXPECT_EQ(FireChanged(c->cp, 1), S_OK);
}

TEST(ComObject, ModuleCountsObjects)
{
    vlt::CComModule* module = vlt::CComModule::Current();
    vlt::CComModule local;
    if (!module)
        module = &local;
    const int32_t before = module->GetLockCount();
    {
        auto s = Make<Sink>();
        EXPECT_EQ(module->GetLockCount(), before + 1);
        CComPtr<IPropertyNotifySink> other;
        EXPECT_EQ(s.QueryInterface(&other), S_OK);
        CComPtr<IConnectionPoint> none;
        EXPECT_EQ(s.QueryInterface(&none), E_NOINTERFACE);
        EXPECT_EQ(none.p, nullptr);
    }
    EXPECT_EQ(module->GetLockCount(), before);
}

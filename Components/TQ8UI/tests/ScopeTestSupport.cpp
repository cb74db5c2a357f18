#include "ScopeTestSupport.h"

#include <gtest/gtest.h>

CComPtr<IScopeTQ8> NewScope(ScopeObject** raw)
{
    ScopeObject* p = nullptr;
    EXPECT_EQ(ScopeObject::CreateInstance(&p), S_OK);
    if (raw)
        *raw = p;
    return CComPtr<IScopeTQ8>(static_cast<IScopeTQ8*>(p));
}

CScopeCtrl* Impl(IScopeTQ8* scope) { return static_cast<CScopeCtrl*>(scope); }

uint32_t RefCount(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

HRESULT NotifySink::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, IPropertyNotifySink>(this, riid, ppv) || vlt::QiEntry<IPropertyNotifySink>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT NotifySink::OnChanged(DISPID id)
{
    changed.push_back(id);
    if (onChanged)
        onChanged(id);
    return S_OK;
}

HRESULT NotifySink::OnRequestEdit(DISPID id)
{
    requested.push_back(id);
    return editAnswer;
}

HRESULT EventSink::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, _IScopeTQ8Events>(this, riid, ppv) || vlt::QiEntry<_IScopeTQ8Events>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT EventSink::OnSelectionChange(uint64_t start, uint64_t end)
{
    selections.emplace_back(start, end);
    if (during)
        during();
    return result;
}

HRESULT EventSink::OnSourceAdded(uint32_t srcId)
{
    added.push_back(srcId);
    sources.emplace_back(101, srcId);
    if (during)
        during();
    return result;
}

HRESULT EventSink::OnSourceRemoved(uint32_t srcId)
{
    removed.push_back(srcId);
    sources.emplace_back(102, srcId);
    if (during)
        during();
    return result;
}

HRESULT EventSink2::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, _IScopeTQ8Events2>(this, riid, ppv) || vlt::QiEntry<_IScopeTQ8Events2>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT EventSink2::OnSourceDataError(uint32_t srcId, BSTR reason)
{
    errors.emplace_back(srcId, std::wstring(vlt::BstrView(reason)));
    return S_OK;
}

uint32_t Connect(IScopeTQ8* scope, const IID& riid, IUnknown* sink)
{
    CComPtr<IConnectionPointContainer> cpc;
    EXPECT_EQ(scope->QueryInterface(&cpc), S_OK);
    CComPtr<IConnectionPoint> cp;
    EXPECT_EQ(cpc->FindConnectionPoint(riid, &cp), S_OK);
    uint32_t cookie = 0;
    EXPECT_EQ(cp->Advise(sink, &cookie), S_OK);
    return cookie;
}

void Disconnect(IScopeTQ8* scope, const IID& riid, uint32_t cookie)
{
    CComPtr<IConnectionPointContainer> cpc;
    scope->QueryInterface(&cpc);
    CComPtr<IConnectionPoint> cp;
    cpc->FindConnectionPoint(riid, &cp);
    EXPECT_EQ(cp->Unadvise(cookie), S_OK);
}

HRESULT NoLabels::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, IScopeTQ8CustomLabelProvider>(this, riid, ppv)
        || vlt::QiEntry<IScopeTQ8CustomLabelProvider>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

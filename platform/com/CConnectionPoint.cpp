#include "CConnectionPoint.h"

#include <new>

namespace vlt {

CConnectionPoint::CConnectionPoint(IConnectionPointContainer* owner, const IID& riid)
    : m_owner(owner), m_iid(riid)
{
}

CConnectionPoint::~CConnectionPoint() { UnadviseAll(); }

HRESULT CConnectionPoint::QueryInterface(const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid == IUnknown::iid || riid == IConnectionPoint::iid) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

uint32_t CConnectionPoint::AddRef() { return m_owner->AddRef(); }

uint32_t CConnectionPoint::Release() { return m_owner->Release(); }

HRESULT CConnectionPoint::GetConnectionInterface(IID* piid)
{
    if (!piid)
        return E_POINTER;
    *piid = m_iid;
    return S_OK;
}

HRESULT CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC)
{
    if (!ppCPC)
        return E_POINTER;
    *ppCPC = m_owner;
    m_owner->AddRef();
    return S_OK;
}

HRESULT CConnectionPoint::Advise(IUnknown* pUnkSink, uint32_t* pdwCookie)
{
    if (!pdwCookie)
        return E_POINTER;
    *pdwCookie = 0;
    if (!pUnkSink)
        return E_POINTER;
    void* face = nullptr;
    if (FAILED(pUnkSink->QueryInterface(m_iid, &face)) || !face)
        return CONNECT_E_CANNOTCONNECT;
    // Interfaces derive singly from IUnknown, so the face is also an IUnknown.
    auto* sink = static_cast<IUnknown*>(face);
    uint32_t cookie = m_nextCookie++;
    if (m_nextCookie == 0)
        m_nextCookie = 1;
    try {
        m_sinks.push_back({cookie, sink});
    } catch (const std::bad_alloc&) {
        sink->Release();
        return E_OUTOFMEMORY;
    }
    *pdwCookie = cookie;
    return S_OK;
}

HRESULT CConnectionPoint::Unadvise(uint32_t dwCookie)
{
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->cookie == dwCookie) {
            IUnknown* sink = it->sink;
            m_sinks.erase(it);
            sink->Release(); // may call back into us: the list is already consistent
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

void CConnectionPoint::UnadviseAll()
{
    std::vector<Connection> old;
    old.swap(m_sinks);
    for (auto& c : old)
        c.sink->Release();
}

} // namespace vlt

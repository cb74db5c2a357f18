#pragma once
// One outgoing interface of an object: the sinks connected to it, in the
// order they were advised. It lives inside its container and shares the
// container's reference count.
#include "CComPtr.h"
#include "ComInterfaces.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace vlt {

class CConnectionPoint final : public IConnectionPoint {
public:
    // owner: the container's identity; riid: the outgoing interface.
    CConnectionPoint(IConnectionPointContainer* owner, const IID& riid);
    ~CConnectionPoint();
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    HRESULT QueryInterface(const IID& riid, void** ppv) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    HRESULT GetConnectionInterface(IID* piid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT Advise(IUnknown* pUnkSink, uint32_t* pdwCookie) override;
    HRESULT Unadvise(uint32_t dwCookie) override;

    const IID& Iid() const { return m_iid; }
    size_t SinkCount() const { return m_sinks.size(); }
    // Releases every sink (the container is going away).
    void UnadviseAll();

    // A copy of the sink list, each sink held for the duration of the firing,
    // so that a sink may unadvise (or advise) while it is being called.
    template <class I>
    std::vector<CComPtr<I>> Snapshot() const
    {
        std::vector<CComPtr<I>> out;
        out.reserve(m_sinks.size());
        for (const auto& s : m_sinks)
            out.emplace_back(static_cast<I*>(s.sink));
        return out;
    }

    // Calls call(sink) on every sink; all are called even when some fail.
    // S_OK, or the last failing result.
    template <class I, class F>
    HRESULT Fire(F call) const
    {
        HRESULT last = S_OK;
        for (auto& sink : Snapshot<I>()) {
            HRESULT hr = call(sink.p);
            if (FAILED(hr))
                last = hr;
        }
        return last;
    }

private:
    struct Connection {
        uint32_t cookie;
        IUnknown* sink; // the sink's face for m_iid, one reference held
    };
    IConnectionPointContainer* m_owner;
    IID m_iid;
    uint32_t m_nextCookie = 1;
    std::vector<Connection> m_sinks;
};

} // namespace vlt

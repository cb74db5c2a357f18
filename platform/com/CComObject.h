#pragma once
// Reference counting for an object class T. T derives from its interfaces
// and from CComObjectRoot, provides InternalQueryInterface (which adds the
// reference), and may override FinalConstruct and FinalRelease.
#include "CComModule.h"
#include "CComObjectRoot.h"
#include "ComInterfaces.h"

#include <new>
#include <utility>

namespace vlt {

template <class T>
class CComObject final : public T {
public:
    template <class... A>
    explicit CComObject(A&&... args) : T(std::forward<A>(args)...)
    {
        if (CComModule* m = CComModule::Current())
            m->Lock();
    }
    ~CComObject()
    {
        if (CComModule* m = CComModule::Current())
            m->Unlock();
    }

    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override
    {
        uint32_t n = --m_refs;
        if (n == 0) {
            m_refs = 1; // a release while tearing down must not delete twice
            this->FinalRelease();
            delete this;
        }
        return n;
    }
    HRESULT QueryInterface(const IID& riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return this->InternalQueryInterface(riid, ppv);
    }

    // A new object with no reference yet held (the caller takes the first).
    template <class... A>
    static HRESULT CreateInstance(CComObject** pp, A&&... args)
    {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        auto* p = new (std::nothrow) CComObject(std::forward<A>(args)...);
        if (!p)
            return E_OUTOFMEMORY;
        p->m_refs = 1; // FinalConstruct may hand out and drop references
        HRESULT hr = p->FinalConstruct();
        p->m_refs = 0;
        if (FAILED(hr)) {
            delete p;
            return hr;
        }
        *pp = p;
        return S_OK;
    }

    // A new object queried for riid.
    template <class... A>
    static HRESULT CreateAndQuery(const IID& riid, void** ppv, A&&... args)
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        CComObject* p = nullptr;
        HRESULT hr = CreateInstance(&p, std::forward<A>(args)...);
        if (FAILED(hr))
            return hr;
        p->AddRef();
        hr = p->QueryInterface(riid, ppv);
        p->Release();
        return hr;
    }

private:
    uint32_t m_refs = 0;
};

} // namespace vlt

#pragma once
// Counted reference to an interface.
#include "ComInterfaces.h"

#include <memory>
#include <utility>

template <class T>
class CComPtr {
public:
    T* p = nullptr;

    CComPtr() = default;
    CComPtr(T* q) : p(q) { if (p) p->AddRef(); }
    CComPtr(const CComPtr& o) : CComPtr(o.p) {}
    CComPtr(CComPtr&& o) noexcept : p(std::exchange(o.p, nullptr)) {}
    ~CComPtr() { if (p) p->Release(); }

    CComPtr& operator=(T* q)
    {
        if (q)
            q->AddRef();
        T* old = std::exchange(p, q);
        if (old)
            old->Release();
        return *this;
    }
    CComPtr& operator=(const CComPtr& o) { return *this = o.p; }
    CComPtr& operator=(CComPtr&& o) noexcept
    {
        if (this != std::addressof(o)) {
            T* old = std::exchange(p, std::exchange(o.p, nullptr));
            if (old)
                old->Release();
        }
        return *this;
    }

    T* operator->() const { return p; }
    operator T*() const { return p; }
    T** operator&() { return &p; } // for out-parameters; must be empty
    explicit operator bool() const { return p != nullptr; }

    void Release()
    {
        if (T* old = std::exchange(p, nullptr))
            old->Release();
    }
    void Attach(T* q)
    {
        T* old = std::exchange(p, q);
        if (old)
            old->Release();
    }
    T* Detach() { return std::exchange(p, nullptr); }
    // Hands out a new reference.
    HRESULT CopyTo(T** pp) const
    {
        if (!pp)
            return E_POINTER;
        *pp = p;
        if (p)
            p->AddRef();
        return S_OK;
    }
    template <class Q>
    HRESULT QueryInterface(Q** pp) const
    {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        if (!p)
            return E_POINTER;
        return p->QueryInterface(Q::iid, reinterpret_cast<void**>(pp));
    }
};

// Whether two references name the same object (compared by their IUnknown).
bool IsSameObject(IUnknown* a, IUnknown* b);

#pragma once
// The class factory that DllGetClassObject hands out for an object class.
#include "CComModule.h"
#include "CComObject.h"
#include "CComObjectRoot.h"
#include "ComInterfaces.h"

namespace vlt {

// Class factory of T for DllGetClassObject.
template <class T>
class CComClassFactory : public IClassFactory, public CComObjectRoot {
public:
    HRESULT InternalQueryInterface(const IID& riid, void** ppv)
    {
        if (QiEntry<IUnknown, IClassFactory>(this, riid, ppv) || QiEntry<IClassFactory>(this, riid, ppv))
            return S_OK;
        return E_NOINTERFACE;
    }
    HRESULT CreateInstance(IUnknown* pOuter, const IID& riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pOuter)
            return CLASS_E_NOAGGREGATION;
        return CComObject<T>::CreateAndQuery(riid, ppv);
    }
    HRESULT LockServer(bool lock) override
    {
        if (CComModule* m = CComModule::Current())
            lock ? m->Lock() : m->Unlock();
        return S_OK;
    }
};

} // namespace vlt

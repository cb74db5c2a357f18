#pragma once
// Base of object classes made with CComObject: the construction and release
// hooks, and the helper that answers QueryInterface for one interface.
#include "ComInterfaces.h"

namespace vlt {

class CComObjectRoot {
public:
    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}
};

// Answers riid with the object seen as interface I (reached through Via).
template <class I, class Via = I, class T>
bool QiEntry(T* self, const IID& riid, void** ppv)
{
    if (!(riid == I::iid))
        return false;
    I* p = static_cast<I*>(static_cast<Via*>(self));
    p->AddRef();
    *ppv = p;
    return true;
}

} // namespace vlt

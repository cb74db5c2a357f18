#include "CComPtr.h"

bool IsSameObject(IUnknown* a, IUnknown* b)
{
    if (!a || !b)
        return a == b;
    CComPtr<IUnknown> ua, ub;
    if (FAILED(a->QueryInterface(&ua)) || FAILED(b->QueryInterface(&ub)))
        return false;
    return ua.p == ub.p;
}

// The entry point by which the service host loads the sync-device service.
#include "CSvcHub6.h"

#include <new>

#define HUB6SVC_EXPORT extern "C" __attribute__((visibility("default")))

HUB6SVC_EXPORT int32_t CreateVltServiceClassC(int32_t, IVltServiceClass** serviceClass)
{
    if (!serviceClass)
        return -2;
    *serviceClass = new (std::nothrow) CSvcHub6;
    return *serviceClass ? 0 : -5;
}

// The entry point by which the service host loads the board service.
#include <new>

#include "CSvcTQ8Board.h"

extern "C" __attribute__((visibility("default"))) int32_t CreateVltServiceClassC(int32_t, IVltServiceClass** serviceClass)
{
    if (!serviceClass)
        return -2;
    *serviceClass = new (std::nothrow) CSvcTQ8Board;
    return *serviceClass ? 0 : -5;
}

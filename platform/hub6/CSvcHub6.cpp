#include "CSvcHub6.h"

#include <new>

#include "CSvcHub6Inst.h"
#include "Hub6Wire.h"
#include "ServiceErrors.h"

void CSvcHub6::Release()
{
    delete this;
}

const char* CSvcHub6::GetName()
{
    return kHub6ServiceName;
}

const char* CSvcHub6::GetDescription()
{
    return "Serves HUB3300-6 external synchronization devices";
}

uint16_t CSvcHub6::GetDefaultPort()
{
    return kHub6ServicePort;
}

int32_t CSvcHub6::CreateInstance(IVltServiceInstance** instance)
{
    if (!instance)
        return kSvcInvalidArgument;
    *instance = new (std::nothrow) CSvcHub6Inst;
    return *instance ? kSvcOk : kSvcOutOfMemory;
}

#include "CSvcPdWin32.h"

#include <new>

#include "CSvcPdWin32Inst.h"
#include "ServiceErrors.h"

void CSvcPdWin32::Release()
{
    delete this;
}

int32_t CSvcPdWin32::CreateInstance(IVltServiceInstance** instance)
{
    if (!instance)
        return kSvcInvalidArgument;
    *instance = new (std::nothrow) CSvcPdWin32Inst();
    return *instance ? kSvcOk : kSvcOutOfMemory;
}

CVltServiceMgr::BuiltInFactory CSvcPdWin32::Factory(std::function<uint32_t()> hostOptions)
{
    return [hostOptions]() -> IVltServiceClass* {
        if (!hostOptions || (hostOptions() & kAllowOption) == 0)
            return nullptr;
        return new CSvcPdWin32();
    };
}

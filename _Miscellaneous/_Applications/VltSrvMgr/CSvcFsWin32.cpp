#include "CSvcFsWin32.h"

#include <new>

#include "CSvcFsWin32Inst.h"
#include "ClientPaths.h"
#include "ServiceErrors.h"

CSvcFsWin32::CSvcFsWin32(std::vector<std::string> roots)
    : m_roots(roots.empty() ? vlt::DefaultServedRoots() : std::move(roots))
{
}

void CSvcFsWin32::Release()
{
    delete this;
}

int32_t CSvcFsWin32::CreateInstance(IVltServiceInstance** instance)
{
    if (!instance)
        return kSvcInvalidArgument;
    *instance = new (std::nothrow) CSvcFsWin32Inst(m_roots);
    return *instance ? kSvcOk : kSvcOutOfMemory;
}

CVltServiceMgr::BuiltInFactory CSvcFsWin32::Factory(std::vector<std::string> roots)
{
    return [roots] { return new CSvcFsWin32(roots); };
}

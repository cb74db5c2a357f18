// The four entry points of the in-process server.
#include "CHub6Module.h"
#include "ComCreate.h"
#include "InprocServer.h"

namespace {
// The module exists from load to unload, so that object counting works from
// the first creation on.
[[maybe_unused]] CHub6Module& g_module = Hub6Module();

std::wstring LibraryPath()
{
    return vlt::ModuleFullPath(reinterpret_cast<const void*>(&LibraryPath));
}
} // namespace

VLT_COM_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& riid, void** ppv)
{
    return Hub6Module().GetClassObject(clsid, riid, ppv);
}

VLT_COM_EXPORT HRESULT DllCanUnloadNow()
{
    return Hub6Module().CanUnloadNow();
}

VLT_COM_EXPORT HRESULT DllRegisterServer()
{
    return Hub6Module().RegisterServer(LibraryPath());
}

VLT_COM_EXPORT HRESULT DllUnregisterServer()
{
    return Hub6Module().UnregisterServer();
}

// The library's exported entry points.
#include "CTQ6UIModule.h"
#include "ComCreate.h"
#include "InprocServer.h"

namespace {
// The module exists from load to unload, so that object counting works from
// the first creation on.
[[maybe_unused]] CTQ6UIModule& g_module = TQ8UIModule();

std::wstring LibraryPath()
{
    return vlt::ModuleFullPath(reinterpret_cast<const void*>(&LibraryPath));
}
} // namespace

VLT_COM_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& riid, void** ppv)
{
    return TQ8UIModule().GetClassObject(clsid, riid, ppv);
}

VLT_COM_EXPORT HRESULT DllCanUnloadNow()
{
    return TQ8UIModule().CanUnloadNow();
}

VLT_COM_EXPORT HRESULT DllRegisterServer()
{
    return TQ8UIModule().RegisterServer(LibraryPath());
}

VLT_COM_EXPORT HRESULT DllUnregisterServer()
{
    return TQ8UIModule().UnregisterServer();
}

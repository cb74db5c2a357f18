// The library's exported entry points: the four of an in-process server and
// the simulation controls of Hub6Sim.h.
#include "CHub6Module.h"
#include "CHub6UnitTable.h"
#include "ComCreate.h"
#include "Hub6Sim.h"
#include "InprocServer.h"

#include <vector>

namespace {
// The module exists from load to unload, so that object counting works from
// the first creation on.
[[maybe_unused]] CHub6Module& g_module = Hub6Module();

std::wstring LibraryPath()
{
    return vlt::ModuleFullPath(reinterpret_cast<const void*>(&LibraryPath));
}

std::vector<uint32_t> SerialList(const uint32_t* serials, uint32_t count)
{
    return serials ? std::vector<uint32_t>(serials, serials + count) : std::vector<uint32_t>();
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

HUB6SIM_API void Hub6Sim_Reset(void)
{
    CHub6UnitTable::Instance().Reset();
}

HUB6SIM_API int32_t Hub6Sim_SetLocalDevices(const uint32_t* serials, uint32_t count)
{
    if (count && !serials)
        return E_POINTER;
    CHub6UnitTable::Instance().SetLocalSerials(SerialList(serials, count));
    return S_OK;
}

HUB6SIM_API int32_t Hub6Sim_DeclareServer(const wchar_t* server, uint16_t port, const uint32_t* serials,
                                          uint32_t count)
{
    if (!server || !*server || (count && !serials))
        return E_INVALIDARG;
    CHub6UnitTable::Instance().DeclareServer(server, port, SerialList(serials, count));
    return S_OK;
}

HUB6SIM_API int32_t Hub6Sim_InjectResult(const char* method, int32_t hr, uint32_t calls)
{
    if (!method || (calls && SUCCEEDED(hr)))
        return E_INVALIDARG;
    CHub6UnitTable::Instance().Inject(method, hr, calls);
    return S_OK;
}

HUB6SIM_API uint32_t Hub6Sim_GetSyncCount(uint32_t serial)
{
    return CHub6UnitTable::Instance().GetSyncCount(serial);
}

HUB6SIM_API uint32_t Hub6Sim_GetTriggerCount(uint32_t serial)
{
    return CHub6UnitTable::Instance().GetTriggerCount(serial);
}

// The simulation controls of Hub6Sim.h, exported by the component library
// and by the sync-device service plug-in, each for its own units.
#include "CHub6UnitTable.h"
#include "Hub6Sim.h"

#include <vector>

namespace {
std::vector<uint32_t> SerialList(const uint32_t* serials, uint32_t count)
{
    return serials ? std::vector<uint32_t>(serials, serials + count) : std::vector<uint32_t>();
}
} // namespace

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

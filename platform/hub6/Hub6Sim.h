#pragma once
/*
 * Control of the simulated HUB3300-6 units behind the sync device's component
 * library and behind the sync-device service plug-in (whose local units are
 * the ones it serves). Not part of either interface: tests and
 * demonstrations load the library and look these up to declare local units,
 * make calls fail on purpose and read what the units were told.
 *
 * Local units: none until declared, or declared by the environment variable
 * HUB6_SIM_LOCAL ("7001,7002"), read when the library is loaded. In the
 * plug-in an injected failure (method names as in the component's interface)
 * is answered with an error reply.
 */
#include <stdint.h>

#define HUB6SIM_API extern "C" __attribute__((visibility("default")))

/* Forgets every unit, server and injection. */
HUB6SIM_API void Hub6Sim_Reset(void);
/* The local units, in index order (index 1 is serials[0]). 0 on success. */
HUB6SIM_API int32_t Hub6Sim_SetLocalDevices(const uint32_t* serials, uint32_t count);
/* The next `calls` calls of the named method (e.g. "SynchronizeExternal")
 * fail with hr. calls 0 removes the injection. */
HUB6SIM_API int32_t Hub6Sim_InjectResult(const char* method, int32_t hr, uint32_t calls);
/* Synchronizations and software triggers of every unit with this serial. */
HUB6SIM_API uint32_t Hub6Sim_GetSyncCount(uint32_t serial);
HUB6SIM_API uint32_t Hub6Sim_GetTriggerCount(uint32_t serial);

using PfnHub6SimReset = void (*)();
using PfnHub6SimSetLocalDevices = int32_t (*)(const uint32_t*, uint32_t);
using PfnHub6SimInjectResult = int32_t (*)(const char*, int32_t, uint32_t);
using PfnHub6SimGetCount = uint32_t (*)(uint32_t);

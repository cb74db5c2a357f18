#include "Hub6TestHost.h"

#include <dlfcn.h>

#include "CVltServiceMgr.h"
#include "ServiceHostOptions.h"
#include "TestSupport.h"

namespace hub6test {

namespace {
template <class F>
bool Look(void* library, F& f, const char* name)
{
    f = reinterpret_cast<F>(dlsym(library, name));
    return f != nullptr;
}
} // namespace

Hub6TestHost::Hub6TestHost(std::vector<uint32_t> served, const std::string& address, uint16_t port)
{
    // The host loads the plug-in too; both handles name one copy of it.
    // Kept mapped: the plug-in carries thread-local state, and a module
    // unloaded with it confuses the leak checker at exit.
    m_library = dlopen(HUB6SVC_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!m_library || !Look(m_library, m_reset, "Hub6Sim_Reset") || !Look(m_library, m_setLocal, "Hub6Sim_SetLocalDevices")
        || !Look(m_library, m_inject, "Hub6Sim_InjectResult") || !Look(m_library, m_syncs, "Hub6Sim_GetSyncCount")
        || !Look(m_library, m_triggers, "Hub6Sim_GetTriggerCount"))
        return;
    m_reset();
    Serve(served);
    ServiceHostOptions options;
    options.bindAddress = address;
    m_manager = std::make_unique<CVltServiceMgr>(options);
    m_port = port != 0 ? port : srvtest::FreePort();
    m_started = m_manager->LoadServiceLibrary(HUB6SVC_LIBRARY_PATH, 0, m_port, true) == 0;
}

Hub6TestHost::~Hub6TestHost()
{
    Stop();
    if (m_reset)
        m_reset();
    if (m_library)
        dlclose(m_library);
}

void Hub6TestHost::Stop()
{
    if (m_manager)
        m_manager->UnloadAll();
    m_manager.reset();
}

void Hub6TestHost::Serve(const std::vector<uint32_t>& serials)
{
    if (m_setLocal)
        m_setLocal(serials.data(), static_cast<uint32_t>(serials.size()));
}

void Hub6TestHost::Inject(const char* method, int32_t hr, uint32_t calls)
{
    if (m_inject)
        m_inject(method, hr, calls);
}

uint32_t Hub6TestHost::SyncCount(uint32_t serial) const
{
    return m_syncs ? m_syncs(serial) : 0;
}

uint32_t Hub6TestHost::TriggerCount(uint32_t serial) const
{
    return m_triggers ? m_triggers(serial) : 0;
}

} // namespace hub6test

#pragma once
// A service host on loopback offering the sync-device service, for tests of
// remote units: the units it serves, the failures it is to give and the
// synchronizations and triggers its units received are set and read through
// the plug-in's own simulation controls.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Hub6Sim.h"

class CVltServiceMgr;

namespace hub6test {

class Hub6TestHost {
public:
    // On a free port of 127.0.0.1, or on the given loopback address and port
    // (for callers whose port is fixed).
    explicit Hub6TestHost(std::vector<uint32_t> served = {}, const std::string& address = "127.0.0.1",
                          uint16_t port = 0);
    ~Hub6TestHost();
    Hub6TestHost(const Hub6TestHost&) = delete;
    Hub6TestHost& operator=(const Hub6TestHost&) = delete;

    bool Started() const { return m_started; }
    uint16_t Port() const { return m_port; }
    // Ends the host: its listener and every connection close.
    void Stop();

    void Serve(const std::vector<uint32_t>& serials);
    void Inject(const char* method, int32_t hr, uint32_t calls);
    uint32_t SyncCount(uint32_t serial) const;
    uint32_t TriggerCount(uint32_t serial) const;

private:
    std::unique_ptr<CVltServiceMgr> m_manager;
    void* m_library = nullptr;
    PfnHub6SimReset m_reset = nullptr;
    PfnHub6SimSetLocalDevices m_setLocal = nullptr;
    PfnHub6SimInjectResult m_inject = nullptr;
    PfnHub6SimGetCount m_syncs = nullptr;
    PfnHub6SimGetCount m_triggers = nullptr;
    uint16_t m_port = 0;
    bool m_started = false;
};

} // namespace hub6test

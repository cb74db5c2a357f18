#pragma once
// The library's process-wide state: boards, handles, handed-out memory,
// injected failures, reported values and the call-back hold. Local boards are declared once from
// the configuration file named by TQ8_SIM_CONFIG, when the library is first
// used.
// Threads: every caller; each table locks itself, the configuration mutex orders configurations.
#include <cstdint>
#include <memory>
#include <mutex>

#include "CBoardRegistry.h"
#include "CCallbackHold.h"
#include "CContextFileTable.h"
#include "CFailureInjector.h"
#include "CHandleTable.h"
#include "CLibMemory.h"
#include "CRecordingTable.h"
#include "CReportedValues.h"
#include "SimConfig.h"

namespace tq8 {

class CTQ8Library {
public:
    static CTQ8Library& Instance();

    CBoardRegistry& Boards();
    CHandleTable& Handles() { return m_handles; }
    CLibMemory& Memory() { return m_memory; }
    CFailureInjector& Injector() { return m_injector; }
    CRecordingTable& Recordings() { return m_recordings; }
    CContextFileTable& ContextFiles() { return m_contextFiles; }
    CReportedValues& Reported() { return m_reported; }
    CCallbackHold& CallbackHold() { return m_callbackHold; }

    // link: a remote handle's own connection to the server.
    uint64_t Connect(std::shared_ptr<IBoardBackend> backend, std::shared_ptr<CRemoteLink> link = nullptr);
    std::shared_ptr<CConnection> Find(uint64_t handle) const { return m_handles.Find(handle); }
    // Also ends and frees the recording sessions created through the handle.
    bool Disconnect(uint64_t handle);

    // All or nothing: a configuration with a duplicate or implausible board
    // declares none of its boards.
    int32_t ApplyConfig(const SimConfig& config);
    void Reset();

private:
    CTQ8Library() = default;
    void LoadEnvironmentConfig();

    std::once_flag m_configOnce;
    std::mutex m_configMutex;
    CBoardRegistry m_boards;
    CHandleTable m_handles;
    CLibMemory m_memory;
    CFailureInjector m_injector;
    CRecordingTable m_recordings;
    CContextFileTable m_contextFiles;
    CReportedValues m_reported;
    CCallbackHold m_callbackHold;
};

} // namespace tq8

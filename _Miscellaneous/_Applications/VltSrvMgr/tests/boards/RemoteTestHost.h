#pragma once
// A service host on loopback for the remote-board tests: the file service
// over one served root, and the board service plug-in on its own port.
#include <cstdint>
#include <memory>
#include <string>

#include "ServiceHostOptions.h"
#include "TQ8_64.h"

class CVltServiceMgr;

class RemoteTestHost {
public:
    // options: the host's limits (it listens on 127.0.0.1 whatever they say).
    explicit RemoteTestHost(const std::string& root, uint16_t port = 0, ServiceHostOptions options = {});
    ~RemoteTestHost();
    RemoteTestHost(const RemoteTestHost&) = delete;
    RemoteTestHost& operator=(const RemoteTestHost&) = delete;

    bool Started() const { return m_started; }
    // Handles open on a local board of this process besides the probe's own
    // (the server's, when client and server share the process).
    static int32_t OpenHandles(uint32_t serial);
    uint16_t Port() const { return m_port; }
    // A remote virtual board on this host, connected as the scope
    // application connects (its client name and file and power services).
    int32_t ConnectVirtualBoard(uint32_t serial, TQ8_HANDLE* handle) const;

private:
    std::unique_ptr<CVltServiceMgr> m_manager;
    uint16_t m_port = 0;
    bool m_started = false;
};

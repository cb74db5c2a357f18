#include "RemoteTestHost.h"

#include "CSvcFsWin32.h"
#include "CVltServiceMgr.h"
#include "ServiceErrors.h"
#include "ServiceHostOptions.h"
#include "TQ8_64.h"
#include "TestSupport.h"

RemoteTestHost::RemoteTestHost(const std::string& root, uint16_t port, ServiceHostOptions options)
{
    options.bindAddress = "127.0.0.1";
    m_manager = std::make_unique<CVltServiceMgr>(options);
    m_manager->SetBuiltInServices({CSvcFsWin32::Factory({root})});
    // No configuration file: the built-in services only, then the plug-in.
    if (m_manager->LoadConfig((root + "/.no-config.xml").c_str(), false) != kSvcInvalidContextFile)
        return;
    m_port = port ? port : srvtest::FreePort();
    m_started = m_manager->LoadServiceLibrary(TQ8SVC_LIBRARY_PATH, 0, m_port, true) == 0;
}

RemoteTestHost::~RemoteTestHost()
{
    m_manager->UnloadAll();
}

int32_t RemoteTestHost::ConnectVirtualBoard(uint32_t serial, TQ8_HANDLE* handle) const
{
    TQ8_REMOTE_CONN_INFO conn{};
    conn.size = sizeof conn;
    conn.port = m_port;
    conn.server = L"127.0.0.1";
    conn.clientName = L"TQ3300 Scope";
    conn.subServices = L"FileServerWindows;PowerDownWindows";
    return ConnectToRemoteVirtualDeviceWTQ8(handle, serial, 1, &conn);
}

int32_t RemoteTestHost::OpenHandles(uint32_t serial)
{
    TQ8_HANDLE h = nullptr;
    if (ConnectToDeviceTQ8(&h, serial) != TQ8_OK)
        return -1;
    TQ8_DRIVER_STATS stats{};
    stats.size = sizeof stats;
    const int32_t rc = GetDriverStatsTQ8(h, &stats, 0);
    DisconnectFromDeviceTQ8(h);
    return rc == TQ8_OK ? stats.activeConnections - 1 : rc;
}

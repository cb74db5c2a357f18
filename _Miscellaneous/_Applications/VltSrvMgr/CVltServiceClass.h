#pragma once
// One registered service class: its interface and plug-in library, its
// listening socket, the accept thread and the threads of its connections.
// Every thread it starts is tracked and joined; stopping shuts the sockets
// of its connections down, so that a stop never waits on an idle client.
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "CConnectionActivity.h"
#include "ServiceHostOptions.h"

class CVltServiceMgr;
class CVltServiceModule;
class IVltServiceClass;
class IVltServiceInstance;

struct ServiceExitInfo {
    int32_t exitCode = 0;
    uint32_t lastSystemError = 0;
    int32_t lastSocketError = 0;
};

class CVltServiceClass {
public:
    // builtIn: the interface of a built-in service (owned from now on), or
    // null for a class whose library Load supplies.
    CVltServiceClass(CVltServiceMgr* manager, const ServiceHostOptions& options, IVltServiceClass* builtIn = nullptr);
    CVltServiceClass(const CVltServiceClass&) = delete;
    CVltServiceClass& operator=(const CVltServiceClass&) = delete;

    // 0, -522 (not loaded), -523 (no entry point) or -524 (entry point failed).
    virtual int32_t Load(const char* path, int32_t index);
    virtual void Unload();
    // 0, -1 (no interface), -525 or -526.
    virtual int32_t StartListening();
    // Without wait: raises the stop flag and shuts the connections' sockets
    // down. With wait: also joins the accept thread and every connection
    // thread and closes the listening socket.
    virtual int32_t StopListening(bool wait);
    virtual IVltServiceInstance* CreateInstance();
    virtual ~CVltServiceClass();
    // Runs on the accept thread until the stop flag is raised; 0.
    virtual int32_t AcceptLoop();

    const char* GetName() const;
    const char* GetDescription() const;
    uint16_t GetPort() const { return m_port; }
    void SetPort(uint16_t port) { m_port = port; }
    void SetExitInfo(int32_t exitCode);
    ServiceExitInfo GetExitInfo() const;
    std::shared_ptr<CVltServiceModule> GetModule() const { return m_module; }
    // Connections whose thread has not ended yet.
    size_t GetConnectionCount() const;

private:
    struct Connection {
        std::thread thread;
        std::mutex mutex; // guards socket against shutdown racing close
        int socket = -1;
        uint32_t peer = 0; // the client's IPv4 address
        CConnectionActivity activity;
        std::atomic<bool> finished{false};
    };

    // A connection thread's routine: the conversation, then the socket closed.
    void ConnectionThreadProc(Connection& connection, std::shared_ptr<CVltServiceModule> module);
    bool StartConnection(int socket, uint32_t peer);
    // Whether a new client from peer may be served: it is within its
    // address's share, and the host has room or makes it (DropForNewPeer).
    bool MakeRoomFor(uint32_t peer);
    // A full host and a client from an address that holds fewer connections
    // than the address that holds the most: that address's longest-idle
    // connection is ended. A connection exchanging a message, or holding a
    // service's work (one of its services took a call), is never dropped;
    // false when no connection could be. Under m_connectionMutex.
    bool DropForNewPeer(const std::unordered_map<uint32_t, size_t>& perPeer, size_t newPeerHolds);
    // Drops the connection when it is idle, holds no work and nothing of a
    // message waits unread on its socket.
    static bool DropIfIdle(Connection& connection);
    void ReapFinished();
    void ShutDownConnections();
    void JoinConnections();
    int32_t OpenListeningSocket();
    void CloseListeningSocket();
    void Wake();
    void WaitForWake(int ms);

    CVltServiceMgr* m_manager;
    std::shared_ptr<CVltServiceModule> m_module;
    std::thread m_acceptThread;
    std::atomic<bool> m_stop{false};
    uint16_t m_port;
    int m_listenSocket = -1;
    int m_wakePipe[2] = {-1, -1};
    ServiceHostOptions m_options;
    mutable std::mutex m_exitMutex;
    ServiceExitInfo m_exit;
    mutable std::mutex m_connectionMutex;
    std::list<std::unique_ptr<Connection>> m_connections;
};

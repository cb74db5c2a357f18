#include "CVltServiceClass.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "CVltServiceInstance.h"
#include "CVltServiceModule.h"
#include "IVltServiceClass.h"
#include "IVltServiceInstance.h"
#include "ServiceErrors.h"

namespace {

constexpr int kAcceptWaitMs = 1000;
constexpr int kFirstBackoffMs = 10;
constexpr int kLongestBackoffMs = 1000;
// The system caps the queue anyway; ask for no more than it allows.
constexpr int kBacklog = SOMAXCONN;

// Accept failures that pass: out of descriptors or memory, or a client that
// gave up while queued. Anything else means the socket itself is broken.
bool IsTransientAcceptError(int error)
{
    switch (error) {
    case EMFILE: case ENFILE: case ENOBUFS: case ENOMEM: case ECONNABORTED:
    case EPROTO: case EPERM: case ENETDOWN: case ENOPROTOOPT: case EHOSTDOWN:
    case ENONET: case EHOSTUNREACH: case EOPNOTSUPP: case ENETUNREACH:
        return true;
    default:
        return false;
    }
}

int NextBackoff(int ms)
{
    return ms == 0 ? kFirstBackoffMs : std::min(ms * 2, kLongestBackoffMs);
}

// The accept thread's routine.
int32_t AcceptThreadProc(CVltServiceClass* serviceClass)
{
    return serviceClass ? serviceClass->AcceptLoop() : -1;
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

CVltServiceClass::CVltServiceClass(CVltServiceMgr* manager, const ServiceHostOptions& options,
                                   IVltServiceClass* builtIn)
    : m_manager(manager), m_port(kVltNoPort), m_options(options)
{
    if (builtIn)
        m_module = std::make_shared<CVltServiceModule>(nullptr, builtIn);
}

CVltServiceClass::~CVltServiceClass()
{
    Unload();
    CloseFd(m_wakePipe[0]);
    CloseFd(m_wakePipe[1]);
}

int32_t CVltServiceClass::Load(const char* path, int32_t index)
{
    Unload();
    if (!path)
        return kSvcArgument1;
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return kSvcLibraryNotLoaded;
    void* entry = dlsym(library, kVltEntryPointC);
    if (!entry)
        entry = dlsym(library, kVltEntryPoint);
    if (!entry) {
        dlclose(library);
        return kSvcNotServiceLibrary;
    }
    IVltServiceClass* serviceClass = nullptr;
    const int32_t rc = reinterpret_cast<PfnCreateVltServiceClass>(entry)(index, &serviceClass);
    // On failure the pointer is not trusted; the library stays until unload.
    m_module = std::make_shared<CVltServiceModule>(library, rc == 0 ? serviceClass : nullptr);
    if (rc != 0 || !serviceClass)
        return kSvcClassNotCreated;
    m_port = serviceClass->GetDefaultPort();
    return 0;
}

void CVltServiceClass::Unload()
{
    StopListening(true);
    CloseListeningSocket();
    // Connections are joined: nothing else of this class holds the module,
    // unless a sub-service instance lives on another class's connection.
    m_module.reset();
}

int32_t CVltServiceClass::StartListening()
{
    if (!m_module || !m_module->Get())
        return kSvcNonSpecific;
    if (m_acceptThread.joinable())
        return 0;
    const int32_t rc = OpenListeningSocket();
    if (rc != 0)
        return rc;
    if (m_wakePipe[0] < 0 && pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return kSvcResourceNotAllocated;
    char drain[64];
    while (read(m_wakePipe[0], drain, sizeof drain) > 0) {
    }
    m_stop = false;
    try {
        m_acceptThread = std::thread(AcceptThreadProc, this);
    } catch (const std::system_error&) {
        return kSvcThreadNotCreated;
    }
    return 0;
}

int32_t CVltServiceClass::OpenListeningSocket()
{
    CloseListeningSocket();
    m_listenSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listenSocket < 0) {
        SetLastSocketError(errno);
        return kSvcSocketError;
    }
    // Lets a restart bind again while old connections linger in TIME_WAIT;
    // a port another program listens on still fails.
    const int on = 1;
    setsockopt(m_listenSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!m_options.bindAddress.empty() && inet_pton(AF_INET, m_options.bindAddress.c_str(), &address.sin_addr) != 1) {
        SetLastSocketError(EINVAL);
        return kSvcSocketError;
    }
    if (bind(m_listenSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || listen(m_listenSocket, kBacklog) != 0) {
        SetLastSocketError(errno);
        CloseListeningSocket();
        return kSvcSocketError;
    }
    return 0;
}

void CVltServiceClass::CloseListeningSocket()
{
    CloseFd(m_listenSocket);
}

int32_t CVltServiceClass::StopListening(bool wait)
{
    m_stop = true;
    Wake();
    ShutDownConnections();
    if (!wait)
        return 0;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    // Connections accepted while the stop was under way.
    ShutDownConnections();
    JoinConnections();
    CloseListeningSocket();
    return 0;
}

IVltServiceInstance* CVltServiceClass::CreateInstance()
{
    IVltServiceInstance* instance = nullptr;
    if (m_module && m_module->Get())
        m_module->Get()->CreateInstance(&instance);
    return instance;
}

const char* CVltServiceClass::GetName() const
{
    return m_module && m_module->Get() ? m_module->Get()->GetName() : nullptr;
}

const char* CVltServiceClass::GetDescription() const
{
    return m_module && m_module->Get() ? m_module->Get()->GetDescription() : nullptr;
}

void CVltServiceClass::SetExitInfo(int32_t exitCode)
{
    const uint32_t systemError = static_cast<uint32_t>(errno);
    std::lock_guard<std::mutex> hold(m_exitMutex);
    m_exit.exitCode = exitCode;
    m_exit.lastSystemError = systemError;
    m_exit.lastSocketError = GetLastSocketError();
}

ServiceExitInfo CVltServiceClass::GetExitInfo() const
{
    std::lock_guard<std::mutex> hold(m_exitMutex);
    return m_exit;
}

size_t CVltServiceClass::GetConnectionCount() const
{
    std::lock_guard<std::mutex> hold(m_connectionMutex);
    size_t count = 0;
    for (const auto& connection : m_connections)
        count += connection->finished ? 0 : 1;
    return count;
}

int32_t CVltServiceClass::AcceptLoop()
{
    int backoffMs = 0;
    for (;;) {
        pollfd fds[2] = {{m_listenSocket, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        const int ready = poll(fds, 2, kAcceptWaitMs);
        if (ready < 0 && errno != EINTR) {
            SetLastSocketError(errno);
            SetExitInfo(kSvcSocketError);
            return 0;
        }
        if (m_stop)
            return 0;
        ReapFinished();
        if (ready <= 0 || !(fds[0].revents & (POLLIN | POLLERR | POLLHUP)))
            continue;
        sockaddr_in peer{};
        socklen_t peerSize = sizeof peer;
        const int client = accept4(m_listenSocket, reinterpret_cast<sockaddr*>(&peer), &peerSize, SOCK_CLOEXEC);
        if (client >= 0 && m_stop) {
            close(client);
            return 0;
        }
        if (client < 0) {
            const int error = errno;
            if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK)
                continue;
            SetLastSocketError(error);
            if (!IsTransientAcceptError(error)) {
                SetExitInfo(kSvcSocketError);
                return 0;
            }
            backoffMs = NextBackoff(backoffMs);
            WaitForWake(backoffMs);
            continue;
        }
        backoffMs = 0;
        if (!MakeRoomFor(peer.sin_addr.s_addr)) {
            close(client); // over a limit: refused without a word, like a full host
            continue;
        }
        if (!StartConnection(client, peer.sin_addr.s_addr)) {
            SetExitInfo(kSvcThreadNotCreated);
            backoffMs = NextBackoff(backoffMs);
            WaitForWake(backoffMs);
        }
    }
}

bool CVltServiceClass::MakeRoomFor(uint32_t peer)
{
    std::unordered_map<uint32_t, size_t> perPeer;
    size_t all = 0;
    std::lock_guard<std::mutex> hold(m_connectionMutex);
    for (const auto& connection : m_connections) {
        if (connection->finished || connection->activity.IsDropped())
            continue;
        ++all;
        ++perPeer[connection->peer];
    }
    const size_t newPeerHolds = perPeer[peer];
    if (newPeerHolds >= static_cast<size_t>(std::max(m_options.maxConnectionsPerPeer, 0)))
        return false;
    return all < static_cast<size_t>(std::max(m_options.maxConnections, 0)) || DropForNewPeer(perPeer, newPeerHolds);
}

bool CVltServiceClass::DropForNewPeer(const std::unordered_map<uint32_t, size_t>& perPeer, size_t newPeerHolds)
{
    size_t most = 0;
    for (const auto& [address, count] : perPeer)
        most = std::max(most, count);
    if (most <= newPeerHolds)
        return false;
    std::vector<Connection*> idle;
    for (const auto& connection : m_connections) {
        if (!connection->finished && connection->activity.MayBeDropped() && perPeer.at(connection->peer) == most)
            idle.push_back(connection.get());
    }
    std::sort(idle.begin(), idle.end(),
              [](const Connection* a, const Connection* b) { return a->activity.IdleSince() < b->activity.IdleSince(); });
    for (Connection* connection : idle) {
        if (DropIfIdle(*connection))
            return true;
    }
    return false;
}

bool CVltServiceClass::DropIfIdle(Connection& connection)
{
    std::lock_guard<std::mutex> hold(connection.mutex);
    int unread = 0;
    if (connection.socket < 0 || ioctl(connection.socket, FIONREAD, &unread) != 0 || unread > 0)
        return false;
    if (!connection.activity.Drop())
        return false;
    // Its thread sees the end of the stream and ends the conversation.
    shutdown(connection.socket, SHUT_RDWR);
    return true;
}

bool CVltServiceClass::StartConnection(int socket, uint32_t peer)
{
    // Requests and replies alternate: send each piece at once.
    const int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->peer = peer;
    Connection& record = *connection;
    std::lock_guard<std::mutex> hold(m_connectionMutex);
    try {
        record.thread = std::thread(&CVltServiceClass::ConnectionThreadProc, this, std::ref(record), m_module);
    } catch (const std::system_error&) {
        close(socket);
        return false;
    }
    m_connections.push_back(std::move(connection));
    return true;
}

void CVltServiceClass::ConnectionThreadProc(Connection& connection, std::shared_ptr<CVltServiceModule> module)
{
    try {
        CVltServiceInstance instance(m_manager, std::move(module), connection.socket, m_options, &connection.activity);
        instance.Run();
    } catch (const std::bad_alloc&) {
        // Out of memory ends this connection only.
    }
    {
        std::lock_guard<std::mutex> hold(connection.mutex);
        CloseFd(connection.socket);
    }
    connection.finished = true;
}

void CVltServiceClass::ReapFinished()
{
    std::list<std::unique_ptr<Connection>> done;
    {
        std::lock_guard<std::mutex> hold(m_connectionMutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            auto next = std::next(it);
            if ((*it)->finished)
                done.splice(done.end(), m_connections, it);
            it = next;
        }
    }
    for (auto& connection : done)
        connection->thread.join();
}

void CVltServiceClass::ShutDownConnections()
{
    std::lock_guard<std::mutex> hold(m_connectionMutex);
    for (auto& connection : m_connections) {
        std::lock_guard<std::mutex> socketHold(connection->mutex);
        if (connection->socket >= 0)
            shutdown(connection->socket, SHUT_RDWR);
    }
}

void CVltServiceClass::JoinConnections()
{
    std::list<std::unique_ptr<Connection>> all;
    {
        std::lock_guard<std::mutex> hold(m_connectionMutex);
        all.swap(m_connections);
    }
    for (auto& connection : all)
        connection->thread.join();
}

void CVltServiceClass::Wake()
{
    if (m_wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = write(m_wakePipe[1], &byte, 1);
    }
}

void CVltServiceClass::WaitForWake(int ms)
{
    pollfd fd{m_wakePipe[0], POLLIN, 0};
    poll(&fd, 1, ms);
}

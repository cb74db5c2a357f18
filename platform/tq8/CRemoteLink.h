#pragma once
// One handle's TCP connection to the board service of a server. Calls are
// serialised by a mutex and each has a deadline. The protocol has no request
// ids, so a call that times out or fails closes the connection, and the next
// call connects and opens the board again: a late reply is never taken for
// the answer to a later request. Calls come from the handle's threads; Abort
// and Close may come from any thread while a call is under way.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CAutoXmlDoc.h"
#include "CRemoteAsyncRead.h"
#include "RemoteTarget.h"
#include "service/BoardWire.h"

namespace tq8 {

class CRemoteLink {
public:
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr uint32_t kCallTimeoutMs = 30000;
    // A blocking acquisition waits for its trigger; standby ends it sooner.
    static constexpr uint32_t kAcquireTimeoutMs = 3600u * 1000u;

    explicit CRemoteLink(RemoteTarget target);
    ~CRemoteLink();
    CRemoteLink(const CRemoteLink&) = delete;
    CRemoteLink& operator=(const CRemoteLink&) = delete;

    // Connects and opens the board; 0 or a library code.
    int32_t Open();
    // Connects without opening a board (listing the server's boards).
    int32_t Connect();
    // Why the last connection could not be made: the connect's system error
    // (ECONNREFUSED, ETIMEDOUT, ...) when it gave TQ8_ERR_SERVER_UNREACHABLE
    // for want of an answer; 0 otherwise. For the thread that connected.
    int ConnectError() const { return m_connectError; }
    const RemoteTarget& Target() const { return m_target; }

    // A board-service call, its parameters in the order of the wire table
    // (trailing ones may be left out); the parsed reply in reply.
    int32_t Call(tq8wire::Method method, const std::vector<std::string>& values, CAutoXmlDoc& reply,
                 uint32_t timeoutMs = kCallTimeoutMs);
    // A call whose reply carries a Result: that code.
    int32_t CallForResult(tq8wire::Method method, const std::vector<std::string>& values,
                          uint32_t timeoutMs = kCallTimeoutMs);
    // Any request text on this connection; the reply as the host sent it.
    int32_t Exchange(const char* request, size_t length, CAutoXmlDoc& reply, uint32_t timeoutMs);

    // What a link that connected again sends before the call that found it
    // closed: the board's settings (the Settings call's Text item), whose
    // answer goes to take. A server that lost them (restarted, or let a
    // virtual board go) so goes on with the client's, or the call fails with
    // TQ8_ERR_SETTINGS_NOT_RESTORED. Both run under the link's lock.
    void SetSettingsRestore(std::function<std::string()> settingsText, std::function<int32_t(xmlDocPtr)> take);

    // True while another thread is in a call on this link.
    bool Busy();
    // Ends a call in progress at once; the link reconnects at its next call.
    void Abort();
    // For good: a blocked call returns at once, later calls fail.
    void Close();

    CRemoteAsyncRead& AsyncRead() { return m_async; }

    // Messages sent by every link of the process (for tests).
    static uint64_t MessagesSent();

private:
    int32_t ConnectLocked(bool openBoard);
    int32_t ExchangeLocked(const char* request, size_t length, CAutoXmlDoc& reply, uint32_t timeoutMs);
    int32_t ReceiveReply(CAutoXmlDoc& reply, uint32_t timeoutMs);
    // 0, TQ8_ERR_TIMEOUT after a silence of timeoutMs, or the lost connection.
    int32_t ReceiveWithin(int fd, char* buffer, size_t count, uint32_t timeoutMs);
    int32_t OpenBoardLocked();
    int32_t RestoreSettingsLocked();
    void DropLocked();
    // Closes the socket the link owns, if any, under the socket lock.
    void DropSocket();

    RemoteTarget m_target;
    std::mutex m_mutex;
    // The socket number is set and closed only under m_socketMutex (and,
    // but for the destructor, m_mutex), so that Abort never shuts down a
    // number that was closed and may already belong to another connection.
    std::mutex m_socketMutex;
    int m_socket = -1;
    std::atomic<bool> m_closed{false};
    bool m_opened = false;
    int m_connectError = 0;
    std::function<std::string()> m_settingsText;
    std::function<int32_t(xmlDocPtr)> m_takeSettings;
    CRemoteAsyncRead m_async;
    std::string m_receive; // kept: replies of sample chunks are large
};

} // namespace tq8

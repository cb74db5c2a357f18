#include "CRemoteLink.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "ServiceClientSocket.h"
#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"
#include "ServiceRequestRoutines.h"
#include "TQ8_64.h"
#include "TextConv.h"
#include "XmlRoutines.h"

#include <libxml/parser.h>

namespace tq8 {

namespace {

std::atomic<uint64_t> g_messagesSent{0};

int32_t ConnectFailureCode(ServiceConnectFailure failure)
{
    switch (failure) {
    case ServiceConnectFailure::MalformedAddress: return TQ8_ERR_SERVER_ADDRESS_INVALID;
    case ServiceConnectFailure::UnknownName: return TQ8_ERR_SERVER_NOT_FOUND;
    default: return TQ8_ERR_SERVER_UNREACHABLE;
    }
}

constexpr char kDisconnect[] = "<VltServiceRequest><Disconnect/></VltServiceRequest>";

std::string Escaped(std::string text)
{
    XmlEscape(text);
    return text;
}

std::string HelloText(const RemoteTarget& target)
{
    std::string text = std::string("<VltServiceRequest><Connect service=\"") + TQ8_BOARD_SERVICE_NAME + "\">";
    if (!target.clientApp.empty())
        text += "<ClientApp>" + Escaped(target.clientApp) + "</ClientApp>";
    if (!target.subServices.empty())
        text += "<SubServices>" + Escaped(target.subServices) + "</SubServices>";
    return text + "</Connect></VltServiceRequest>";
}

// The request of a wire-table row: its parameter names with the values.
std::string CallText(tq8wire::Method method, const std::vector<std::string>& values)
{
    const tq8wire::MethodRow& row = tq8wire::Row(method);
    ServiceRequestParams params;
    std::string_view names(row.parameters);
    for (const std::string& value : values) {
        if (names.empty())
            throw std::logic_error("more values than the wire table names");
        const size_t end = names.find(';');
        AddServiceRequestParam(params, std::string(names.substr(0, end)), value);
        names.remove_prefix(end == std::string_view::npos ? names.size() : end + 1);
    }
    std::string text;
    BuildServiceRequest(row.name, &params, text);
    return text;
}

// A deadline of the poll's own range.
int PollTimeout(uint32_t ms)
{
    return ms > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(ms);
}

// Between calls nothing may arrive: a hang-up, or bytes no call asked for,
// mean the connection is to be made anew.
bool IdleAndOpen(int fd)
{
    pollfd check{fd, POLLIN | POLLRDHUP, 0};
    return poll(&check, 1, 0) == 0;
}

} // namespace

CRemoteLink::CRemoteLink(RemoteTarget target) : m_target(std::move(target)) {}

CRemoteLink::~CRemoteLink()
{
    Close();
    m_async.Cancel([] {});
    DropSocket();
}

uint64_t CRemoteLink::MessagesSent()
{
    return g_messagesSent.load();
}

int32_t CRemoteLink::Open()
{
    std::lock_guard lock(m_mutex);
    return ConnectLocked(true);
}

int32_t CRemoteLink::Connect()
{
    std::lock_guard lock(m_mutex);
    return ConnectLocked(false);
}

int32_t CRemoteLink::ConnectLocked(bool openBoard)
{
    DropLocked();
    m_connectError = 0;
    ServiceConnectFailure failure = ServiceConnectFailure::None;
    const int fd =
        ConnectServiceSocket(vlt::WideToUtf8(m_target.server), m_target.port, kConnectTimeoutMs, &failure);
    if (fd < 0) {
        m_connectError = failure == ServiceConnectFailure::NoConnection ? errno : 0;
        return ConnectFailureCode(failure);
    }
    {
        std::lock_guard socketLock(m_socketMutex);
        m_socket = fd;
    }
    const std::string hello = HelloText(m_target);
    CAutoXmlDoc reply;
    int32_t rc = ExchangeLocked(hello.data(), hello.size(), reply, kConnectTimeoutMs);
    // A host without the board service closes without a word.
    if (rc == TQ8_ERR_CONNECTION_LOST || rc == TQ8_ERR_TIMEOUT)
        rc = TQ8_ERR_SERVER_UNREACHABLE;
    if (rc == TQ8_OK && IsServiceErrorReply(reply))
        rc = TQ8_ERR_SERVER_REFUSED;
    if (rc == TQ8_OK && openBoard)
        rc = OpenBoardLocked();
    if (rc != TQ8_OK)
        DropLocked();
    return rc;
}

int32_t CRemoteLink::OpenBoardLocked()
{
    const std::string text =
        CallText(tq8wire::Method::Open, {std::to_string(m_target.serial), m_target.isVirtual ? "1" : "0"});
    CAutoXmlDoc reply;
    int32_t rc = ExchangeLocked(text.data(), text.size(), reply, kCallTimeoutMs);
    int32_t result = 0;
    std::string serial;
    if (rc == TQ8_OK)
        rc = GetServiceReturnInt(reply, tq8wire::kResult, result) == 0
                && GetServiceReturnString(reply, tq8wire::kSerial, serial) == 0
            ? result
            : TQ8_ERR_BAD_REPLY;
    uint32_t opened = 0;
    if (rc == TQ8_OK && !ParseULongStrict(serial, opened))
        rc = TQ8_ERR_BAD_REPLY;
    if (rc == TQ8_OK) {
        // An ordinal names the board once; later connections ask for its serial.
        m_target.serial = opened;
        m_opened = true;
    }
    return rc;
}

void CRemoteLink::DropLocked()
{
    DropSocket();
}

void CRemoteLink::DropSocket()
{
    std::lock_guard socketLock(m_socketMutex);
    if (m_socket >= 0)
        close(m_socket);
    m_socket = -1;
}

int32_t CRemoteLink::Call(tq8wire::Method method, const std::vector<std::string>& values, CAutoXmlDoc& reply,
                          uint32_t timeoutMs)
{
    const std::string text = CallText(method, values);
    const int32_t rc = Exchange(text.data(), text.size(), reply, timeoutMs);
    if (rc != TQ8_OK)
        return rc;
    std::string ignored;
    if (!IsServiceErrorReply(reply, &ignored))
        return TQ8_OK;
    std::string handled;
    // A server whose board service does not know the call leaves it unhandled.
    return XmlNodeGetAttribute(xmlDocGetRootElement(reply), "handled", handled) ? TQ8_ERR_NOT_SUPPORTED
                                                                                : TQ8_ERR_SERVER_REFUSED;
}

int32_t CRemoteLink::CallForResult(tq8wire::Method method, const std::vector<std::string>& values, uint32_t timeoutMs)
{
    CAutoXmlDoc reply;
    int32_t rc = Call(method, values, reply, timeoutMs);
    int32_t result = 0;
    if (rc == TQ8_OK)
        rc = GetServiceReturnInt(reply, tq8wire::kResult, result) == 0 ? result : TQ8_ERR_BAD_REPLY;
    return rc;
}

int32_t CRemoteLink::Exchange(const char* request, size_t length, CAutoXmlDoc& reply, uint32_t timeoutMs)
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return TQ8_ERR_CONNECTION_LOST;
    if (m_socket >= 0 && !IdleAndOpen(m_socket))
        DropLocked();
    if (m_socket < 0) {
        const bool reopen = m_opened;
        int32_t rc = ConnectLocked(reopen);
        // The server that answered before cannot be reached again.
        if (rc == TQ8_ERR_SERVER_UNREACHABLE || rc == TQ8_ERR_SERVER_NOT_FOUND || rc == TQ8_ERR_SERVER_ADDRESS_INVALID)
            return TQ8_ERR_CONNECTION_LOST;
        if (rc != TQ8_OK)
            return rc;
        // Never the server's defaults taken for the client's settings.
        if (reopen && RestoreSettingsLocked() != TQ8_OK) {
            DropLocked();
            return TQ8_ERR_SETTINGS_NOT_RESTORED;
        }
    }
    return ExchangeLocked(request, length, reply, timeoutMs);
}

void CRemoteLink::SetSettingsRestore(std::function<std::string()> settingsText,
                                     std::function<int32_t(xmlDocPtr)> take)
{
    std::lock_guard lock(m_mutex);
    m_settingsText = std::move(settingsText);
    m_takeSettings = std::move(take);
}

int32_t CRemoteLink::RestoreSettingsLocked()
{
    if (!m_settingsText || !m_takeSettings)
        return TQ8_OK;
    const std::string text = CallText(tq8wire::Method::Settings, {m_settingsText()});
    CAutoXmlDoc reply;
    int32_t rc = ExchangeLocked(text.data(), text.size(), reply, kCallTimeoutMs);
    if (rc == TQ8_OK && IsServiceErrorReply(reply))
        rc = TQ8_ERR_SERVER_REFUSED;
    return rc == TQ8_OK ? m_takeSettings(reply.Get()) : rc;
}

int32_t CRemoteLink::ExchangeLocked(const char* request, size_t length, CAutoXmlDoc& reply, uint32_t timeoutMs)
{
    reply.Free();
    const int fd = m_socket;
    if (fd < 0)
        return TQ8_ERR_CONNECTION_LOST;
    ++g_messagesSent;
    if (SendFramedMessage(fd, request, length) != 0) {
        DropLocked();
        return TQ8_ERR_CONNECTION_LOST;
    }
    const int32_t rc = ReceiveReply(reply, timeoutMs);
    if (rc != TQ8_OK)
        DropLocked();
    return rc;
}

int32_t CRemoteLink::ReceiveReply(CAutoXmlDoc& reply, uint32_t timeoutMs)
{
    const int fd = m_socket;
    uint32_t prefix = 0;
    int32_t rc = ReceiveWithin(fd, reinterpret_cast<char*>(&prefix), sizeof prefix, timeoutMs);
    if (rc != TQ8_OK)
        return rc;
    // The server is not trusted either: a length over the host's own cap is
    // refused before anything is allocated.
    const uint32_t length = ntohl(prefix);
    if (length == 0 || length > ServiceHostOptions{}.maxMessageBytes)
        return TQ8_ERR_BAD_REPLY;
    m_receive.resize(length);
    rc = ReceiveWithin(fd, m_receive.data(), length, std::min(timeoutMs, kCallTimeoutMs));
    if (rc != TQ8_OK)
        return rc;
    // No network access, no DTD loading, no entity substitution.
    reply.Attach(xmlReadMemory(m_receive.data(), static_cast<int>(length), nullptr, nullptr,
                               XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    return reply.IsEmpty() ? TQ8_ERR_BAD_REPLY : TQ8_OK;
}

int32_t CRemoteLink::ReceiveWithin(int fd, char* buffer, size_t count, uint32_t timeoutMs)
{
    while (count > 0) {
        const ssize_t n = recv(fd, buffer, count, MSG_DONTWAIT);
        if (n > 0) {
            buffer += n;
            count -= static_cast<size_t>(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) || m_closed)
            return TQ8_ERR_CONNECTION_LOST;
        // Every silence within the reply is bounded by the call's deadline.
        pollfd wait{fd, POLLIN, 0};
        const int ready = poll(&wait, 1, PollTimeout(timeoutMs));
        if (ready == 0)
            return TQ8_ERR_TIMEOUT;
        if (ready < 0 && errno != EINTR)
            return TQ8_ERR_CONNECTION_LOST;
    }
    return TQ8_OK;
}

bool CRemoteLink::Busy()
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    return !lock.owns_lock();
}

void CRemoteLink::Abort()
{
    std::lock_guard socketLock(m_socketMutex);
    if (m_socket >= 0)
        shutdown(m_socket, SHUT_RDWR);
}

void CRemoteLink::Close()
{
    m_closed = true;
    m_async.Cancel([this] { Abort(); });
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        // A call is in progress: it fails at once and drops the socket.
        Abort();
        return;
    }
    const int fd = m_socket;
    if (fd >= 0)
        SendFramedMessage(fd, kDisconnect, sizeof kDisconnect - 1);
    DropLocked();
}

} // namespace tq8

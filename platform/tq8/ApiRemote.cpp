// Remote boards: connecting through a server's board service, listing its
// boards, and service requests on a board's connection.
#include <cerrno>
#include <vector>

#include "ApiCommon.h"
#include "CRemoteLink.h"
#include "CServiceReplies.h"
#include "RemoteConnect.h"
#include "ServiceRequestRoutines.h"
#include "TQ8Sim.h"
#include "TextConv.h"
#include "XmlRoutines.h"

using namespace tq8;

namespace {

bool ValidRecord(const TQ8_REMOTE_CONN_INFO* conn)
{
    return conn != nullptr && conn->size == sizeof(TQ8_REMOTE_CONN_INFO) && conn->server != nullptr
        && *conn->server != L'\0' && conn->port != 0;
}

RemoteTarget TargetOf(const TQ8_REMOTE_CONN_INFO& conn, uint32_t serial, bool isVirtual)
{
    RemoteTarget target;
    target.server = conn.server;
    target.port = conn.port;
    if (conn.clientName)
        target.clientApp = vlt::WideToUtf8(conn.clientName);
    if (conn.subServices)
        target.subServices = vlt::WideToUtf8(conn.subServices);
    target.serial = serial;
    target.isVirtual = isVirtual;
    return target;
}

int32_t Connect(TQ8_HANDLE* handle, const RemoteTarget& target, int& connectError)
{
    uint64_t id = 0;
    const int32_t rc = ConnectRemote(target, id, &connectError);
    if (rc == TQ8_OK)
        *handle = ToHandle(id);
    return rc;
}

// The system's reason of a connection that was not made, for the caller to
// read in errno; set last, so that nothing on the way out changes it.
int32_t WithConnectError(int32_t rc, int connectError)
{
    errno = rc == TQ8_ERR_SERVER_UNREACHABLE ? connectError : 0;
    return rc;
}

// The serials of a TQ8_LIST reply; false when it is not one.
bool ListedSerials(xmlDocPtr reply, std::vector<uint32_t>& serials)
{
    int32_t count = 0;
    std::vector<xmlNodePtr> nodes;
    if (GetServiceReturnInt(reply, tq8wire::kCount, count) != 0 || count < 0)
        return false;
    XPathFindNodes(reply, "/VltServiceResponse/ReturnData/Device", nodes);
    if (nodes.size() != static_cast<size_t>(count))
        return false;
    for (xmlNodePtr node : nodes) {
        std::string text;
        uint32_t serial = 0;
        if (!XmlNodeGetText(node, text) || !ParseULongStrict(text, serial))
            return false;
        serials.push_back(serial);
    }
    return true;
}

} // namespace

extern "C" {

int32_t ConnectToRemoteDeviceWTQ8(TQ8_HANDLE* handle, uint32_t serial, const TQ8_REMOTE_CONN_INFO* conn)
{
    int connectError = 0;
    const int32_t rc = Guard(__func__, [&]() -> int32_t {
        if (handle == nullptr || !ValidRecord(conn) || serial == 0)
            return TQ8_ERR_INVALID_ARG;
        return Connect(handle, TargetOf(*conn, serial, false), connectError);
    });
    return WithConnectError(rc, connectError);
}

int32_t ConnectToRemoteVirtualDeviceWTQ8(TQ8_HANDLE* handle, uint32_t serial, uint32_t flags,
                                         const TQ8_REMOTE_CONN_INFO* conn)
{
    (void)flags;
    int connectError = 0;
    const int32_t rc = Guard(__func__, [&]() -> int32_t {
        if (handle == nullptr || !ValidRecord(conn) || serial == 0)
            return TQ8_ERR_INVALID_ARG;
        return Connect(handle, TargetOf(*conn, serial, true), connectError);
    });
    return WithConnectError(rc, connectError);
}

int32_t GetRemoteDeviceCountWTQ8(const wchar_t* server, uint16_t port, uint32_t** serials)
{
    int connectError = 0;
    const int32_t rc = Guard(__func__, [&]() -> int32_t {
        if (serials != nullptr)
            *serials = nullptr;
        if (server == nullptr || *server == L'\0' || port == 0)
            return TQ8_ERR_INVALID_ARG;
        RemoteTarget target;
        target.server = server;
        target.port = port;
        CRemoteLink link(target);
        int32_t rc = link.Connect();
        connectError = link.ConnectError();
        CAutoXmlDoc reply;
        if (rc == TQ8_OK)
            rc = link.Call(tq8wire::Method::List, {}, reply);
        std::vector<uint32_t> listed;
        if (rc == TQ8_OK && !ListedSerials(reply, listed))
            rc = TQ8_ERR_BAD_REPLY;
        if (rc != TQ8_OK)
            return rc;
        if (serials != nullptr && !listed.empty()) {
            *serials = static_cast<uint32_t*>(Lib().Memory().Allocate(listed.size() * sizeof(uint32_t)));
            if (*serials == nullptr)
                return TQ8_ERR_NO_MEMORY;
            std::copy(listed.begin(), listed.end(), *serials);
        }
        return static_cast<int32_t>(listed.size());
    });
    return WithConnectError(rc, connectError);
}

int32_t SendServiceRequestTQ8(TQ8_HANDLE h, const char* request, uint32_t length, void** reply, uint32_t timeoutMs,
                              uint32_t flags)
{
    if (reply != nullptr)
        *reply = nullptr;
    return Guard(__func__, [&]() -> int32_t {
        auto connection = Lib().Find(HandleId(h));
        if (!connection)
            return TQ8_ERR_INVALID_HANDLE;
        if (request == nullptr || length == 0 || reply == nullptr || flags != 0)
            return TQ8_ERR_INVALID_ARG;
        if (!connection->link)
            return TQ8_ERR_NOT_SUPPORTED;
        CAutoXmlDoc parsed;
        const int32_t rc = connection->link->Exchange(request, length, parsed, timeoutMs);
        if (rc != TQ8_OK)
            return rc;
        CServiceReplies::Instance().Add(parsed.Get());
        *reply = parsed.Detach();
        return TQ8_OK;
    });
}

int32_t FreeServiceResponseTQ8(void* reply)
{
    return Guard(__func__, [&]() -> int32_t {
        if (reply == nullptr)
            return TQ8_OK;
        return CServiceReplies::Instance().Free(reply) ? TQ8_OK : TQ8_ERR_INVALID_ARG;
    });
}

uint64_t TQ8Sim_RemoteMessagesSent(void)
{
    return CRemoteLink::MessagesSent();
}

} // extern "C"

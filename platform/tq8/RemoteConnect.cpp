#include "RemoteConnect.h"

#include "CRemoteBoardBackend.h"
#include "CTQ8Library.h"

namespace tq8 {

int32_t ConnectRemote(const RemoteTarget& target, uint64_t& handle, int* connectError)
{
    auto link = std::make_shared<CRemoteLink>(target);
    int32_t rc = link->Open();
    if (connectError)
        *connectError = link->ConnectError();
    std::shared_ptr<CRemoteBoardBackend> board;
    if (rc == TQ8_OK)
        rc = CRemoteBoardBackend::ForLink(link, board);
    if (rc != TQ8_OK)
        return rc;
    handle = CTQ8Library::Instance().Connect(board, link);
    return TQ8_OK;
}

int32_t DuplicateRemote(const CConnection& connection, uint64_t& handle)
{
    return ConnectRemote(connection.link->Target(), handle);
}

} // namespace tq8

// Connection and handles.
#include <cerrno>

#include "ApiCommon.h"
#include "RemoteConnect.h"

using namespace tq8;

extern "C" {

int32_t GetDeviceCountTQ8(void)
{
    return Guard(__func__, [] { return static_cast<int32_t>(Lib().Boards().LocalCount()); });
}

int32_t ConnectToDeviceTQ8(TQ8_HANDLE* handle, uint32_t n)
{
    return Guard(__func__, [&]() -> int32_t {
        if (handle == nullptr)
            return TQ8_ERR_INVALID_ARG;
        // A number equal to a known serial wins; otherwise it is an ordinal.
        int32_t rc = TQ8_ERR_DEVICE_NOT_FOUND;
        auto backend = Lib().Boards().LocalBySerial(n, &rc);
        if (!backend && rc == TQ8_ERR_DEVICE_NOT_FOUND)
            backend = Lib().Boards().LocalByOrdinal(n, &rc);
        if (!backend)
            return rc;
        *handle = ToHandle(Lib().Connect(std::move(backend)));
        return TQ8_OK;
    });
}

int32_t ConnectToVirtualDeviceTQ8(TQ8_HANDLE* handle, uint32_t serial, uint32_t flags)
{
    (void)flags;
    return Guard(__func__, [&]() -> int32_t {
        if (handle == nullptr || serial == 0)
            return TQ8_ERR_INVALID_ARG;
        *handle = ToHandle(Lib().Connect(Lib().Boards().Virtual(serial)));
        return TQ8_OK;
    });
}

int32_t DisconnectFromDeviceTQ8(TQ8_HANDLE handle)
{
    return Guard(__func__, [&] { return Lib().Disconnect(HandleId(handle)) ? TQ8_OK : TQ8_ERR_INVALID_HANDLE; });
}

int32_t DuplicateHandleTQ8(TQ8_HANDLE handle, TQ8_HANDLE* duplicate)
{
    int32_t rc = WithBoard(__func__, handle, [&](IBoardBackend&) -> int32_t {
        if (duplicate == nullptr)
            return TQ8_ERR_INVALID_ARG;
        auto connection = Lib().Find(HandleId(handle));
        if (!connection)
            return TQ8_ERR_INVALID_HANDLE;
        // A remote handle gets a connection of its own, so that a call
        // blocked on one handle does not block the other.
        if (connection->link) {
            uint64_t id = 0;
            const int32_t rc = DuplicateRemote(*connection, id);
            *duplicate = rc == TQ8_OK ? ToHandle(id) : nullptr;
            return rc;
        }
        // A local handle opens the board again, so that closing one handle
        // ends only its own work.
        auto backend = connection->backend->Reopen();
        if (!backend)
            backend = connection->backend;
        *duplicate = ToHandle(Lib().Connect(std::move(backend)));
        return TQ8_OK;
    });
    // Callers report the system's last error when duplication fails.
    if (rc != TQ8_OK)
        errno = rc == TQ8_ERR_NO_MEMORY ? ENOMEM : EINVAL;
    return rc;
}

int32_t IsHandleValidTQ8(TQ8_HANDLE handle)
{
    try {
        return Lib().Find(HandleId(handle)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int32_t IsDeviceRemoteTQ8(TQ8_HANDLE handle)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return b.IsRemote() ? 1 : 0; });
}

int32_t IsDeviceVirtualTQ8(TQ8_HANDLE handle)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return b.IsVirtual() ? 1 : 0; });
}

int32_t GetHostServerInfoWTQ8(TQ8_HANDLE handle, wchar_t** server, uint32_t* port)
{
    return WithBoard(__func__, handle, [&](IBoardBackend& b) -> int32_t {
        if (server == nullptr || port == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *server = nullptr;
        *port = b.ServerPort();
        if (b.IsRemote()) {
            *server = Lib().Memory().CopyWide(b.ServerName());
            if (*server == nullptr)
                return TQ8_ERR_NO_MEMORY;
        }
        return TQ8_OK;
    });
}

} // extern "C"

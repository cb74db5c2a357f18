#pragma once
// Shared by the C entry points: every call checks for an injected failure,
// looks its handle up in the table and turns exceptions into result codes,
// so that no exception crosses the C interface.
#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "CConnectionScope.h"
#include "CTQ8Library.h"
#include "TQ8_64.h"

namespace tq8 {

inline CTQ8Library& Lib()
{
    return CTQ8Library::Instance();
}

inline uint64_t HandleId(TQ8_HANDLE h)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h));
}

inline TQ8_HANDLE ToHandle(uint64_t id)
{
    return reinterpret_cast<TQ8_HANDLE>(static_cast<uintptr_t>(id));
}

template <class F>
int32_t Guard(const char* function, F&& body) noexcept
{
    try {
        int32_t injected = 0;
        if (Lib().Injector().Take(function, injected))
            return injected;
        return body();
    } catch (const std::bad_alloc&) {
        return TQ8_ERR_NO_MEMORY;
    } catch (...) {
        return TQ8_ERR_GENERAL;
    }
}

// body(IBoardBackend&) -> int32_t
template <class F>
int32_t WithBoard(const char* function, TQ8_HANDLE h, F&& body) noexcept
{
    return Guard(function, [&]() -> int32_t {
        auto connection = Lib().Find(HandleId(h));
        if (!connection)
            return TQ8_ERR_INVALID_HANDLE;
        CConnectionScope scope(connection.get());
        return body(*connection->backend);
    });
}

// A check of the handle's connection that says why:
// body(const CConnection&, std::wstring& reason) -> int32_t. The reason is
// handed out for FreeMemoryTQ8 (none for a record that is taken).
template <class F>
int32_t WithReason(const char* function, TQ8_HANDLE h, wchar_t** reason, F&& body) noexcept
{
    return Guard(function, [&]() -> int32_t {
        if (reason == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *reason = nullptr;
        auto connection = Lib().Find(HandleId(h));
        if (!connection)
            return TQ8_ERR_INVALID_HANDLE;
        std::wstring text;
        const int32_t rc = body(*connection, text);
        if (rc == TQ8_OK || text.empty())
            return rc;
        *reason = Lib().Memory().CopyWide(text);
        return *reason != nullptr ? rc : TQ8_ERR_NO_MEMORY;
    });
}

// Simulator control of the board model with this serial:
// body(CSimBoard&) -> int32_t.
template <class F>
int32_t WithModel(uint32_t serial, F&& body)
{
    return Guard("TQ8Sim", [&]() -> int32_t {
        auto model = Lib().Boards().Model(serial);
        return model ? body(*model) : TQ8_ERR_DEVICE_NOT_FOUND;
    });
}

// Getters that return the value itself: the value, or `fallback` for an
// invalid handle.
template <class T, class F>
T ValueOf(TQ8_HANDLE h, T fallback, F&& body) noexcept
{
    try {
        auto connection = Lib().Find(HandleId(h));
        if (!connection)
            return fallback;
        CConnectionScope scope(connection.get());
        return static_cast<T>(body(*connection->backend));
    } catch (...) {
        return fallback;
    }
}

// What the library reports for a board: the value the simulator's control
// set in place of the board's own, else `own`.
template <class T>
T Reported(const IBoardBackend& b, CReportedValues::Item item, T own)
{
    std::optional<int64_t> value = Lib().Reported().Get(b.Desc().serial, item);
    return value ? static_cast<T>(*value) : own;
}

// A board that a recording session streams from takes no other acquisition.
inline bool IsRecording(const IBoardBackend& b)
{
    return Lib().Recordings().IsRecording(&b);
}

inline int32_t GetInt(TQ8_HANDLE h, SettingId id)
{
    return ValueOf<int32_t>(h, TQ8_ERR_INVALID_HANDLE, [id](IBoardBackend& b) { return b.Get(id); });
}

inline uint32_t GetUInt(TQ8_HANDLE h, SettingId id)
{
    return ValueOf<uint32_t>(h, 0u, [id](IBoardBackend& b) { return b.Get(id); });
}

inline int32_t SetValue(const char* function, TQ8_HANDLE h, SettingId id, double value)
{
    return WithBoard(function, h, [&](IBoardBackend& b) { return b.Set(id, value); });
}

inline int32_t GetDouble(const char* function, TQ8_HANDLE h, SettingId id, double* out)
{
    return WithBoard(function, h, [&](IBoardBackend& b) {
        if (out == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *out = b.Get(id);
        return TQ8_OK;
    });
}

} // namespace tq8

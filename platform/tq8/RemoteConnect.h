#pragma once
// Opening handles of remote boards: a connection per handle, the board
// object shared by the handles that reach it.
#include <cstdint>

#include "CConnection.h"
#include "RemoteTarget.h"

namespace tq8 {

// A new handle on the board; 0 or a library code. connectError, when given,
// gets the connect's system error behind TQ8_ERR_SERVER_UNREACHABLE (0 when
// there is none).
int32_t ConnectRemote(const RemoteTarget& target, uint64_t& handle, int* connectError = nullptr);
// A further handle of the board that connection reaches, with its own link.
int32_t DuplicateRemote(const CConnection& connection, uint64_t& handle);

} // namespace tq8

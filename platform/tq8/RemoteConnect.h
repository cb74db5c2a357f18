#pragma once
// Opening handles of remote boards: a connection per handle, the board
// object shared by the handles that reach it.
#include <cstdint>

#include "CConnection.h"
#include "RemoteTarget.h"

namespace tq8 {

// A new handle on the board; 0 or a library code.
int32_t ConnectRemote(const RemoteTarget& target, uint64_t& handle);
// A further handle of the board that connection reaches, with its own link.
int32_t DuplicateRemote(const CConnection& connection, uint64_t& handle);

} // namespace tq8

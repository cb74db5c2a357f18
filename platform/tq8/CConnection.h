#pragma once
// One open handle: the board it reaches. Duplicates share the board.
// Threads: the handle's one user at a time, and whoever disconnects it (closed is atomic).
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "IBoardBackend.h"

namespace tq8 {

class CRemoteLink;

struct CConnection {
    std::shared_ptr<IBoardBackend> backend;
    // Set on disconnect: a call still blocking on this handle ends.
    std::atomic<bool> closed{false};
    // The register sets last handed out through this handle (GetRegSetTQ8).
    std::array<std::vector<uint32_t>, 5> registerSets;
    // Remote boards: this handle's own connection to the server.
    std::shared_ptr<CRemoteLink> link;
};

} // namespace tq8

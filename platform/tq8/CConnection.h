#pragma once
// One open handle: the board it reaches. Duplicates share the board.
#include <atomic>
#include <memory>

#include "IBoardBackend.h"

namespace tq8 {

struct CConnection {
    std::shared_ptr<IBoardBackend> backend;
    // Set on disconnect: a call still blocking on this handle ends.
    std::atomic<bool> closed{false};
};

} // namespace tq8

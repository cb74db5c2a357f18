#pragma once
// One open handle: the board it reaches. Duplicates share the board.
#include <memory>

#include "IBoardBackend.h"

namespace tq8 {

struct CConnection {
    std::shared_ptr<IBoardBackend> backend;
};

} // namespace tq8

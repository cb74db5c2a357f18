#pragma once
// The board driver's boundary (codes, records, statuses) for the library.
// Its records go in namespace wdm: the library's own header has a record
// of the same name (TQ8_DRIVER_STATS) in another layout.
#include <cstddef>
#include <cstdint>

#include "KernelTypes.h"

namespace wdm {
#include "TQ8Ioctl.h"
} // namespace wdm

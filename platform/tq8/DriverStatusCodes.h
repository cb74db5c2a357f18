#pragma once
// What the library makes of a board driver's completion status: a result
// code and a text for the caller. A status without an entry is a generic
// driver failure that names the status, so no failure reads as success.
#include <cstdint>
#include <string>

#include "KernelTypes.h"

namespace tq8 {

struct DriverResult {
    int32_t code = 0;
    std::wstring text;
};

DriverResult FromDriverStatus(kern::NTSTATUS status);
// The code alone.
int32_t DriverCode(kern::NTSTATUS status);

} // namespace tq8

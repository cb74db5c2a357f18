#pragma once
// A look into the loaded driver's device extension, for tests that must
// know a request is pending before they race it. Apart from the library's
// sources: the driver's header clashes with the library's.
#include <cstddef>

#include "CSimBus.h"

bool DriverRequestPending(kern::CSimBus& bus, size_t slot);

#pragma once
// What a local board is, from what its driver reports: the configuration
// block (EEPROM words, see BoardDescription.h) and the identification
// register.
#include <cstdint>

#include "BoardDescription.h"
#include "DriverInterface.h"

namespace tq8 {

BoardDescription LocalBoardDescription(const wdm::TQ8_CONFIG_CACHE& cache, uint32_t serial, uint64_t driverVersion);

} // namespace tq8

#pragma once
// The boundary-scan chain of the card, as its identification codes leave
// the chain (the part nearest the data-out line first): the system FPGA,
// its two configuration PROMs and, when a ZAB FPGA is fitted (FPGA type 0
// or 1, EEPROM word 93), that FPGA. The scan-port model and the library's
// chain text both take it from here.
#include <cstdint>
#include <vector>

namespace tq8 {

constexpr uint32_t kMaxScanChainParts = 8;

std::vector<uint32_t> ScanChainIdCodes(uint32_t fpgaType);

} // namespace tq8

#pragma once
// The boundary-scan chain of the card, as its identification codes leave
// the chain (the part nearest the data-out line first): the system FPGA,
// its two configuration PROMs and, when a ZAB FPGA is fitted (FPGA type 0
// or 1, EEPROM word 93), that FPGA. The scan-port model and the library's
// chain text both take it from here.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "CFirmwareState.h"

namespace tq8 {

constexpr uint32_t kMaxScanChainParts = 8;

std::vector<uint32_t> ScanChainIdCodes(uint32_t fpgaType);
// The PROMs hold the images: the first the system FPGA's, the second the
// ZAB FPGA's. Positions in the chain as above.
size_t PromOf(FirmwarePart part);
std::optional<FirmwarePart> FirmwarePartOfProm(size_t chainPart);

} // namespace tq8

#pragma once
// The board's device registers 00..0D and the time-stamp words as one image
// of 16 words, and the fields of it that mirror a typed setting. One codec
// for both directions: the library builds the image from the settings, and
// a write into the image (through the library or the driver's board model)
// is turned back into settings, so the two never disagree.
//
// Mirrored fields (word: bits = setting):
//   0: 0-31  segment size
//   1: 0-18  memory-region count / 4096, 20-24 (count / 128) mod 32,
//      25 set for a count of exactly 2^31
//   2: 0-25  memory-region start / 16, 26 its bit 26 (starts of 2^30 and up)
//   3: 0-15  trigger delay samples, 16-31 pre-trigger samples
//   4: 0-7 level A, 8-15 level B, 16-17 trigger mode, 20/21/22 directions
//      A/B/external, 25-27 trigger source
//   5: 3 auto DCM reset (set unless overridden), 17-18 ADC clock source,
//      19-23 post-ADC clock divider exponent, 29 interleaving (from the
//      channel selection; written only)
//   6: 1-3 digital I/O mode, 4 digital I/O enable, 12-15 active channels,
//      20 route to SDRAM2, 28-30 time-stamp mode, 31 time-stamp counter mode
//   9: 0-3 ZAB board number, 6-7 ZAB clock, 8-9 ZAB configuration
//  10: 0-15 processing parameter index, 16-31 its value
// Every other bit belongs to the board and is kept as last written.
#include <array>
#include <cstdint>

#include "CBoardSettings.h"

namespace tq8 {

constexpr uint32_t kDeviceRegSetWords = 16;
constexpr uint32_t kDeviceRegCount = 14; // registers 00..0D
using DeviceRegisterImage = std::array<uint32_t, kDeviceRegSetWords>;

// Bits of a device register that mirror settings (0 for none).
uint32_t MirroredBits(uint32_t reg);
// Writes the mirrored fields of every register from the settings.
void EncodeSettings(const CBoardSettings& settings, DeviceRegisterImage& image);
// Takes the mirrored fields of register reg into the settings. All or
// nothing: a field value the setting refuses leaves the settings unchanged
// and returns that setting's code.
int32_t DecodeRegister(const DeviceRegisterImage& image, uint32_t reg, CBoardSettings& settings);

} // namespace tq8

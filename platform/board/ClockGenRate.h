#pragma once
// The output rate of a clock generator, from its chip registers. The card's
// chip model and the device library's register images both ask this one
// function, so the acquisition timing follows what was programmed.
//
// PLL: VCO = 10 MHz / R x (P x B + A), R in 0x011/0x012 (0 counts as 1),
// A in 0x013, B in 0x014/0x015 (0x016 bit 3 bypasses it: B = 1), prescaler
// mode in 0x016 bits 0-2 (dual-modulus modes 2-6 give P = 2, 4, 8, 16, 32;
// the fixed modes 0, 1 and 7 divide by 1, 2 and 3 and take no A). The VCO
// divider (0x1E0 bits 0-2, plus 2) applies unless 0x1E1 bit 0 bypasses it.
// Output dividers 0-2 (0x190 + 3n): (high + 1) + (low + 1) cycles, bypassed
// by bit 7 of the second byte; dividers 3 and 4 (0x199, 0x19E): two such
// stages, bypassed one by one by bits 4 and 5 of the fourth byte.
#include <cstdint>
#include <functional>

namespace tq8 {

inline constexpr double kClockGenReferenceMHz = 10.0;
inline constexpr int kClockGenOutputs = 5;

// The byte last written to a chip register.
using ClockGenRegisterReader = std::function<uint8_t(uint32_t address)>;

double ClockGenVcoMHz(const ClockGenRegisterReader& reg);
// 0 for an output divider outside 0-4.
double ClockGenOutputMHz(const ClockGenRegisterReader& reg, int divider);

} // namespace tq8

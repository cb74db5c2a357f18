#pragma once
// Where each chip register of the ADCs and clock generators lies in the
// library's register image: (logical index = word, byte or half in it).
// Constant tables, shared by the register cache and the register I/O window.
#include <cstdint>

struct RegPlacement {
    uint32_t logical = 0;
    uint32_t sub = 0; // ADC: half 0 low / 1 high; clock generator: byte 0..3
};

// false for an address that is not a register of the chip.
bool FindAdcPlacement(uint32_t address, RegPlacement& out);
bool FindClockGenPlacement(uint32_t address, RegPlacement& out);

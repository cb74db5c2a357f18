#pragma once
// The "Clock Generation Registers 1" and "2" groups of the register cache:
// register sets 1 and 2, one chip register per byte.
#include <cstdint>

#include "CRegisterLines.h"
#include "TQ8_64.h"

// generator: 0 or 1 (named 1 or 2; the set is 1 + generator).
void AddClockGenRegisters(CRegisterLines& lines, TQ8_HANDLE device, int generator);
// The chip registers of an image of TQ8_REGSET_CLOCKGEN_WORDS words under group.
void DecodeClockGenRegisters(CRegisterLines& lines, int group, const uint32_t* words, int generator);

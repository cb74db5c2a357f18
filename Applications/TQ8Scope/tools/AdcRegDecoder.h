#pragma once
// The "ADC1 Registers" and "ADC2 Registers" groups of the register cache:
// register sets 3 and 4, two sixteen-bit chip registers to a word.
#include <cstdint>

#include "CRegisterLines.h"
#include "TQ8_64.h"

// adc: 0 or 1 (the group names it 1 or 2, the set is 3 + adc).
void AddAdcRegisters(CRegisterLines& lines, TQ8_HANDLE device, int adc);
// The chip registers of an image of TQ8_REGSET_ADC_WORDS words under group.
void DecodeAdcRegisters(CRegisterLines& lines, int group, const uint32_t* words);

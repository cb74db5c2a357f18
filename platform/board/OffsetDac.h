#pragma once
// The offset DAC behind device register 16, one 12-bit channel per input:
// a word carries the command in bits 24-27, the channel in bits 20-23 (15
// for all of them) and the code in bits 8-19. Command 3 writes and updates
// a channel; the others (the driver's reference set-up among them) leave
// the outputs alone.
#include <cstdint>

#include "CBoardSettings.h"

namespace tq8 {

constexpr uint32_t kOffsetDacRegister = 16;
constexpr int kOffsetDacAllChannels = 15;
// DAC steps that move a signal by one sample code.
constexpr double kOffsetDacStepsPerCode = 16.0;

uint32_t OffsetDacWord(int channel, uint32_t code);
// Takes a written word into the DC offsets of the settings.
void DecodeOffsetDac(uint32_t word, CBoardSettings& settings);

} // namespace tq8

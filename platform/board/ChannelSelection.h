#pragma once
// Active channel selections 0..11: Ch1234, Ch12, Ch34, Ch13, Ch123, Ch1, Ch2,
// Ch3, Ch4, Ch13 interleaved, Ch1 interleaved, Ch3 interleaved.
#include <cstdint>

namespace tq8 {

constexpr int kChannelSelectionCount = 12;

bool IsValidSelection(int sel);
// 0 for an unknown selection.
int ChannelCount(int sel);
// 0-based physical channel at position index; -1 when out of range.
int PhysicalChannel(int sel, int index);
bool IsInterleaved(int sel);
// Both SDRAMs hold samples for these selections, so twice the memory.
uint32_t RamFactor(int sel);
// Selections the two-channel model accepts.
bool IsTwoChannelSelection(int sel);
// Selections that may route to the second SDRAM.
bool AllowsSdram2Route(int sel);

} // namespace tq8

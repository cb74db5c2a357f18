#pragma once
// What a block of samples from a board is: the recorded-data information
// record, filled from the board and the settings it acquired with. Shared by
// InitRecordedDataInfoTQ8 and the context file written beside a recording.
#include "BoardDescription.h"
#include "CBoardSettings.h"
#include "TQ8_64.h"

namespace tq8 {

// Overwrites the whole record (size included).
void FillRecordedDataInfo(const BoardDescription& desc, const CBoardSettings& s, TQ8_RECORDED_DATA_INFO& info);

} // namespace tq8

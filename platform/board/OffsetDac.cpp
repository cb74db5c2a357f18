#include "OffsetDac.h"

namespace tq8 {

namespace {
constexpr uint32_t kWriteAndUpdate = 3;
constexpr uint32_t kCodeMask = 0xFFF;
constexpr int kInputs = 4;
} // namespace

uint32_t OffsetDacWord(int channel, uint32_t code)
{
    return kWriteAndUpdate << 24 | (static_cast<uint32_t>(channel) & 0xF) << 20 | (code & kCodeMask) << 8;
}

void DecodeOffsetDac(uint32_t word, CBoardSettings& settings)
{
    if ((word >> 24 & 0xF) != kWriteAndUpdate)
        return;
    const int channel = static_cast<int>(word >> 20 & 0xF);
    const double code = static_cast<double>(word >> 8 & kCodeMask);
    for (int c = 0; c < kInputs; ++c)
        if (channel == c || channel == kOffsetDacAllChannels)
            settings.Set(static_cast<SettingId>(static_cast<int>(SettingId::DcOffsetCh1) + c), code);
}

} // namespace tq8

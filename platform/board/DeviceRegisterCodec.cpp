#include "DeviceRegisterCodec.h"

#include <algorithm>

#include "ChannelSelection.h"
#include "TQ8Codes.h"

namespace tq8 {

namespace {
struct Field {
    SettingId id;
    uint32_t word;
    uint32_t shift;
    uint32_t width;
    bool inverted; // a one-bit field that is set while the setting is 0
};

// In setting order, which is the order settings are applied in.
constexpr Field kFields[] = {
    {SettingId::TriggerSource, 4, 25, 3, false},
    {SettingId::TriggerMode, 4, 16, 2, false},
    {SettingId::SegmentSize, 0, 0, 32, false},
    {SettingId::PreTriggerSamples, 3, 16, 16, false},
    {SettingId::TriggerDelaySamples, 3, 0, 16, false},
    {SettingId::TriggerLevelA, 4, 0, 8, false},
    {SettingId::TriggerLevelB, 4, 8, 8, false},
    {SettingId::TriggerDirectionA, 4, 20, 1, false},
    {SettingId::TriggerDirectionB, 4, 21, 1, false},
    {SettingId::TriggerDirectionExt, 4, 22, 1, false},
    {SettingId::ActiveChannels, 6, 12, 4, false},
    {SettingId::AdcClockSource, 5, 17, 2, false},
    {SettingId::PostAdcClockDivider, 5, 19, 5, false},
    {SettingId::AutoDcmResetOverride, 5, 3, 1, true},
    {SettingId::RouteToSdram2Enable, 6, 20, 1, false},
    {SettingId::DigitalIoEnable, 6, 4, 1, false},
    {SettingId::DigitalIoMode, 6, 1, 3, false},
    {SettingId::ZabBoardNumber, 9, 0, 4, false},
    {SettingId::ZabConfiguration, 9, 8, 2, false},
    {SettingId::ZabClock, 9, 6, 2, false},
    {SettingId::TimestampMode, 6, 28, 3, false},
    {SettingId::TimestampCounterMode, 6, 31, 1, false},
};

constexpr uint32_t kInterleaveBit = 1u << 29;
constexpr uint32_t kCountBits = 0x0007FFFFu | (0x3Fu << 20);
constexpr uint32_t kStartBits = 0x07FFFFFFu;

uint32_t Mask(const Field& f)
{
    return f.width == 32 ? 0xFFFFFFFFu : ((1u << f.width) - 1) << f.shift;
}

uint32_t Extract(const DeviceRegisterImage& image, const Field& f)
{
    uint32_t v = (image[f.word] & Mask(f)) >> f.shift;
    return f.inverted ? v ^ 1u : v;
}

uint32_t EncodeCount(uint32_t count)
{
    const uint32_t units = count / kRegionCountGrain; // up to 2^24
    return ((units >> 5) & 0x7FFFFu) | ((units & 0x1Fu) << 20) | ((units >> 24) << 25);
}

uint32_t DecodeCount(uint32_t word)
{
    const uint64_t units = (uint64_t(word & 0x7FFFFu) << 5) | ((word >> 20) & 0x1Fu) | (uint64_t((word >> 25) & 1u) << 24);
    return static_cast<uint32_t>(std::min<uint64_t>(units * kRegionCountGrain, 0x80000000u));
}
} // namespace

uint32_t MirroredBits(uint32_t reg)
{
    uint32_t bits = 0;
    for (const Field& f : kFields)
        if (f.word == reg)
            bits |= Mask(f);
    if (reg == 1)
        bits |= kCountBits;
    if (reg == 2)
        bits |= kStartBits;
    if (reg == 5)
        bits |= kInterleaveBit;
    if (reg == 10)
        bits = 0xFFFFFFFFu;
    return bits;
}

void EncodeSettings(const CBoardSettings& s, DeviceRegisterImage& image)
{
    for (const Field& f : kFields) {
        uint32_t v = s.GetUInt(f.id);
        if (f.inverted)
            v = v == 0 ? 1u : 0u;
        image[f.word] = (image[f.word] & ~Mask(f)) | ((v << f.shift) & Mask(f));
    }
    image[1] = (image[1] & ~kCountBits) | EncodeCount(s.GetUInt(SettingId::MemoryRegionCount));
    image[2] = (image[2] & ~kStartBits) | (s.GetUInt(SettingId::MemoryRegionStart) / kRegionStartGrain);
    const bool interleaved = IsInterleaved(s.GetInt(SettingId::ActiveChannels));
    image[5] = (image[5] & ~kInterleaveBit) | (interleaved ? kInterleaveBit : 0u);
    image[10] = s.GetUInt(SettingId::ProcessingParamIndex) | (s.GetUInt(SettingId::ProcessingParamValue) << 16);
}

int32_t DecodeRegister(const DeviceRegisterImage& image, uint32_t reg, CBoardSettings& settings)
{
    CBoardSettings next = settings;
    for (const Field& f : kFields) {
        if (f.word != reg)
            continue;
        if (int32_t rc = next.Set(f.id, Extract(image, f)); rc != TQ8_OK)
            return rc;
    }
    int32_t rc = TQ8_OK;
    if (reg == 1)
        rc = next.SetMemoryRegion(DecodeCount(image[1]), next.GetUInt(SettingId::MemoryRegionStart));
    else if (reg == 2)
        rc = next.SetMemoryRegion(next.GetUInt(SettingId::MemoryRegionCount), (image[2] & kStartBits) * kRegionStartGrain);
    else if (reg == 10)
        rc = next.SetProcessingParam(static_cast<uint16_t>(image[10]), static_cast<uint16_t>(image[10] >> 16));
    if (rc != TQ8_OK)
        return rc;
    settings = next;
    return TQ8_OK;
}

} // namespace tq8

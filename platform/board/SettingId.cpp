#include "SettingId.h"

#include <array>

namespace tq8 {

namespace {
constexpr std::array<std::string_view, kSettingCount> kNames = {
    "TriggerSource", "TriggerMode", "SegmentSize", "PreTriggerSamples", "TriggerDelaySamples",
    "TriggerLevelA", "TriggerLevelB", "TriggerDirectionA", "TriggerDirectionB", "TriggerDirectionExt",
    "ActiveChannels", "AdcClockSource", "InternalAdcClockRate", "InternalAdcClockReference",
    "ExternalClockRate", "ExtClockDivider1", "ExtClockDivider2", "PostAdcClockDivider", "PllDisable",
    "AutoDcmResetOverride", "MemoryRegionStart", "MemoryRegionCount", "RouteToSdram2Enable",
    "DigitalIoEnable", "DigitalIoMode", "DcOffsetCh1", "DcOffsetCh2", "DcOffsetCh3", "DcOffsetCh4",
    "ZabBoardNumber", "ZabConfiguration", "ZabClock", "TimestampMode", "TimestampCounterMode",
    "BoardProcessingEnable", "ProcessingParamIndex", "ProcessingParamValue", "DecimationFactor",
    "NcoFrequency", "FftSize", "MagnitudeSquaredEnable", "ZeroPadPoints",
};
}

std::string_view SettingName(SettingId id)
{
    int i = static_cast<int>(id);
    return i >= 0 && i < kSettingCount ? kNames[static_cast<size_t>(i)] : std::string_view{};
}

SettingId SettingFromName(std::string_view name)
{
    for (int i = 0; i < kSettingCount; ++i)
        if (kNames[static_cast<size_t>(i)] == name)
            return static_cast<SettingId>(i);
    return SettingId::Count;
}

bool ChangesAdcClock(SettingId id)
{
    switch (id) {
    case SettingId::ActiveChannels:
    case SettingId::AdcClockSource:
    case SettingId::InternalAdcClockRate:
    case SettingId::InternalAdcClockReference:
    case SettingId::ExternalClockRate:
    case SettingId::ExtClockDivider1:
    case SettingId::ExtClockDivider2:
    case SettingId::PostAdcClockDivider:
        return true;
    default:
        return false;
    }
}

} // namespace tq8

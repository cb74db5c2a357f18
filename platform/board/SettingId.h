#pragma once
// Every board setting by id, in the order in which settings are applied when
// a whole set is loaded (the channel selection before the clock rate, whose
// range depends on interleaving; the selection before the memory region).
#include <cstdint>
#include <string_view>

namespace tq8 {

enum class SettingId : int {
    TriggerSource,
    TriggerMode,
    SegmentSize,
    PreTriggerSamples,
    TriggerDelaySamples,
    TriggerLevelA,
    TriggerLevelB,
    TriggerDirectionA,
    TriggerDirectionB,
    TriggerDirectionExt,
    ActiveChannels,
    AdcClockSource,
    InternalAdcClockRate,
    InternalAdcClockReference,
    ExternalClockRate,
    ExtClockDivider1,
    ExtClockDivider2,
    PostAdcClockDivider,
    PllDisable,
    AutoDcmResetOverride,
    MemoryRegionStart,
    MemoryRegionCount,
    RouteToSdram2Enable,
    DigitalIoEnable,
    DigitalIoMode,
    DcOffsetCh1,
    DcOffsetCh2,
    DcOffsetCh3,
    DcOffsetCh4,
    ZabBoardNumber,
    ZabConfiguration,
    ZabClock,
    TimestampMode,
    TimestampCounterMode,
    BoardProcessingEnable,
    ProcessingParamIndex,
    ProcessingParamValue,
    DecimationFactor,
    NcoFrequency,
    FftSize,
    MagnitudeSquaredEnable,
    ZeroPadPoints,
    Count
};

constexpr int kSettingCount = static_cast<int>(SettingId::Count);

// Name used in settings files; stable across versions.
std::string_view SettingName(SettingId id);
// SettingId::Count when the name is unknown.
SettingId SettingFromName(std::string_view name);
// Settings that change the converters' clock: the clock managers must lock
// onto it again before the next acquisition.
bool ChangesAdcClock(SettingId id);

} // namespace tq8

// Setting getters and setters: trigger, clocks, data, DC offset, ZAB,
// time-stamp modes and FPGA processing.
#include <array>

#include "ApiCommon.h"
#include "ChannelSelection.h"

using namespace tq8;

#define TQ8_INT_SETTING(Name, Id)                                                                                     \
    int32_t Get##Name##TQ8(TQ8_HANDLE h, int32_t) { return GetInt(h, SettingId::Id); }                                \
    int32_t Set##Name##TQ8(TQ8_HANDLE h, int32_t v) { return SetValue(__func__, h, SettingId::Id, v); }

#define TQ8_UINT_SETTING(Name, Id)                                                                                    \
    uint32_t Get##Name##TQ8(TQ8_HANDLE h, int32_t) { return GetUInt(h, SettingId::Id); }                              \
    int32_t Set##Name##TQ8(TQ8_HANDLE h, uint32_t v) { return SetValue(__func__, h, SettingId::Id, v); }

#define TQ8_DOUBLE_SETTING(Name, Id)                                                                                  \
    int32_t Get##Name##TQ8(TQ8_HANDLE h, double* v, int32_t) { return GetDouble(__func__, h, SettingId::Id, v); }     \
    int32_t Set##Name##TQ8(TQ8_HANDLE h, double v) { return SetValue(__func__, h, SettingId::Id, v); }

namespace {
int32_t RangeOf(TQ8_HANDLE h, int channel, double* vpp)
{
    return WithBoard("GetInputVoltageRangeVoltsTQ8", h, [&](IBoardBackend& b) -> int32_t {
        if (vpp == nullptr)
            return TQ8_ERR_INVALID_ARG;
        if (channel >= b.Desc().InputChannels())
            return TQ8_ERR_INVALID_ARG;
        *vpp = b.Settings().InputRangeVpp(channel);
        return TQ8_OK;
    });
}

int32_t RateOf(const char* function, TQ8_HANDLE h, double* mhz, bool effective)
{
    return WithBoard(function, h, [&](IBoardBackend& b) -> int32_t {
        if (mhz == nullptr)
            return TQ8_ERR_INVALID_ARG;
        CBoardSettings s = b.Settings();
        *mhz = effective ? s.EffectiveRateMHz() : s.ActualAdcRateMHz();
        return TQ8_OK;
    });
}

// Processing blocks exist only where their fixed logic package is loaded.
int32_t SetProcessing(const char* function, TQ8_HANDLE h, int package, SettingId id, double value)
{
    return WithBoard(function, h, [&](IBoardBackend& b) -> int32_t {
        if (((b.Desc().packages >> package) & 1u) == 0)
            return TQ8_ERR_NOT_SUPPORTED;
        return b.Set(id, value);
    });
}

int32_t LoadTaps(const char* function, TQ8_HANDLE h, int package, FirBank bank, const int16_t* taps, size_t count)
{
    return WithBoard(function, h, [&](IBoardBackend& b) -> int32_t {
        if (((b.Desc().packages >> package) & 1u) == 0)
            return TQ8_ERR_NOT_SUPPORTED;
        return b.LoadFir(bank, taps, count);
    });
}
} // namespace

extern "C" {

// ---- Trigger
TQ8_INT_SETTING(TriggerSource, TriggerSource)
TQ8_INT_SETTING(TriggerMode, TriggerMode)
TQ8_UINT_SETTING(SegmentSize, SegmentSize)
TQ8_UINT_SETTING(PreTriggerSamples, PreTriggerSamples)
TQ8_UINT_SETTING(TriggerDelaySamples, TriggerDelaySamples)
TQ8_INT_SETTING(TriggerLevelA, TriggerLevelA)
TQ8_INT_SETTING(TriggerLevelB, TriggerLevelB)
TQ8_INT_SETTING(TriggerDirectionA, TriggerDirectionA)
TQ8_INT_SETTING(TriggerDirectionB, TriggerDirectionB)

int32_t GetTriggerDirectionExtTQ8(TQ8_HANDLE h, int32_t)
{
    return GetInt(h, SettingId::TriggerDirectionExt);
}

int32_t IssueSoftwareTriggerTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) {
        b.SoftwareTrigger();
        return TQ8_OK;
    });
}

// ---- Clocks
TQ8_INT_SETTING(AdcClockSource, AdcClockSource)
TQ8_DOUBLE_SETTING(InternalAdcClockRate, InternalAdcClockRate)
TQ8_INT_SETTING(InternalAdcClockReference, InternalAdcClockReference)
TQ8_DOUBLE_SETTING(ExternalClockRate, ExternalClockRate)
TQ8_INT_SETTING(AutoDcmResetOverride, AutoDcmResetOverride)

int32_t GetExtClockDivider1TQ8(TQ8_HANDLE h, int32_t)
{
    return GetInt(h, SettingId::ExtClockDivider1);
}

int32_t GetExtClockDivider2TQ8(TQ8_HANDLE h, int32_t)
{
    return GetInt(h, SettingId::ExtClockDivider2);
}

int32_t SetExtClockDividersTQ8(TQ8_HANDLE h, int32_t d1, int32_t d2)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.SetExtDividers(d1, d2); });
}

int32_t GetPostAdcClockDividerTQ8(TQ8_HANDLE h, int32_t)
{
    return GetInt(h, SettingId::PostAdcClockDivider);
}

int32_t GetActualAdcAcqRateTQ8(TQ8_HANDLE h, double* mhz)
{
    return RateOf(__func__, h, mhz, false);
}

int32_t GetEffectiveAcqRateTQ8(TQ8_HANDLE h, double* mhz)
{
    return RateOf(__func__, h, mhz, true);
}

int32_t GetAdcInterleaveEnableTQ8(TQ8_HANDLE h, int32_t)
{
    return ValueOf<int32_t>(h, TQ8_ERR_INVALID_HANDLE,
                            [](IBoardBackend& b) { return IsInterleaved(static_cast<int>(b.Get(SettingId::ActiveChannels))) ? 1 : 0; });
}

int32_t GetFpgaSlaveEnableTQ8(TQ8_HANDLE h, int32_t)
{
    return ValueOf<int32_t>(h, TQ8_ERR_INVALID_HANDLE, [](IBoardBackend& b) { return b.Desc().masterSlave >= 2 ? 1 : 0; });
}

int32_t _GetPllDisableTQ8(TQ8_HANDLE h, int32_t)
{
    return GetInt(h, SettingId::PllDisable);
}

int32_t _SetPllDisableTQ8(TQ8_HANDLE h, int32_t v)
{
    return SetValue(__func__, h, SettingId::PllDisable, v);
}

int32_t SyncFirmwareToAdcClockTQ8(TQ8_HANDLE h, int32_t resetDcms)
{
    return WithBoard(__func__, h, [resetDcms](IBoardBackend& b) { return b.SyncClocks(resetDcms != 0); });
}

int32_t SynchronizeAdcsTQ8(TQ8_HANDLE master)
{
    return WithBoard(__func__, master, [](IBoardBackend& b) { return b.SyncClocks(false); });
}

int32_t ResyncClockOutputsTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) { return b.SyncClocks(false); });
}

int32_t GetPllLockStatusTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) -> int32_t { return b.Settings().PllLocked() ? 1 : 0; });
}

// ---- Data, channels, memory region, digital I/O
int32_t GetActiveChannelsTQ8(TQ8_HANDLE h, int32_t)
{
    return ValueOf<int32_t>(h, TQ8_ERR_INVALID_HANDLE, [](IBoardBackend& b) {
        const auto own = static_cast<int32_t>(b.Get(SettingId::ActiveChannels));
        return Reported(b, CReportedValues::Item::ActiveChannels, own);
    });
}

int32_t SetActiveChannelsTQ8(TQ8_HANDLE h, int32_t v)
{
    return SetValue(__func__, h, SettingId::ActiveChannels, v);
}

TQ8_INT_SETTING(RouteToSdram2Enable, RouteToSdram2Enable)
TQ8_INT_SETTING(DigitalIoEnable, DigitalIoEnable)
TQ8_INT_SETTING(DigitalIoMode, DigitalIoMode)

int32_t GetChannelCountFromChanSelTQ8(int32_t selection)
{
    int count = ChannelCount(selection);
    return count > 0 ? count : TQ8_ERR_INVALID_ARG;
}

int32_t GetPhysChanNumFromChanSelIdxTQ8(int32_t selection, int32_t index)
{
    int channel = PhysicalChannel(selection, index);
    return channel >= 0 ? channel : TQ8_ERR_INVALID_ARG;
}

int32_t GetMaxSampleCountForActiveChanSelTQ8(TQ8_HANDLE h, int32_t selection, uint32_t* maxSamples)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (maxSamples == nullptr || !IsValidSelection(selection))
            return TQ8_ERR_INVALID_ARG;
        *maxSamples = Reported(b, CReportedValues::Item::MaxSampleCount, b.Settings().MaxSamples(selection));
        return TQ8_OK;
    });
}

int32_t SetActiveMemoryRegionTQ8(TQ8_HANDLE h, uint32_t count, uint32_t start)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.SetMemoryRegion(count, start); });
}

int32_t GetActiveMemoryRegionTQ8(TQ8_HANDLE h, uint32_t* count, uint32_t* start, int32_t)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (count == nullptr || start == nullptr)
            return TQ8_ERR_INVALID_ARG;
        CBoardSettings s = b.Settings();
        *count = s.GetUInt(SettingId::MemoryRegionCount);
        *start = s.GetUInt(SettingId::MemoryRegionStart);
        return TQ8_OK;
    });
}

uint32_t GetSampleCountTQ8(TQ8_HANDLE h, int32_t)
{
    return GetUInt(h, SettingId::MemoryRegionCount);
}

uint32_t GetStartSampleTQ8(TQ8_HANDLE h, int32_t)
{
    return GetUInt(h, SettingId::MemoryRegionStart);
}

int32_t GetInputVoltageRangeVoltsCh1TQ8(TQ8_HANDLE h, double* vpp, int32_t) { return RangeOf(h, 0, vpp); }
int32_t GetInputVoltageRangeVoltsCh2TQ8(TQ8_HANDLE h, double* vpp, int32_t) { return RangeOf(h, 1, vpp); }
int32_t GetInputVoltageRangeVoltsCh3TQ8(TQ8_HANDLE h, double* vpp, int32_t) { return RangeOf(h, 2, vpp); }
int32_t GetInputVoltageRangeVoltsCh4TQ8(TQ8_HANDLE h, double* vpp, int32_t) { return RangeOf(h, 3, vpp); }

int32_t GetOperatingModeTQ8(TQ8_HANDLE h, int32_t)
{
    return ValueOf<int32_t>(h, TQ8_ERR_INVALID_HANDLE, [](IBoardBackend& b) { return b.Mode(); });
}

// ---- DC offset
TQ8_INT_SETTING(DcOffsetCh1, DcOffsetCh1)
TQ8_INT_SETTING(DcOffsetCh2, DcOffsetCh2)
TQ8_INT_SETTING(DcOffsetCh3, DcOffsetCh3)
TQ8_INT_SETTING(DcOffsetCh4, DcOffsetCh4)

int32_t CenterSignalTQ8(TQ8_HANDLE h, int32_t channel, int32_t target)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.CenterSignal(channel, target); });
}

// ---- ZAB
TQ8_INT_SETTING(ZabBoardNumber, ZabBoardNumber)
TQ8_INT_SETTING(ZabConfiguration, ZabConfiguration)
TQ8_INT_SETTING(ZabClock, ZabClock)

// ---- Time-stamp modes
TQ8_INT_SETTING(TimestampMode, TimestampMode)
TQ8_INT_SETTING(TimestampCounterMode, TimestampCounterMode)

// ---- FPGA processing
TQ8_INT_SETTING(BoardProcessingEnable, BoardProcessingEnable)

int32_t SetBoardProcessingParamTQ8(TQ8_HANDLE h, uint16_t index, uint16_t value)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.SetProcessingParam(index, value); });
}

int32_t FLPC2_SetDecimationFactorTQ8(TQ8_HANDLE h, uint32_t exponent)
{
    return SetProcessing(__func__, h, TQ8_FLPC_DECIMATION, SettingId::DecimationFactor, exponent);
}

int32_t FLPC2_SetNcoFrequencyTQ8(TQ8_HANDLE h, double mhz)
{
    return SetProcessing(__func__, h, TQ8_FLPC_DECIMATION, SettingId::NcoFrequency, mhz);
}

int32_t FLPC4_GetFftSizeLimitsTQ8(TQ8_HANDLE h, uint32_t* minSize, uint32_t* maxSize)
{
    return WithBoard(__func__, h, [&](IBoardBackend&) -> int32_t {
        if (minSize == nullptr || maxSize == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *minSize = kFftMinSize;
        *maxSize = kFftMaxSize;
        return TQ8_OK;
    });
}

int32_t FLPC4_SetFftSizeTQ8(TQ8_HANDLE h, uint32_t size)
{
    return SetProcessing(__func__, h, TQ8_FLPC_FFT, SettingId::FftSize, size);
}

int32_t FLPC4_SetMagnitudeSquaredEnableTQ8(TQ8_HANDLE h, int32_t enable)
{
    return SetProcessing(__func__, h, TQ8_FLPC_FFT, SettingId::MagnitudeSquaredEnable, enable);
}

int32_t FLPC4_SetZeroPadPointsTQ8(TQ8_HANDLE h, uint32_t points)
{
    return SetProcessing(__func__, h, TQ8_FLPC_FFT, SettingId::ZeroPadPoints, points);
}

int32_t FLPC5_LoadCoefficientsTQ8(TQ8_HANDLE h, const int16_t* taps129, uint32_t)
{
    return LoadTaps(__func__, h, TQ8_FLPC_FIR1, FirBank::Fir1, taps129, kFir1Taps);
}

int32_t FLPC6_LoadCoefficientsCh1TQ8(TQ8_HANDLE h, const int16_t* taps65, uint32_t)
{
    return LoadTaps(__func__, h, TQ8_FLPC_FIR2, FirBank::Fir2Ch1, taps65, kFir2Taps);
}

int32_t FLPC6_LoadCoefficientsCh2TQ8(TQ8_HANDLE h, const int16_t* taps65, uint32_t)
{
    return LoadTaps(__func__, h, TQ8_FLPC_FIR2, FirBank::Fir2Ch2, taps65, kFir2Taps);
}

} // extern "C"

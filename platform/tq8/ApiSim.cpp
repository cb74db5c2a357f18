// Simulator control.
#include <algorithm>
#include <string>

#include "ApiCommon.h"
#include "AtomicFile.h"
#include "CSimClock.h"
#include "RecordingSimSettings.h"
#include "TQ8Sim.h"

using namespace tq8;

namespace {
BoardDescription FromDesc(const TQ8SIM_BOARD_DESC& d)
{
    BoardDescription b;
    b.kind = BoardKind::Local;
    b.serial = d.serial;
    b.revision = d.revision;
    b.features = d.features;
    b.packages = d.packages;
    for (size_t i = 0; i < 4; ++i)
        b.channelFlags[i] = d.channelFlags[i];
    b.masterSlave = d.masterSlave;
    b.syncConfig = d.syncConfig;
    b.extTriggerConfig = d.extTriggerConfig;
    b.inputFilterConfig = d.inputFilterConfig;
    b.zabFpgaType = d.zabFpgaType;
    b.fpgaType = d.fpgaType;
    b.ramSize = d.ramSize;
    return b;
}

int32_t ApplyText(const std::string& xml)
{
    SimConfig config;
    int32_t rc = ParseSimConfig(xml, config);
    return rc == TQ8_OK ? Lib().ApplyConfig(config) : rc;
}

int32_t Report(uint32_t serial, CReportedValues::Item item, int64_t value)
{
    return WithModel(serial, [&](CSimBoard&) {
        Lib().Reported().Set(serial, item, value);
        return TQ8_OK;
    });
}
} // namespace

extern "C" {

void TQ8Sim_DefaultBoardDesc(TQ8SIM_BOARD_DESC* desc, uint32_t serial)
{
    if (desc == nullptr)
        return;
    BoardDescription b;
    *desc = TQ8SIM_BOARD_DESC{};
    desc->size = sizeof *desc;
    desc->serial = serial;
    desc->revision = b.revision;
    desc->features = b.features;
    desc->packages = b.packages;
    desc->fpgaType = b.fpgaType;
    desc->ramSize = b.ramSize;
}

int32_t TQ8Sim_AddLocalBoard(const TQ8SIM_BOARD_DESC* desc)
{
    return Guard(__func__, [&]() -> int32_t {
        if (desc == nullptr || desc->size != sizeof *desc)
            return TQ8_ERR_INVALID_ARG;
        SimConfig config;
        config.boards.push_back(SimBoardEntry{FromDesc(*desc), std::nullopt});
        Lib().Boards(); // the configuration file comes first
        return Lib().ApplyConfig(config);
    });
}

int32_t TQ8Sim_LoadConfigFile(const char* path)
{
    return Guard(__func__, [&]() -> int32_t {
        if (path == nullptr)
            return TQ8_ERR_INVALID_ARG;
        std::string text;
        if (!vlt::ReadWholeFile(path, text, nullptr, kMaxSimConfigBytes))
            return TQ8_ERR_FILE_UNREADABLE;
        Lib().Boards();
        return ApplyText(text);
    });
}

int32_t TQ8Sim_LoadConfigString(const char* xml)
{
    return Guard(__func__, [&]() -> int32_t {
        if (xml == nullptr)
            return TQ8_ERR_INVALID_ARG;
        Lib().Boards();
        return ApplyText(xml);
    });
}

void TQ8Sim_Reset(void)
{
    try {
        Lib().Reset();
    } catch (...) {
    }
}

int32_t TQ8Sim_SetTimeFactor(double factor)
{
    return CSimClock::SetFactor(factor) ? TQ8_OK : TQ8_ERR_INVALID_ARG;
}

double TQ8Sim_GetTimeFactor(void)
{
    return CSimClock::Factor();
}

int32_t TQ8Sim_SetSignal(uint32_t serial, int32_t channel, const TQ8SIM_SIGNAL* signal)
{
    if (signal == nullptr || signal->size != sizeof *signal || channel < 0 || channel > 3)
        return TQ8_ERR_INVALID_ARG;
    return WithModel(serial, [&](CSimBoard& board) {
        board.SetSignal(channel, ChannelSignal{signal->frequencyMHz, signal->amplitude, signal->noise, signal->offset,
                                               signal->harmonicsDbc});
        return TQ8_OK;
    });
}

int32_t TQ8Sim_GetSignal(uint32_t serial, int32_t channel, TQ8SIM_SIGNAL* signal)
{
    if (signal == nullptr || channel < 0 || channel > 3)
        return TQ8_ERR_INVALID_ARG;
    return WithModel(serial, [&](CSimBoard& board) {
        ChannelSignal s = board.Signal(channel);
        *signal = TQ8SIM_SIGNAL{sizeof *signal, 0, s.frequencyMHz, s.amplitude, s.noise, s.offset, s.harmonicsDbc};
        return TQ8_OK;
    });
}

int32_t TQ8Sim_SetRecordingStream(uint64_t ringBytes, int32_t realTime)
{
    return Guard("TQ8Sim", [&]() -> int32_t {
        RecordingSimSettings settings;
        settings.ringBytes = ringBytes == 0 ? RecordingSimSettings::kDefaultRingBytes : ringBytes;
        settings.realTime = realTime != 0;
        RecordingSimSettings::Set(settings);
        return TQ8_OK;
    });
}

int32_t TQ8Sim_SetCountingPattern(uint32_t serial, int32_t on)
{
    return WithModel(serial, [&](CSimBoard& board) {
        board.SetCountingPattern(on != 0);
        return TQ8_OK;
    });
}

int32_t TQ8Sim_SetTimestampFifoDepth(uint32_t serial, uint32_t depth)
{
    return WithModel(serial, [&](CSimBoard& board) {
        return board.SetTimestampDepth(depth) ? TQ8_OK : TQ8_ERR_INVALID_ARG;
    });
}

int32_t TQ8Sim_SetSeed(uint32_t serial, uint64_t seed)
{
    return WithModel(serial, [&](CSimBoard& board) {
        board.SetSeed(seed);
        return TQ8_OK;
    });
}

int32_t TQ8Sim_SetEepromWords(uint32_t serial, uint32_t firstWord, const uint16_t* words, uint32_t count)
{
    return WithModel(serial, [&](CSimBoard& board) { return board.WriteEeprom(firstWord, words, count); });
}

int32_t TQ8Sim_ReleaseVirtualBoard(uint32_t serial)
{
    return Guard("TQ8Sim", [&] { return Lib().Boards().ReleaseVirtual(serial); });
}

int32_t TQ8Sim_SurpriseRemoveBoard(uint32_t serial)
{
    return Guard("TQ8Sim", [&] { return Lib().Boards().SurpriseRemoveLocal(serial); });
}

int32_t TQ8Sim_HoldFileWriteCallbacks(int32_t hold)
{
    Lib().CallbackHold().Set(hold != 0);
    return TQ8_OK;
}

uint32_t TQ8Sim_HeldFileWriteCalls(void)
{
    return Lib().CallbackHold().Waiting();
}

int32_t TQ8Sim_GetAdcCalibrationCount(uint32_t serial, int32_t adc, uint32_t* count)
{
    if (count == nullptr || (adc != 0 && adc != 1))
        return TQ8_ERR_INVALID_ARG;
    return WithModel(serial, [&](CSimBoard& board) {
        *count = board.AdcCalibrations(adc);
        return TQ8_OK;
    });
}

int32_t TQ8Sim_ReportDriverVersion(uint32_t serial, uint64_t version)
{
    return Report(serial, CReportedValues::Item::DriverVersion, static_cast<int64_t>(version));
}

int32_t TQ8Sim_ReportRamSize(uint32_t serial, uint32_t positions)
{
    return Report(serial, CReportedValues::Item::RamSize, positions);
}

int32_t TQ8Sim_ReportActiveChannels(uint32_t serial, int32_t selection)
{
    return Report(serial, CReportedValues::Item::ActiveChannels, selection);
}

int32_t TQ8Sim_ReportMaxSampleCount(uint32_t serial, uint32_t maxSamples)
{
    return Report(serial, CReportedValues::Item::MaxSampleCount, maxSamples);
}

int32_t TQ8Sim_InjectResult(const char* function, int32_t code, uint32_t calls)
{
    return TQ8Sim_InjectResultAfter(function, 0, code, calls);
}

int32_t TQ8Sim_InjectResultAfter(const char* function, uint32_t passing, int32_t code, uint32_t calls)
{
    if (function == nullptr || *function == '\0')
        return TQ8_ERR_INVALID_ARG;
    try {
        Lib().Injector().Inject(function, code, calls, passing);
        return TQ8_OK;
    } catch (...) {
        return TQ8_ERR_NO_MEMORY;
    }
}

int32_t TQ8Sim_GetProcessingParams(uint32_t serial, uint32_t first, uint16_t* values, uint32_t count)
{
    if ((values == nullptr && count > 0) || uint64_t(first) + count > 65536)
        return TQ8_ERR_INVALID_ARG;
    return WithModel(serial, [&](CSimBoard& board) {
        const CBoardSettings settings = board.Settings();
        for (uint32_t i = 0; i < count; ++i)
            values[i] = settings.ProcessingParam(uint16_t(first + i));
        return TQ8_OK;
    });
}

int32_t TQ8Sim_GetFirCoefficients(uint32_t serial, int32_t bank, int16_t* taps, uint32_t count)
{
    if (taps == nullptr || bank < 0 || bank > 2 || count != (bank == 0 ? kFir1Taps : kFir2Taps))
        return TQ8_ERR_INVALID_ARG;
    return WithModel(serial, [&](CSimBoard& board) {
        const std::vector<int16_t> fir = board.Settings().Fir(static_cast<FirBank>(bank));
        std::copy(fir.begin(), fir.end(), taps);
        return TQ8_OK;
    });
}

void TQ8Sim_ClearInjections(void)
{
    Lib().Injector().Clear();
}

} // extern "C"

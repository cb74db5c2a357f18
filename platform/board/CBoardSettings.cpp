#include "CBoardSettings.h"

#include <algorithm>
#include <cmath>

#include "ChannelSelection.h"
#include "TQ8Codes.h"

namespace tq8 {

namespace {
enum class Kind {
    Enum,    // integral, out of range refused
    Clip,    // integral, clipped into range
    Bool,    // any nonzero value is 1
    Real,    // non-integral, clipped into range
    Special, // own rule in Set
};

struct Rule {
    Kind kind;
    double min;
    double max;
    double def;
};

constexpr std::array<Rule, kSettingCount> kRules = {{
    {Kind::Enum, 0, 4, 0},          // TriggerSource
    {Kind::Enum, 0, 1, 0},          // TriggerMode
    {Kind::Special, 0, 0, 0},       // SegmentSize
    {Kind::Clip, 0, 65535, 0},      // PreTriggerSamples
    {Kind::Clip, 0, 65535, 0},      // TriggerDelaySamples
    {Kind::Clip, 0, 255, 128},      // TriggerLevelA
    {Kind::Clip, 0, 255, 128},      // TriggerLevelB
    {Kind::Enum, 0, 1, 0},          // TriggerDirectionA
    {Kind::Enum, 0, 1, 0},          // TriggerDirectionB
    {Kind::Enum, 0, 1, 0},          // TriggerDirectionExt
    {Kind::Special, 0, 11, 0},      // ActiveChannels
    {Kind::Enum, 0, 3, 0},          // AdcClockSource
    {Kind::Special, 0, 0, 1500},    // InternalAdcClockRate
    {Kind::Enum, 0, 1, 0},          // InternalAdcClockReference
    {Kind::Real, 0, 6000, 0},       // ExternalClockRate
    {Kind::Enum, 1, 32, 1},         // ExtClockDivider1
    {Kind::Enum, 1, 6, 1},          // ExtClockDivider2
    {Kind::Enum, 0, 5, 0},          // PostAdcClockDivider
    {Kind::Bool, 0, 1, 0},          // PllDisable
    {Kind::Bool, 0, 1, 0},          // AutoDcmResetOverride
    {Kind::Special, 0, 0, 0},       // MemoryRegionStart
    {Kind::Special, 0, 0, 1048576}, // MemoryRegionCount
    {Kind::Special, 0, 1, 0},       // RouteToSdram2Enable
    {Kind::Bool, 0, 1, 0},          // DigitalIoEnable
    {Kind::Enum, 0, 7, 0},          // DigitalIoMode
    {Kind::Clip, 0, 4095, 2048},    // DcOffsetCh1
    {Kind::Clip, 0, 4095, 2048},    // DcOffsetCh2
    {Kind::Clip, 0, 4095, 2048},    // DcOffsetCh3
    {Kind::Clip, 0, 4095, 2048},    // DcOffsetCh4
    {Kind::Enum, 0, 7, 0},          // ZabBoardNumber
    {Kind::Enum, 0, 2, 0},          // ZabConfiguration
    {Kind::Enum, 0, 2, 0},          // ZabClock
    {Kind::Enum, 0, 3, 0},          // TimestampMode
    {Kind::Enum, 0, 1, 0},          // TimestampCounterMode
    {Kind::Bool, 0, 1, 0},          // BoardProcessingEnable
    {Kind::Clip, 0, 65535, 0},      // ProcessingParamIndex
    {Kind::Clip, 0, 65535, 0},      // ProcessingParamValue
    {Kind::Enum, 0, 13, 0},         // DecimationFactor
    {Kind::Special, 0, 0, 0},       // NcoFrequency
    {Kind::Special, 0, 0, 1024},    // FftSize
    {Kind::Bool, 0, 1, 0},          // MagnitudeSquaredEnable
    {Kind::Clip, 0, kFftMaxSize, 0}, // ZeroPadPoints
}};

bool IsIntegral(double v)
{
    return std::floor(v) == v;
}

bool IsPowerOfTwo(uint32_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}
} // namespace

CBoardSettings::CBoardSettings(const BoardDescription& desc)
    : m_revision(desc.revision), m_ramSize(std::min(desc.ramSize, kMaxRamSize))
{
    SetDefaults();
}

void CBoardSettings::SetDefaults()
{
    for (size_t i = 0; i < kRules.size(); ++i)
        m_values[i] = kRules[i].def;
    if (m_revision == 1)
        m_values[Index(SettingId::ActiveChannels)] = 1;
    m_fir1.assign(kFir1Taps, 0);
    m_fir2Ch1.assign(kFir2Taps, 0);
    m_fir2Ch2.assign(kFir2Taps, 0);
    m_params.clear();
    ClipRegion();
}

int32_t CBoardSettings::Set(SettingId id, double value)
{
    if (Index(id) >= kRules.size() || std::isnan(value))
        return TQ8_ERR_INVALID_ARG;
    switch (id) {
    case SettingId::ActiveChannels:
        return IsIntegral(value) ? SetSelection(static_cast<int32_t>(std::clamp(value, -1.0, 99.0)))
                                 : TQ8_ERR_INVALID_ARG;
    case SettingId::InternalAdcClockRate:
        return SetRate(value);
    case SettingId::MemoryRegionStart:
    case SettingId::MemoryRegionCount: {
        if (!IsIntegral(value) || value < 0 || value > 4294967295.0)
            return TQ8_ERR_INVALID_ARG;
        auto v = static_cast<uint32_t>(value);
        return id == SettingId::MemoryRegionStart ? SetMemoryRegion(GetUInt(SettingId::MemoryRegionCount), v)
                                                  : SetMemoryRegion(v, GetUInt(SettingId::MemoryRegionStart));
    }
    default:
        return SetPlain(id, value);
    }
}

int32_t CBoardSettings::SetPlain(SettingId id, double value)
{
    const Rule& rule = kRules[Index(id)];
    double& slot = m_values[Index(id)];
    switch (rule.kind) {
    case Kind::Enum:
        if (!IsIntegral(value) || value < rule.min || value > rule.max)
            return TQ8_ERR_INVALID_ARG;
        slot = value;
        return TQ8_OK;
    case Kind::Clip:
        if (!IsIntegral(value))
            return TQ8_ERR_INVALID_ARG;
        slot = std::clamp(value, rule.min, rule.max);
        return TQ8_OK;
    case Kind::Bool:
        slot = value != 0 ? 1 : 0;
        return TQ8_OK;
    case Kind::Real:
        if (std::isinf(value) || value < rule.min)
            return TQ8_ERR_INVALID_ARG;
        slot = std::min(value, rule.max);
        return TQ8_OK;
    case Kind::Special:
        break;
    }
    switch (id) {
    case SettingId::SegmentSize:
        if (!IsIntegral(value) || value < 0)
            return TQ8_ERR_INVALID_ARG;
        slot = std::min(value, static_cast<double>(m_ramSize));
        return TQ8_OK;
    case SettingId::RouteToSdram2Enable:
        if (value != 0 && !AllowsSdram2Route(GetInt(SettingId::ActiveChannels)))
            return TQ8_ERR_INVALID_ARG;
        slot = value != 0 ? 1 : 0;
        return TQ8_OK;
    case SettingId::NcoFrequency:
        if (std::isinf(value) || value < 0 || value > EffectiveRateMHz() / 2)
            return TQ8_ERR_INVALID_ARG;
        slot = value;
        return TQ8_OK;
    case SettingId::FftSize:
        if (!IsIntegral(value) || value < kFftMinSize || value > kFftMaxSize
            || !IsPowerOfTwo(static_cast<uint32_t>(value)))
            return TQ8_ERR_INVALID_ARG;
        slot = value;
        return TQ8_OK;
    default:
        return TQ8_ERR_INVALID_ARG;
    }
}

int32_t CBoardSettings::SetRate(double mhz)
{
    if (std::isinf(mhz))
        return mhz < 0 ? TQ8_ERR_RATE_TOO_LOW : TQ8_ERR_RATE_TOO_HIGH;
    // The synthesizer steps in whole MHz.
    const double aligned = std::round(mhz);
    if (const int32_t rc = AdcRateRefusal(aligned, IsInterleaved(GetInt(SettingId::ActiveChannels))); rc != TQ8_OK)
        return rc;
    m_values[Index(SettingId::InternalAdcClockRate)] = aligned;
    return TQ8_OK;
}

int32_t CBoardSettings::SetSelection(int32_t sel)
{
    if (!IsValidSelection(sel) || (m_revision == 1 && !IsTwoChannelSelection(sel)))
        return TQ8_ERR_INVALID_ARG;
    m_values[Index(SettingId::ActiveChannels)] = sel;
    double& rate = m_values[Index(SettingId::InternalAdcClockRate)];
    if (IsInterleaved(sel) && rate < kMinInterleavedRateMHz)
        rate = kMinInterleavedRateMHz;
    if (!AllowsSdram2Route(sel))
        m_values[Index(SettingId::RouteToSdram2Enable)] = 0;
    ClipRegion();
    return TQ8_OK;
}

int32_t CBoardSettings::SetExtDividers(int32_t d1, int32_t d2)
{
    if (d1 < 1 || d1 > 32 || d2 < 1 || d2 > 6)
        return TQ8_ERR_INVALID_ARG;
    m_values[Index(SettingId::ExtClockDivider1)] = d1;
    m_values[Index(SettingId::ExtClockDivider2)] = d2;
    return TQ8_OK;
}

int32_t CBoardSettings::SetMemoryRegion(uint32_t count, uint32_t start)
{
    m_values[Index(SettingId::MemoryRegionStart)] = start;
    m_values[Index(SettingId::MemoryRegionCount)] = count;
    ClipRegion();
    return TQ8_OK;
}

void CBoardSettings::ClipRegion()
{
    uint64_t max = MaxSamples(GetInt(SettingId::ActiveChannels));
    uint64_t start = GetUInt(SettingId::MemoryRegionStart) / kRegionStartGrain * kRegionStartGrain;
    uint64_t count = GetUInt(SettingId::MemoryRegionCount);
    count = (count + kRegionCountGrain - 1) / kRegionCountGrain * kRegionCountGrain;
    if (start > max - kRegionCountGrain)
        start = max - kRegionCountGrain;
    if (start + count > max)
        count = (max - start) / kRegionCountGrain * kRegionCountGrain;
    m_values[Index(SettingId::MemoryRegionStart)] = static_cast<double>(start);
    m_values[Index(SettingId::MemoryRegionCount)] = static_cast<double>(count);
}

int32_t CBoardSettings::SetProcessingParam(uint16_t index, uint16_t value)
{
    m_values[Index(SettingId::ProcessingParamIndex)] = index;
    m_values[Index(SettingId::ProcessingParamValue)] = value;
    if (index >= m_params.size())
        m_params.resize(size_t(index) + 1, 0);
    m_params[index] = value;
    return TQ8_OK;
}

uint16_t CBoardSettings::ProcessingParam(uint16_t index) const
{
    return index < m_params.size() ? m_params[index] : 0;
}

int32_t CBoardSettings::LoadFir(FirBank bank, const int16_t* taps, size_t count)
{
    size_t want = bank == FirBank::Fir1 ? kFir1Taps : kFir2Taps;
    if (taps == nullptr || count != want)
        return TQ8_ERR_INVALID_ARG;
    std::vector<int16_t>& dst = bank == FirBank::Fir1 ? m_fir1 : bank == FirBank::Fir2Ch1 ? m_fir2Ch1 : m_fir2Ch2;
    dst.assign(taps, taps + count);
    return TQ8_OK;
}

const std::vector<int16_t>& CBoardSettings::Fir(FirBank bank) const
{
    return bank == FirBank::Fir1 ? m_fir1 : bank == FirBank::Fir2Ch1 ? m_fir2Ch1 : m_fir2Ch2;
}

int32_t CBoardSettings::CopyFrom(const CBoardSettings& other)
{
    CBoardSettings next(*this);
    next.SetDefaults();
    for (int i = 0; i < kSettingCount; ++i) {
        auto id = static_cast<SettingId>(i);
        if (id == SettingId::MemoryRegionCount)
            continue; // set together with the start
        int32_t rc = id == SettingId::MemoryRegionStart
                         ? next.SetMemoryRegion(other.GetUInt(SettingId::MemoryRegionCount),
                                                other.GetUInt(SettingId::MemoryRegionStart))
                     : id == SettingId::ExtClockDivider1 || id == SettingId::ExtClockDivider2
                         ? next.SetExtDividers(other.GetInt(SettingId::ExtClockDivider1),
                                               other.GetInt(SettingId::ExtClockDivider2))
                     : id == SettingId::NcoFrequency ? TQ8_OK
                                                     : next.Set(id, other.Get(id));
        if (rc != TQ8_OK)
            return rc;
    }
    // The NCO's range follows the rates, so it comes last.
    int32_t rc = next.Set(SettingId::NcoFrequency, other.Get(SettingId::NcoFrequency));
    if (rc != TQ8_OK)
        return rc;
    next.m_fir1 = other.m_fir1;
    next.m_fir2Ch1 = other.m_fir2Ch1;
    next.m_fir2Ch2 = other.m_fir2Ch2;
    next.m_params = other.m_params;
    *this = std::move(next);
    return TQ8_OK;
}

uint32_t CBoardSettings::MaxSamples(int selection) const
{
    uint64_t max = static_cast<uint64_t>(m_ramSize / 2) * RamFactor(selection);
    return static_cast<uint32_t>(std::min<uint64_t>(max, m_ramSize));
}

double CBoardSettings::ActualAdcRateMHz() const
{
    return AdcRateMHz(GetInt(SettingId::AdcClockSource), Get(SettingId::InternalAdcClockRate),
                      Get(SettingId::ExternalClockRate), GetInt(SettingId::ExtClockDivider1),
                      GetInt(SettingId::ExtClockDivider2));
}

double CBoardSettings::EffectiveRateMHz() const
{
    double rate = ActualAdcRateMHz();
    if (IsInterleaved(GetInt(SettingId::ActiveChannels)))
        rate *= 2;
    return std::ldexp(rate, -GetInt(SettingId::PostAdcClockDivider));
}

bool CBoardSettings::PllLocked() const
{
    return GetInt(SettingId::AdcClockSource) != TQ8_CLOCK_INTERNAL || GetInt(SettingId::PllDisable) == 0;
}

double CBoardSettings::InputRangeVpp(int channel) const
{
    if (channel < 0 || channel >= (m_revision == 1 ? 2 : 4))
        return 0.0;
    return 0.5;
}

int CBoardSettings::ChannelCount() const
{
    return tq8::ChannelCount(GetInt(SettingId::ActiveChannels));
}

} // namespace tq8

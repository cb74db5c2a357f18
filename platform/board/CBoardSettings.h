#pragma once
// The settings of one board: defaults, validation, clipping and realignment,
// and the values derived from them (rates, memory limits).
#include <array>
#include <cstdint>
#include <vector>

#include "AdcRateRule.h"
#include "BoardDescription.h"
#include "SettingId.h"

namespace tq8 {

enum class FirBank { Fir1, Fir2Ch1, Fir2Ch2 };

constexpr size_t kFir1Taps = 129;
constexpr size_t kFir2Taps = 65;
constexpr uint32_t kRegionStartGrain = 16;
constexpr uint32_t kRegionCountGrain = 128;
constexpr uint32_t kFftMinSize = 256;
constexpr uint32_t kFftMaxSize = 16384;

class CBoardSettings {
public:
    explicit CBoardSettings(const BoardDescription& desc);

    void SetDefaults();

    double Get(SettingId id) const { return m_values[Index(id)]; }
    int32_t GetInt(SettingId id) const { return static_cast<int32_t>(Get(id)); }
    uint32_t GetUInt(SettingId id) const { return static_cast<uint32_t>(Get(id)); }

    // Result codes of the device library; on failure nothing changes.
    int32_t Set(SettingId id, double value);
    int32_t SetExtDividers(int32_t d1, int32_t d2);
    int32_t SetMemoryRegion(uint32_t count, uint32_t start);
    int32_t SetProcessingParam(uint16_t index, uint16_t value);
    // The last value written to the parameter, 0 for one never written.
    uint16_t ProcessingParam(uint16_t index) const;
    int32_t LoadFir(FirBank bank, const int16_t* taps, size_t count);
    const std::vector<int16_t>& Fir(FirBank bank) const;

    // Takes every value of another board's settings, validated for this
    // board. All or nothing.
    int32_t CopyFrom(const CBoardSettings& other);

    uint32_t MaxSamples(int selection) const;
    double ActualAdcRateMHz() const;
    double EffectiveRateMHz() const;
    bool PllLocked() const;
    double InputRangeVpp(int channel) const;
    int ChannelCount() const;

private:
    static size_t Index(SettingId id) { return static_cast<size_t>(id); }
    int32_t SetRate(double mhz);
    int32_t SetSelection(int32_t sel);
    int32_t SetPlain(SettingId id, double value);
    void ClipRegion();

    uint32_t m_revision;
    uint32_t m_ramSize;
    std::array<double, kSettingCount> m_values{};
    std::vector<int16_t> m_fir1;
    std::vector<int16_t> m_fir2Ch1;
    std::vector<int16_t> m_fir2Ch2;
    std::vector<uint16_t> m_params; // grown to the highest index written
};

} // namespace tq8

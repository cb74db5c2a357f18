#pragma once
// The register state of one card that is not a setting: the device-register
// bits the settings do not mirror, the images of the two clock generators
// and the two ADC chips behind their serial ports, the DMA engine's
// registers and the configuration window. Not thread-safe: the card calls
// it under its own lock.
//
// Clock generators (sets 1 and 2): 20 words, one byte per chip register,
// placed by (logical index, byte) as in ClockGenPlacement. ADC chips (sets 3
// and 4): 5 words, two 16-bit chip registers per word (sub-index 0 the low
// half), placed as in AdcPlacement.
//
// Raw windows: BAR 0 the DMA registers 0..16; BAR 1 the device registers
// 0..63 (0..15 as set 0, 16 offset DAC, 17/18 ADC serial ports, 32/48 clock
// generator serial ports, 8 and 10 the SDRAM input-delay controls); BAR 2
// configuration 0..7 (0 EEPROM lines, 1 JTAG lines, 4 identification).
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "DeviceRegisterCodec.h"
#include "OffsetDac.h"

namespace tq8 {

constexpr uint32_t kClockGenSetWords = 20;
constexpr uint32_t kAdcSetWords = 5;
constexpr uint32_t kMaxClockGenRegister = 0x230;
constexpr uint32_t kDmaRegisters = 17;
constexpr uint32_t kBar1Registers = 64;
constexpr uint32_t kBar2Registers = 8;
constexpr int kMaxAdcOffsetAdjust = 255;
constexpr uint32_t kMaxIdelayTaps = 63;
constexpr uint32_t kExtTriggerDelayReset = 1u << 30; // device register 5
constexpr uint32_t kExtTriggerDelayStep = 1u << 31;

using Placement = std::pair<uint32_t, uint32_t>; // logical index, byte or sub-index

// Placement of a chip register; none for a register the chip does not have.
std::optional<Placement> ClockGenPlacement(uint32_t reg);
std::optional<Placement> AdcPlacement(uint32_t reg);

// What the card reports live in the status and time-stamp words.
struct LiveStatus {
    int mode = 1;
    bool samplesComplete = false;
    bool timestampOverflow = false;
    bool timestampsEmpty = true;
    bool pllLocked = true;
    uint64_t counter = 0;
};

class CBoardRegisters {
public:
    // boardType: EEPROM word 0x71; it selects the clock generators' presets.
    explicit CBoardRegisters(uint32_t boardType = 1);

    // Set 0..4 into words (its word count: SetWords).
    static uint32_t SetWords(int set);
    int32_t ReadSet(int set, const CBoardSettings& settings, const LiveStatus& live, uint32_t* words) const;

    int32_t ReadDevice(uint32_t reg, const CBoardSettings& settings, const LiveStatus& live, uint32_t& value) const;
    // Masked write of register 0..15; mirrored fields go into the settings.
    int32_t WriteDevice(uint32_t reg, uint32_t mask, uint32_t value, CBoardSettings& settings);

    int32_t WriteAdc(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at);
    int32_t ReadClockGen(int cg, uint32_t reg, Placement at, uint8_t& value) const;
    int32_t WriteClockGen(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at);
    // The rate of an output divider of clock generator cg from its image.
    double ClockGenOutputMHz(int cg, int divider) const;

    int32_t RawRead(int bar, uint32_t reg, const CBoardSettings& settings, const LiveStatus& live, uint32_t& value);
    int32_t RawWrite(int bar, uint32_t reg, uint32_t value, CBoardSettings& settings);

    // Channel 0..3 offset trim in the ADC chip of the channel (I or Q).
    int32_t SetAdcOffsetAdjust(int channel, int value);
    int32_t SetExtTriggerDelay(uint32_t taps);
    uint32_t ExtTriggerDelay() const { return m_extTriggerDelay; }
    uint32_t SdramDelay(int sdram) const { return m_sdramDelay[sdram == 0 ? 0 : 1]; }

    // The calibration bit (bit 15 of chip register 0).
    void SetCalibrating(int adc, bool on);
    bool RamBypass() const { return (m_device[6] & 1u) != 0; }

private:
    DeviceRegisterImage Device(const CBoardSettings& settings, const LiveStatus& live) const;
    uint8_t& ClockGenByte(int cg, Placement at) { return m_clockGenBytes[cg][at.first * 4 + at.second]; }
    void AdcPortWrite(int adc, uint32_t word);
    void ClockGenPortWrite(int cg, uint32_t word);
    void IdelayControl(int sdram, uint32_t control);
    void ExtTriggerDelayControl(uint32_t before, uint32_t after);

    DeviceRegisterImage m_device{};
    std::array<std::array<uint8_t, kClockGenSetWords * 4>, 2> m_clockGenBytes{};
    std::array<std::array<uint16_t, kAdcSetWords * 2>, 2> m_adc{};
    std::array<uint32_t, kDmaRegisters> m_dma{};
    std::array<uint32_t, kBar1Registers> m_bar1{};
    std::array<uint32_t, kBar2Registers> m_bar2{};
    std::array<uint32_t, 2> m_clockGenReadBack{};
    std::array<uint32_t, 2> m_sdramDelay{};
    uint32_t m_extTriggerDelay = 0;
};

} // namespace tq8

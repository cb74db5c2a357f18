#include "CBoardRegisters.h"

#include <cstdlib>

#include "ClockGenRate.h"
#include "TQ8Codes.h"

namespace tq8 {

namespace {
// Chip registers of each clock-generator word, bytes 0..3 (0xFFFF: none).
constexpr uint16_t kNone = 0xFFFF;
constexpr std::array<std::array<uint16_t, 4>, kClockGenSetWords> kClockGenLayout = {{
    {0x000, 0x004, kNone, kNone}, {0x010, 0x011, 0x012, 0x013}, {0x014, 0x015, 0x016, 0x017},
    {0x018, 0x019, 0x01A, 0x01B}, {0x01C, 0x01D, 0x01E, 0x01F}, {0x0A0, 0x0A1, 0x0A2, kNone},
    {0x0A3, 0x0A4, 0x0A5, kNone}, {0x0A6, 0x0A7, 0x0A8, kNone}, {0x0A9, 0x0AA, 0x0AB, kNone},
    {0x0F0, 0x0F1, 0x0F2, 0x0F3}, {0x0F4, 0x0F5, kNone, kNone}, {0x140, 0x141, 0x142, 0x143},
    {0x190, 0x191, 0x192, kNone}, {0x193, 0x194, 0x195, kNone}, {0x196, 0x197, 0x198, kNone},
    {0x199, kNone, kNone, kNone}, {0x19A, 0x19B, 0x19C, 0x19D}, {0x19E, kNone, kNone, kNone},
    {0x19F, 0x1A0, 0x1A1, 0x1A2}, {0x1E0, 0x1E1, 0x230, kNone},
}};

// Chip registers of each ADC slot (word * 2 + half; 0xFFFF: none).
constexpr std::array<uint16_t, kAdcSetWords * 2> kAdcLayout = {0, 1, 2, 3, 9, kNone, 10, 11, 14, 15};

// What the driver's board initialisation programs, as words of the image.
using ClockGenWords = std::array<uint32_t, kClockGenSetWords>;
constexpr ClockGenWords kClockGen0 = {0x118, 0x180064FC, 0xB40601D4, 6, 2, 1, 1, 1, 1, 0x0A080A0A,
                                      0x0A0A, 0x01010101, 0x8000, 0x8000, 0x8000, 0, 0x3000, 0, 0x3000, 0x103};
constexpr ClockGenWords kClockGen1 = {0x118, 1, 0x60000, 6, 0, 1, 1, 1, 1, 0x0A0A0808,
                                      0x080A, 0x01010101, 0x8000, 0x8000, 0x8000, 0, 0x3000, 0, 0x3000, 0x100};
constexpr std::array<uint32_t, kAdcSetWords> kAdcPreset = {0xB2FF7FFF, 0x807F007F, 1023, 0x807F007F, 0x007F00FF};

// Device registers as initialised; the mirrored fields come from the settings.
constexpr DeviceRegisterImage kDevicePreset = {0, 2, 0, 0, 0xFF80, 0x300, 0, 0x00060015, 0, 0, 0, 1, 0, 0, 0, 0};

constexpr uint32_t kStatusRamClockLock = 1u << 3;
constexpr uint32_t kStatusTsOverflow = 1u << 12;
constexpr uint32_t kStatusTsEmpty = 1u << 14;
constexpr uint32_t kStatusCg1 = 1u << 17;
constexpr uint32_t kStatusCg1Lock = 1u << 18;
constexpr uint32_t kStatusCg2 = 1u << 19;
constexpr uint32_t kFpgaTemperature = 0x19Cu << 22;

constexpr uint32_t kIdentification = 0x33000001u;
constexpr uint32_t kSecondaryIdelay = 0x8006;
constexpr uint32_t kClockGenUpdate = 0x232;

ClockGenWords ClockGen0Preset(uint32_t type)
{
    ClockGenWords w = kClockGen0;
    if (type == 2 || type == 3) {
        w[1] = 0x180064FD;
        w[4] = 0;
        w[9] = 0x0A0A0A0A;
        w[19] = 0x1D03;
    }
    if (type == 1)
        w[9] = 0x0A080808;
    if (type >= 1 && type <= 3) {
        w[9] &= ~(3u << 24);
        w[10] = 0x0A08;
    }
    return w;
}

// The chip exists and the register sits at the placement the caller gives.
bool IsClockGenPlace(int cg, uint32_t reg, Placement at)
{
    const auto placement = ClockGenPlacement(reg);
    return (cg == 0 || cg == 1) && placement && *placement == at;
}

bool ReadOnly(uint32_t reg)
{
    // The mode is set through the operating-mode call; 13..15 are live.
    return reg == 11 || reg >= 13;
}
} // namespace

std::optional<Placement> ClockGenPlacement(uint32_t reg)
{
    for (uint32_t w = 0; w < kClockGenSetWords; ++w)
        for (uint32_t b = 0; b < 4; ++b)
            if (kClockGenLayout[w][b] == reg)
                return Placement{w, b};
    return std::nullopt;
}

std::optional<Placement> AdcPlacement(uint32_t reg)
{
    for (uint32_t slot = 0; slot < kAdcLayout.size(); ++slot)
        if (kAdcLayout[slot] == reg)
            return Placement{slot / 2, slot % 2};
    return std::nullopt;
}

CBoardRegisters::CBoardRegisters(uint32_t boardType) : m_device(kDevicePreset)
{
    const ClockGenWords presets[2] = {ClockGen0Preset(boardType), kClockGen1};
    for (int cg = 0; cg < 2; ++cg)
        for (uint32_t w = 0; w < kClockGenSetWords; ++w)
            for (uint32_t b = 0; b < 4; ++b)
                if (kClockGenLayout[w][b] != kNone)
                    m_clockGenBytes[cg][w * 4 + b] = static_cast<uint8_t>(presets[cg][w] >> (8 * b));
    for (auto& chip : m_adc)
        for (uint32_t w = 0; w < kAdcSetWords; ++w) {
            chip[w * 2] = static_cast<uint16_t>(kAdcPreset[w]);
            chip[w * 2 + 1] = static_cast<uint16_t>(kAdcPreset[w] >> 16);
        }
}

uint32_t CBoardRegisters::SetWords(int set)
{
    switch (set) {
    case 0:
        return kDeviceRegSetWords;
    case 1:
    case 2:
        return kClockGenSetWords;
    case 3:
    case 4:
        return kAdcSetWords;
    default:
        return 0;
    }
}

DeviceRegisterImage CBoardRegisters::Device(const CBoardSettings& settings, const LiveStatus& live) const
{
    DeviceRegisterImage image = m_device;
    EncodeSettings(settings, image);
    image[11] = (image[11] & ~0xFu) | static_cast<uint32_t>(live.mode & 0xF);
    image[13] = kStatusRamClockLock | kStatusCg1 | kStatusCg2 | kFpgaTemperature | (live.samplesComplete ? 1u : 0u)
                | (live.timestampOverflow ? kStatusTsOverflow : 0u) | (live.timestampsEmpty ? kStatusTsEmpty : 0u)
                | (live.pllLocked ? kStatusCg1Lock : 0u);
    image[14] = static_cast<uint32_t>(live.counter >> 32);
    image[15] = static_cast<uint32_t>(live.counter);
    return image;
}

int32_t CBoardRegisters::ReadSet(int set, const CBoardSettings& settings, const LiveStatus& live,
                                 uint32_t* words) const
{
    if (SetWords(set) == 0 || words == nullptr)
        return TQ8_ERR_INVALID_ARG;
    if (set == 0) {
        const DeviceRegisterImage image = Device(settings, live);
        std::copy(image.begin(), image.end(), words);
        return TQ8_OK;
    }
    if (set <= 2) {
        const auto& bytes = m_clockGenBytes[static_cast<size_t>(set - 1)];
        for (uint32_t w = 0; w < kClockGenSetWords; ++w)
            words[w] = bytes[w * 4] | (bytes[w * 4 + 1] << 8) | (bytes[w * 4 + 2] << 16)
                       | (static_cast<uint32_t>(bytes[w * 4 + 3]) << 24);
        return TQ8_OK;
    }
    const auto& slots = m_adc[static_cast<size_t>(set - 3)];
    for (uint32_t w = 0; w < kAdcSetWords; ++w)
        words[w] = slots[w * 2] | (static_cast<uint32_t>(slots[w * 2 + 1]) << 16);
    return TQ8_OK;
}

int32_t CBoardRegisters::ReadDevice(uint32_t reg, const CBoardSettings& settings, const LiveStatus& live,
                                    uint32_t& value) const
{
    if (reg >= kDeviceRegSetWords)
        return TQ8_ERR_OUT_OF_BOUNDS;
    value = Device(settings, live)[reg];
    return TQ8_OK;
}

int32_t CBoardRegisters::WriteDevice(uint32_t reg, uint32_t mask, uint32_t value, CBoardSettings& settings)
{
    if (reg >= kDeviceRegSetWords)
        return TQ8_ERR_OUT_OF_BOUNDS;
    if (ReadOnly(reg))
        return TQ8_ERR_INVALID_ARG;
    DeviceRegisterImage image = m_device;
    EncodeSettings(settings, image);
    image[reg] = (image[reg] & ~mask) | (value & mask);
    if (int32_t rc = DecodeRegister(image, reg, settings); rc != TQ8_OK)
        return rc;
    const uint32_t before = m_device[reg];
    m_device[reg] = image[reg];
    if (reg == 8)
        IdelayControl(0, value & mask);
    if (reg == 5)
        ExtTriggerDelayControl(before, image[reg]);
    return TQ8_OK;
}

int32_t CBoardRegisters::WriteAdc(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at)
{
    if (adc < 0 || adc > 1)
        return TQ8_ERR_INVALID_ARG;
    const auto placement = AdcPlacement(reg);
    if (!placement || *placement != at)
        return TQ8_ERR_INVALID_ARG;
    uint16_t& slot = m_adc[static_cast<size_t>(adc)][at.first * 2 + at.second];
    slot = static_cast<uint16_t>((slot & ~mask) | (value & mask));
    return TQ8_OK;
}

int32_t CBoardRegisters::ReadClockGen(int cg, uint32_t reg, Placement at, uint8_t& value) const
{
    if (!IsClockGenPlace(cg, reg, at))
        return TQ8_ERR_INVALID_ARG;
    value = m_clockGenBytes[static_cast<size_t>(cg)][at.first * 4 + at.second];
    return TQ8_OK;
}

double CBoardRegisters::ClockGenOutputMHz(int cg, int divider) const
{
    const auto& bytes = m_clockGenBytes[cg == 0 ? 0 : 1];
    return tq8::ClockGenOutputMHz(
        [&bytes](uint32_t address) -> uint8_t {
            const auto at = ClockGenPlacement(address);
            return at ? bytes[at->first * 4 + at->second] : 0;
        },
        divider);
}

int32_t CBoardRegisters::WriteClockGen(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at)
{
    if (!IsClockGenPlace(cg, reg, at))
        return TQ8_ERR_INVALID_ARG;
    uint8_t& byte = ClockGenByte(cg, at);
    byte = static_cast<uint8_t>((byte & ~mask) | (value & mask));
    return TQ8_OK;
}

int32_t CBoardRegisters::RawRead(int bar, uint32_t reg, const CBoardSettings& settings, const LiveStatus& live,
                                 uint32_t& value)
{
    switch (bar) {
    case 0:
        if (reg >= kDmaRegisters)
            return TQ8_ERR_OUT_OF_BOUNDS;
        value = m_dma[reg];
        return TQ8_OK;
    case 1:
        if (reg >= kBar1Registers)
            return TQ8_ERR_OUT_OF_BOUNDS;
        if (reg < kDeviceRegSetWords)
            return ReadDevice(reg, settings, live, value);
        value = (reg == 32 || reg == 48) ? m_clockGenReadBack[reg == 32 ? 0 : 1] : m_bar1[reg];
        return TQ8_OK;
    case 2:
        if (reg >= kBar2Registers)
            return TQ8_ERR_OUT_OF_BOUNDS;
        value = reg == 4 ? kIdentification : m_bar2[reg];
        return TQ8_OK;
    default:
        return TQ8_ERR_INVALID_ARG;
    }
}

int32_t CBoardRegisters::RawWrite(int bar, uint32_t reg, uint32_t value, CBoardSettings& settings)
{
    switch (bar) {
    case 0:
        if (reg >= kDmaRegisters)
            return TQ8_ERR_OUT_OF_BOUNDS;
        m_dma[reg] = value;
        return TQ8_OK;
    case 1:
        if (reg >= kBar1Registers)
            return TQ8_ERR_OUT_OF_BOUNDS;
        // Register 10 doubles as the port of the secondary serial device,
        // whose addresses start at 0x8000.
        if (reg == 10 && (value & 0xFFFF) >= 0x8000) {
            if ((value & 0xFFFF) == kSecondaryIdelay)
                IdelayControl(1, value >> 16);
            return TQ8_OK;
        }
        if (reg < kDeviceRegSetWords)
            return WriteDevice(reg, 0xFFFFFFFFu, value, settings);
        m_bar1[reg] = value;
        if (reg == kOffsetDacRegister)
            DecodeOffsetDac(value, settings);
        if (reg == 17 || reg == 18)
            AdcPortWrite(reg == 17 ? 0 : 1, value);
        if (reg == 32 || reg == 48)
            ClockGenPortWrite(reg == 32 ? 0 : 1, value);
        return TQ8_OK;
    case 2:
        if (reg >= kBar2Registers)
            return TQ8_ERR_OUT_OF_BOUNDS;
        if (reg != 4)
            m_bar2[reg] = value;
        return TQ8_OK;
    default:
        return TQ8_ERR_INVALID_ARG;
    }
}

void CBoardRegisters::AdcPortWrite(int adc, uint32_t word)
{
    if ((word & (0x10u << 16)) == 0)
        return;
    const uint32_t reg = (word >> 16) & 0xF;
    if (const auto at = AdcPlacement(reg))
        m_adc[static_cast<size_t>(adc)][at->first * 2 + at->second] = static_cast<uint16_t>(word);
}

void CBoardRegisters::ClockGenPortWrite(int cg, uint32_t word)
{
    const uint32_t reg = (word >> 8) & 0x3FF;
    const bool read = (word & 0x800000u) != 0;
    const auto at = ClockGenPlacement(reg);
    if (read) {
        m_clockGenReadBack[static_cast<size_t>(cg)] = at ? ClockGenByte(cg, *at) : 0u;
        return;
    }
    if (reg != kClockGenUpdate && at)
        ClockGenByte(cg, *at) = static_cast<uint8_t>(word);
}

void CBoardRegisters::IdelayControl(int sdram, uint32_t control)
{
    // Bit 11 resets the delay line, bits 10 and 9 together step it by one tap.
    uint32_t& taps = m_sdramDelay[static_cast<size_t>(sdram)];
    if (control & 0x800)
        taps = 0;
    else if ((control & 0x600) == 0x600 && taps < kMaxIdelayTaps)
        ++taps;
}

// Register 5: bit 30 set resets the external trigger's delay line, bit 31
// set steps it by one tap.
void CBoardRegisters::ExtTriggerDelayControl(uint32_t before, uint32_t after)
{
    const uint32_t rising = after & ~before;
    if (rising & kExtTriggerDelayReset)
        m_extTriggerDelay = 0;
    else if ((rising & kExtTriggerDelayStep) && m_extTriggerDelay < kMaxIdelayTaps)
        ++m_extTriggerDelay;
}

int32_t CBoardRegisters::SetAdcOffsetAdjust(int channel, int value)
{
    if (channel < 0 || channel > 3 || value < -kMaxAdcOffsetAdjust || value > kMaxAdcOffsetAdjust)
        return TQ8_ERR_INVALID_ARG;
    // Even channels are the I side of their chip (register 2), odd the Q side
    // (register A); sign and magnitude in bits 7 and 8-15.
    const auto at = *AdcPlacement(channel % 2 == 0 ? 2 : 10);
    uint16_t& slot = m_adc[static_cast<size_t>(channel / 2)][at.first * 2 + at.second];
    slot = static_cast<uint16_t>((slot & 0x7F) | (value < 0 ? 0x80 : 0) | (std::abs(value) << 8));
    return TQ8_OK;
}

int32_t CBoardRegisters::SetExtTriggerDelay(uint32_t taps)
{
    if (taps > kMaxIdelayTaps)
        return TQ8_ERR_INVALID_ARG;
    m_extTriggerDelay = taps;
    return TQ8_OK;
}

void CBoardRegisters::SetCalibrating(int adc, bool on)
{
    if (adc < 0 || adc > 1)
        return;
    uint16_t& reg0 = m_adc[static_cast<size_t>(adc)][0];
    reg0 = static_cast<uint16_t>(on ? reg0 | 0x8000 : reg0 & 0x7FFF);
    const uint32_t bit = 1u << (10 + adc); // iq1_cal / iq2_cal
    m_device[6] = on ? m_device[6] | bit : m_device[6] & ~bit;
}

} // namespace tq8

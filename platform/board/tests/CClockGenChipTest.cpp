#include "CClockGenChip.h"

#include <gtest/gtest.h>

#include <map>

#include "CBoardRegisters.h"
#include "ClockGenRate.h"

using tq8::CClockGenChip;

namespace {

void Send(CClockGenChip& chip, uint32_t address, uint8_t value) { chip.Write(address << 8 | value); }

void Update(CClockGenChip& chip) { Send(chip, CClockGenChip::kUpdateRegister, 1); }

// The board's first preset: R 100, A 24, B 468, P 32, VCO divider and
// output divider 0 bypassed.
void LoadPreset(CClockGenChip& chip)
{
    const std::map<uint32_t, uint8_t> preset = {{0x011, 100}, {0x013, 24},  {0x014, 0xD4}, {0x015, 0x01},
                                                {0x016, 0x06}, {0x191, 0x80}, {0x1E0, 0x03}, {0x1E1, 0x01}};
    for (const auto& [address, value] : preset)
        Send(chip, address, value);
    Update(chip);
}

} // namespace

TEST(CClockGenChip, StagedRegistersBecomeActiveOnTheUpdate)
{
    CClockGenChip chip;
    Send(chip, 0x011, 7);
    EXPECT_EQ(chip.Staged(0x011), 7);
    EXPECT_EQ(chip.Active(0x011), 0);
    Update(chip);
    EXPECT_EQ(chip.Active(0x011), 7);
    EXPECT_EQ(chip.Updates(), 1u);
    // Read-back by bit 15 of the instruction, in the low byte of the port.
    chip.Write((0x011 | 0x8000) << 8);
    EXPECT_EQ(chip.ReadBack() & 0xFF, 7u);
    // An address beyond the chip is ignored.
    Send(chip, 0x3FF, 9);
    EXPECT_EQ(chip.Staged(0x3FF), 0);
}

TEST(CClockGenChip, TheRateFollowsTheProgrammedDividers)
{
    CClockGenChip chip;
    LoadPreset(chip);
    EXPECT_DOUBLE_EQ(chip.OutputMHz(0), 1500.0);
    // The VCO divider: field 3 divides by 5.
    Send(chip, 0x1E1, 0x00);
    Update(chip);
    EXPECT_DOUBLE_EQ(chip.OutputMHz(0), 300.0);
    // Output divider 0 with 2 + 1 high and 1 + 1 low cycles.
    Send(chip, 0x1E1, 0x01);
    Send(chip, 0x190, 0x12);
    Send(chip, 0x191, 0x00);
    Update(chip);
    EXPECT_DOUBLE_EQ(chip.OutputMHz(0), 300.0);
    // Divider 3: two stages of 2 and 4 cycles; the second bypassed.
    Send(chip, 0x199, 0x00);
    Send(chip, 0x19B, 0x11);
    Update(chip);
    EXPECT_DOUBLE_EQ(chip.OutputMHz(3), 1500.0 / 8);
    Send(chip, 0x19C, 0x20);
    Update(chip);
    EXPECT_DOUBLE_EQ(chip.OutputMHz(3), 750.0);
    EXPECT_EQ(chip.OutputMHz(5), 0.0);
}

TEST(CClockGenChip, FixedPrescalersIgnoreTheACounterAndRZeroCountsAsOne)
{
    std::map<uint32_t, uint8_t> regs = {{0x014, 10}, {0x016, 0x07}, {0x013, 5}, {0x1E1, 0x01}};
    const tq8::ClockGenRegisterReader reader = [&regs](uint32_t a) { return regs.count(a) ? regs[a] : uint8_t{0}; };
    EXPECT_DOUBLE_EQ(tq8::ClockGenVcoMHz(reader), 10.0 * 3 * 10);
    regs[0x016] = 0x0A; // B bypassed, dual modulus P = 2
    EXPECT_DOUBLE_EQ(tq8::ClockGenVcoMHz(reader), 10.0 * (2 + 5));
}

TEST(CClockGenChip, TheLibrarysImageGivesTheSameRate)
{
    tq8::CBoardRegisters registers(1);
    CClockGenChip chip;
    for (uint32_t address = 0; address < tq8::kMaxClockGenRegister; ++address) {
        const auto at = tq8::ClockGenPlacement(address);
        uint8_t value = 0;
        if (at && registers.ReadClockGen(0, address, *at, value) == 0)
            Send(chip, address, value);
    }
    Update(chip);
    EXPECT_GT(chip.OutputMHz(0), 0.0);
    for (int divider = 0; divider < tq8::kClockGenOutputs; ++divider)
        EXPECT_DOUBLE_EQ(registers.ClockGenOutputMHz(0, divider), chip.OutputMHz(divider)) << divider;
}

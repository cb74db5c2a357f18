#include <gtest/gtest.h>

#include "CBoardRegisters.h"
#include "DeviceRegisterCodec.h"
#include "TQ8Codes.h"

using namespace tq8;

namespace {
BoardDescription Board()
{
    BoardDescription d;
    d.serial = 7;
    return d;
}
} // namespace

TEST(DeviceRegisterCodec, WholeMemoryRegionsRoundTrip)
{
    // Four channels fill both SDRAMs: 2^31 positions, starts beyond 2^30.
    const BoardDescription desc = Board();
    CBoardSettings s(desc);
    ASSERT_EQ(s.SetMemoryRegion(0x80000000u, 0), TQ8_OK);
    ASSERT_EQ(s.GetUInt(SettingId::MemoryRegionCount), 0x80000000u);
    DeviceRegisterImage image{};
    EncodeSettings(s, image);
    CBoardSettings back(desc);
    ASSERT_EQ(DecodeRegister(image, 1, back), TQ8_OK);
    EXPECT_EQ(back.GetUInt(SettingId::MemoryRegionCount), 0x80000000u);

    ASSERT_EQ(s.SetMemoryRegion(128, 0x7FFFFF00u), TQ8_OK);
    EncodeSettings(s, image);
    ASSERT_EQ(DecodeRegister(image, 1, back), TQ8_OK);
    ASSERT_EQ(DecodeRegister(image, 2, back), TQ8_OK);
    EXPECT_EQ(back.GetUInt(SettingId::MemoryRegionStart), 0x7FFFFF00u);
    EXPECT_EQ(back.GetUInt(SettingId::MemoryRegionCount), 128u);
}

TEST(DeviceRegisterCodec, RegistersWithoutSettingsChangeNoSetting)
{
    const BoardDescription desc = Board();
    CBoardSettings s(desc);
    CBoardRegisters regs;
    ASSERT_EQ(regs.WriteDevice(7, 0xFFFFFFFF, 0x12345678, s), TQ8_OK);
    ASSERT_EQ(regs.WriteDevice(12, 0xFFFFFFFF, 1, s), TQ8_OK);
    uint32_t value = 0;
    ASSERT_EQ(regs.ReadDevice(7, s, LiveStatus{}, value), TQ8_OK);
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(MirroredBits(7), 0u);
    EXPECT_EQ(MirroredBits(12), 0u);
}

TEST(DeviceRegisterCodec, LiveWordsComeFromTheBoard)
{
    const BoardDescription desc = Board();
    CBoardSettings s(desc);
    CBoardRegisters regs;
    LiveStatus live;
    live.counter = 0x0000000100000002ull;
    live.samplesComplete = true;
    live.mode = TQ8_MODE_RAM_ACQ;
    uint32_t words[kDeviceRegSetWords] = {};
    ASSERT_EQ(regs.ReadSet(0, s, live, words), TQ8_OK);
    EXPECT_EQ(words[14], 1u);
    EXPECT_EQ(words[15], 2u);
    EXPECT_EQ(words[13] & 1u, 1u);
    EXPECT_EQ(words[11] & 0xFu, static_cast<uint32_t>(TQ8_MODE_RAM_ACQ));
    EXPECT_EQ(regs.ReadSet(5, s, live, words), TQ8_ERR_INVALID_ARG);
}

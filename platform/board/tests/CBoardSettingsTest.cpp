#include <gtest/gtest.h>

#include "CBoardSettings.h"
#include "TQ8Codes.h"

using namespace tq8;

namespace {
BoardDescription FourChannel()
{
    BoardDescription d;
    d.serial = 100;
    d.ramSize = 1u << 29;
    return d;
}

BoardDescription TwoChannel()
{
    BoardDescription d = FourChannel();
    d.revision = 1;
    return d;
}
} // namespace

TEST(CBoardSettings, DefaultsFollowTheModel)
{
    EXPECT_EQ(CBoardSettings(FourChannel()).GetInt(SettingId::ActiveChannels), 0);
    EXPECT_EQ(CBoardSettings(TwoChannel()).GetInt(SettingId::ActiveChannels), 1);
    CBoardSettings s(FourChannel());
    EXPECT_EQ(s.GetInt(SettingId::DcOffsetCh3), 2048);
    EXPECT_EQ(s.GetInt(SettingId::TriggerLevelA), 128);
}

TEST(CBoardSettings, EnumeratedValuesOutOfRangeAreRefusedAndKept)
{
    CBoardSettings s(FourChannel());
    ASSERT_EQ(s.Set(SettingId::TriggerSource, 3), TQ8_OK);
    EXPECT_EQ(s.Set(SettingId::TriggerSource, 5), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Set(SettingId::TriggerSource, -1), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Set(SettingId::TriggerSource, 1.5), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.GetInt(SettingId::TriggerSource), 3);
    EXPECT_EQ(s.Set(SettingId::DigitalIoMode, 8), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Set(SettingId::ZabBoardNumber, 8), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Set(SettingId::TimestampMode, 4), TQ8_ERR_INVALID_ARG);
}

TEST(CBoardSettings, NumericValuesAreClipped)
{
    CBoardSettings s(FourChannel());
    EXPECT_EQ(s.Set(SettingId::PreTriggerSamples, 70000), TQ8_OK);
    EXPECT_EQ(s.GetUInt(SettingId::PreTriggerSamples), 65535u);
    EXPECT_EQ(s.Set(SettingId::TriggerDelaySamples, 1e9), TQ8_OK);
    EXPECT_EQ(s.GetUInt(SettingId::TriggerDelaySamples), 65535u);
    EXPECT_EQ(s.Set(SettingId::TriggerLevelA, 300), TQ8_OK);
    EXPECT_EQ(s.GetInt(SettingId::TriggerLevelA), 255);
    EXPECT_EQ(s.Set(SettingId::TriggerLevelB, -4), TQ8_OK);
    EXPECT_EQ(s.GetInt(SettingId::TriggerLevelB), 0);
    EXPECT_EQ(s.Set(SettingId::DcOffsetCh2, 5000), TQ8_OK);
    EXPECT_EQ(s.GetInt(SettingId::DcOffsetCh2), 4095);
    EXPECT_EQ(s.Set(SettingId::SegmentSize, 4e9), TQ8_OK);
    EXPECT_EQ(s.GetUInt(SettingId::SegmentSize), 1u << 29);
}

TEST(CBoardSettings, RateRangeDependsOnInterleaving)
{
    CBoardSettings s(FourChannel());
    EXPECT_EQ(s.Set(SettingId::InternalAdcClockRate, 199.4), TQ8_ERR_RATE_TOO_LOW);
    EXPECT_EQ(s.Set(SettingId::InternalAdcClockRate, 1500.6), TQ8_ERR_RATE_TOO_HIGH);
    EXPECT_EQ(s.Get(SettingId::InternalAdcClockRate), 1500.0);
    EXPECT_EQ(s.Set(SettingId::InternalAdcClockRate, 333.3), TQ8_OK);
    EXPECT_EQ(s.Get(SettingId::InternalAdcClockRate), 333.0); // realigned to the 1 MHz grid
    // Interleaving raises the floor and lifts a rate below it.
    ASSERT_EQ(s.Set(SettingId::ActiveChannels, 9), TQ8_OK);
    EXPECT_EQ(s.Get(SettingId::InternalAdcClockRate), 500.0);
    EXPECT_EQ(s.Set(SettingId::InternalAdcClockRate, 400), TQ8_ERR_RATE_TOO_LOW);
    EXPECT_EQ(s.EffectiveRateMHz(), 1000.0);
}

TEST(CBoardSettings, TwoChannelModelAcceptsItsSelectionsOnly)
{
    CBoardSettings s(TwoChannel());
    for (int sel : {0, 2, 3, 4, 7, 8, 9, 11})
        EXPECT_EQ(s.Set(SettingId::ActiveChannels, sel), TQ8_ERR_INVALID_ARG) << sel;
    for (int sel : {1, 5, 6, 10})
        EXPECT_EQ(s.Set(SettingId::ActiveChannels, sel), TQ8_OK) << sel;
}

TEST(CBoardSettings, Sdram2RouteOnlyWithItsSelections)
{
    CBoardSettings s(FourChannel());
    ASSERT_EQ(s.Set(SettingId::RouteToSdram2Enable, 1), TQ8_OK);
    ASSERT_EQ(s.Set(SettingId::ActiveChannels, 1), TQ8_OK);
    EXPECT_EQ(s.GetInt(SettingId::RouteToSdram2Enable), 0);
    EXPECT_EQ(s.Set(SettingId::RouteToSdram2Enable, 1), TQ8_ERR_INVALID_ARG);
}

TEST(CBoardSettings, MemoryRegionIsAlignedAndClipped)
{
    CBoardSettings s(FourChannel());
    ASSERT_EQ(s.SetMemoryRegion(1000, 33), TQ8_OK);
    EXPECT_EQ(s.GetUInt(SettingId::MemoryRegionStart), 32u);
    EXPECT_EQ(s.GetUInt(SettingId::MemoryRegionCount), 1024u);
    // Selection 0 uses both SDRAMs: the whole RAM.
    EXPECT_EQ(s.MaxSamples(0), 1u << 29);
    EXPECT_EQ(s.MaxSamples(5), 1u << 28);
    ASSERT_EQ(s.SetMemoryRegion(0xFFFFFFFFu, 0x1000), TQ8_OK);
    EXPECT_EQ(s.GetUInt(SettingId::MemoryRegionStart) + s.GetUInt(SettingId::MemoryRegionCount), 1u << 29);
    ASSERT_EQ(s.SetMemoryRegion(128, 0xFFFFFFF0u), TQ8_OK);
    EXPECT_LE(s.GetUInt(SettingId::MemoryRegionStart) + s.GetUInt(SettingId::MemoryRegionCount), 1u << 29);
    // A smaller selection shrinks the region with it.
    ASSERT_EQ(s.SetMemoryRegion(1u << 29, 0), TQ8_OK);
    ASSERT_EQ(s.Set(SettingId::ActiveChannels, 5), TQ8_OK);
    EXPECT_EQ(s.GetUInt(SettingId::MemoryRegionCount), 1u << 28);
}

TEST(CBoardSettings, ProcessingValuesAreChecked)
{
    CBoardSettings s(FourChannel());
    EXPECT_EQ(s.Set(SettingId::FftSize, 3000), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Set(SettingId::FftSize, 4096), TQ8_OK);
    EXPECT_EQ(s.Set(SettingId::FftSize, kFftMaxSize * 2), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Set(SettingId::DecimationFactor, 14), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Set(SettingId::NcoFrequency, 750), TQ8_OK);
    EXPECT_EQ(s.Set(SettingId::NcoFrequency, 751), TQ8_ERR_INVALID_ARG);
    std::vector<int16_t> taps(kFir1Taps, 7);
    EXPECT_EQ(s.LoadFir(FirBank::Fir1, taps.data(), taps.size()), TQ8_OK);
    EXPECT_EQ(s.LoadFir(FirBank::Fir2Ch1, taps.data(), taps.size()), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.Fir(FirBank::Fir1), taps);
}

TEST(CBoardSettings, CopyFromIsAllOrNothing)
{
    CBoardSettings four(FourChannel());
    ASSERT_EQ(four.Set(SettingId::TriggerLevelA, 77), TQ8_OK);
    CBoardSettings two(TwoChannel());
    ASSERT_EQ(two.Set(SettingId::TriggerLevelA, 12), TQ8_OK);
    // Selection 0 does not exist on the two-channel model.
    EXPECT_NE(two.CopyFrom(four), TQ8_OK);
    EXPECT_EQ(two.GetInt(SettingId::TriggerLevelA), 12);
    ASSERT_EQ(four.Set(SettingId::ActiveChannels, 5), TQ8_OK);
    EXPECT_EQ(two.CopyFrom(four), TQ8_OK);
    EXPECT_EQ(two.GetInt(SettingId::TriggerLevelA), 77);
}

TEST(CBoardSettings, ExternalClockWithDividersGivesTheAdcRate)
{
    CBoardSettings s(FourChannel());
    ASSERT_EQ(s.Set(SettingId::AdcClockSource, 1), TQ8_OK);
    ASSERT_EQ(s.Set(SettingId::ExternalClockRate, 2400), TQ8_OK);
    ASSERT_EQ(s.SetExtDividers(3, 2), TQ8_OK);
    EXPECT_DOUBLE_EQ(s.ActualAdcRateMHz(), 400.0);
    EXPECT_EQ(s.SetExtDividers(33, 1), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.SetExtDividers(1, 7), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(s.GetInt(SettingId::ExtClockDivider1), 3);
    EXPECT_EQ(s.Set(SettingId::ExternalClockRate, -1), TQ8_ERR_INVALID_ARG);
}

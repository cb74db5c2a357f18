#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

#include "EnumTexts.h"
#include "ValueFormat.h"

TEST(FormatVoltage, PicksTheUnitAndRoundsNearWholeValues)
{
    EXPECT_EQ(FormatVoltage(0.0, 0), L"0V");
    EXPECT_EQ(FormatVoltage(0.5, 0), L"500mV");
    EXPECT_EQ(FormatVoltage(-0.0012345, 0), L"-1.23mV");
    EXPECT_EQ(FormatVoltage(1.99999, 0), L"2V");
    EXPECT_EQ(FormatVoltage(0.99999, 0), L"999.99mV");
    EXPECT_EQ(FormatVoltage(2.5e-9, 0), L"2.50nV");
    EXPECT_EQ(FormatVoltage(2.5e-6, kFormatMicroSign), L"2.50\u00b5V");
    EXPECT_EQ(FormatVoltage(2.5e-6, 0), L"2.50uV");
    EXPECT_EQ(FormatVoltage(-3, 0), L"-3V");
}

TEST(FormatTime, StepsWhileBelowTheThreshold)
{
    EXPECT_EQ(FormatTime(0.0025, kFormatMicroSign, 1.0), L"2.50ms");
    EXPECT_EQ(FormatTime(5e-7, kFormatMicroSign, 1.0), L"500ns");
    EXPECT_EQ(FormatTime(50, kFormatMicroSign, 100.0), L"50000ms");
    EXPECT_EQ(FormatTime(0, 0, 1.0), L"0s");
    EXPECT_EQ(FormatTime(3e-6, 0, 1.0), L"3us");
}

TEST(FormatSampleCount, BoundariesAreStrict)
{
    EXPECT_EQ(FormatSampleCount(1024), L"1.02 KS");
    EXPECT_EQ(FormatSampleCount(1000), L"1000.00 samples");
    EXPECT_EQ(FormatSampleCount(1000000), L"1000.00 KS");
    EXPECT_EQ(FormatSampleCount(1000001), L"1.00 MS");
    EXPECT_EQ(FormatSampleCount(2e9), L"2.00 GS");
    EXPECT_EQ(FormatSampleCount(3e12 + 1), L"3.00 TS");
}

TEST(FormatFrequency, UnitsAndWholeValues)
{
    EXPECT_EQ(FormatFrequencyMHz(1500), L"1.500 GHz");
    EXPECT_EQ(FormatFrequencyMHz(0.5), L"500 kHz");
    EXPECT_EQ(FormatFrequencyMHz(250), L"250 MHz");
    EXPECT_EQ(FormatFrequencyMHz(0.0005), L"500 Hz");
    EXPECT_EQ(FormatFrequencyMHz(2000), L"2 GHz");
    EXPECT_EQ(FormatVoltageRange(0.5), L"500 mVp-p");
    EXPECT_EQ(FormatVoltageRange(1.25), L"1.250 Vp-p");
    EXPECT_EQ(FormatVoltageRange(2), L"2 Vp-p");
    // A whole value beyond 32 bits is not forced through a 32-bit integer.
    EXPECT_EQ(FormatFrequencyMHz(1e13), L"10000000000.000 GHz");
}

TEST(ScaleToUnitPrefix, DecimalAndBinaryAtMostFourSteps)
{
    double v = 1536;
    std::wstring prefix;
    ScaleToUnitPrefix(v, prefix, true);
    EXPECT_EQ(prefix, L"Ki");
    EXPECT_DOUBLE_EQ(v, 1.5);
    v = 999;
    ScaleToUnitPrefix(v, prefix, false);
    EXPECT_EQ(prefix, L"");
    v = 5e15;
    ScaleToUnitPrefix(v, prefix, false);
    EXPECT_EQ(prefix, L"T");
    EXPECT_DOUBLE_EQ(v, 5000);
}

TEST(ThousandsSeparator, CommaWhenTheLocaleHasNone)
{
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(FormatWithThousandsSeparator(1234567), L"1,234,567");
    EXPECT_EQ(FormatWithThousandsSeparator(123456), L"123,456");
    EXPECT_EQ(FormatWithThousandsSeparator(999), L"999");
    EXPECT_EQ(FormatWithThousandsSeparator(0), L"0");
    EXPECT_EQ(FormatWithThousandsSeparator(18446744073709551615ull), L"18,446,744,073,709,551,615");
}

TEST(Versions, DottedForms)
{
    std::wstring text;
    FormatVersion32(0x01020304, text);
    EXPECT_EQ(text, L"1.2.3.4");
    FormatVersion64(0x0001000200030004ull, text);
    EXPECT_EQ(text, L"1.2.3.4");
    FormatVersion64(0xFFFF000000000000ull, text);
    EXPECT_EQ(text, L"65535.0.0.0");
    FormatCustomFirmwareId(0, text);
    EXPECT_EQ(text, L"Non-custom");
    FormatCustomFirmwareId(0xFFFF, text);
    EXPECT_EQ(text, L"Non-specific");
    FormatCustomFirmwareId(17, text);
    EXPECT_EQ(text, L"17");
}

namespace {
TQ8_RECORDED_DATA_INFO Info()
{
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    info.channelCount = 2;
    info.bytesPerSample = 1;
    info.samplingRateMHz = 1000;
    info.inputRangeVpp = 1.0;
    return info;
}
} // namespace

TEST(RecordedData, SampleTimeWithTriggerOffset)
{
    auto info = Info();
    double t = 0;
    ASSERT_TRUE(SampleIndexToTime(1000, info, t));
    EXPECT_DOUBLE_EQ(t, 1e-6);
    info.triggerOffset = 501; // 250 frames over two channels
    info.preTrigger = 1;
    ASSERT_TRUE(SampleIndexToTime(1000, info, t));
    EXPECT_NEAR(t, 1e-6 - 250e-9, 1e-15);
    info.preTrigger = 0;
    ASSERT_TRUE(SampleIndexToTime(1000, info, t));
    EXPECT_NEAR(t, 1e-6 + 250e-9, 1e-15);
    info.samplingRateMHz = 0;
    t = 42;
    EXPECT_FALSE(SampleIndexToTime(1, info, t));
    EXPECT_EQ(t, 42);
}

TEST(RecordedData, VoltsFromCodes)
{
    auto info = Info();
    double v = 0;
    ASSERT_TRUE(SampleValueToVolts(0, info, v));
    EXPECT_DOUBLE_EQ(v, -0.5);
    ASSERT_TRUE(SampleValueToVolts(255, info, v));
    EXPECT_DOUBLE_EQ(v, 0.5);
    ASSERT_TRUE(SampleValueToVolts(127.5, info, v));
    EXPECT_EQ(v, 0.0); // below a millivolt is exactly zero
    info.isSigned = 1;
    EXPECT_FALSE(SampleValueToVolts(1, info, v));
}

TEST(RecordedData, ThirtyTwoBitSamplesUseTheFullScale)
{
    auto info = Info();
    info.bytesPerSample = 4;
    double v = 0;
    ASSERT_TRUE(SampleValueToVolts(4294967295.0, info, v));
    EXPECT_DOUBLE_EQ(v, 0.5);
    info.bitsPerSample = 33;
    EXPECT_FALSE(SampleValueToVolts(1, info, v));
    info.bitsPerSample = 0;
    info.bytesPerSample = 8;
    EXPECT_FALSE(SampleValueToVolts(1, info, v));
    info.bytesPerSample = 0;
    EXPECT_FALSE(SampleValueToVolts(1, info, v));
}

TEST(RecordedData, BoardNameNeedNotBeTerminated)
{
    auto info = Info();
    std::memset(info.boardName, 'A', sizeof info.boardName);
    EXPECT_EQ(RecordedBoardName(info), std::string(16, 'A'));
    std::strcpy(info.boardName, "TQ3300");
    EXPECT_EQ(RecordedBoardName(info), "TQ3300");
}

TEST(XmlEscapeWide, EscapesAndConverts)
{
    EXPECT_EQ(XmlEscapeWide(nullptr), "");
    EXPECT_EQ(XmlEscapeWide(L"a<b & \u00e9"), "a&lt;b &amp; \xc3\xa9");
}

TEST(EnumTexts, KnownAndUnknownValues)
{
    EXPECT_STREQ(OperatingModeToText(9), L"PCI write to TQ3300 RAM");
    EXPECT_STREQ(OperatingModeToText(10), L"<Unknown>");
    EXPECT_STREQ(OperatingModeToText(-1), L"<Unknown>");
    EXPECT_STREQ(DigitalIoModeToText(2), L"OUT: ADC clock \u00f7 8");
    EXPECT_STREQ(ActiveChannelsToText(11), L"Single channel (Ch 3) ADC Interleaved");
    EXPECT_STREQ(ActiveChannelsToText(12), L"<Unknown>");
    EXPECT_STREQ(TriggerSourceToText(4), L"External");
    EXPECT_STREQ(MasterSlaveConfigToText(3), L"Slave #2");
    EXPECT_STREQ(TriggerModeToText(2), L"<Unknown>");
    EXPECT_STREQ(ZabClockToText(1), L"62.5 MHz");
}

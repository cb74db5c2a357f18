#include <gtest/gtest.h>

#include "RecordedDataTexts.h"

TEST(RecordedDataTexts, LengthInSamplesWithBinaryFigureAndDuration)
{
    EXPECT_EQ(FormatRecordedDataLength(3000000, 2, 250, 1), L"1500000 samples (1.43 MiS), 6.000 ms");
    EXPECT_EQ(FormatRecordedDataLength(2048, 2, 0, 1), L"1024 samples");
    EXPECT_EQ(FormatRecordedDataLength(2050, 2, 0, 1), L"1025 samples (1.00 KiS)");
}

TEST(RecordedDataTexts, DurationIsOfTheFramesOfAllChannels)
{
    // Four channels at 1.5 GHz each: a frame of four samples per clock.
    EXPECT_EQ(FormatRecordedDataLength(4194304, 1, 1500, 4), L"4194304 samples (4.00 MiS), 699.051 \u03BCs");
    EXPECT_EQ(FormatRecordedDataLength(4194304, 1, 1500, 1), L"4194304 samples (4.00 MiS), 2.796 ms");
    // An unknown count counts each sample as a frame.
    EXPECT_EQ(FormatRecordedDataLength(4194304, 1, 1500, 0), L"4194304 samples (4.00 MiS), 2.796 ms");
}

TEST(RecordedDataTexts, LengthInBytesWithoutSampleSize)
{
    EXPECT_EQ(FormatRecordedDataLength(500, 0, 250, 4), L"500 bytes");
    EXPECT_EQ(FormatRecordedDataLength(3u << 20, 0, 250, 1), L"3145728 bytes (3.00 MiB)");
}

TEST(RecordedDataTexts, DurationSteps)
{
    EXPECT_EQ(FormatRecordedDuration(3600), L"1:00:00");
    EXPECT_EQ(FormatRecordedDuration(59.5), L"59.500 seconds");
    EXPECT_EQ(FormatRecordedDuration(61), L"0:01:01");
    EXPECT_EQ(FormatRecordedDuration(3725.9), L"1:02:05");
    EXPECT_EQ(FormatRecordedDuration(0.0005), L"500.000 \u03BCs");
    EXPECT_EQ(FormatRecordedDuration(0.25), L"250.000 ms");
}

TEST(RecordedDataTexts, RateUnitsAndSampleSize)
{
    EXPECT_EQ(FormatRecordedRate(250), L"250.0000 MHz");
    EXPECT_EQ(FormatRecordedRate(0.5), L"500.0000 kHz");
    EXPECT_EQ(FormatRecordedRate(0.0000025), L"2.5000 Hz");
    EXPECT_EQ(FormatRecordedSampleSize(2, 12), L"2 bytes (12 bits)");
    EXPECT_EQ(FormatRecordedSampleSize(1, 8), L"1 byte");
    EXPECT_EQ(FormatRecordedSampleSize(2, 16), L"2 bytes");
}

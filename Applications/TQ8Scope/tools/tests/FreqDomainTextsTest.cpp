#include <gtest/gtest.h>

#include "FreqDomainTexts.h"

using namespace freqtext;

TEST(FreqDomainTexts, AxisLabelsInMegahertz)
{
    std::wstring text;
    ASSERT_EQ(AxisLabel(1024, 8192, 1600.0, text), S_OK);
    EXPECT_EQ(text, L"200 MHz");
    ASSERT_EQ(AxisLabel(1, 8192, 1600.0, text), S_OK);
    EXPECT_EQ(text, L"0.20 MHz");
    EXPECT_EQ(AxisLabel(1, 0, 1600.0, text), E_NOTIMPL);
    EXPECT_EQ(AxisLabel(1, 8192, 0.0, text), E_NOTIMPL);
}

TEST(FreqDomainTexts, SpanLabelKeepsItsSign)
{
    std::wstring text;
    ASSERT_EQ(SpanLabel(100, 612, 8192, 1600.0, text), S_OK);
    EXPECT_EQ(text, L"(\u0394 100.00 MHz)");
    ASSERT_EQ(SpanLabel(612, 100, 8192, 1600.0, text), S_OK);
    EXPECT_EQ(text, L"(\u0394 -100.00 MHz)");
    EXPECT_EQ(SpanLabel(0, 1, 8192, 0.0, text), E_NOTIMPL);
}

TEST(FreqDomainTexts, SignedMinimumIsPrintedSigned)
{
    EXPECT_EQ(MinMaxText(-2048.7, 2047.9, true), L"-2048, 2047");
    EXPECT_EQ(MinMaxText(3.9, 250.2, false), L"3, 250");
}

TEST(FreqDomainTexts, HeaderClicksFlipOrChangeTheColumn)
{
    int32_t sort = 0;
    sort = SortAfterClick(sort, kSortPower);
    EXPECT_EQ(static_cast<uint32_t>(sort), kSortReversed);
    sort = SortAfterClick(sort, kSortPower);
    EXPECT_EQ(sort, 0);
    sort = SortAfterClick(static_cast<int32_t>(kSortReversed), kSortBin);
    EXPECT_EQ(sort, kSortBin);
}

TEST(FreqDomainTexts, RowsLessThanOneApartCompareEqual)
{
    // Levels -3.4, -3.1 and -3.9 lie within 1 dB of each other: they keep
    // their list order; -1.2 is more than 1 dB above them all.
    std::vector<FftPeak> peaks = {{10, -3.4, 1.0}, {30, -3.1, 3.0}, {20, -3.9, 2.0}, {40, -1.2, 4.0}};
    EXPECT_EQ(SortedPeakRows(peaks, kSortPower), (std::vector<int>{3, 0, 1, 2}));
    EXPECT_EQ(SortedPeakRows(peaks, static_cast<int32_t>(kSortReversed)), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(SortedPeakRows(peaks, kSortBin), (std::vector<int>{3, 1, 2, 0}));
    EXPECT_EQ(SortedPeakRows(peaks, kSortFreq | static_cast<int32_t>(kSortReversed)), (std::vector<int>{0, 2, 1, 3}));
}

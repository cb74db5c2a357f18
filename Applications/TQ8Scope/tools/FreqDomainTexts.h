#pragma once
// Texts and peak-list ordering of the spectrum window, kept apart from its
// widgets.
#include <cstdint>
#include <string>
#include <vector>

#include "ComTypes.h"
#include "FftResults.h"

namespace freqtext {
constexpr int32_t kSortColumnMask = 0xFFFFFF;
constexpr uint32_t kSortReversed = 0x80000000u;
enum SortColumn : int32_t { kSortPower = 0, kSortFreq = 1, kSortBin = 2 };

// Frequency of bin x: "%0.2f MHz", or "%d MHz" for a whole number.
// E_NOTIMPL while the rate or the size is 0.
HRESULT AxisLabel(uint64_t x, uint32_t fftSize, double rateMHz, std::wstring& out);
// "(Δ %0.2f MHz)" of the span x1 .. x2; E_NOTIMPL while rate or size is 0.
HRESULT SpanLabel(uint64_t x1, uint64_t x2, uint32_t fftSize, double rateMHz, std::wstring& out);
// Why a source's block could not be read: the source's own text when it
// gives one, else the text the plot gives for a source that fails.
std::wstring ReadFailureText(uint32_t srcId, HRESULT hr, const std::wstring& sourceText);
// Why a block gave no figures, from its analysis: no signal, noise or spur
// power, or a noise margin of percent % that left no bin for the noise.
std::wstring NoFiguresText(const FftAnalysis& analysis, double percent);
// The tab's line when a new block gave nothing: the reason alone while
// nothing was shown yet, else that what is shown is of the last good block.
std::wstring StaleNote(bool shownBefore, const std::wstring& reason);
// "%d, %d" for signed samples, "%u, %u" otherwise, each truncated.
std::wstring MinMaxText(double minimum, double maximum, bool signedSamples);
// The sort value after a click on a column header.
int32_t SortAfterClick(int32_t sort, int32_t column);
// Row order (indexes into peaks) for the sort value: descending by the
// column's value, ascending with the reversed bit; rows whose values differ
// by less than 1 compare equal and keep their list order.
std::vector<int> SortedPeakRows(const std::vector<FftPeak>& peaks, int32_t sort);
} // namespace freqtext

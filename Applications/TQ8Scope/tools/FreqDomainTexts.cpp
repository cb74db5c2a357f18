#include "FreqDomainTexts.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <numeric>

namespace freqtext {
namespace {
std::wstring Format(const wchar_t* format, double value)
{
    wchar_t buffer[64];
    std::swprintf(buffer, 64, format, value);
    return buffer;
}

double SortKey(const FftPeak& peak, int32_t column)
{
    switch (column) {
    case kSortFreq: return peak.frequency;
    case kSortBin: return peak.bin;
    default: return peak.level;
    }
}
} // namespace

std::wstring ReadFailureText(uint32_t srcId, HRESULT hr, const std::wstring& sourceText)
{
    if (!sourceText.empty())
        return sourceText;
    wchar_t buffer[96];
    std::swprintf(buffer, 96, L"Failed to obtain data for data source %u (HRESULT=0x%08X)", srcId,
                  static_cast<uint32_t>(hr));
    return buffer;
}

HRESULT AxisLabel(uint64_t x, uint32_t fftSize, double rateMHz, std::wstring& out)
{
    if (fftSize == 0 || rateMHz == 0.0)
        return E_NOTIMPL;
    const double f = static_cast<double>(x) / fftSize * rateMHz;
    if (f != std::trunc(f)) {
        out = Format(L"%0.2f MHz", f);
        return S_OK;
    }
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%lld MHz", static_cast<long long>(f));
    out = buffer;
    return S_OK;
}

HRESULT SpanLabel(uint64_t x1, uint64_t x2, uint32_t fftSize, double rateMHz, std::wstring& out)
{
    if (fftSize == 0 || rateMHz == 0.0)
        return E_NOTIMPL;
    // Signed, so that a span dragged leftwards reads negative.
    const double span = static_cast<double>(static_cast<int64_t>(x2 - x1));
    out = Format(L"(\u0394 %0.2f MHz)", span / fftSize * rateMHz);
    return S_OK;
}

std::wstring NoFiguresText(const FftAnalysis& analysis, double percent)
{
    if (!(analysis.signal > 0.0))
        return L"The block holds no signal power.";
    if (!(analysis.noiseBins > 0.0) && percent != 0.0)
        return L"The noise margin of " + Format(L"%g", percent) +
               L" % of the fundamental frequency leaves no bin for the noise.";
    if (!(analysis.noise > 0.0) || !(analysis.noiseBins > 0.0))
        return L"The block holds no noise power.";
    return L"The block holds no spur power.";
}

std::wstring StaleNote(bool shownBefore, const std::wstring& reason)
{
    if (!shownBefore)
        return reason;
    return L"Trace, figures and peaks are those of the last good block; the new one gave none. " + reason;
}

std::wstring MinMaxText(double minimum, double maximum, bool signedSamples)
{
    wchar_t buffer[96];
    if (signedSamples)
        std::swprintf(buffer, 96, L"%lld, %lld", static_cast<long long>(minimum), static_cast<long long>(maximum));
    else
        std::swprintf(buffer, 96, L"%llu, %llu", static_cast<unsigned long long>(std::max(minimum, 0.0)),
                      static_cast<unsigned long long>(std::max(maximum, 0.0)));
    return buffer;
}

int32_t SortAfterClick(int32_t sort, int32_t column)
{
    if ((sort & kSortColumnMask) == column)
        return static_cast<int32_t>(static_cast<uint32_t>(sort) ^ kSortReversed);
    return column & kSortColumnMask;
}

std::vector<int> SortedPeakRows(const std::vector<FftPeak>& peaks, int32_t sort)
{
    std::vector<int> rows(peaks.size());
    std::iota(rows.begin(), rows.end(), 0);
    const int32_t column = sort & kSortColumnMask;
    const bool ascending = static_cast<uint32_t>(sort) & kSortReversed;
    // Whole units of (second - first): rows less than 1 apart compare equal.
    const auto compare = [&](int first, int second) {
        const double difference = std::trunc(SortKey(peaks[second], column) - SortKey(peaks[first], column));
        return ascending ? -difference : difference;
    };
    // Such an order is not transitive, which the standard sorts require; an
    // insertion sort needs no more than each pair's answer, and keeps the
    // list order of rows that compare equal.
    for (size_t i = 1; i < rows.size(); ++i)
        for (size_t j = i; j > 0 && compare(rows[j - 1], rows[j]) > 0; --j)
            std::swap(rows[j - 1], rows[j]);
    return rows;
}
} // namespace freqtext

#include "SpectrumAnalysis.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFirstAnalysedBin = 4;
constexpr int kHarmonicHalfWidth = 4;
constexpr int kSpurHalfWidth = 4;
constexpr int kPeakHalfWidth = 4;

// Floors and cap of the ratios, in the single precision the levels have
// always been computed with.
const double kRatioFloor = static_cast<double>(0.001f);
const double kHarmonicFloor = static_cast<double>(1e-15f);
const double kSfdrCap = static_cast<double>(1e15f);
const double kPeakFloor = static_cast<double>(1e-9f);

enum class BinRole { Signal, Harmonic2, Harmonic3, Noise };

struct BinLayout {
    int fundamental = 0;
    int span = 0;
    int harmonic2 = 0;
    int harmonic3 = 0;

    BinRole RoleOf(int k) const
    {
        if (k > fundamental - span && k < fundamental + span)
            return BinRole::Signal;
        if (k > harmonic2 - kHarmonicHalfWidth && k < harmonic2 + kHarmonicHalfWidth)
            return BinRole::Harmonic2;
        if (k > harmonic3 - kHarmonicHalfWidth && k < harmonic3 + kHarmonicHalfWidth)
            return BinRole::Harmonic3;
        return BinRole::Noise;
    }
};

int FindFundamental(const double* power, int half)
{
    int bin = 0;
    double best = 0.0;
    for (int k = kFirstAnalysedBin; k < half; ++k) {
        if (power[k] > best) {
            best = power[k];
            bin = k;
        }
    }
    return bin;
}

// Harmonics above the Nyquist frequency fold back into the first zone.
BinLayout MakeLayout(int n, int fundamental)
{
    BinLayout layout;
    layout.fundamental = fundamental;
    layout.span = GetSignalBinSpan(n);
    layout.harmonic2 = fundamental < n / 4 ? 2 * fundamental : n - 2 * fundamental;
    if (fundamental < n / 6)
        layout.harmonic3 = 3 * fundamental;
    else if (fundamental <= n / 3)
        layout.harmonic3 = n - 3 * fundamental;
    else
        layout.harmonic3 = 3 * fundamental - n;
    return layout;
}

int FindSpur(const double* power, int half, const BinLayout& layout)
{
    const int f = layout.fundamental;
    const int span = layout.span;
    int k = f < span + kFirstAnalysedBin ? f + span : kFirstAnalysedBin;
    int bin = 0;
    double best = 0.0;
    for (; k < half; ++k) {
        if (k > f - span && k < f + span) {
            k = f + span - 1;
            continue;
        }
        if (power[k] > best) {
            best = power[k];
            bin = k;
        }
    }
    return bin;
}

double SpurPower(const double* power, int half, int spur)
{
    double sum = 0.0;
    for (int k = spur > 8 ? spur - 3 : kFirstAnalysedBin; k < spur + kSpurHalfWidth && k < half; ++k)
        sum += power[k];
    return sum;
}

// Bins beside the signal span, p percent of the fundamental frequency wide;
// 0 when there is nothing to exclude.
int ExclusionWidth(const FftAnalysis& a, int n, int half, double rate, double percent)
{
    if (percent == 0.0 || rate == 0.0 || a.signal <= 0.0)
        return 0;
    const double width = (percent / 100.0) * (a.fundamentalFraction * rate) / (rate / n);
    if (!(width >= 1.0))
        return 0; // also NaN
    return width >= half ? half : static_cast<int>(width);
}

bool IsExcluded(int k, const BinLayout& layout, int width, int half)
{
    const int low = std::max(layout.fundamental - layout.span - width, 0);
    const int lowEnd = layout.fundamental - layout.span; // exclusive
    const int high = layout.fundamental + layout.span;
    const int highEnd = std::min(layout.fundamental + layout.span + width, half); // exclusive
    return (k >= low && k < lowEnd) || (k >= high && k < highEnd);
}

double Db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

} // namespace

int GetSignalBinSpan(int n)
{
    if (n < 1024)
        return 5;
    if (n < 4096)
        return 9;
    if (n < 32768)
        return 17;
    return 21;
}

uint8_t GetFullScaleDbOffset(int n, int adcBits)
{
    if (n <= 0 || adcBits <= 0)
        return 0;
    static const uint8_t kTable[4][9] = {
        {80, 90, 90, 100, 100, 110, 110, 110, 110},
        {100, 110, 120, 120, 130, 130, 130, 130, 130},
        {120, 120, 130, 140, 140, 150, 150, 150, 150},
        {123, 129, 135, 141, 147, 153, 159, 165, 171},
    };
    const int row = adcBits <= 8 ? 0 : adcBits <= 12 ? 1 : adcBits <= 14 ? 2 : 3;
    int column = 8;
    for (int c = 0, size = 256; c < 8; ++c, size *= 2) {
        if (n == size) {
            column = c;
            break;
        }
    }
    return kTable[row][column];
}

bool ComparePeaksByLevel(const FftPeak& a, const FftPeak& b)
{
    if (a.bin == -1)
        return false;
    if (b.bin == -1)
        return true;
    return a.level > b.level;
}

int AnalyzeSpectrum(int n, const double* power, FftAnalysis* out, double rate, double exclusionPercent)
{
    if (n < 256 || n > 65536)
        return -1;
    if (!power || !out)
        return -2;
    const int half = n / 2;
    const BinLayout layout = MakeLayout(n, FindFundamental(power, half));
    const int spur = FindSpur(power, half, layout);

    FftAnalysis a;
    a.spur = SpurPower(power, half, spur);
    a.total = power[0] + power[1] + power[2] + power[3];
    for (int k = kFirstAnalysedBin; k < half; ++k) {
        const double p = power[k];
        switch (layout.RoleOf(k)) {
        case BinRole::Signal:
            a.signal += p;
            a.moment += k * p;
            break;
        case BinRole::Harmonic2:
            a.harmonic2 += p;
            break;
        case BinRole::Harmonic3:
            a.harmonic3 += p;
            break;
        case BinRole::Noise:
            a.noise += p;
            a.noiseBins += 1.0;
            break;
        }
        a.total += p;
    }
    // Without signal power there is no centre to speak of.
    a.fundamentalFraction = a.signal > 0.0 ? a.moment / (a.signal * n) : 0.0;
    a.fundamentalBin = layout.fundamental;

    // The excluded band only ever removes noise bins; summing the rest again
    // keeps the noise from going negative through cancellation.
    const int width = ExclusionWidth(a, n, half, rate, exclusionPercent);
    if (width > 0) {
        a.noise = 0.0;
        a.noiseBins = 0.0;
        for (int k = kFirstAnalysedBin; k < half; ++k) {
            if (layout.RoleOf(k) == BinRole::Noise && !IsExcluded(k, layout, width, half)) {
                a.noise += power[k];
                a.noiseBins += 1.0;
            }
        }
    }
    *out = a;
    return 0;
}

int MetricsFromAnalysis(const FftAnalysis& a, int n, double rate, FftMetrics& out)
{
    if (!(a.signal > 0.0) || !(a.noise > 0.0) || !(a.spur > 0.0) || !(a.noiseBins > 0.0))
        return -2;
    const double s = a.signal;
    out.snr = Db(std::max(s / a.noise, kRatioFloor));
    out.sinad = Db(std::max(s / (a.noise + a.harmonic2 + a.harmonic3), kRatioFloor));
    out.sfdr = Db(std::min(s / a.spur, kSfdrCap));
    out.thd = Db(std::max((a.harmonic2 + a.harmonic3) / s, kHarmonicFloor));
    out.harmonic2 = Db(std::max(a.harmonic2 / s, kHarmonicFloor));
    out.harmonic3 = Db(std::max(a.harmonic3 / s, kHarmonicFloor));
    out.fundamental = a.fundamentalFraction * rate;
    out.rate = rate;
    out.fftSize = n;
    out.rmsNoiseCounts = std::sqrt(2.0 * a.noise) / (2.0 * a.noiseBins);
    out.rmsTotalCounts = std::sqrt(2.0 * a.total) / n;
    return 0;
}

void FindSpectrumPeaks(const double* power, int n, FftPeak* peaks, int count)
{
    if (!peaks || count <= 0)
        return;
    std::fill(peaks, peaks + count, FftPeak{});
    if (!power)
        return;
    const int half = n / 2;
    // peaks[0 .. filled) stays sorted by falling level; a new maximum goes
    // behind the equal ones and pushes the smallest out of a full list.
    int filled = 0;
    const auto higher = [](const FftPeak& a, const FftPeak& b) { return a.level > b.level; };
    for (int c = 9; c + 1 < half; ++c) {
        const double level = power[c];
        if (!(level > power[c - 1] && level > power[c + 1]))
            continue;
        if (filled == count && !(level > peaks[count - 1].level))
            continue;
        const FftPeak candidate{c, level, 0.0};
        const int pos = static_cast<int>(std::upper_bound(peaks, peaks + filled, candidate, higher) - peaks);
        const int last = filled < count ? filled : count - 1;
        std::copy_backward(peaks + pos, peaks + last, peaks + last + 1);
        peaks[pos] = candidate;
        filled = last + 1;
    }
    bool first = true;
    for (int i = 0; i < count; ++i) {
        if (peaks[i].bin == -1)
            continue;
        const int width = first ? GetSignalBinSpan(n) : kPeakHalfWidth;
        first = false;
        double sum = 0.0;
        for (int k = std::max(peaks[i].bin - width, 0); k <= std::min(peaks[i].bin + width, half - 1); ++k)
            sum += power[k];
        peaks[i].level = sum;
    }
}

void ConvertPeaksToDbfs(FftPeak* peaks, int count, int n, int adcBits, double rate)
{
    if (!peaks || n <= 0)
        return;
    const double offset = GetFullScaleDbOffset(n, adcBits);
    for (int i = 0; i < count; ++i) {
        if (peaks[i].bin == -1)
            continue;
        peaks[i].frequency = static_cast<double>(peaks[i].bin) / n * rate;
        peaks[i].level = Db(std::max(peaks[i].level, kPeakFloor)) - offset;
    }
}

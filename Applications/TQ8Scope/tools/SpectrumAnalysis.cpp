#include "SpectrumAnalysis.h"

#include "VectorClones.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
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

// The largest value of power[lo .. hi), in independent lanes (a maximum
// does not depend on the order it is taken in); 0 for none. A NaN is never
// taken, as in a plain comparison.
__attribute__((always_inline)) inline double LargestPower(const double* power, int lo, int hi)
{
    V4 m0 = {}, m1 = {};
    int k = lo;
    for (; k + 8 <= hi; k += 8) {
        const V4 a = Load4(power + k), b = Load4(power + k + 4);
        m0 = a > m0 ? a : m0;
        m1 = b > m1 ? b : m1;
    }
    m0 = m1 > m0 ? m1 : m0;
    double best = 0.0;
    for (int j = 0; j < 4; ++j)
        best = m0[j] > best ? m0[j] : best;
    for (; k < hi; ++k)
        best = power[k] > best ? power[k] : best;
    return best;
}

struct BinPower {
    int bin = -1; // -1: no power above 0
    double power = 0.0;
};

// The largest power above 0 in lo .. hi-1 and the lowest bin holding it,
// in one pass: block by block, and the bin looked for in the first block
// that reached the maximum.
FFT_KERNEL BinPower LargestBin(const double* power, int lo, int hi)
{
    constexpr int kBlock = 64;
    BinPower best;
    int from = -1;
    for (int k = lo; k < hi; k += kBlock) {
        const double m = LargestPower(power, k, std::min(k + kBlock, hi));
        if (m > best.power) {
            best.power = m;
            from = k;
        }
    }
    if (from < 0)
        return best;
    best.bin = from;
    while (power[best.bin] != best.power)
        ++best.bin;
    return best;
}

// Sum of power[lo .. hi) in sixteen independent lanes, so that the adds
// do not wait on each other; the rounding differs from a running sum only
// in the last bits.
FFT_KERNEL double SumPowers(const double* power, int lo, int hi)
{
    double lane[16] = {};
    int k = lo;
    for (; k + 16 <= hi; k += 16)
        for (int j = 0; j < 16; ++j)
            lane[j] += power[k + j];
    for (; k < hi; ++k)
        lane[0] += power[k];
    for (int width = 8; width >= 1; width /= 2)
        for (int j = 0; j < width; ++j)
            lane[j] += lane[j + width];
    return lane[0];
}

// The lowest bin of the largest power above 0 (bin 0 when there is none).
int FindFundamental(const double* power, int half)
{
    const BinPower best = LargestBin(power, kFirstAnalysedBin, half);
    return best.bin >= 0 ? best.bin : 0;
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

// The largest bin outside the signal span (lowest of equals; 0 for none).
int FindSpur(const double* power, int half, const BinLayout& layout)
{
    const int f = layout.fundamental;
    const int span = layout.span;
    const int start = f < span + kFirstAnalysedBin ? f + span : kFirstAnalysedBin;
    // Below the span: start .. f-span; above it: f+span .. half-1.
    const int lowEnd = std::clamp(f - span + 1, start, std::max(start, half));
    const int highStart = std::max(start, f + span);
    const BinPower low = LargestBin(power, start, lowEnd);
    const BinPower high = LargestBin(power, highStart, half);
    if (low.bin >= 0 && !(high.power > low.power))
        return low.bin;
    return high.bin >= 0 ? high.bin : 0;
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

// Below the signal span the band ends at f-span-1, so bin f-span stays in
// the noise; above it the band starts at f+span.
bool IsExcluded(int k, const BinLayout& layout, int width, int half)
{
    const int low = std::max(layout.fundamental - layout.span - width, 0);
    const int lowEnd = layout.fundamental - layout.span; // exclusive
    const int high = layout.fundamental + layout.span;
    const int highEnd = std::min(layout.fundamental + layout.span + width, half); // exclusive
    return (k >= low && k < lowEnd) || (k >= high && k < highEnd);
}

// Every bin where a role may begin, in rising order, ending with half.
std::array<int, 7> RoleBoundaries(const BinLayout& layout, int half)
{
    const int f = layout.fundamental;
    std::array<int, 7> b = {f - layout.span + 1,
                            f + layout.span,
                            layout.harmonic2 - kHarmonicHalfWidth + 1,
                            layout.harmonic2 + kHarmonicHalfWidth,
                            layout.harmonic3 - kHarmonicHalfWidth + 1,
                            layout.harmonic3 + kHarmonicHalfWidth,
                            half};
    for (int& v : b)
        v = std::clamp(v, kFirstAnalysedBin, half);
    std::sort(b.begin(), b.end());
    return b;
}

// Bins lo .. hi-1, all of one role.
void SumRun(const double* power, int lo, int hi, BinRole role, FftAnalysis& a)
{
    double total = a.total;
    switch (role) {
    case BinRole::Signal:
        for (int k = lo; k < hi; ++k) {
            a.signal += power[k];
            a.moment += k * power[k];
            total += power[k];
        }
        break;
    case BinRole::Harmonic2:
        for (int k = lo; k < hi; ++k) {
            a.harmonic2 += power[k];
            total += power[k];
        }
        break;
    case BinRole::Harmonic3:
        for (int k = lo; k < hi; ++k) {
            a.harmonic3 += power[k];
            total += power[k];
        }
        break;
    case BinRole::Noise: {
        const double sum = SumPowers(power, lo, hi);
        a.noise += sum;
        total += sum;
        a.noiseBins += hi - lo;
        break;
    }
    }
    a.total = total;
}

double Db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

// The byte of a power by its top bits: binary exponent e (2^e <= x <
// 2^(e+1)) and the first kFraction bits of the mantissa. A bucket spans
// 0.024 dB, so it holds at most one whole-decibel threshold: the byte is the
// bucket's first plus one once x reaches that threshold. The thresholds are
// found with the logarithm itself, so the bytes are those it gives; a bucket
// without one has NaN, which nothing reaches, not even infinity.
struct DbByteTable {
    static constexpr int kExponents = 86; // 2^85 is above 10^25.5: 255
    static constexpr int kFraction = 7;
    static constexpr int kBuckets = kExponents << kFraction;
    uint8_t base[kBuckets];
    double threshold[kBuckets];

    static double Db(double x) { return 10.0 * std::log10(x); }
    static int ByteOf(double x)
    {
        const double db = Db(x);
        return db >= 255.0 ? 255 : static_cast<int>(db);
    }
    // The smallest double of lo .. hi (bit patterns) whose byte is above b.
    static uint64_t FirstAbove(uint64_t lo, uint64_t hi, int b)
    {
        while (lo < hi) {
            const uint64_t mid = lo + (hi - lo) / 2;
            if (ByteOf(std::bit_cast<double>(mid)) > b)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
    DbByteTable()
    {
        const uint64_t one = std::bit_cast<uint64_t>(1.0);
        const uint64_t width = uint64_t(1) << (52 - kFraction);
        for (int i = 0; i < kBuckets; ++i) {
            const uint64_t first = one + uint64_t(i) * width;
            const uint64_t last = first + width - 1;
            const int b = ByteOf(std::bit_cast<double>(first));
            base[i] = static_cast<uint8_t>(b);
            threshold[i] = ByteOf(std::bit_cast<double>(last)) > b ? std::bit_cast<double>(FirstAbove(first, last, b))
                                                                   : std::numeric_limits<double>::quiet_NaN();
        }
    }
};

} // namespace

FFT_KERNEL void PowerToDbBytes(const double* __restrict power, int count, uint8_t* __restrict trace)
{
    static const DbByteTable table;
    constexpr uint64_t kOne = std::bit_cast<uint64_t>(1.0) >> (52 - DbByteTable::kFraction);
    // Local pointers: the byte stores could otherwise alias the table.
    const uint8_t* __restrict base = table.base;
    const double* __restrict threshold = table.threshold;
    for (int k = 0; k < count; ++k) {
        const double x = power[k] > 1.0 ? power[k] : 1.0; // NaN too
        const uint64_t bucket = (std::bit_cast<uint64_t>(x) >> (52 - DbByteTable::kFraction)) - kOne;
        const size_t i = bucket < DbByteTable::kBuckets - 1 ? bucket : DbByteTable::kBuckets - 1;
        trace[k] = static_cast<uint8_t>(base[i] + (x >= threshold[i]));
    }
}

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
    // A run of bins of one role at a time, the runs in rising order.
    const std::array<int, 7> starts = RoleBoundaries(layout, half);
    int k = kFirstAnalysedBin;
    for (int next : starts) {
        if (next <= k)
            continue;
        SumRun(power, k, next, layout.RoleOf(k), a);
        k = next;
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

FFT_KERNEL void FindSpectrumPeaks(const double* power, int n, FftPeak* peaks, int count)
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
    // Once the list is full, a bin must beat its last entry: that test comes
    // first, since it almost always fails and so is cheap to predict.
    double floor = -std::numeric_limits<double>::infinity();
    const auto consider = [&](int c) {
        const double level = power[c];
        if (!(level > floor) || !(level > power[c - 1] && level > power[c + 1]))
            return;
        const FftPeak candidate{c, level, 0.0};
        const int pos = static_cast<int>(std::upper_bound(peaks, peaks + filled, candidate, higher) - peaks);
        const int last = filled < count ? filled : count - 1;
        std::copy_backward(peaks + pos, peaks + last, peaks + last + 1);
        peaks[pos] = candidate;
        filled = last + 1;
        if (filled == count)
            floor = peaks[count - 1].level;
    };
    // Four bins are screened at once; the floor only rises, so a bin the
    // screen drops would fail the full test as well.
    int c = 9;
    for (; c + 4 < half; c += 4) {
        const V4 level = Load4(power + c);
        const V4 bar = {floor, floor, floor, floor};
        const V4i pass = (level > bar) & (level > Load4(power + c - 1)) & (level > Load4(power + c + 1));
        if (!AnyLane(pass))
            continue;
        for (int j = 0; j < 4; ++j)
            consider(c + j);
    }
    for (; c + 1 < half; ++c)
        consider(c);
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

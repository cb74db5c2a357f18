#include "CFFT.h"
#include "SpectrumAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

double SumBins(const std::vector<double>& p, int first, int last)
{
    double s = 0;
    for (int k = first; k <= last; ++k)
        s += p[static_cast<size_t>(k)];
    return s;
}

double Db(double ratio)
{
    return 10.0 * std::log10(ratio);
}

} // namespace

TEST(SpectrumAnalysis, SignalSpanBySize)
{
    EXPECT_EQ(GetSignalBinSpan(256), 5);
    EXPECT_EQ(GetSignalBinSpan(512), 5);
    EXPECT_EQ(GetSignalBinSpan(1024), 9);
    EXPECT_EQ(GetSignalBinSpan(2048), 9);
    EXPECT_EQ(GetSignalBinSpan(4096), 17);
    EXPECT_EQ(GetSignalBinSpan(16384), 17);
    EXPECT_EQ(GetSignalBinSpan(32768), 21);
    EXPECT_EQ(GetSignalBinSpan(65536), 21);
}

TEST(SpectrumAnalysis, FullScaleOffsetTable)
{
    EXPECT_EQ(GetFullScaleDbOffset(8192, 16), 153);
    EXPECT_EQ(GetFullScaleDbOffset(1024, 12), 120);
    EXPECT_EQ(GetFullScaleDbOffset(256, 8), 80);
    EXPECT_EQ(GetFullScaleDbOffset(256, 9), 100);
    EXPECT_EQ(GetFullScaleDbOffset(512, 1), 90);
    EXPECT_EQ(GetFullScaleDbOffset(2048, 14), 140);
    EXPECT_EQ(GetFullScaleDbOffset(2048, 15), 141);
    EXPECT_EQ(GetFullScaleDbOffset(65536, 8), 110);
    EXPECT_EQ(GetFullScaleDbOffset(65536, 13), 150);
    EXPECT_EQ(GetFullScaleDbOffset(0, 16), 0);
    EXPECT_EQ(GetFullScaleDbOffset(8192, 0), 0);
    EXPECT_EQ(GetFullScaleDbOffset(8192, -4), 0);
    // Six dB per doubling from 15 bits on.
    for (int n = 512; n <= 65536; n *= 2)
        EXPECT_EQ(GetFullScaleDbOffset(n, 24) - GetFullScaleDbOffset(n / 2, 24), 6) << n;
}

TEST(SpectrumAnalysis, WorkedCaseOnBin100Of8192)
{
    const int n = 8192;
    std::vector<double> p(n / 2, 1.0);
    p[100] = 1e6;
    p[200] = 1000.0;
    p[300] = 100.0;
    p[1000] = 5000.0;
    p[84] = 2.0;  // first bin of the span
    p[116] = 3.0; // last bin of the span
    p[83] = 7.0;  // just outside: noise
    FftAnalysis a;
    ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &a, 250.0, 0.0));
    EXPECT_EQ(a.fundamentalBin, 100.0);
    EXPECT_DOUBLE_EQ(a.signal, SumBins(p, 84, 116));
    double moment = 0;
    for (int k = 84; k <= 116; ++k)
        moment += k * p[static_cast<size_t>(k)];
    EXPECT_DOUBLE_EQ(a.moment, moment);
    EXPECT_DOUBLE_EQ(a.harmonic2, SumBins(p, 197, 203));
    EXPECT_DOUBLE_EQ(a.harmonic3, SumBins(p, 297, 303));
    EXPECT_DOUBLE_EQ(a.spur, SumBins(p, 997, 1003));
    const double all = SumBins(p, 4, n / 2 - 1);
    EXPECT_DOUBLE_EQ(a.noise, all - a.signal - a.harmonic2 - a.harmonic3);
    EXPECT_EQ(a.noiseBins, (n / 2 - 4) - 33 - 7 - 7);
    EXPECT_DOUBLE_EQ(a.total, all + SumBins(p, 0, 3));
    EXPECT_DOUBLE_EQ(a.fundamentalFraction, moment / (a.signal * n));

    CFFT fft;
    FftMetrics m;
    FftAnalysis copy;
    ASSERT_EQ(0, fft.ComputeMetrics(p.data(), &m, n, 250.0, &copy));
    EXPECT_EQ(copy.signal, a.signal);
    EXPECT_DOUBLE_EQ(m.snr, Db(a.signal / a.noise));
    EXPECT_DOUBLE_EQ(m.sinad, Db(a.signal / (a.noise + a.harmonic2 + a.harmonic3)));
    EXPECT_DOUBLE_EQ(m.sfdr, Db(a.signal / a.spur));
    EXPECT_DOUBLE_EQ(m.thd, Db((a.harmonic2 + a.harmonic3) / a.signal));
    EXPECT_DOUBLE_EQ(m.harmonic2, Db(a.harmonic2 / a.signal));
    EXPECT_DOUBLE_EQ(m.harmonic3, Db(a.harmonic3 / a.signal));
    EXPECT_DOUBLE_EQ(m.fundamental, a.fundamentalFraction * 250.0);
    EXPECT_EQ(m.rate, 250.0);
    EXPECT_EQ(m.fftSize, 8192.0);
    EXPECT_DOUBLE_EQ(m.rmsNoiseCounts, std::sqrt(2 * a.noise) / (2 * a.noiseBins));
    EXPECT_DOUBLE_EQ(m.rmsTotalCounts, std::sqrt(2 * a.total) / n);
}

TEST(SpectrumAnalysis, HarmonicsFoldNearTheEdges)
{
    const int n = 8192;
    struct Case {
        int f, h2, h3;
    };
    // below N/4 and N/6; between N/6 and N/3; above N/3 and N/4
    for (const Case c : {Case{1000, 2000, 3000}, Case{1500, 3000, 8192 - 4500}, Case{3000, 8192 - 6000, 9000 - 8192},
                         Case{1364, 2728, 4092}, Case{1366, 2732, 8192 - 4098}}) {
        SCOPED_TRACE(c.f);
        std::vector<double> p(n / 2, 1.0);
        p[static_cast<size_t>(c.f)] = 1e9;
        p[static_cast<size_t>(c.h2)] = 500.0;
        p[static_cast<size_t>(c.h3)] = 300.0;
        FftAnalysis a;
        ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &a, 1.0, 0.0));
        EXPECT_DOUBLE_EQ(a.harmonic2, SumBins(p, c.h2 - 3, std::min(c.h2 + 3, n / 2 - 1)));
        EXPECT_DOUBLE_EQ(a.harmonic3, SumBins(p, c.h3 - 3, std::min(c.h3 + 3, n / 2 - 1)));
    }
}

TEST(SpectrumAnalysis, SpurSearchStaysOutsideTheSignalAndInsideTheSpectrum)
{
    const int n = 8192, half = n / 2;
    {
        // Fundamental near bin 0: the search starts at f + span.
        std::vector<double> p(half, 1.0);
        p[10] = 1e6;
        p[26] = 800.0; // inside the span
        p[40] = 100.0;
        FftAnalysis a;
        ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &a, 1.0, 0.0));
        EXPECT_DOUBLE_EQ(a.spur, SumBins(p, 37, 43));
    }
    {
        // Fundamental near the top: the search stops at the last bin.
        std::vector<double> p(half, 1.0);
        p[half - 3] = 1e6;
        p[half - 19] = 900.0; // inside the span
        p[3000] = 50.0;
        FftAnalysis a;
        ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &a, 1.0, 0.0));
        EXPECT_EQ(a.fundamentalBin, half - 3);
        EXPECT_DOUBLE_EQ(a.spur, SumBins(p, 2997, 3003));
    }
    {
        // A spur at bin 6 sums bins 4 .. 9 only.
        std::vector<double> p(half, 1.0);
        p[1000] = 1e6;
        p[6] = 300.0;
        p[3] = 1e5;
        p[10] = 7.0;
        FftAnalysis a;
        ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &a, 1.0, 0.0));
        EXPECT_DOUBLE_EQ(a.spur, SumBins(p, 4, 9));
    }
    {
        // A spur at the top bin is summed up to the top only.
        std::vector<double> p(half, 1.0);
        p[1000] = 1e6;
        p[half - 1] = 300.0;
        FftAnalysis a;
        ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &a, 1.0, 0.0));
        EXPECT_DOUBLE_EQ(a.spur, SumBins(p, half - 4, half - 1));
    }
}

TEST(SpectrumAnalysis, EqualLargestBinsPickTheLowerAndDcIsNeverTheFundamental)
{
    std::vector<double> p(2048, 1.0);
    p[0] = 1e12;
    p[3] = 1e12;
    p[500] = 1e6;
    p[600] = 1e6;
    p[1000] = std::numeric_limits<double>::quiet_NaN(); // never a maximum
    FftAnalysis a;
    ASSERT_EQ(0, AnalyzeSpectrum(4096, p.data(), &a, 1.0, 0.0));
    EXPECT_EQ(a.fundamentalBin, 500.0);

    // Equal spurs below and above the fundamental, and equal bins inside one
    // stretch: the lowest bin wins.
    std::vector<double> q(2048, 1.0);
    q[1000] = 1e6;
    q[301] = q[302] = 500.0;
    q[299] = 2.0;
    q[1700] = 500.0;
    ASSERT_EQ(0, AnalyzeSpectrum(4096, q.data(), &a, 1.0, 0.0));
    EXPECT_DOUBLE_EQ(a.spur, SumBins(q, 298, 304));
}

TEST(SpectrumAnalysis, SizesAndArguments)
{
    std::vector<double> p(40000, 1.0);
    FftAnalysis a;
    EXPECT_EQ(-1, AnalyzeSpectrum(128, p.data(), &a, 1.0, 0.0));
    EXPECT_EQ(-1, AnalyzeSpectrum(131072, p.data(), &a, 1.0, 0.0));
    EXPECT_EQ(-2, AnalyzeSpectrum(256, nullptr, &a, 1.0, 0.0));
    EXPECT_EQ(-2, AnalyzeSpectrum(256, p.data(), nullptr, 1.0, 0.0));
    CFFT fft;
    FftMetrics m;
    EXPECT_EQ(-1, fft.ComputeMetrics(p.data(), &m, 128, 1.0));
    // No spectrum of its own yet.
    EXPECT_EQ(-2, fft.ComputeMetrics(nullptr, &m, 4096, 1.0));
}

TEST(SpectrumAnalysis, FloorsAndCapsOfTheLevels)
{
    FftMetrics m;
    FftAnalysis a;
    a.signal = 1.0;
    a.noise = 1e9;
    a.spur = 1e-30;
    a.noiseBins = 10;
    ASSERT_EQ(0, MetricsFromAnalysis(a, 1024, 1.0, m));
    EXPECT_DOUBLE_EQ(m.snr, Db(static_cast<double>(0.001f)));
    EXPECT_DOUBLE_EQ(m.sinad, Db(static_cast<double>(0.001f)));
    EXPECT_DOUBLE_EQ(m.sfdr, Db(static_cast<double>(1e15f)));
    EXPECT_DOUBLE_EQ(m.thd, Db(static_cast<double>(1e-15f)));
    EXPECT_DOUBLE_EQ(m.harmonic2, Db(static_cast<double>(1e-15f)));
    EXPECT_DOUBLE_EQ(m.harmonic3, Db(static_cast<double>(1e-15f)));
    EXPECT_NEAR(m.snr, -30.0, 1e-5);
    EXPECT_NEAR(m.thd, -150.0, 1e-5);
    EXPECT_NEAR(m.sfdr, 150.0, 1e-5);
}

TEST(SpectrumAnalysis, NothingToDivideByLeavesTheMetricsAlone)
{
    FftMetrics m;
    m.snr = 42.0;
    FftAnalysis base;
    base.signal = 1;
    base.noise = 1;
    base.spur = 1;
    base.noiseBins = 1;
    for (int which = 0; which < 4; ++which) {
        FftAnalysis a = base;
        (which == 0 ? a.signal : which == 1 ? a.noise : which == 2 ? a.spur : a.noiseBins) = 0.0;
        EXPECT_EQ(-2, MetricsFromAnalysis(a, 1024, 1.0, m));
        EXPECT_EQ(m.snr, 42.0);
    }
}

TEST(SpectrumAnalysis, AllZeroBlockGivesMinusTwoAndKeepsTheMetrics)
{
    std::vector<int16_t> x(4096, 0);
    CFFT fft;
    fft.SetMaxPeaks(4);
    FftMetrics m;
    m.snr = 42.0;
    m.sfdr = 43.0;
    ASSERT_EQ(0, fft.ProcessSamples<int16_t>(nullptr, x.data(), 4096, 14, 1.0, &m));
    EXPECT_EQ(m.snr, 42.0);
    EXPECT_EQ(m.sfdr, 43.0);
    EXPECT_EQ(-2, fft.ComputeMetrics(nullptr, &m, 4096, 1.0));
    EXPECT_EQ(fft.GetPeaks()[0].bin, -1);
}

TEST(SpectrumAnalysis, ExclusionRemovesOnlyNoiseBinsBesideTheSignal)
{
    const int n = 8192, half = n / 2;
    std::vector<double> p(half, 1.0);
    const int f = 200, span = 17;
    p[f] = 1e6;
    p[400] = 50.0; // 2nd harmonic, inside the excluded band
    FftAnalysis plain, excluded;
    ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &plain, 100.0, 0.0));
    ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &excluded, 100.0, 100.0));
    // 100 % of the fundamental: w = fraction x N bins, i.e. about f.
    const int w = static_cast<int>(plain.fundamentalFraction * n);
    const int low = std::max(f - span - w, 0);
    const int highEnd = std::min(f + span + w, half);
    int removed = 0;
    for (int k = std::max(low, 4); k < f - span; ++k)
        ++removed;
    for (int k = f + span; k < highEnd; ++k)
        if (!(k > 400 - 4 && k < 400 + 4) && !(k > 600 - 4 && k < 600 + 4))
            ++removed;
    EXPECT_EQ(excluded.noiseBins, plain.noiseBins - removed);
    EXPECT_DOUBLE_EQ(excluded.noise, plain.noise - removed); // each removed bin held 1
    EXPECT_EQ(excluded.harmonic2, plain.harmonic2);
    EXPECT_EQ(excluded.signal, plain.signal);

    // One bin on each side (1.5, truncated): bins f - span - 1 and f + span.
    p[f - span - 1] = 3.0;
    p[f + span] = 5.0;
    FftAnalysis narrow, narrowPlain;
    ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &narrowPlain, 100.0, 0.0));
    ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &narrow, 100.0, 150.0 / (plain.fundamentalFraction * n)));
    EXPECT_EQ(narrow.noiseBins, narrowPlain.noiseBins - 2);
    EXPECT_DOUBLE_EQ(narrow.noise, narrowPlain.noise - 8.0);
    p[f - span - 1] = p[f + span] = 1.0;

    // A band wider than the spectrum still leaves bin f - span in the noise.
    p[f - span] = 0.25;
    FftAnalysis wide;
    ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &wide, 100.0, 1e9));
    EXPECT_EQ(wide.noise, 0.25);
    EXPECT_EQ(wide.noiseBins, 1.0);
    // With that bin empty there is nothing left to divide by.
    p[f - span] = 0.0;
    FftMetrics m;
    m.snr = 42.0;
    CFFT fft;
    fft.SetExclusionPercent(1e9);
    EXPECT_EQ(-2, fft.ComputeMetrics(p.data(), &m, n, 100.0));
    EXPECT_EQ(m.snr, 42.0);

    // Without a rate there is no band.
    p[f - span] = 1.0;
    FftAnalysis noRate;
    ASSERT_EQ(0, AnalyzeSpectrum(n, p.data(), &noRate, 0.0, 50.0));
    EXPECT_EQ(noRate.noise, plain.noise);
    EXPECT_EQ(noRate.noiseBins, plain.noiseBins);
}

// Counted by hand: 1024 points (span 9), every bin 1 but the tone on bin
// 100 and bin f - span = 91 at 100. A 10.5 % margin is 10 bins: 81 .. 90
// and 109 .. 118 leave the noise, bin 91 stays in it.
TEST(SpectrumAnalysis, FiguresWithAMarginFollowTheBandBesideTheSignal)
{
    const int n = 1024;
    std::vector<double> p(n / 2, 1.0);
    p[100] = 1e6;
    p[91] = 100.0;
    CFFT fft;
    fft.SetExclusionPercent(10.5);
    FftMetrics m;
    ASSERT_EQ(0, fft.ComputeMetrics(p.data(), &m, n, 1024.0));
    const double signal = 1e6 + 16;          // bins 92 .. 108
    const double harmonics = 7 + 7;          // 197 .. 203 and 297 .. 303
    const double noiseBins = 508 - 17 - 14 - 20;
    const double noise = noiseBins - 1 + 100; // bin 91 among them
    const double spur = 3 + 100 + 3;          // bins 88 .. 94 around bin 91
    EXPECT_DOUBLE_EQ(m.fundamental, 100.0);
    EXPECT_NEAR(m.snr, Db(signal / noise), 1e-9);
    EXPECT_NEAR(m.sinad, Db(signal / (noise + harmonics)), 1e-9);
    EXPECT_NEAR(m.sfdr, Db(signal / spur), 1e-9);
    EXPECT_NEAR(m.thd, Db(harmonics / signal), 1e-9);
    EXPECT_NEAR(m.rmsNoiseCounts, std::sqrt(2 * noise) / (2 * noiseBins), 1e-12);
}

TEST(SpectrumAnalysis, PeakListKeepsTheHighestWithTheirBandPower)
{
    const int n = 4096; // span 17
    std::vector<double> p(n / 2, 0.0);
    p[100] = 50.0;
    p[300] = 80.0;
    p[500] = 20.0;
    p[700] = 90.0;
    p[900] = 10.0;
    p[702] = 1.0;
    p[710] = 2.0;  // within the span of the highest, beyond 4 bins
    p[304] = 3.0;  // within 4 bins of the second
    p[306] = 4.0;  // beyond 4 bins of the second
    p[8] = 1000.0; // below the first candidate bin
    CFFT fft;
    ASSERT_EQ(0, fft.SetMaxPeaks(3));
    fft.FindPeaks(p.data(), n);
    const FftPeak* peaks = fft.GetPeaks();
    EXPECT_EQ(peaks[0].bin, 700);
    EXPECT_DOUBLE_EQ(peaks[0].level, 90.0 + 1.0 + 2.0);
    EXPECT_EQ(peaks[1].bin, 300);
    EXPECT_DOUBLE_EQ(peaks[1].level, 80.0 + 3.0);
    EXPECT_EQ(peaks[2].bin, 100);
    EXPECT_DOUBLE_EQ(peaks[2].level, 50.0);

    // Fewer maxima than entries leave the rest empty.
    ASSERT_EQ(0, fft.SetMaxPeaks(20));
    fft.FindPeaks(p.data(), n);
    int filled = 0;
    for (int i = 0; i < 20; ++i)
        filled += fft.GetPeaks()[i].bin != -1;
    EXPECT_EQ(filled, 9);
    EXPECT_EQ(fft.GetPeaks()[filled].level, 0.0);
}

TEST(SpectrumAnalysis, PeakLevelsAreInDbfsEvenWithoutMetrics)
{
    const int n = 8192;
    std::vector<int16_t> x(n);
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(20000.0 * std::sin(2 * std::numbers::pi * 1000.5 * i / n)));
    CFFT fft;
    fft.SetMaxPeaks(2);
    ASSERT_EQ(0, fft.ProcessSamples<int16_t>(nullptr, x.data(), n, 16, 125.0, nullptr));
    const FftPeak top = fft.GetPeaks()[0];
    ASSERT_NE(top.bin, -1);
    EXPECT_NEAR(top.bin, 1000, 1);
    double band = 0;
    for (int k = top.bin - 17; k <= top.bin + 17; ++k)
        band += fft.GetPower()[k];
    EXPECT_DOUBLE_EQ(top.level, Db(band) - 153.0);
    EXPECT_DOUBLE_EQ(top.frequency, static_cast<double>(top.bin) / n * 125.0);
}

TEST(SpectrumAnalysis, PeakOrderComparison)
{
    const FftPeak empty;
    const FftPeak low{10, 1.0, 0.0};
    const FftPeak high{20, 2.0, 0.0};
    EXPECT_TRUE(ComparePeaksByLevel(high, low));
    EXPECT_FALSE(ComparePeaksByLevel(low, high));
    EXPECT_TRUE(ComparePeaksByLevel(low, empty));
    EXPECT_FALSE(ComparePeaksByLevel(empty, low));
    EXPECT_FALSE(ComparePeaksByLevel(empty, empty));
}

namespace {

// Box-Muller from our own uniform draws, so the sequence does not depend on
// the library's normal distribution.
double Gaussian(std::mt19937_64& gen)
{
    std::uniform_real_distribution<double> u(std::numeric_limits<double>::min(), 1.0);
    return std::sqrt(-2.0 * std::log(u(gen))) * std::cos(2 * std::numbers::pi * u(gen));
}

} // namespace

TEST(SpectrumAnalysis, FourteenBitSineWithNoiseAndHarmonic)
{
    const int n = 8192, bin = 1000;
    const double amplitude = 7000.0, sigma = 3.0;
    const double harmonicDbc = -70.0;
    const double harmonicAmplitude = amplitude * std::pow(10.0, harmonicDbc / 20.0);
    std::mt19937_64 gen(2024);
    std::vector<int16_t> x(n);
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * bin * i / n;
        const double v = amplitude * std::sin(t) + harmonicAmplitude * std::sin(2 * t + 0.3) + sigma * Gaussian(gen);
        x[static_cast<size_t>(i)] = static_cast<int16_t>(std::clamp(std::lround(v), -8192L, 8191L));
    }
    // Rounding adds a uniform error of 1/12 LSB squared.
    const double noisePower = sigma * sigma + 1.0 / 12.0;
    const double expectedSnr = Db((amplitude * amplitude / 2) / noisePower);

    CFFT fft;
    FftMetrics m;
    ASSERT_EQ(0, fft.ProcessSamples<int16_t>(nullptr, x.data(), n, 14, 100.0, &m));
    EXPECT_NEAR(m.snr, expectedSnr, 1.0);
    EXPECT_NEAR(m.thd, harmonicDbc, 1.0);
    EXPECT_NEAR(m.harmonic2, harmonicDbc, 1.0);
    EXPECT_LT(m.harmonic3, harmonicDbc - 10.0);
    EXPECT_NEAR(m.fundamental, 100.0 * bin / n, 1e-6);
    EXPECT_NEAR(m.sinad, Db((amplitude * amplitude / 2) / (noisePower + harmonicAmplitude * harmonicAmplitude / 2)), 1.0);
}

TEST(SpectrumAnalysis, PeakListMatchesASortOfAllLocalMaxima)
{
    const int n = 8192, half = n / 2;
    std::mt19937 gen(77);
    std::uniform_real_distribution<double> dist(0.0, 1.0);
    std::vector<double> p(static_cast<size_t>(half));
    for (double& v : p)
        v = std::floor(dist(gen) * 50.0); // many equal levels
    for (int count : {1, 7, 64, 2000}) {
        SCOPED_TRACE(count);
        std::vector<std::pair<double, int>> maxima;
        for (int c = 9; c + 1 < half; ++c)
            if (p[static_cast<size_t>(c)] > p[static_cast<size_t>(c - 1)] && p[static_cast<size_t>(c)] > p[static_cast<size_t>(c + 1)])
                maxima.emplace_back(p[static_cast<size_t>(c)], c);
        std::stable_sort(maxima.begin(), maxima.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        std::vector<FftPeak> peaks(static_cast<size_t>(count));
        // The bins' own levels are compared; the list's levels are band sums.
        FindSpectrumPeaks(p.data(), n, peaks.data(), count);
        const size_t kept = std::min(maxima.size(), static_cast<size_t>(count));
        for (size_t i = 0; i < kept; ++i) {
            ASSERT_NE(peaks[i].bin, -1) << i;
            EXPECT_EQ(p[static_cast<size_t>(peaks[i].bin)], maxima[i].first) << i;
            if (i > 0) {
                EXPECT_GE(p[static_cast<size_t>(peaks[i - 1].bin)], p[static_cast<size_t>(peaks[i].bin)]);
            }
        }
        for (size_t i = kept; i < static_cast<size_t>(count); ++i)
            EXPECT_EQ(peaks[i].bin, -1);
        // No bin twice.
        std::vector<int> bins;
        for (size_t i = 0; i < kept; ++i)
            bins.push_back(peaks[i].bin);
        std::sort(bins.begin(), bins.end());
        EXPECT_EQ(std::adjacent_find(bins.begin(), bins.end()), bins.end());
    }
}

TEST(SpectrumAnalysis, DecibelBytesAreTheTruncatedLogarithm)
{
    auto reference = [](double p) {
        const double db = 10.0 * std::log10(p > 1.0 ? p : 1.0);
        return db >= 255.0 ? 255 : static_cast<int>(db);
    };
    std::vector<double> power;
    std::mt19937_64 gen(11);
    std::uniform_real_distribution<double> exponent(-3.0, 27.0);
    for (int i = 0; i < 200000; ++i)
        power.push_back(std::pow(10.0, exponent(gen)));
    // Either side of every whole decibel, where a table could be off by one.
    for (int b = 1; b <= 256; ++b) {
        const double x = std::pow(10.0, b / 10.0);
        for (double y = std::nextafter(x, 0.0), i = 0; i < 6; ++i, y = std::nextafter(y, 1e300))
            power.push_back(y);
    }
    std::vector<uint8_t> trace(power.size());
    PowerToDbBytes(power.data(), static_cast<int>(power.size()), trace.data());
    for (size_t i = 0; i < power.size(); ++i)
        ASSERT_EQ(trace[i], reference(power[i])) << power[i];
}

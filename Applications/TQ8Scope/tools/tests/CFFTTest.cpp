#include "CFFT.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#ifdef TQ8_HAVE_FFTW3
#include <fftw3.h>
#endif

namespace {

std::vector<double> RandomBlock(int n, unsigned seed, double offset = 0.0)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1000.0, 1000.0);
    std::vector<double> x(static_cast<size_t>(n));
    for (double& v : x)
        v = dist(gen) + offset;
    return x;
}

long double WeightOf(int type, int i, int n)
{
    const long double x = 2.0L * std::numbers::pi_v<long double> * i / n;
    switch (type) {
    case 2:
        return 0.5L - 0.5L * std::cos(x);
    case 3:
        return 0.54L - 0.46L * std::cos(x);
    case 4:
        return 0.35875L - 0.48829L * std::cos(x) + 0.14128L * std::cos(2 * x) - 0.01168L * std::cos(3 * x);
    default:
        return 1.0L;
    }
}

// The mean-free, windowed block the engine transforms.
std::vector<long double> Prepared(const std::vector<double>& x, int type)
{
    const int n = static_cast<int>(x.size());
    long double mean = 0;
    double sum = 0;
    for (double v : x)
        sum += v;
    mean = sum / n;
    std::vector<long double> y(x.size());
    for (int i = 0; i < n; ++i)
        y[static_cast<size_t>(i)] = (x[static_cast<size_t>(i)] - static_cast<double>(mean)) * WeightOf(type, i, n);
    return y;
}

// Power of bins 0 .. n/2-1 by the direct sum, in long double.
std::vector<long double> DirectPower(const std::vector<long double>& y)
{
    const size_t n = y.size();
    std::vector<long double> c(n), s(n);
    for (size_t i = 0; i < n; ++i) {
        const long double a = 2.0L * std::numbers::pi_v<long double> * i / n;
        c[i] = std::cos(a);
        s[i] = std::sin(a);
    }
    std::vector<long double> p(n / 2);
    for (size_t k = 0; k < n / 2; ++k) {
        long double re = 0, im = 0;
        size_t idx = 0;
        for (size_t j = 0; j < n; ++j) {
            re += y[j] * c[idx];
            im -= y[j] * s[idx];
            idx += k;
            if (idx >= n)
                idx -= n;
        }
        p[k] = re * re + im * im;
    }
    return p;
}

template <class Ref>
double RelativeError(const double* power, const Ref& ref)
{
    long double peak = 0, worst = 0;
    for (size_t k = 0; k < ref.size(); ++k) {
        peak = std::max<long double>(peak, ref[k]);
        worst = std::max<long double>(worst, std::fabs(static_cast<long double>(power[k]) - ref[k]));
    }
    return static_cast<double>(worst / peak);
}

void Ramp(double* samples, int32_t count, uint32_t parameter)
{
    for (int i = 0; i < count; ++i)
        samples[i] *= 1.0 + static_cast<double>(parameter) * i / count;
}

} // namespace

class CFFTDirectDft : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(CFFTDirectDft, MatchesLongDoubleSum)
{
    const auto [type, n] = GetParam();
    const auto x = RandomBlock(n, 11u + static_cast<unsigned>(n) + static_cast<unsigned>(type), 37.0);
    CFFT fft;
    fft.SetWindow(type);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), n, 16, 100.0, nullptr));
    const auto ref = DirectPower(Prepared(x, type));
    EXPECT_LT(RelativeError(fft.GetPower(), ref), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(WindowsAndSizes, CFFTDirectDft,
                         ::testing::Combine(::testing::Values(1, 2, 3, 4), ::testing::Values(256, 512, 2048)));

TEST(CFFT, CallbackWindowIsAppliedToTheMeanFreeBlock)
{
    const int n = 1024;
    const auto x = RandomBlock(n, 5u, -12.0);
    CFFT fft;
    fft.SetWindow(CFFT::kWindowCallback, &Ramp, 3);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), n, 16, 1.0, nullptr));
    auto y = Prepared(x, 1);
    for (int i = 0; i < n; ++i)
        y[static_cast<size_t>(i)] *= 1.0L + 3.0L * i / n;
    EXPECT_LT(RelativeError(fft.GetPower(), DirectPower(y)), 1e-9);
}

TEST(CFFT, CallbackIsKeptOnlyForTypeZero)
{
    CFFT fft;
    fft.SetWindow(CFFT::kWindowHann, &Ramp, 3);
    const int n = 256;
    const auto x = RandomBlock(n, 6u);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), n, 16, 1.0, nullptr));
    EXPECT_LT(RelativeError(fft.GetPower(), DirectPower(Prepared(x, 2))), 1e-9);
    // Type 0 without a callback stays unweighted.
    fft.SetWindow(CFFT::kWindowCallback, nullptr, 0);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), n, 16, 1.0, nullptr));
    EXPECT_LT(RelativeError(fft.GetPower(), DirectPower(Prepared(x, 1))), 1e-9);
}

#ifdef TQ8_HAVE_FFTW3
TEST(CFFT, MatchesFftwRealTransformAtEverySize)
{
    for (int n = 256; n <= 65536; n *= 2) {
        SCOPED_TRACE(n);
        const auto x = RandomBlock(n, static_cast<unsigned>(n));
        CFFT fft;
        fft.SetWindow(CFFT::kWindowHann);
        ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), n, 16, 1.0, nullptr));
        const auto y = Prepared(x, 2);
        double* in = fftw_alloc_real(static_cast<size_t>(n));
        fftw_complex* out = fftw_alloc_complex(static_cast<size_t>(n / 2 + 1));
        fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
        for (int i = 0; i < n; ++i)
            in[i] = static_cast<double>(y[static_cast<size_t>(i)]);
        fftw_execute(plan);
        std::vector<double> ref(static_cast<size_t>(n / 2));
        for (int k = 0; k < n / 2; ++k)
            ref[static_cast<size_t>(k)] = out[k][0] * out[k][0] + out[k][1] * out[k][1];
        fftw_destroy_plan(plan);
        fftw_free(in);
        fftw_free(out);
        EXPECT_LT(RelativeError(fft.GetPower(), ref), 1e-9);
    }
}
#else
TEST(CFFT, MatchesFftwRealTransformAtEverySize)
{
    GTEST_SKIP() << "FFTW 3 not found";
}
#endif

TEST(CFFT, CosineOnABinGivesItsFullPower)
{
    const int n = 4096;
    const double amplitude = 1234.5;
    for (int bin : {4, 100, 1000, 2047}) {
        SCOPED_TRACE(bin);
        std::vector<double> x(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            x[static_cast<size_t>(i)] = amplitude * std::cos(2.0 * std::numbers::pi * bin * i / n);
        CFFT fft;
        fft.SetWindow(CFFT::kWindowRectangular);
        ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), n, 16, 1.0, nullptr));
        const double expected = std::pow(amplitude * n / 2, 2);
        EXPECT_NEAR(fft.GetPower()[bin], expected, expected * 1e-12);
        EXPECT_LT(fft.GetPower()[bin == 4 ? 5 : 4], expected * 1e-20);
    }
}

TEST(CFFT, PureDcLeavesNoPower)
{
    const int n = 1024;
    std::vector<int16_t> x(static_cast<size_t>(n), 777);
    CFFT fft;
    FftMetrics m;
    ASSERT_EQ(0, fft.ProcessSamples<int16_t>(nullptr, x.data(), n, 14, 1.0, &m));
    for (int k = 0; k < n / 2; ++k)
        ASSERT_EQ(fft.GetPower()[k], 0.0) << k;
    EXPECT_EQ(m.meanSample, 777.0);
}

namespace {

template <class T>
std::vector<T> StridedBlock(int n, int stride, int channel)
{
    std::vector<T> data(static_cast<size_t>(n * stride));
    std::mt19937 gen(99);
    std::uniform_int_distribution<int> small(0, 120);
    for (size_t i = 0; i < data.size(); ++i) {
        const int v = small(gen);
        if constexpr (std::is_same_v<T, uint64_t>)
            data[i] = (uint64_t{1} << 63) + static_cast<uint64_t>(v) * 4096u; // above 2^63, exact in double
        else if constexpr (std::is_signed_v<T>)
            data[i] = static_cast<T>(v - 60);
        else
            data[i] = static_cast<T>(v);
    }
    // Make the other channels differ so that a wrong stride shows.
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < stride; ++c)
            if (c != channel)
                data[static_cast<size_t>(i * stride + c)] = static_cast<T>(data[static_cast<size_t>(i * stride + c)] / 2);
    return data;
}

template <class T>
void ExpectSameAsDoubleCopy()
{
    const int n = 512, stride = 3, channel = 1;
    const auto data = StridedBlock<T>(n, stride, channel);
    std::vector<double> copy(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        copy[static_cast<size_t>(i)] = static_cast<double>(data[static_cast<size_t>(i * stride + channel)]);

    CFFT a, b;
    a.SetMaxPeaks(4);
    b.SetMaxPeaks(4);
    std::vector<uint8_t> traceA(n / 2), traceB(n / 2);
    FftMetrics ma, mb;
    ASSERT_EQ(0, a.ProcessSamples<T>(traceA.data(), data.data() + channel, n, 12, 10.0, &ma, stride));
    ASSERT_EQ(0, b.ProcessSamples<double>(traceB.data(), copy.data(), n, 12, 10.0, &mb));
    EXPECT_EQ(traceA, traceB);
    for (int k = 0; k < n / 2; ++k)
        ASSERT_EQ(a.GetPower()[k], b.GetPower()[k]) << k;
    EXPECT_EQ(ma.minSample, mb.minSample);
    EXPECT_EQ(ma.maxSample, mb.maxSample);
    EXPECT_EQ(ma.meanSample, mb.meanSample);
    EXPECT_EQ(ma.snr, mb.snr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(a.GetPeaks()[i].bin, b.GetPeaks()[i].bin);
        EXPECT_EQ(a.GetPeaks()[i].level, b.GetPeaks()[i].level);
    }
}

} // namespace

TEST(CFFT, AllTenSampleTypesWithStrideEqualADoubleCopy)
{
    ExpectSameAsDoubleCopy<int8_t>();
    ExpectSameAsDoubleCopy<uint8_t>();
    ExpectSameAsDoubleCopy<int16_t>();
    ExpectSameAsDoubleCopy<uint16_t>();
    ExpectSameAsDoubleCopy<int32_t>();
    ExpectSameAsDoubleCopy<uint32_t>();
    ExpectSameAsDoubleCopy<int64_t>();
    ExpectSameAsDoubleCopy<uint64_t>();
    ExpectSameAsDoubleCopy<float>();
    ExpectSameAsDoubleCopy<double>();
}

TEST(CFFT, ByteTraceIsWholeDecibelsClampedToAByte)
{
    CFFT fft;
    const std::vector<double> power = {0.5, 1000.0, 0.0, 1.0, 99.0, 1e300,
                                       std::numeric_limits<double>::infinity(), 3.2e25};
    std::vector<uint8_t> trace(power.size(), 0xAA);
    fft.ToDbBytes(trace.data(), power.data(), static_cast<int>(power.size() * 2));
    EXPECT_EQ(trace[0], 0);
    EXPECT_EQ(trace[1], 30);
    EXPECT_EQ(trace[2], 0);
    EXPECT_EQ(trace[3], 0);
    EXPECT_EQ(trace[4], 19);
    EXPECT_EQ(trace[5], 255);
    EXPECT_EQ(trace[6], 255);
    EXPECT_EQ(trace[7], 255);
}

TEST(CFFT, MinimumAndMaximumStartFromTheFirstSample)
{
    const int n = 256;
    std::vector<int32_t> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = -1000 + (i * 7) % 300; // all negative, first is the smallest
    CFFT fft;
    FftMetrics m;
    ASSERT_EQ(0, fft.ProcessSamples<int32_t>(nullptr, x.data(), n, 16, 1.0, &m));
    EXPECT_EQ(m.minSample, -1000.0);
    EXPECT_EQ(m.maxSample, static_cast<double>(*std::max_element(x.begin(), x.end())));
    EXPECT_LT(m.maxSample, 0.0);
}

TEST(CFFT, RefusesSizesOutsideTheListAndLeavesOutputsAlone)
{
    std::vector<double> x(131072, 1.0);
    x[3] = 5.0;
    for (int n : {0, -256, 1, 128, 255, 257, 1000, 3072, 131072}) {
        SCOPED_TRACE(n);
        CFFT fft;
        std::vector<uint8_t> trace(70000, 0xAB);
        FftMetrics m;
        m.snr = 42.0;
        m.minSample = 42.0;
        EXPECT_EQ(-1, fft.ProcessSamples<double>(trace.data(), x.data(), n, 16, 1.0, &m));
        EXPECT_EQ(m.snr, 42.0);
        EXPECT_EQ(m.minSample, 42.0);
        EXPECT_EQ(trace[0], 0xAB);
        EXPECT_EQ(fft.GetFftSize(), 0);
        EXPECT_EQ(-1, fft.PrepareBuffers(n));
    }
}

TEST(CFFT, RefusesNonFiniteSamplesBadStrideAndMissingSamples)
{
    const int n = 256;
    CFFT fft;
    FftMetrics m;
    m.maxSample = 42.0;
    std::vector<float> f(n, 1.0f);
    f[17] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(-1, fft.ProcessSamples<float>(nullptr, f.data(), n, 16, 1.0, &m));
    f[17] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(-1, fft.ProcessSamples<float>(nullptr, f.data(), n, 16, 1.0, &m));
    EXPECT_EQ(m.maxSample, 42.0);
    std::vector<double> d(n, 1.0);
    EXPECT_EQ(-1, fft.ProcessSamples<double>(nullptr, d.data(), n, 16, 1.0, &m, 0));
    EXPECT_EQ(-1, fft.ProcessSamples<double>(nullptr, d.data(), n, 16, 1.0, &m, -1));
    EXPECT_EQ(-2, fft.ProcessSamples<double>(nullptr, static_cast<const double*>(nullptr), n, 16, 1.0, &m));
    EXPECT_EQ(m.maxSample, 42.0);
}

TEST(CFFT, SizeChangeRebuildsTheTables)
{
    CFFT fft;
    fft.SetWindow(CFFT::kWindowHamming);
    const auto big = RandomBlock(8192, 1u);
    const auto small = RandomBlock(4096, 2u);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, big.data(), 8192, 16, 1.0, nullptr));
    EXPECT_EQ(fft.GetFftSize(), 8192);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, small.data(), 4096, 16, 1.0, nullptr));
    EXPECT_EQ(fft.GetFftSize(), 4096);
#ifdef TQ8_HAVE_FFTW3
    // A second call of the same size reuses everything and still agrees.
    const auto y = Prepared(small, 3);
    std::vector<double> in(4096);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<double>(y[i]);
    std::vector<fftw_complex> out(2049);
    fftw_plan plan = fftw_plan_dft_r2c_1d(4096, in.data(), out.data(), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> ref(2048);
    for (size_t k = 0; k < ref.size(); ++k)
        ref[k] = out[k][0] * out[k][0] + out[k][1] * out[k][1];
    EXPECT_LT(RelativeError(fft.GetPower(), ref), 1e-9);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, small.data(), 4096, 16, 1.0, nullptr));
    EXPECT_LT(RelativeError(fft.GetPower(), ref), 1e-9);
#endif
    fft.FreeBuffers();
    EXPECT_EQ(fft.GetFftSize(), 0);
    EXPECT_EQ(fft.Transform(), -1);
}

TEST(CFFT, AveragingDividesTheCallersSumByTheCount)
{
    const int n = 1024;
    const auto x1 = RandomBlock(n, 21u);
    const auto x2 = RandomBlock(n, 22u);
    CFFT single;
    ASSERT_EQ(0, single.ProcessSamples<double>(nullptr, x1.data(), n, 16, 1.0, nullptr));
    const std::vector<double> p1(single.GetPower(), single.GetPower() + n / 2);
    ASSERT_EQ(0, single.ProcessSamples<double>(nullptr, x2.data(), n, 16, 1.0, nullptr));
    const std::vector<double> p2(single.GetPower(), single.GetPower() + n / 2);

    CFFT fft;
    std::vector<double> sum(n, 0.0);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x1.data(), n, 16, 1.0, nullptr));
    ASSERT_EQ(0, fft.AccumulateAverage(nullptr, n, sum.data(), 1, 1.0, nullptr));
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x2.data(), n, 16, 1.0, nullptr));
    std::vector<uint8_t> trace(n / 2);
    ASSERT_EQ(0, fft.AccumulateAverage(trace.data(), n, sum.data(), 2, 1.0, nullptr));
    std::vector<uint8_t> expectedTrace(n / 2);
    std::vector<double> mean(n / 2);
    for (int k = 0; k < n / 2; ++k) {
        mean[static_cast<size_t>(k)] = (p1[static_cast<size_t>(k)] + p2[static_cast<size_t>(k)]) / 2;
        ASSERT_DOUBLE_EQ(fft.GetPower()[k], mean[static_cast<size_t>(k)]) << k;
        ASSERT_DOUBLE_EQ(sum[static_cast<size_t>(k)], p1[static_cast<size_t>(k)] + p2[static_cast<size_t>(k)]);
    }
    fft.ToDbBytes(expectedTrace.data(), mean.data(), n);
    EXPECT_EQ(trace, expectedTrace);
}

TEST(CFFT, AveragingRefusesAnotherSizeAZeroCountAndNoSum)
{
    CFFT fft;
    std::vector<double> sum(8192, 0.0);
    EXPECT_EQ(-2, fft.AccumulateAverage(nullptr, 0, sum.data(), 1, 1.0, nullptr));
    const auto x = RandomBlock(4096, 3u);
    ASSERT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), 4096, 16, 1.0, nullptr));
    EXPECT_EQ(-2, fft.AccumulateAverage(nullptr, 8192, sum.data(), 1, 1.0, nullptr));
    EXPECT_EQ(-2, fft.AccumulateAverage(nullptr, 4096, sum.data(), 0, 1.0, nullptr));
    EXPECT_EQ(-2, fft.AccumulateAverage(nullptr, 4096, sum.data(), -3, 1.0, nullptr));
    EXPECT_EQ(-2, fft.AccumulateAverage(nullptr, 4096, nullptr, 1, 1.0, nullptr));
    for (double v : sum)
        ASSERT_EQ(v, 0.0);
}

TEST(CFFT, PeakListStartsEmptyAndFollowsItsCount)
{
    CFFT fft;
    EXPECT_EQ(fft.GetPeaks(), nullptr);
    EXPECT_EQ(-1, fft.SetMaxPeaks(-1));
    ASSERT_EQ(0, fft.SetMaxPeaks(5));
    ASSERT_EQ(fft.GetMaxPeaks(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(fft.GetPeaks()[i].bin, -1);
        EXPECT_EQ(fft.GetPeaks()[i].level, 0.0);
        EXPECT_EQ(fft.GetPeaks()[i].frequency, 0.0);
    }
    ASSERT_EQ(0, fft.SetMaxPeaks(0));
    EXPECT_EQ(fft.GetPeaks(), nullptr);
    EXPECT_EQ(fft.GetMaxPeaks(), 0);
    const auto x = RandomBlock(512, 4u);
    EXPECT_EQ(0, fft.ProcessSamples<double>(nullptr, x.data(), 512, 16, 1.0, nullptr));
}

TEST(CFFT, ConstructedState)
{
    CFFT fft;
    EXPECT_EQ(fft.GetWindowType(), CFFT::kWindowBlackmanHarris);
    EXPECT_EQ(fft.GetFftSize(), 0);
    EXPECT_EQ(fft.GetExclusionPercent(), 0.0);
    EXPECT_EQ(fft.GetMaxPeaks(), 0);
}

namespace {

// Replaces the byte trace and the analysis, as a derived engine may.
class CFlatFFT : public CFFT {
public:
    void ToDbBytes(uint8_t* trace, const double*, int n) override
    {
        for (int k = 0; k < n / 2; ++k)
            trace[k] = 7;
    }
    int Analyze(int, const double*, FftAnalysis* analysis, double) override
    {
        *analysis = FftAnalysis{};
        analysis->signal = 100.0;
        analysis->noise = 1.0;
        analysis->spur = 10.0;
        analysis->noiseBins = 1.0;
        ++analyzed;
        return 0;
    }
    int analyzed = 0;
};

} // namespace

TEST(CFFT, DerivedStepsAreUsedByTheEngine)
{
    const auto x = RandomBlock(256, 8u);
    CFlatFFT fft;
    std::vector<uint8_t> trace(128, 0);
    FftMetrics m;
    ASSERT_EQ(0, fft.ProcessSamples<double>(trace.data(), x.data(), 256, 16, 1.0, &m));
    EXPECT_EQ(trace, std::vector<uint8_t>(128, 7));
    EXPECT_EQ(fft.analyzed, 1);
    EXPECT_DOUBLE_EQ(m.snr, 20.0);
    EXPECT_DOUBLE_EQ(m.sfdr, 10.0);
}

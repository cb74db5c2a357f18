// The spectrum engine against FFTW 3: the transform alone (real input to
// bin powers), and the whole spectrum (mean removal, window, transform,
// figures of merit, 64 peaks, byte trace). FFTW reuses one plan made with
// FFTW_MEASURE; both sides start from the same samples.
#include "CFFT.h"
#include "SpectrumAnalysis.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace {

std::vector<double> Samples(int n)
{
    std::mt19937 gen(7);
    std::normal_distribution<double> noise(0.0, 3.0);
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = std::round(7000.0 * std::sin(2 * std::numbers::pi * 0.1234 * i) + noise(gen));
    return x;
}

std::vector<int16_t> Samples16(int n)
{
    const auto x = Samples(n);
    return std::vector<int16_t>(x.begin(), x.end());
}

class FftwPlan {
public:
    explicit FftwPlan(int n)
        : m_n(n)
        , m_in(fftw_alloc_real(static_cast<size_t>(n)))
        , m_out(fftw_alloc_complex(static_cast<size_t>(n / 2 + 1)))
        , m_plan(fftw_plan_dft_r2c_1d(n, m_in, m_out, FFTW_MEASURE))
    {
    }
    ~FftwPlan()
    {
        fftw_destroy_plan(m_plan);
        fftw_free(m_in);
        fftw_free(m_out);
    }
    FftwPlan(const FftwPlan&) = delete;
    FftwPlan& operator=(const FftwPlan&) = delete;

    double* Input() { return m_in; }
    void Power(double* power)
    {
        fftw_execute(m_plan);
        for (int k = 0; k < m_n / 2; ++k)
            power[k] = m_out[k][0] * m_out[k][0] + m_out[k][1] * m_out[k][1];
    }

private:
    int m_n;
    double* m_in;
    fftw_complex* m_out;
    fftw_plan m_plan;
};

void SetItems(benchmark::State& state, int n)
{
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_TransformOurs(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto x = Samples(n);
    CFFT fft;
    fft.SetWindow(CFFT::kWindowRectangular);
    fft.ProcessSamples<double>(nullptr, x.data(), n, 16, 1.0, nullptr);
    for (auto _ : state) {
        std::memcpy(fft.GetInputBuffer(), x.data(), x.size() * sizeof(double));
        fft.Transform();
        benchmark::DoNotOptimize(fft.GetPower()[n / 4]);
    }
    SetItems(state, n);
}

void BM_TransformFftw(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto x = Samples(n);
    FftwPlan plan(n);
    std::vector<double> power(static_cast<size_t>(n / 2));
    for (auto _ : state) {
        std::memcpy(plan.Input(), x.data(), x.size() * sizeof(double));
        plan.Power(power.data());
        benchmark::DoNotOptimize(power[static_cast<size_t>(n / 4)]);
    }
    SetItems(state, n);
}

void BM_SpectrumOurs(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto x = Samples16(n);
    CFFT fft;
    fft.SetMaxPeaks(64);
    std::vector<uint8_t> trace(static_cast<size_t>(n / 2));
    FftMetrics metrics;
    for (auto _ : state) {
        fft.ProcessSamples<int16_t>(trace.data(), x.data(), n, 14, 250.0, &metrics);
        benchmark::DoNotOptimize(metrics.snr);
    }
    SetItems(state, n);
}

// The same steps with FFTW's transform in the middle.
void BM_SpectrumFftw(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto x = Samples16(n);
    FftwPlan plan(n);
    std::vector<double> weights(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * std::numbers::pi * i / n;
        weights[static_cast<size_t>(i)] = 0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) - 0.01168 * std::cos(3 * a);
    }
    std::vector<double> power(static_cast<size_t>(n / 2));
    std::vector<FftPeak> peaks(64);
    std::vector<uint8_t> trace(static_cast<size_t>(n / 2));
    CFFT bytes;
    FftMetrics metrics;
    for (auto _ : state) {
        double sum = 0.0;
        for (int16_t v : x)
            sum += v;
        const double mean = sum / n;
        double* in = plan.Input();
        for (int i = 0; i < n; ++i)
            in[i] = (x[static_cast<size_t>(i)] - mean) * weights[static_cast<size_t>(i)];
        plan.Power(power.data());
        FindSpectrumPeaks(power.data(), n, peaks.data(), 64);
        ConvertPeaksToDbfs(peaks.data(), 64, n, 14, 250.0);
        FftAnalysis analysis;
        AnalyzeSpectrum(n, power.data(), &analysis, 250.0, 0.0);
        MetricsFromAnalysis(analysis, n, 250.0, metrics);
        bytes.ToDbBytes(trace.data(), power.data(), n);
        benchmark::DoNotOptimize(metrics.snr);
    }
    SetItems(state, n);
}

} // namespace

BENCHMARK(BM_TransformOurs)->RangeMultiplier(2)->Range(256, 65536);
BENCHMARK(BM_TransformFftw)->RangeMultiplier(2)->Range(256, 65536);
BENCHMARK(BM_SpectrumOurs)->RangeMultiplier(2)->Range(256, 65536);
BENCHMARK(BM_SpectrumFftw)->RangeMultiplier(2)->Range(256, 65536);

namespace {
// The steps around the transform, one by one, on the spectrum of the samples.
std::vector<double> SpectrumOf(int n)
{
    const auto x = Samples16(n);
    CFFT fft;
    fft.ProcessSamples<int16_t>(nullptr, x.data(), n, 14, 250.0, nullptr);
    return std::vector<double>(fft.GetPower(), fft.GetPower() + n / 2);
}

void BM_StepDbBytes(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto power = SpectrumOf(n);
    std::vector<uint8_t> trace(static_cast<size_t>(n / 2));
    CFFT fft;
    for (auto _ : state) {
        fft.ToDbBytes(trace.data(), power.data(), n);
        benchmark::DoNotOptimize(trace[1]);
    }
    SetItems(state, n);
}

void BM_StepAnalysis(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto power = SpectrumOf(n);
    for (auto _ : state) {
        FftAnalysis analysis;
        AnalyzeSpectrum(n, power.data(), &analysis, 250.0, 0.0);
        benchmark::DoNotOptimize(analysis.noise);
    }
    SetItems(state, n);
}

void BM_StepPeaks(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto power = SpectrumOf(n);
    std::vector<FftPeak> peaks(64);
    for (auto _ : state) {
        FindSpectrumPeaks(power.data(), n, peaks.data(), 64);
        benchmark::DoNotOptimize(peaks[0].level);
    }
    SetItems(state, n);
}
} // namespace

BENCHMARK(BM_StepDbBytes)->Arg(65536);
BENCHMARK(BM_StepAnalysis)->Arg(65536);
BENCHMARK(BM_StepPeaks)->Arg(65536);

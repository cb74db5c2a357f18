#include "CFFT.h"

#include "SpectrumAnalysis.h"
#include "VectorClones.h"

#include <cmath>
#include <new>
#include <numbers>
#include <type_traits>

namespace {

// Doubles between the real and the imaginary parts of the transform: a
// power-of-two distance would put their rows in the same cache sets.
constexpr size_t kImaginaryGap = 32;

bool IsSupportedSize(int n)
{
    return n >= CFFT::kMinSize && n <= CFFT::kMaxSize && (n & (n - 1)) == 0;
}

double WindowWeight(int32_t type, int i, int n)
{
    const double x = 2.0 * std::numbers::pi * i / n;
    switch (type) {
    case CFFT::kWindowHann:
        return 0.5 - 0.5 * std::cos(x);
    case CFFT::kWindowHamming:
        return 0.54 - 0.46 * std::cos(x);
    case CFFT::kWindowBlackmanHarris:
        return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
    default:
        return 1.0;
    }
}

bool IsWeightedWindow(int32_t type)
{
    return type == CFFT::kWindowHann || type == CFFT::kWindowHamming || type == CFFT::kWindowBlackmanHarris;
}

// Sum, minimum and maximum of n samples taken every step elements; false
// for a sample that is not a finite number. Integers up to 32 bits are
// summed exactly in 64 bits, which is what the sum in doubles gives too
// (it stays below 2^53), only faster.
template <class T>
FFT_KERNEL bool BlockStatistics(const T* samples, size_t n, size_t step, double& sum, double& low, double& high)
{
    if constexpr (std::is_integral_v<T> && sizeof(T) <= 4) {
        using Sum = std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>;
        Sum total = 0;
        T lo = samples[0];
        T hi = lo;
        if (step == 1) {
            for (size_t i = 0; i < n; ++i) {
                const T v = samples[i];
                total += v;
                lo = v < lo ? v : lo;
                hi = v > hi ? v : hi;
            }
        } else {
            for (size_t i = 0, at = 0; i < n; ++i, at += step) {
                const T v = samples[at];
                total += v;
                lo = v < lo ? v : lo;
                hi = v > hi ? v : hi;
            }
        }
        sum = static_cast<double>(total);
        low = static_cast<double>(lo);
        high = static_cast<double>(hi);
        return true;
    } else {
        low = static_cast<double>(samples[0]);
        high = low;
        for (size_t i = 0, at = 0; i < n; ++i, at += step) {
            const double v = static_cast<double>(samples[at]);
            if constexpr (std::is_floating_point_v<T>) {
                if (!std::isfinite(v))
                    return false;
            }
            sum += v;
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
        return true;
    }
}

template <class T>
FFT_KERNEL void RemoveMean(const T* __restrict samples, size_t n, size_t step, double mean, double* __restrict in)
{
    if (step == 1) {
        for (size_t i = 0; i < n; ++i)
            in[i] = static_cast<double>(samples[i]) - mean;
    } else {
        for (size_t i = 0, at = 0; i < n; ++i, at += step)
            in[i] = static_cast<double>(samples[at]) - mean;
    }
}

} // namespace

CFFT::CFFT() = default;

CFFT::~CFFT() = default;

int CFFT::PrepareBuffers(int n)
{
    if (!IsSupportedSize(n))
        return -1;
    if (n == m_size)
        return 0;
    FreeBuffers();
    try {
        m_input.assign(static_cast<size_t>(n), 0.0);
        m_output.assign(static_cast<size_t>(n) + kImaginaryGap, 0.0);
        m_weights.reserve(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        FreeBuffers();
        return -1;
    }
    if (!m_plan.Prepare(n)) {
        FreeBuffers();
        return -1;
    }
    m_size = n;
    return 0;
}

void CFFT::FreeBuffers()
{
    m_plan.Clear();
    std::vector<double>().swap(m_input);
    std::vector<double>().swap(m_output);
    std::vector<double>().swap(m_weights);
    m_weightsType = -1;
    m_size = 0;
}

void CFFT::SetWindow(int32_t type, FftWindowCallback callback, uint32_t parameter)
{
    m_windowType = type;
    if (type == kWindowCallback) {
        m_callback = callback;
        m_callbackParameter = parameter;
    }
}

int CFFT::SetMaxPeaks(int count)
{
    if (count < 0)
        return -1;
    if (count == GetMaxPeaks())
        return 0;
    std::vector<FftPeak>().swap(m_peaks);
    if (count > 0) {
        try {
            m_peaks.assign(static_cast<size_t>(count), FftPeak{});
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    return 0;
}

template <class T>
int CFFT::ProcessSamples(uint8_t* trace, const T* samples, int n, int adcBits, double rate,
                         FftMetrics* metrics, int stride)
{
    if (!IsSupportedSize(n) || stride < 1)
        return -1;
    if (!samples)
        return -2;
    // Statistics first: a block that cannot be analysed leaves everything as
    // it was.
    const size_t step = static_cast<size_t>(stride);
    double sum = 0.0;
    double low = 0.0;
    double high = 0.0;
    if (!BlockStatistics(samples, static_cast<size_t>(n), step, sum, low, high))
        return -1;
    if (PrepareBuffers(n) != 0)
        return -1;
    m_adcBits = adcBits;
    const double mean = sum / n;
    if (metrics) {
        metrics->minSample = low;
        metrics->maxSample = high;
        metrics->meanSample = mean;
    }
    RemoveMean(samples, static_cast<size_t>(n), step, mean, m_input.data());
    Transform();
    FinishSpectrum(trace, rate, metrics);
    return 0;
}

template int CFFT::ProcessSamples<int8_t>(uint8_t*, const int8_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<uint8_t>(uint8_t*, const uint8_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<int16_t>(uint8_t*, const int16_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<uint16_t>(uint8_t*, const uint16_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<int32_t>(uint8_t*, const int32_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<uint32_t>(uint8_t*, const uint32_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<int64_t>(uint8_t*, const int64_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<uint64_t>(uint8_t*, const uint64_t*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<float>(uint8_t*, const float*, int, int, double, FftMetrics*, int);
template int CFFT::ProcessSamples<double>(uint8_t*, const double*, int, int, double, FftMetrics*, int);

void CFFT::FinishSpectrum(uint8_t* trace, double rate, FftMetrics* metrics)
{
    if (!m_peaks.empty()) {
        FindPeaks(m_output.data(), m_size);
        // Converted here, not with the metrics, so that the list is in dBFS
        // whether or not the metrics could be computed.
        ConvertPeaksToDbfs(m_peaks.data(), GetMaxPeaks(), m_size, m_adcBits, rate);
    }
    if (metrics)
        m_metricsResult = ComputeMetrics(m_output.data(), metrics, m_size, rate, nullptr);
    if (trace)
        ToDbBytes(trace, m_output.data(), m_size);
}

int CFFT::Transform()
{
    if (m_size == 0)
        return -1;
    if (m_windowType == kWindowCallback && m_callback)
        m_callback(m_input.data(), m_size, m_callbackParameter);
    const int half = m_size / 2;
    double* re = m_output.data();
    double* im = re + half + kImaginaryGap;
    // Even points are the real parts, odd points the imaginary parts of the
    // half-size complex transform.
    m_plan.ForwardFromReal(m_input.data(), WindowWeights(), re, im);
    // The spent input is the scratch; the powers end in the output's front.
    m_plan.PowerFromBitReversed(re, im, m_input.data(), re);
    return m_size;
}

const double* CFFT::WindowWeights()
{
    if (!IsWeightedWindow(m_windowType))
        return nullptr;
    if (m_weightsType != m_windowType || m_weights.size() != static_cast<size_t>(m_size)) {
        m_weights.resize(static_cast<size_t>(m_size)); // capacity reserved with the buffers
        for (int i = 0; i < m_size; ++i)
            m_weights[static_cast<size_t>(i)] = WindowWeight(m_windowType, i, m_size);
        m_weightsType = m_windowType;
    }
    return m_weights.data();
}

void CFFT::ToDbBytes(uint8_t* trace, const double* power, int n)
{
    if (!trace || !power)
        return;
    PowerToDbBytes(power, n / 2, trace);
}

int CFFT::AccumulateAverage(uint8_t* trace, int n, double* sum, int count, double rate, FftMetrics* metrics)
{
    if (m_size == 0 || n != m_size || !sum || count < 1)
        return -2;
    double* power = m_output.data();
    for (int k = 0; k < n / 2; ++k) {
        sum[k] += power[k];
        power[k] = sum[k] / count;
    }
    FinishSpectrum(trace, rate, metrics);
    return 0;
}

int CFFT::Analyze(int n, const double* power, FftAnalysis* analysis, double rate)
{
    return AnalyzeSpectrum(n, power, analysis, rate, m_exclusionPercent);
}

int CFFT::ComputeMetrics(const double* power, FftMetrics* metrics, int n, double rate, FftAnalysis* analysisCopy)
{
    if (!power) {
        // The engine's own spectrum has exactly m_size / 2 bins.
        if (n != m_size)
            return -2;
        power = m_output.data();
    }
    FftAnalysis analysis;
    const int result = Analyze(n, power, &analysis, rate);
    if (result == -2 || (result == 0 && !metrics))
        return -2;
    if (result != 0)
        return -1;
    if (MetricsFromAnalysis(analysis, n, rate, *metrics) != 0)
        return -2;
    if (analysisCopy)
        *analysisCopy = analysis;
    return 0;
}

void CFFT::FindPeaks(const double* power, int n)
{
    FindSpectrumPeaks(power, n, m_peaks.data(), GetMaxPeaks());
}

int CFFT::GetSignalBinSpan(int n)
{
    return ::GetSignalBinSpan(n);
}

uint8_t CFFT::GetFullScaleDbOffset(int n, int adcBits)
{
    return ::GetFullScaleDbOffset(n, adcBits);
}

bool CFFT::ComparePeaksByLevel(const FftPeak& a, const FftPeak& b)
{
    return ::ComparePeaksByLevel(a, b);
}

#pragma once
// Power spectrum of one channel's block of samples: DC removal, window, real
// transform, byte trace for the plot, figures of merit, peak list and a
// running average kept by the caller. One instance serves all channels of a
// spectrum window, one transform at a time, on one thread.
#include "FftPlan.h"
#include "FftResults.h"

#include <cstdint>
#include <vector>

using FftWindowCallback = void (*)(double* samples, int32_t count, uint32_t parameter);

class CFFT {
public:
    enum WindowType : int32_t {
        kWindowCallback = 0,
        kWindowRectangular = 1,
        kWindowHann = 2,
        kWindowHamming = 3,
        kWindowBlackmanHarris = 4,
    };
    static constexpr int kMinSize = 256;
    static constexpr int kMaxSize = 65536;

    CFFT();
    CFFT(const CFFT&) = delete;
    CFFT& operator=(const CFFT&) = delete;

    // Overridable steps, in the order of the engine's table.
    // Levels from a spectrum (the engine's own when power is null): 0; -1
    // when the analysis fails; -2 when a ratio would divide by nothing, and
    // then metrics stays as it was.
    virtual int ComputeMetrics(const double* power, FftMetrics* metrics, int n, double rate,
                               FftAnalysis* analysisCopy = nullptr);
    virtual ~CFFT();
    // Whole decibels of the raw power of the n/2 bins, 0 .. 255.
    virtual void ToDbBytes(uint8_t* trace, const double* power, int n);
    virtual int Analyze(int n, const double* power, FftAnalysis* analysis, double rate);

    // 0, or -1 for a size other than a power of two in 256 .. 65536 or when
    // memory runs out (then no buffers remain). Nothing is done for the
    // current size.
    int PrepareBuffers(int n);
    void FreeBuffers();

    // The callback and its parameter are kept only for type 0.
    void SetWindow(int32_t type, FftWindowCallback callback = nullptr, uint32_t parameter = 0);
    int32_t GetWindowType() const { return m_windowType; }

    // -1 for a negative count; 0 otherwise. Every entry starts empty.
    int SetMaxPeaks(int count);
    const FftPeak* GetPeaks() const { return m_peaks.empty() ? nullptr : m_peaks.data(); }
    int GetMaxPeaks() const { return static_cast<int>(m_peaks.size()); }

    void SetExclusionPercent(double percent) { m_exclusionPercent = percent; }
    double GetExclusionPercent() const { return m_exclusionPercent; }

    // One transform of n samples taken every stride elements (one channel of
    // interleaved frames). Fills the trace (n/2 bytes), the metrics and the
    // peak list (in dBFS) when given. 0; -1 for a bad size or stride, for a
    // sample that is not a finite number, or when memory runs out; -2 when
    // samples is null. On failure no output is touched. Instantiated for the
    // 8-, 16-, 32- and 64-bit integers of both signs, float and double.
    template <class T>
    int ProcessSamples(uint8_t* trace, const T* samples, int n, int adcBits, double rate,
                       FftMetrics* metrics, int stride = 1);

    // Window, real transform and power of the input buffer; returns n, or -1
    // without buffers.
    int Transform();

    // Adds the last spectrum to the caller's running sum (n doubles, of which
    // the n/2 bin powers are used) and analyses sum / count in its place.
    // 0; -2 when n is not the current size, sum is null or count below 1.
    int AccumulateAverage(uint8_t* trace, int n, double* sum, int count, double rate, FftMetrics* metrics);

    // Fills the peak list with band powers (not yet in dBFS).
    void FindPeaks(const double* power, int n);

    static int GetSignalBinSpan(int n);
    static uint8_t GetFullScaleDbOffset(int n, int adcBits);
    static bool ComparePeaksByLevel(const FftPeak& a, const FftPeak& b);

    int GetFftSize() const { return m_size; }
    // ComputeMetrics' result for the last transform or average that asked
    // for metrics: 0, or -2 when they were left as they were.
    int GetMetricsResult() const { return m_metricsResult; }
    int GetAdcBits() const { return m_adcBits; }
    // The n/2 bin powers of the last transform or average.
    const double* GetPower() const { return m_size ? m_output.data() : nullptr; }
    // The n time-domain points the next Transform works on (and uses up).
    double* GetInputBuffer() { return m_size ? m_input.data() : nullptr; }

private:
    const double* WindowWeights();
    void FinishSpectrum(uint8_t* trace, double rate, FftMetrics* metrics);

    FftWindowCallback m_callback = nullptr;
    uint32_t m_callbackParameter = 0;
    int32_t m_windowType = kWindowBlackmanHarris;
    std::vector<FftPeak> m_peaks;
    double m_exclusionPercent = 0.0;

    FftPlan m_plan;
    std::vector<double> m_input;  // time domain, then the transform's scratch
    std::vector<double> m_output; // the complex result, then the bin powers
    std::vector<double> m_weights;
    int32_t m_weightsType = -1;
    int m_size = 0;
    int m_adcBits = 0;
    int m_metricsResult = 0;
};

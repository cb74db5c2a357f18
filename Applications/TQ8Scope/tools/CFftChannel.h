#pragma once
// One analysed channel of the spectrum window: where its samples come from,
// and its current and averaged spectra with the buffers behind them.
#include <cstdint>
#include <string>
#include <vector>

#include "ComTypes.h"
#include "FftResults.h"
#include "SafeArray.h"
#include "TQ8_64.h"
#include "Variant.h"

class CFftChannel {
public:
    static constexpr int64_t kNoTrace = -1;

    // One spectrum on display: its byte trace (lent to the window's plot),
    // figures and peaks.
    struct Result {
        SAFEARRAY* trace = nullptr; // unsigned bytes, at least N/2
        FftMetrics metrics;
        std::vector<FftPeak> peaks;
        int64_t traceId = kNoTrace;
        bool hidden = false;
        OLE_COLOR colour = 0xFFFFFF;
        // Why the last block gave nothing new, so that what is shown is of
        // an earlier one; empty after a good block.
        std::wstring stale;
        // Whether a good block has been shown (its figures set the size).
        bool Shown() const { return metrics.fftSize != 0; }
    };

    CFftChannel() = default;
    CFftChannel(const CFftChannel&) = delete;
    CFftChannel& operator=(const CFftChannel&) = delete;
    virtual ~CFftChannel();

    // Byte traces of at least n/2 entries, a zeroed running sum and no
    // average. Nothing for the size already prepared. false when memory
    // runs out. The caller takes the traces out of the plot first when
    // NeedsLargerTraces says so: a trace array may be replaced.
    bool Prepare(int n);
    bool NeedsLargerTraces(int n) const;
    void RestartAverage();
    void ResizePeaks(int count);
    uint8_t* TraceBytes(const Result& result) const;

    uint32_t srcId = 0;
    uint32_t chanId = 0;
    uint32_t chanCount = 0;
    uint32_t index = 0;     // within the source
    int32_t chanNumber = 0; // physical channel
    bool interleaved = false;
    VARTYPE sampleType = VT_UI1;
    std::wstring name;
    double rate = 0.0; // MHz
    int32_t adcBits = 16;
    TQ8_HANDLE board = nullptr;
    uint64_t blockOffset = 0;
    int preparedSize = 0;
    Result current;
    Result averaged;
    std::vector<double> sum;
    int32_t averageCount = 0;

private:
    static bool EnsureTrace(Result& result, uint32_t bytes);
};

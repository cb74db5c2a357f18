#include "CFftChannel.h"

#include <algorithm>
#include <cstring>
#include <new>

CFftChannel::~CFftChannel()
{
    SafeArrayDestroy(current.trace);
    SafeArrayDestroy(averaged.trace);
}

bool CFftChannel::NeedsLargerTraces(int n) const
{
    const uint32_t bytes = static_cast<uint32_t>(n / 2);
    auto small = [bytes](const Result& r) { return r.trace && r.trace->rgsabound[0].cElements < bytes; };
    return small(current) || small(averaged);
}

bool CFftChannel::EnsureTrace(Result& result, uint32_t bytes)
{
    if (result.trace && result.trace->rgsabound[0].cElements >= bytes)
        return true;
    SAFEARRAY* larger = SafeArrayCreateVector(VT_UI1, 0, bytes);
    if (!larger)
        return false;
    if (result.trace) {
        // The old spectrum stays readable until the next one replaces it.
        std::memcpy(larger->pvData, result.trace->pvData, result.trace->rgsabound[0].cElements);
        SafeArrayDestroy(result.trace);
    }
    result.trace = larger;
    return true;
}

bool CFftChannel::Prepare(int n)
{
    if (n == preparedSize)
        return true;
    const uint32_t bytes = static_cast<uint32_t>(n / 2);
    if (!EnsureTrace(current, bytes) || !EnsureTrace(averaged, bytes))
        return false;
    try {
        sum.assign(static_cast<size_t>(n), 0.0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    averageCount = 0;
    preparedSize = n;
    return true;
}

void CFftChannel::RestartAverage()
{
    std::fill(sum.begin(), sum.end(), 0.0);
    averageCount = 0;
}

void CFftChannel::ResizePeaks(int count)
{
    current.peaks.resize(static_cast<size_t>(std::max(count, 0)));
    averaged.peaks.resize(static_cast<size_t>(std::max(count, 0)));
}

uint8_t* CFftChannel::TraceBytes(const Result& result) const
{
    return result.trace ? static_cast<uint8_t*>(result.trace->pvData) : nullptr;
}

#include "CDriverStats.h"

namespace tq8 {

void CDriverStats::CountRamRead(uint64_t bytes)
{
    if (bytes == 0)
        return;
    // The counters are 32 bits wide in the driver's record and wrap as they do there.
    const auto chunks = static_cast<uint32_t>((bytes + kChunkBytes - 1) / kChunkBytes);
    m_dmaStarted.fetch_add(chunks);
    m_dmaCompleted.fetch_add(chunks);
    m_interrupts.fetch_add(chunks);
    // The engine moves whole units: a chunk's tail is rounded up.
    m_bytesTransferred.fetch_add((bytes + kDmaUnit - 1) / kDmaUnit * kDmaUnit);
}

void CDriverStats::CountDmaTransfer(uint64_t bytes)
{
    m_dmaStarted.fetch_add(1);
    m_dmaCompleted.fetch_add(1);
    m_interrupts.fetch_add(1);
    m_bytesTransferred.fetch_add(bytes);
}

void CDriverStats::CountAcquisitionComplete()
{
    m_acquisitionsCompleted.fetch_add(1);
    m_interrupts.fetch_add(1);
}

namespace {
template <class T>
T Take(std::atomic<T>& counter, bool reset)
{
    return reset ? counter.exchange(0) : counter.load();
}
} // namespace

DriverCounters CDriverStats::Read(bool reset)
{
    DriverCounters c;
    c.interrupts = Take(m_interrupts, reset);
    c.dmaCompleted = Take(m_dmaCompleted, reset);
    c.dmaStarted = Take(m_dmaStarted, reset);
    c.acquisitionsStarted = Take(m_acquisitionsStarted, reset);
    c.acquisitionsCompleted = Take(m_acquisitionsCompleted, reset);
    c.clockModuleResets = Take(m_clockModuleResets, reset);
    c.bytesTransferred = Take(m_bytesTransferred, reset);
    return c;
}

} // namespace tq8

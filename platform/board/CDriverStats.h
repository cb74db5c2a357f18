#pragma once
// The driver's counters of one card: interrupts, DMA transfers,
// acquisitions, clock-module resets and bytes moved. Counted from any
// thread; reading with reset hands out each counter and zeroes it in one
// step, so nothing counted in between is lost.
#include <atomic>
#include <cstdint>

namespace tq8 {

struct DriverCounters {
    uint32_t interrupts = 0;
    uint32_t dmaCompleted = 0;
    uint32_t dmaStarted = 0;
    uint32_t acquisitionsStarted = 0;
    uint32_t acquisitionsCompleted = 0;
    uint32_t clockModuleResets = 0;
    uint64_t bytesTransferred = 0;
    // Handles open on the board where a driver counts them; -1 elsewhere.
    int32_t openHandles = -1;
};

class CDriverStats {
public:
    // Bytes move in DMA chunks of at most this size (the driver's utility buffer).
    static constexpr uint32_t kChunkBytes = 65536;
    // The DMA engine's transfer unit.
    static constexpr uint32_t kDmaUnit = 128;

    // A sample-memory read of `bytes`, moved in chunks; each chunk is one
    // DMA start, one completion and one interrupt.
    void CountRamRead(uint64_t bytes);
    // One DMA transfer straight into a host buffer.
    void CountDmaTransfer(uint64_t bytes);
    void CountAcquisitionStart() { m_acquisitionsStarted.fetch_add(1); }
    // The samples-complete interrupt.
    void CountAcquisitionComplete();
    void CountClockModuleReset() { m_clockModuleResets.fetch_add(1); }

    DriverCounters Read(bool reset);

private:
    std::atomic<uint32_t> m_interrupts{0};
    std::atomic<uint32_t> m_dmaCompleted{0};
    std::atomic<uint32_t> m_dmaStarted{0};
    std::atomic<uint32_t> m_acquisitionsStarted{0};
    std::atomic<uint32_t> m_acquisitionsCompleted{0};
    std::atomic<uint32_t> m_clockModuleResets{0};
    std::atomic<uint64_t> m_bytesTransferred{0};
};

} // namespace tq8

#pragma once
// The card's bus-master DMA engine behind memory window 0 (byte offsets:
// 0x00 reset, write 1 then 0 (drops the transfer in flight); 0x04 start, write 1, and read: the interrupt
// status, bit 8 DMA complete, bit 9 samples complete; 0x08 bus address;
// 0x0C burst setting; 0x10 length in units of 128 bytes; 0x48 acknowledge).
// A started transfer runs on the engine's own thread, paced at the engine's
// rate on the simulator's time factor; the card's mover copies the bytes.
// The interrupt line is held while a status bit is set and dropped when the
// bits that were read have all been acknowledged; a transfer's interrupt is
// served on the engine's thread. Thread-safe.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace tq8 {

class CInterruptLine;

class CDmaEngine {
public:
    static constexpr uint32_t kReset = 0x00;
    static constexpr uint32_t kStart = 0x04;
    static constexpr uint32_t kBusAddress = 0x08;
    static constexpr uint32_t kBurst = 0x0C;
    static constexpr uint32_t kLength = 0x10;
    static constexpr uint32_t kAcknowledge = 0x48;
    static constexpr uint32_t kDmaComplete = 1u << 8;
    static constexpr uint32_t kSamplesComplete = 1u << 9;
    static constexpr uint32_t kUnit = 128;
    // Simulated bytes per second of the bus.
    static constexpr double kBytesPerSecond = 2.0e9;

    // Moves bytes between the card and the bus address.
    using Mover = std::function<void(uint64_t busAddress, uint32_t bytes)>;

    CDmaEngine(CInterruptLine& line, Mover mover);
    ~CDmaEngine();
    CDmaEngine(const CDmaEngine&) = delete;
    CDmaEngine& operator=(const CDmaEngine&) = delete;

    // The window's hooks (u32 index, as CRegisterWindow gives it).
    uint32_t Read(uint32_t index, uint32_t stored);
    void Write(uint32_t index, uint32_t value);
    // Sets a status bit and holds the line (samples complete comes from the
    // acquisition).
    void Raise(uint32_t bits);

    uint32_t Status() const;
    bool Busy() const;
    uint64_t Transfers() const;

private:
    struct Job {
        uint64_t busAddress;
        uint32_t bytes;
        uint64_t generation;
    };

    void Run();
    void WaitForJob(std::unique_lock<std::mutex>& lock);
    void Pace(std::unique_lock<std::mutex>& lock, const Job& job);
    void UpdateLineLocked();

    CInterruptLine& m_line;
    Mover m_mover;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    uint32_t m_busAddress = 0;
    uint32_t m_length = 0;
    uint32_t m_status = 0;
    uint32_t m_reported = 0; // seen by the last status read
    uint32_t m_fresh = 0;    // raised since then
    uint64_t m_generation = 0;
    uint64_t m_transfers = 0;
    std::optional<Job> m_job;
    bool m_moving = false; // bytes on the bus
    bool m_active = false; // a job taken and not finished
    uint64_t m_activeGeneration = 0;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_schedule{};
    std::thread m_thread;
};

} // namespace tq8

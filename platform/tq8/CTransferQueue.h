#pragma once
// The blocks between a recording's board side and its file side: a fixed
// number of buffers handed round from one producer thread to one consumer
// thread, so that the board's work (generating, moving samples) and the
// file writes overlap. A full queue makes the producer wait; the consumer
// cancels it to stop the producer, and the producer closes it when done.
// The blocks are one mapping, handed on to the next queue of the same size
// when this one ends.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tq8 {

class CTransferQueue {
public:
    CTransferQueue(size_t slots, size_t slotBytes);

    size_t SlotBytes() const { return m_slotBytes; }
    // Bytes from one block to the next: whole pages.
    static size_t BlockStride(size_t slotBytes);

    // Producer: waits until the consumer starts the queue; false once
    // cancelled instead.
    bool WaitStarted();
    // Consumer: ready for blocks.
    void Start();

    // Producer: a free buffer of SlotBytes(), nullptr once cancelled.
    uint8_t* BeginFill();
    // The same without waiting: nullptr when every buffer is taken (or
    // cancelled, see Cancelled).
    uint8_t* TryBeginFill();
    bool Cancelled() const;
    void EndFill(size_t bytes);
    // No more blocks will come.
    void Close();

    // Consumer: the oldest filled block, with the full blocks after it that
    // continue it in memory; false once the queue is closed and empty, or
    // cancelled. EndDrain frees them all.
    bool BeginDrain(const uint8_t*& data, size_t& bytes);
    void EndDrain();
    // Wakes and stops the producer; blocks not yet drained are dropped.
    void Cancel();

    // Filled blocks waiting, in thousandths of the queue.
    uint32_t FillPermille() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_spaceCv;
    std::condition_variable m_dataCv;
    const size_t m_slotBytes;
    const size_t m_stride; // from one block to the next
    struct Mapping {
        void* base = nullptr;
        size_t bytes = 0;
        Mapping() = default;
        Mapping(const Mapping&) = delete;
        Mapping& operator=(const Mapping&) = delete;
        ~Mapping();
    };
    Mapping m_mapping;
    // Page-aligned, so direct I/O can write them as they are.
    std::vector<uint8_t*> m_slots;
    std::vector<size_t> m_sizes;
    size_t m_head = 0;  // next to drain
    size_t m_count = 0; // filled, including those being drained
    size_t m_draining = 0;
    bool m_started = false;
    bool m_closed = false;
    bool m_cancelled = false;
};

} // namespace tq8

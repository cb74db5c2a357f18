#pragma once
// Time-stamp FIFO of a board: fixed depth; entries beyond it are lost and
// set the overflow flag until the FIFO is reset. The owner locks.
#include <cstdint>
#include <deque>

namespace tq8 {

class CTimestampFifo {
public:
    static constexpr uint32_t kDefaultDepth = 2048;

    explicit CTimestampFifo(uint32_t depth = kDefaultDepth) : m_depth(depth) {}

    uint32_t Depth() const { return m_depth; }
    void Push(uint64_t value);
    uint32_t Available() const { return static_cast<uint32_t>(m_entries.size()); }
    bool Overflowed() const { return m_overflow; }
    // Entries lost to a full FIFO since the last reset.
    uint64_t Dropped() const { return m_dropped; }
    // Moves up to max entries to dst; returns how many.
    uint32_t Pop(uint64_t* dst, uint32_t max);
    void Reset();

private:
    uint32_t m_depth;
    std::deque<uint64_t> m_entries;
    bool m_overflow = false;
    uint64_t m_dropped = 0;
};

} // namespace tq8

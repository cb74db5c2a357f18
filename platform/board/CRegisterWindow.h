#pragma once
// One memory window of the card: u32 registers reached by byte offset from
// the bus, with a read hook and a write hook through which the card's
// models answer (live status, serial lines, identification). Without hooks
// a register holds what was last written. Accesses outside the window or
// not on a u32 boundary read all ones and write nothing, as on the bus.
// Threads: the bus side from the driver's threads, the card's side from the card's; words and count are atomic.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace tq8 {

class CRegisterWindow {
public:
    // index: the register's u32 index; stored: what the register holds.
    using ReadHook = std::function<uint32_t(uint32_t index, uint32_t stored)>;
    // Called after the value is stored.
    using WriteHook = std::function<void(uint32_t index, uint32_t value)>;

    explicit CRegisterWindow(uint32_t lengthBytes);

    uint32_t Length() const { return m_length; }
    uint32_t Words() const { return m_length / 4; }

    // The bus side.
    uint32_t Read(uint32_t byteOffset);
    void Write(uint32_t byteOffset, uint32_t value);
    uint64_t Accesses() const { return m_accesses.load(); }

    // The card's side: no hooks, nothing counted.
    uint32_t Peek(uint32_t index) const;
    void Poke(uint32_t index, uint32_t value);
    // Set before the bus reaches the window.
    void SetHooks(ReadHook read, WriteHook write);

private:
    bool Reaches(uint32_t byteOffset) const { return byteOffset % 4 == 0 && byteOffset / 4 < Words(); }

    uint32_t m_length;
    std::unique_ptr<std::atomic<uint32_t>[]> m_words;
    ReadHook m_read;
    WriteHook m_write;
    std::atomic<uint64_t> m_accesses{0};
};

} // namespace tq8

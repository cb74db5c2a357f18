#pragma once
// The configuration EEPROM on the bit lines of window 2, byte offset 0
// (bit 16 clock, bit 17 data in, bit 18 data out, bit 20 chip select):
// Microwire framing of a start bit, a two-bit opcode, an eight-bit address
// and sixteen data bits, most significant first. Reads and writes go to the
// board's EEPROM image; a write needs write enable and keeps the data line
// low (busy) for a while after chip select falls, or for ever under the
// simulator switch. Not thread-safe: the card calls it under its own lock.
#include <cstdint>
#include <functional>

namespace tq8 {

class CSimBoard;

class CMicrowireEeprom {
public:
    using TimeSource = std::function<int64_t()>; // 100-ns units
    static constexpr uint32_t kClock = 1u << 16;
    static constexpr uint32_t kDataIn = 1u << 17;
    static constexpr uint32_t kDataOut = 1u << 18;
    static constexpr uint32_t kChipSelect = 1u << 20;
    // A write keeps the part busy for 5 ms.
    static constexpr int64_t kWriteTime = 50000;

    CMicrowireEeprom(CSimBoard& board, TimeSource now);

    void Write(uint32_t lines);
    // The register as read: the lines written, with the data-out line.
    uint32_t Read(uint32_t stored) const;

    void SetWriteNeverReady(bool never) { m_neverReady = never; }
    uint32_t WordsWritten() const { return m_wordsWritten; }

private:
    enum class State { Idle, WaitStart, Header, Reading, WritingData, Done };

    void RisingEdge(bool dataIn);
    void EndOfCommand();
    bool Busy() const { return m_now() < m_busyUntil; }

    CSimBoard& m_board;
    TimeSource m_now;
    uint32_t m_lines = 0;
    State m_state = State::Idle;
    uint32_t m_bits = 0;
    uint32_t m_shift = 0;
    uint32_t m_address = 0;
    uint16_t m_word = 0;
    bool m_dataOut = false;
    bool m_writeEnabled = false;
    bool m_neverReady = false;
    int64_t m_busyUntil = 0;
    uint32_t m_wordsWritten = 0;
};

} // namespace tq8

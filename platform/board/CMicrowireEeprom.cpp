#include "CMicrowireEeprom.h"

#include <limits>

#include "CSimBoard.h"

namespace tq8 {

namespace {
constexpr uint32_t kHeaderBits = 10; // opcode and address
constexpr uint32_t kDataBits = 16;
constexpr uint32_t kReadOpcode = 2;
constexpr uint32_t kWriteOpcode = 1;
} // namespace

CMicrowireEeprom::CMicrowireEeprom(CSimBoard& board, TimeSource now) : m_board(board), m_now(std::move(now)) {}

void CMicrowireEeprom::Write(uint32_t lines)
{
    const uint32_t before = m_lines;
    m_lines = lines;
    const bool selected = (lines & kChipSelect) != 0;
    if ((before & kChipSelect) != 0 && !selected) {
        EndOfCommand();
        return;
    }
    if ((before & kChipSelect) == 0 && selected)
        m_state = State::WaitStart;
    if (selected && (before & kClock) == 0 && (lines & kClock) != 0)
        RisingEdge((lines & kDataIn) != 0);
}

uint32_t CMicrowireEeprom::Read(uint32_t stored) const
{
    bool out = false;
    if (m_state == State::Reading)
        out = m_dataOut;
    else if ((m_lines & kChipSelect) != 0 && m_state != State::Header)
        out = !Busy(); // the ready line after a write
    return (stored & ~kDataOut) | (out ? kDataOut : 0);
}

void CMicrowireEeprom::RisingEdge(bool dataIn)
{
    switch (m_state) {
    case State::WaitStart:
        // Leading zeros are ignored; a busy part takes no command.
        if (dataIn && !Busy()) {
            m_state = State::Header;
            m_bits = 0;
            m_shift = 0;
        }
        break;
    case State::Header:
        m_shift = m_shift << 1 | (dataIn ? 1 : 0);
        if (++m_bits < kHeaderBits)
            break;
        m_address = m_shift & 0xFF;
        m_bits = 0;
        if (m_shift >> 8 == kReadOpcode) {
            m_word = 0xFFFF;
            if (m_address < kEepromWords)
                m_board.ReadEeprom(m_address, &m_word, 1);
            m_dataOut = false; // the dummy bit before the data
            m_state = State::Reading;
        } else if (m_shift >> 8 == kWriteOpcode) {
            m_word = 0;
            m_state = State::WritingData;
        } else {
            // Opcode 0: 11xxxxxx enables writing, 00xxxxxx disables it.
            if (m_shift >> 8 == 0 && (m_address >> 6) == 3)
                m_writeEnabled = true;
            else if (m_shift >> 8 == 0 && (m_address >> 6) == 0)
                m_writeEnabled = false;
            m_state = State::Done;
        }
        break;
    case State::Reading:
        m_dataOut = m_bits < kDataBits && ((m_word >> (kDataBits - 1 - m_bits)) & 1) != 0;
        ++m_bits;
        break;
    case State::WritingData:
        if (m_bits < kDataBits) {
            m_word = static_cast<uint16_t>(m_word << 1 | (dataIn ? 1 : 0));
            ++m_bits;
        }
        break;
    default:
        break;
    }
}

void CMicrowireEeprom::EndOfCommand()
{
    if (m_state == State::WritingData && m_bits == kDataBits && m_writeEnabled) {
        if (m_address < kEepromWords)
            m_board.WriteEeprom(m_address, &m_word, 1);
        ++m_wordsWritten;
        m_busyUntil = m_neverReady ? std::numeric_limits<int64_t>::max() : m_now() + kWriteTime;
    }
    m_state = State::Idle;
}

} // namespace tq8

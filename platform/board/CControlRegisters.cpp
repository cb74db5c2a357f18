#include "CControlRegisters.h"

#include <limits>

#include "CSimBoard.h"

namespace tq8 {

namespace {

constexpr uint32_t kClockControl = 5;
constexpr uint32_t kMemoryResetBit = 1u << 25;
constexpr uint32_t kClockResetBit = 1u << 27;
constexpr uint32_t kMemoryReadyBit = 1u << 4;
constexpr uint32_t kOverflowBit = 1u << 8;
constexpr uint32_t kEmptyBit = 1u << 20;
constexpr uint16_t kCalibrationBit = 0x8000;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

} // namespace

CControlRegisters::CControlRegisters(CSimBoard& board, uint32_t variant, TimeSource now)
    : m_board(board), m_variant(variant), m_now(std::move(now))
{
}

uint32_t CControlRegisters::Read(uint32_t index, uint32_t stored)
{
    switch (index) {
    case kStatusRegister:
        return Status();
    case 32:
        return m_clockGens[0].ReadBack();
    case 48:
        return m_clockGens[1].ReadBack();
    default:
        return stored;
    }
}

void CControlRegisters::Write(uint32_t index, uint32_t value)
{
    m_trace.Add({index, value});
    switch (index) {
    case kClockControl:
        Pulse(m_clockControl, value, kClockResetBit, m_clockLockedAt);
        Pulse(m_clockControl, value, kMemoryResetBit, m_memoryLockedAt);
        m_clockControl = value;
        break;
    case 10:
        m_secondary.Write(value);
        break;
    case 17:
    case 18:
        WriteConverter(index - 17, value);
        break;
    case 32:
        m_clockGens[0].Write(value);
        break;
    case 48:
        m_clockGens[1].Write(value);
        break;
    default:
        break;
    }
}

// The chip trims when its calibration bit (register 0 bit 15) goes up.
void CControlRegisters::WriteConverter(int chip, uint32_t value)
{
    CConverterChip& converter = m_converters[static_cast<size_t>(chip)];
    const bool was = (converter.Register(0) & kCalibrationBit) != 0;
    converter.Write(value);
    if (!was && (converter.Register(0) & kCalibrationBit) != 0)
        m_board.CountAdcCalibration(chip);
}

void CControlRegisters::Pulse(uint32_t before, uint32_t after, uint32_t bit, int64_t& lockedAt)
{
    if ((after & bit) != 0)
        lockedAt = kNever;
    else if ((before & bit) != 0)
        lockedAt = m_lockFails ? kNever : m_now() + kLockDelay;
}

uint32_t CControlRegisters::Status()
{
    uint32_t status = m_busyBits;
    if (Locked(m_memoryLockedAt))
        status |= kMemoryReadyBit;
    if (Locked(m_clockLockedAt))
        status |= LockBit();
    if (m_board.TimestampOverflow())
        status |= kOverflowBit;
    if (m_board.TimestampsAvailable() == 0)
        status |= kEmptyBit;
    return status;
}

} // namespace tq8

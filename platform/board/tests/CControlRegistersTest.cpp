#include "CControlRegisters.h"

#include <gtest/gtest.h>

#include "CSimBoard.h"

using tq8::CControlRegisters;

namespace {

class CControlRegistersTest : public ::testing::Test {
protected:
    uint32_t Status() { return m_control.Read(CControlRegisters::kStatusRegister, 0); }
    void Pulse(uint32_t bit)
    {
        m_control.Write(5, bit);
        m_control.Write(5, 0);
    }

    tq8::CSimBoard m_board{tq8::BoardDescription{}};
    int64_t m_now = 0;
    CControlRegisters m_control{m_board, 2, [this] { return m_now; }};
};

} // namespace

TEST_F(CControlRegistersTest, TheClockManagersLockAfterTheirDelay)
{
    EXPECT_EQ(m_control.LockBit(), 0x40u);
    Pulse(1u << 27);
    EXPECT_EQ(Status() & 0x40, 0u);
    m_now += CControlRegisters::kLockDelay;
    EXPECT_EQ(Status() & 0x40, 0x40u);
    Pulse(1u << 25);
    EXPECT_EQ(Status() & 0x10, 0u);
    m_now += CControlRegisters::kLockDelay;
    EXPECT_EQ(Status() & 0x50, 0x50u);
}

TEST_F(CControlRegistersTest, UnderTheSwitchTheLockNeverComesAndBusyBitsShow)
{
    m_control.SetLockFails(true);
    Pulse(1u << 27);
    m_now += 1000 * CControlRegisters::kLockDelay;
    EXPECT_EQ(Status() & 0x40, 0u);
    m_control.SetBusyBits(0xFF);
    EXPECT_EQ(Status() & 0xFF & ~0x50u, 0x6u);
    // Every write is traced in order.
    ASSERT_EQ(m_control.Trace().size(), 2u);
    EXPECT_EQ(m_control.Trace()[0], (CControlRegisters::Access{5, 1u << 27}));
}

TEST_F(CControlRegistersTest, SerialPortsReachTheirChips)
{
    m_control.Write(17, (0x10 | 9) << 16 | 0xBEEF);
    EXPECT_EQ(m_control.Converter(0).Register(9), 0xBEEF);
    m_control.Write(48, 0x011 << 8 | 5);
    m_control.Write(48, (0x011 | 0x8000) << 8);
    EXPECT_EQ(m_control.Read(48, 0) & 0xFF, 5u);
    EXPECT_EQ(m_control.ClockGen(1).Staged(0x011), 5);
}

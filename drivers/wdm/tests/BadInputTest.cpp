// Random register, EEPROM and scan-port requests, biased to the edges of
// each field: whatever they hold, the driver keeps to its copies (the
// configuration block and the line copies beside them are never touched by
// a register request), answers every one, and leaks nothing.
#include <random>

#include "DriverFixture.h"

using namespace kern;

namespace {

class BadInputTest : public DriverTest {
protected:
    void SetUp() override
    {
        DriverTest::SetUp();
        m_slot = Arrive();
        m_handle = Open(u"\\\\.\\TQ8_0");
    }

    uint32_t Field()
    {
        static const uint32_t edges[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 15, 16, 19, 20, 32, 48, 0x231, 0x232,
                                         0x3FF, 0x1000, 0x7FFFFFFF, 0x80000000, 0x80000231, 0xFFFFFFFE, 0xFFFFFFFF};
        return m_rng() % 2 == 0 ? edges[m_rng() % std::size(edges)] : static_cast<uint32_t>(m_rng());
    }

    void RandomRegisterRequest()
    {
        TQ8_REG_WRITE_REQUEST q{40, Field() % 9, Field(), Field(), Field(), 0, 0, Field(), Field(), Field()};
        if (m_rng() % 2 == 0) {
            Ioctl(m_handle, IOCTL_TQ8_WRITE_REG, q);
            return;
        }
        uint32_t out[10] = {0, q.kind, q.index, 0, 0, Field(), q.group, q.byte, q.chipRegister, 0};
        Ioctl(m_handle, IOCTL_TQ8_READ_REG, out, sizeof out, out, 4);
    }

    size_t m_slot = 0;
    Handle m_handle = CUserProcess::kInvalidHandle;
    std::mt19937 m_rng{35};
};

} // namespace

TEST_F(BadInputTest, RegisterRequestsStayInsideTheirCopies)
{
    TQ8_DEVICE_EXTENSION* ext = Ext(m_slot);
    const TQ8_CONFIG_CACHE cache = ext->configCache;
    const uint32_t eepromLines = ext->eepromLineShadow;
    const uint32_t scanLines = ext->scanLineShadow;
    for (int i = 0; i < 4000; ++i)
        RandomRegisterRequest();
    EXPECT_EQ(std::memcmp(&cache, &ext->configCache, sizeof cache), 0);
    EXPECT_EQ(ext->eepromLineShadow, eepromLines);
    EXPECT_EQ(ext->scanLineShadow, scanLines);
    EXPECT_EQ(ext->requestsInside.load(), 0u);
}

TEST_F(BadInputTest, ShiftsOfEveryLengthKeepToTheirBuffers)
{
    TQ8_JTAG_CONTROL_REQUEST claim{20, 0, 0, 0, TQ8_JTAG_CLAIM};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_JTAG_CONTROL, claim), STATUS_SUCCESS);
    for (int i = 0; i < 500; ++i) {
        const uint32_t length = 12 + static_cast<uint32_t>(m_rng() % 40);
        std::vector<uint8_t> in(length), out(length);
        const uint32_t bits = m_rng() % 4 == 0 ? Field() : static_cast<uint32_t>(m_rng() % (8 * (length - 12) + 16));
        const uint32_t head[3] = {length, static_cast<uint32_t>(m_rng() % 8), bits};
        std::memcpy(in.data(), head, sizeof head);
        const uint64_t needed = 12 + (uint64_t{bits} + 7) / 8;
        const NTSTATUS status = Ioctl(m_handle, IOCTL_TQ8_JTAG_SHIFT, in.data(), length, out.data(), length);
        if (needed > length && (head[1] & 3) != 0)
            EXPECT_EQ(status, STATUS_INFO_LENGTH_MISMATCH) << bits << " bits in " << length;
        else
            EXPECT_EQ(status, STATUS_SUCCESS) << bits << " bits in " << length;
    }
    EXPECT_LE(Ext(m_slot)->scanBufferSize, 40u);
}

TEST_F(BadInputTest, EepromAddressesWrapToEightBits)
{
    TQ8_EEPROM_REQUEST q{16, 1, 0x1000 | tq8::kEepromSerialLowWord, 0};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_EEPROM_ACCESS, q), STATUS_SUCCESS);
    EXPECT_EQ(q.value, Card().desc.serial & 0xFFFF);
    q = {16, 1, 0x45, 0};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_EEPROM_ACCESS, &q, 16, &q, 15), STATUS_INFO_LENGTH_MISMATCH);
}

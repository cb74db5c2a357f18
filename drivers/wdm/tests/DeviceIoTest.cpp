#include <thread>

#include "DriverFixture.h"

using namespace kern;

namespace {

struct SizeRule {
    uint32_t code;
    uint32_t minIn;
    uint32_t out;      // 0: no output rule
    bool exactOut;
};

// The size rules of every code; content-dependent rules are covered apart.
const SizeRule kRules[] = {
    {IOCTL_TQ8_GET_DRIVER_INFO, 0, 24, true},
    {IOCTL_TQ8_GET_CONFIG_CACHE, 4, 0, false},
    {IOCTL_TQ8_ALLOC_DMA_BUFFER, 16, 16, true},
    {IOCTL_TQ8_FREE_DMA_BUFFER, 16, 0, false},
    {IOCTL_TQ8_EEPROM_ACCESS, 16, 0, false},
    {IOCTL_TQ8_RESET_ADC, 4, 0, false},
    {IOCTL_TQ8_WRITE_REG, 40, 0, false},
    {IOCTL_TQ8_READ_REG, 40, 4, false},
    {IOCTL_TQ8_RESET_DCMS, 0, 0, false},
    {IOCTL_TQ8_START_DMA_XFER, 24, 0, false},
    {IOCTL_TQ8_REFRESH_CONFIG_CACHE, 0, 0, false},
    {IOCTL_TQ8_RAW_REG_ACCESS, 20, 20, false},
    {IOCTL_TQ8_READ_SAMPLE_RAM, 56, 0, false},
    {IOCTL_TQ8_JTAG_CONTROL, 20, 0, false},
    {IOCTL_TQ8_DELAY_US, 4, 0, false},
    {IOCTL_TQ8_JTAG_SHIFT, 12, 0, false},
    {IOCTL_TQ8_GET_DRIVER_STATS, 40, 40, false},
    {IOCTL_TQ8_SET_OPERATING_MODE, 4, 0, false},
    {IOCTL_TQ8_GET_DRIVER_STATE, 0, 4, false},
    {IOCTL_TQ8_WAIT_COMPLETE, 16, 0, false},
    {IOCTL_TQ8_SET_DCM_RESET_PENDING, 4, 0, false},
    {IOCTL_TQ8_READ_TIMESTAMPS, 24, 24, false},
};

class DeviceIoTest : public DriverTest {
protected:
    void SetUp() override
    {
        DriverTest::SetUp();
        m_slot = Arrive();
        m_handle = Open(u"\\\\.\\TQ8_0");
    }

    NTSTATUS Call(uint32_t code, uint32_t inLen, uint32_t outLen, uint8_t fill = 0xFF)
    {
        // Contents that every later check would refuse: a size fault must come
        // first. Codes whose size rules read the record get zeros.
        const bool readsRecord = code == IOCTL_TQ8_EEPROM_ACCESS || code == IOCTL_TQ8_JTAG_CONTROL
                                 || code == IOCTL_TQ8_JTAG_SHIFT;
        std::vector<uint8_t> in(inLen, readsRecord ? 0 : fill), out(outLen);
        if (code == IOCTL_TQ8_GET_CONFIG_CACHE && inLen >= 4)
            std::memset(in.data(), 0, 4), in[0] = 84;
        if (code == IOCTL_TQ8_DELAY_US && inLen >= 4)
            std::memset(in.data(), 0, 4);
        return Ioctl(m_handle, code, in.data(), inLen, out.data(), outLen);
    }

    size_t m_slot = 0;
    Handle m_handle = kern::CUserProcess::kInvalidHandle;
};

} // namespace

TEST_F(DeviceIoTest, EverySizeRuleAnswersBeforeAnythingElse)
{
    ASSERT_EQ(std::size(kRules), 22u);
    for (const SizeRule& r : kRules) {
        SCOPED_TRACE(::testing::Message() << std::hex << r.code);
        const uint32_t out = r.out;
        if (r.minIn > 0) {
            EXPECT_EQ(Call(r.code, r.minIn - 1, out), STATUS_INFO_LENGTH_MISMATCH);
        }
        if (out > 0) {
            EXPECT_EQ(Call(r.code, r.minIn, out - 1), STATUS_INFO_LENGTH_MISMATCH);
        }
        EXPECT_NE(Call(r.code, r.minIn, out), STATUS_INFO_LENGTH_MISMATCH);
        const NTSTATUS larger = Call(r.code, r.minIn + 8, out + 8);
        if (r.exactOut)
            EXPECT_EQ(larger, STATUS_INFO_LENGTH_MISMATCH);
        else
            EXPECT_NE(larger, STATUS_INFO_LENGTH_MISMATCH);
    }
}

TEST_F(DeviceIoTest, SizeRulesThatReadTheRecord)
{
    uint8_t in[64] = {}, out[64] = {};
    const auto call = [&](uint32_t code, uint32_t inLen, uint32_t outLen) {
        return Ioctl(m_handle, code, in, inLen, out, outLen);
    };
    // Configuration block: the caller's size must be at least 52.
    in[0] = 51;
    EXPECT_EQ(call(IOCTL_TQ8_GET_CONFIG_CACHE, 4, 84), STATUS_INFO_LENGTH_MISMATCH);
    // EEPROM read: exactly 16 out.
    std::memset(in, 0, sizeof in);
    in[4] = 1;
    EXPECT_EQ(call(IOCTL_TQ8_EEPROM_ACCESS, 16, 20), STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_NE(call(IOCTL_TQ8_EEPROM_ACCESS, 16, 16), STATUS_INFO_LENGTH_MISMATCH);
    // Scan-port control with a reply: at least 20 out.
    for (uint32_t flag : {TQ8_JTAG_CLAIM, TQ8_JTAG_RELEASE, TQ8_JTAG_READ_BACK}) {
        std::memcpy(in + 16, &flag, 4);
        EXPECT_EQ(call(IOCTL_TQ8_JTAG_CONTROL, 20, 19), STATUS_INFO_LENGTH_MISMATCH);
        EXPECT_NE(call(IOCTL_TQ8_JTAG_CONTROL, 20, 20), STATUS_INFO_LENGTH_MISMATCH);
    }
    // Scan-port shift: 12 + (N + 7) / 8 bytes in when shifting out, out when capturing.
    struct Shift {
        uint32_t flags, bits, inLen, outLen;
        bool fits;
    };
    const Shift shifts[] = {
        {1, 12, 13, 0, false}, {1, 12, 14, 0, true}, {2, 12, 12, 13, false}, {2, 12, 12, 14, true},
        {3, 64, 20, 20, true}, {1, 0xFFFFFFF9u, 16, 0, false}, {2, 0xFFFFFFFFu, 12, 64, false}, {0, 9999, 12, 0, true},
    };
    for (const Shift& s : shifts) {
        std::memset(in, 0, sizeof in);
        std::memcpy(in + 4, &s.flags, 4);
        std::memcpy(in + 8, &s.bits, 4);
        EXPECT_EQ(call(IOCTL_TQ8_JTAG_SHIFT, s.inLen, s.outLen) != STATUS_INFO_LENGTH_MISMATCH, s.fits)
            << s.flags << " " << s.bits;
    }
}

TEST_F(DeviceIoTest, DriverInfoAndConfigurationBlockCopies)
{
    uint8_t out[32];
    std::memset(out, 0xAB, sizeof out);
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, out, 32), STATUS_INFO_LENGTH_MISMATCH);
    uint32_t returned = 0;
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, out, 24, &returned), STATUS_SUCCESS);
    TQ8_DRIVER_INFO info;
    std::memcpy(&info, out, sizeof info);
    EXPECT_EQ(returned, 24u);
    EXPECT_EQ(info.recordSize, 24u);
    EXPECT_EQ(info.ordinal, 0u);
    EXPECT_EQ(info.driverVersion, 0x000200080006001Bull);

    struct Copy {
        uint32_t sizeField, outLen, copied;
    };
    // The copy never passes the size field, the block or the output.
    const Copy copies[] = {{60, 84, 60}, {84, 84, 84}, {200, 100, 84}, {84, 56, 56}, {52, 2, 2}};
    for (const Copy& c : copies) {
        std::vector<uint8_t> buffer(c.outLen + 16, 0xEE);
        ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_CONFIG_CACHE, &c.sizeField, 4, buffer.data(), c.outLen, &returned),
                  STATUS_SUCCESS);
        EXPECT_EQ(returned, c.copied);
        uint32_t head = 0;
        std::memcpy(&head, buffer.data(), 4);
        if (c.copied >= 4) {
            EXPECT_EQ(head, c.copied);
        }
        for (size_t i = c.outLen; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], 0xEE) << "written past the output at " << i;
    }
}

TEST_F(DeviceIoTest, RawRegisterAccessStaysInsideTheWindows)
{
    tq8::CSimCard& card = m_bus->Card(m_slot);
    TQ8_RAW_REG_REQUEST write{0, 0, 1, 5, 0x12345678};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_RAW_REG_ACCESS, write), STATUS_SUCCESS);
    EXPECT_EQ(card.Window(1).Peek(5), 0x12345678u);
    card.Window(3).Poke(1023, 0xCAFE);
    TQ8_RAW_REG_REQUEST read{0, 1, 3, 1023, 0};
    uint32_t returned = 0;
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_RAW_REG_ACCESS, read, &returned), STATUS_SUCCESS);
    EXPECT_EQ(read.value, 0xCAFEu);
    EXPECT_EQ(returned, 20u);
    TQ8_RAW_REG_REQUEST id{0, 1, 2, 4, 0};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_RAW_REG_ACCESS, id), STATUS_SUCCESS);
    EXPECT_EQ(id.value, tq8::CSimCard::Identification(card.Board().Desc()));

    struct Bad {
        int32_t window, index;
        NTSTATUS status;
    };
    const Bad bad[] = {{-1, 0, TQ8_STATUS_NO_WINDOW}, {4, 0, TQ8_STATUS_NO_WINDOW},
                       {1, -1, STATUS_INVALID_PARAMETER}, {1, 1024, STATUS_INVALID_PARAMETER},
                       {0, INT32_MIN, STATUS_INVALID_PARAMETER}};
    for (const Bad& b : bad) {
        TQ8_RAW_REG_REQUEST r{0, 1, b.window, b.index, 0};
        EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_RAW_REG_ACCESS, r), b.status) << b.window << " " << b.index;
    }
}

TEST_F(DeviceIoTest, StatisticsResetKeepsTheOpenCount)
{
    CUserProcess other;
    Handle second = CUserProcess::kInvalidHandle;
    ASSERT_EQ(other.Open(u"\\\\.\\TQ8_0", &second), STATUS_SUCCESS);
    TQ8_STATS_COUNTERS& c = Ext(m_slot)->stats;
    c.interrupts = 7;
    c.dmaCompleteInterrupts = 6;
    c.dmaTransfersStarted = 5;
    c.acquisitionsStarted = 4;
    c.samplesCompleteInterrupts = 3;
    c.clockManagerResets = 2;
    c.bytesMoved = 1ull << 40;
    TQ8_DRIVER_STATS stats{};
    stats.openHandles = 1; // reset
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_DRIVER_STATS, stats), STATUS_SUCCESS);
    const TQ8_DRIVER_STATS expected{0, 2, 7, 6, 5, 4, 3, 2, 1ull << 40};
    EXPECT_EQ(std::memcmp(&stats, &expected, sizeof stats), 0);
    stats = {};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_DRIVER_STATS, stats), STATUS_SUCCESS);
    const TQ8_DRIVER_STATS zeroed{0, 2, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&stats, &zeroed, sizeof stats), 0);
    other.Close(second);
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_DRIVER_STATS, stats), STATUS_SUCCESS);
    EXPECT_EQ(stats.openHandles, 1u);
}

TEST_F(DeviceIoTest, StateDcmFlagAndDelay)
{
    uint32_t state = 99;
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_DRIVER_STATE, nullptr, 0, &state, 4), STATUS_SUCCESS);
    EXPECT_EQ(state, 0u);
    TQ8_DEVICE_EXTENSION* ext = Ext(m_slot);
    for (uint32_t value : {0u, 5u, 0u}) {
        ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_SET_DCM_RESET_PENDING, &value, 4, nullptr, 0), STATUS_SUCCESS);
        EXPECT_EQ((ext->deviceFlags & TQ8_FLAG_DCM_RESET_PENDING) != 0, value != 0);
    }
    // Virtual time: a stall up to 7000 us and a sleep above it both pass the time asked.
    for (uint32_t us : {7000u, 2000000u}) {
        const int64_t before = KeQueryInterruptTime();
        ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_DELAY_US, &us, 4, nullptr, 0), STATUS_SUCCESS);
        EXPECT_EQ(KeQueryInterruptTime() - before, int64_t{us} * 10);
    }
}

TEST_F(DeviceIoTest, CodesNotHandledHereGoDownToTheBus)
{
    const uint32_t codes[] = {Tq8IoctlCode(0x805), Tq8IoctlCode(0x900), 0x12345678};
    for (uint32_t code : codes) {
        uint8_t record[64] = {};
        EXPECT_EQ(Ioctl(m_handle, code, record, 64, record, 64), STATUS_INVALID_DEVICE_REQUEST);
        const BusRequest last = m_bus->Requests(m_slot).back();
        EXPECT_EQ(last.major, IRP_MJ_DEVICE_CONTROL);
        EXPECT_EQ(last.ioControlCode, code);
    }
    m_process->Close(m_handle);
    EXPECT_EQ(m_bus->Requests(m_slot).back().major, IRP_MJ_CLOSE);
}

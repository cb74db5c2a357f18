#include <algorithm>

#include "DriverFixture.h"

using namespace kern;

namespace {

class RegistersTest : public DriverTest {
protected:
    void Start(const CardSpec& spec = Card())
    {
        m_slot = Arrive(spec);
        m_handle = Open(u"\\\\.\\TQ8_0");
        m_bus->Card(m_slot).ClearControlTrace();
    }

    NTSTATUS Write(uint32_t kind, uint32_t index, uint32_t value, uint32_t mask = 0xFFFFFFFF, uint32_t group = 0,
                   uint32_t byte = 0, uint32_t chipRegister = 0)
    {
        TQ8_REG_WRITE_REQUEST q{40, kind, index, mask, value, 0, 0, group, byte, chipRegister};
        return Ioctl(m_handle, IOCTL_TQ8_WRITE_REG, q);
    }

    NTSTATUS Read(uint32_t kind, uint32_t index, uint32_t* value, uint32_t group = 0, uint32_t source = 0)
    {
        TQ8_REG_READ_REQUEST q{0, kind, index, 0, 0, source, group, 0, 0, 0};
        const NTSTATUS status = Ioctl(m_handle, IOCTL_TQ8_READ_REG, &q, sizeof q, &q, 4);
        *value = q.value;
        return status;
    }

    NTSTATUS SetMode(uint32_t mode) { return Ioctl(m_handle, IOCTL_TQ8_SET_OPERATING_MODE, &mode, 4, nullptr, 0); }

    size_t Count(const std::vector<tq8::CControlRegisters::Access>& trace, uint32_t index, uint32_t value)
    {
        return static_cast<size_t>(std::count(trace.begin(), trace.end(), tq8::CControlRegisters::Access{index, value}));
    }

    size_t m_slot = 0;
    Handle m_handle = CUserProcess::kInvalidHandle;
};

} // namespace

TEST_F(RegistersTest, AWriteBeyondTheShadowsKeepsNoCopyAndItsReadIsRefused)
{
    Start();
    ASSERT_EQ(Write(0, 20, 0x12345678, 0xFF), STATUS_SUCCESS);
    EXPECT_EQ(m_bus->Card(m_slot).ControlTrace().front(), (tq8::CControlRegisters::Access{20, 0x12345678}));
    uint32_t value = 0;
    EXPECT_EQ(Read(0, 20, &value), TQ8_STATUS_BAD_REGISTER_INDEX);
    EXPECT_EQ(Write(0, 0x400, 1), TQ8_STATUS_BAD_REGISTER_INDEX);
    // Shadowed: masked into the copy.
    ASSERT_EQ(Write(0, 4, 0xAB, 0x0F), STATUS_SUCCESS);
    ASSERT_EQ(Read(0, 4, &value), STATUS_SUCCESS);
    EXPECT_EQ(value, 0xFF8Bu);
}

TEST_F(RegistersTest, TheClockGeneratorUpdateRegisterIsRefusedAndTheOneBelowUpdates)
{
    Start();
    EXPECT_EQ(Write(1, 32, 5, 0xFF, 19, 2, 0x80000232), STATUS_INVALID_PARAMETER);
    ASSERT_EQ(Write(1, 32, 5, 0xFF, 19, 2, 0x80000231), STATUS_SUCCESS);
    const tq8::CClockGenChip& chip = m_bus->Card(m_slot).Control().ClockGen(0);
    const std::vector<uint32_t> last(chip.Trace().end() - 2, chip.Trace().end());
    EXPECT_EQ(last, (std::vector<uint32_t>{0x23105, 0x23201}));
    EXPECT_EQ(chip.Active(0x231), 5);
    // The whole group from the image.
    TQ8_REG_READ_REQUEST q{0, 1, 32, 0, 0, 0, 19, 0, 0xFFFFFFFF, 0};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_READ_REG, &q, sizeof q, &q, 4), STATUS_SUCCESS);
    EXPECT_EQ(q.value >> 16 & 0xFF, 5u);
}

TEST_F(RegistersTest, CopiesAreNeverReachedOutsideTheirExtent)
{
    Start();
    EXPECT_EQ(Write(1, 32, 1, 0xFF, 20, 0, 0x10), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Write(2, 48, 1, 0xFF, 0, 4, 0x10), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Write(3, 17, 1, 0xFFFF, 0x80000000, 0, 1), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Write(4, 18, 1, 0xFFFF, 5, 0, 1), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Write(3, 17, 1, 0xFFFF, 0, 0, 4), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Write(6, 7, 1), TQ8_STATUS_BAD_REGISTER_INDEX);
    EXPECT_EQ(Write(7, 0, 1), TQ8_STATUS_BAD_KIND);
    uint32_t value = 0;
    EXPECT_EQ(Read(1, 32, &value, 20), TQ8_STATUS_BAD_GROUP_OR_START);
    EXPECT_EQ(Read(3, 17, &value, 5), TQ8_STATUS_BAD_GROUP_OR_START);
    EXPECT_EQ(Read(5, 0, &value), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Read(6, 7, &value), TQ8_STATUS_BAD_REGISTER_INDEX);
    EXPECT_TRUE(m_bus->Card(m_slot).ControlTrace().empty());
    // A converter slot write reaches the chip and the shadow word.
    ASSERT_EQ(Write(4, 18, 0x1234, 0xFFFF, 4, 1, 15), STATUS_SUCCESS);
    EXPECT_EQ(m_bus->Card(m_slot).Control().Converter(1).Register(15), 0x1234);
    ASSERT_EQ(Read(4, 18, &value, 4), STATUS_SUCCESS);
    EXPECT_EQ(value >> 16, 0x1234u);
}

TEST_F(RegistersTest, ModeZeroIsWrittenAsOneAndModeFourMarksNoAcquisition)
{
    Start();
    ASSERT_EQ(SetMode(TQ8_OPMODE_POWER_DOWN), STATUS_SUCCESS);
    uint32_t mode = 0;
    ASSERT_EQ(Read(0, 11, &mode, 0, 2), STATUS_SUCCESS);
    EXPECT_EQ(mode & 0xF, 1u);
    ASSERT_EQ(SetMode(TQ8_OPMODE_PCI_BUFFERED_ACQ), STATUS_SUCCESS);
    EXPECT_EQ(Ext(m_slot)->operationState, TQ8_STATE_IDLE);
    EXPECT_EQ(SetMode(10), TQ8_STATUS_BAD_WAIT_KIND_OR_MODE);
}

TEST_F(RegistersTest, DriverWordZeroBitEightDropsThePendingClockManagerReset)
{
    Start();
    const uint32_t on = 1;
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_SET_DCM_RESET_PENDING, &on, 4, nullptr, 0), STATUS_SUCCESS);
    ASSERT_EQ(Write(6, 0, 0x100, 0x100), STATUS_SUCCESS);
    const uint32_t resets = Ext(m_slot)->stats.clockManagerResets.load();
    ASSERT_EQ(SetMode(TQ8_OPMODE_STANDBY), STATUS_SUCCESS);
    EXPECT_EQ(Ext(m_slot)->deviceFlags & TQ8_FLAG_DCM_RESET_PENDING, 0u);
    EXPECT_EQ(Ext(m_slot)->stats.clockManagerResets.load(), resets);
}

TEST_F(RegistersTest, WithoutTheLockTheResetTimesOutAndTheAcquisitionModeIsRefused)
{
    Start();
    m_bus->Card(m_slot).Control().SetLockFails(true);
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_RESET_DCMS, nullptr, 0, nullptr, 0), TQ8_STATUS_TIMED_OUT);
    EXPECT_EQ(SetMode(TQ8_OPMODE_RAM_ACQ), TQ8_STATUS_NO_CLOCK_LOCK);
    m_bus->Card(m_slot).Control().SetLockFails(false);
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_RESET_DCMS, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
}

TEST_F(RegistersTest, AnAcquisitionDoesNotTakeOverAnotherOperation)
{
    Start();
    Ext(m_slot)->operationState = TQ8_STATE_SAMPLE_RAM_READ;
    EXPECT_EQ(SetMode(TQ8_OPMODE_RAM_ACQ), TQ8_STATUS_BUSY);
    EXPECT_EQ(Ext(m_slot)->operationState, TQ8_STATE_SAMPLE_RAM_READ);
    Ext(m_slot)->operationState = TQ8_STATE_IDLE;
}

TEST_F(RegistersTest, DelayBytesAboveSixtyFourCalibrateNeitherSdram)
{
    CardSpec spec = Card();
    spec.desc.eepromWords = {{tq8::kEepromSdramDelayWord, 0x4141}};
    Start(spec);
    EXPECT_TRUE(Logged("\\Device\\TQ80 : Error: Invalid SDRAM1 IDELAY value"));
    EXPECT_TRUE(Logged("\\Device\\TQ80 : Error: Invalid SDRAM2 IDELAY value"));
}

TEST_F(RegistersTest, DelayBytesOfSixtyFourGiveSixtyFourStepsEach)
{
    CardSpec spec = Card();
    spec.desc.eepromWords = {{tq8::kEepromSdramDelayWord, 0x4040}};
    const size_t slot = m_bus->Plug(spec);
    ASSERT_EQ(m_bus->AddDevice(slot), STATUS_SUCCESS);
    ASSERT_EQ(m_bus->Start(slot), STATUS_SUCCESS);
    const auto trace = m_bus->Card(slot).ControlTrace();
    EXPECT_EQ(Count(trace, 8, 0x600), 64u);
    EXPECT_EQ(Count(trace, 10, 0x600u << 16 | 0x8006), 64u);
    EXPECT_FALSE(Logged("\\Device\\TQ80 : Error: Invalid SDRAM1 IDELAY value"));
}

TEST_F(RegistersTest, TheConverterResetPulsesTheChipAndRefusesAThirdChip)
{
    Start();
    uint32_t chip = 2;
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_RESET_ADC, &chip, 4, nullptr, 0), STATUS_INVALID_PARAMETER);
    chip = 1;
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_RESET_ADC, &chip, 4, nullptr, 0), STATUS_SUCCESS);
    const std::vector<uint32_t>& words = m_bus->Card(m_slot).Control().Converter(1).Trace();
    const std::vector<uint32_t> last(words.end() - 2, words.end());
    EXPECT_EQ(last, (std::vector<uint32_t>{0x107FFF, 0x10FFFF}));
}

#include "DriverFixture.h"
#include "ScanChain.h"

using namespace kern;

namespace {

class EepromTest : public DriverTest {
protected:
    // Plugged and started after prepare has set the card up.
    template <class Prepare>
    void Start(CardSpec spec, Prepare prepare)
    {
        m_slot = m_bus->Plug(spec);
        prepare(m_bus->Card(m_slot));
        ASSERT_EQ(m_bus->AddDevice(m_slot), STATUS_SUCCESS);
        ASSERT_EQ(m_bus->Start(m_slot), STATUS_SUCCESS);
        m_handle = Open(u"\\\\.\\TQ8_0");
    }
    void Start(CardSpec spec = Card()) { Start(spec, [](tq8::CSimCard&) {}); }

    TQ8_CONFIG_CACHE Cache()
    {
        TQ8_CONFIG_CACHE cache{};
        cache.size = sizeof cache;
        EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_CONFIG_CACHE, cache), STATUS_SUCCESS);
        return cache;
    }

    TQ8_JTAG_CONTROL_REQUEST Control(Handle h, uint32_t flags, uint32_t lines = 0, uint32_t mask = 0,
                                     NTSTATUS expected = STATUS_SUCCESS)
    {
        TQ8_JTAG_CONTROL_REQUEST q{20, lines, mask, 0, flags};
        EXPECT_EQ(Ioctl(h, IOCTL_TQ8_JTAG_CONTROL, q), expected);
        return q;
    }

    size_t m_slot = 0;
    Handle m_handle = CUserProcess::kInvalidHandle;
};

} // namespace

TEST_F(EepromTest, TheConfigurationBlockHoldsTheImageWordsInOrder)
{
    CardSpec spec = Card(0x00012345);
    spec.desc.eepromWords = {{0x46, 0x000F}, {0x45, 0xFFFD}, {0x42, 7}, {0x5E, 0x8010}, {0x71, 3}};
    Start(spec);
    tq8::EepromImage image = tq8::MakeEepromImage(spec.desc);
    const TQ8_CONFIG_CACHE c = Cache();
    const uint16_t* head = &c.word70;
    int i = 0;
    for (uint32_t word : {0x70u, 0x4Du, 0x4Cu, 0x5Bu, 0x5Au, 0x5Cu, 0x5Du, 0x74u, 0x4Au, 0x4Fu, 0x4Eu, 0x7Bu})
        EXPECT_EQ(head[i++], image[word]) << word;
    EXPECT_EQ(c.identification, tq8::CSimCard::Identification(spec.desc));
    EXPECT_EQ(c.word77, image[0x77]);
    EXPECT_EQ(c.boardType, 3);
    EXPECT_EQ(c.word49, image[0x49]);
    EXPECT_EQ(c.phaseSteps, 16);
    EXPECT_EQ(c.optionFlags, 0x000F);
    EXPECT_EQ(c.adcAdjustments[0], 0xFFFD);
    EXPECT_EQ(c.adcAdjustments[3], 7);
    EXPECT_EQ(c.adcGainDefaults[2], 256);
    EXPECT_EQ(c.memorySize, 0x80000000u);
    TQ8_DRIVER_INFO info{};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, &info, sizeof info), STATUS_SUCCESS);
    EXPECT_EQ(info.serialNumber, 0x00012345u);
}

TEST_F(EepromTest, APhaseWordWithoutBitFifteenGivesTwentyEightSteps)
{
    CardSpec spec = Card();
    spec.desc.eepromWords = {{0x5E, 0x0010}};
    Start(spec);
    EXPECT_EQ(Cache().phaseSteps, 28);
}

TEST_F(EepromTest, ABlankEepromGivesTheFailurePatternThoughTheCheckPasses)
{
    Start(Card(), [](tq8::CSimCard& card) {
        std::vector<uint16_t> blank(tq8::kEepromWords, 0xFFFF);
        card.Board().WriteEeprom(0, blank.data(), tq8::kEepromWords);
    });
    EXPECT_FALSE(Logged("\\Device\\TQ80 : WARNING: Configuration EEPROM IO check failed"));
    TQ8_CONFIG_CACHE pattern{};
    pattern.size = 84;
    pattern.word70 = 0xFFFF;
    pattern.memorySize = 0x80000000u;
    const TQ8_CONFIG_CACHE c = Cache();
    EXPECT_EQ(std::memcmp(&c, &pattern, sizeof c), 0);
    EXPECT_EQ(Ext(m_slot)->serialNumber, 0u);
}

TEST_F(EepromTest, WordsAreReadAndWrittenAndAWriteThatNeverEndsTimesOut)
{
    Start();
    TQ8_EEPROM_REQUEST q{16, 0, 0x47, 0xBEEF};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_EEPROM_ACCESS, &q, 16, nullptr, 0), STATUS_SUCCESS);
    q = {16, 1, 0x147, 0};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_EEPROM_ACCESS, q), STATUS_SUCCESS);
    EXPECT_EQ(q.value, 0xBEEFu);
    m_bus->Card(m_slot).Eeprom().SetWriteNeverReady(true);
    q = {16, 0, 0x48, 1};
    const int64_t before = KeQueryInterruptTime();
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_EEPROM_ACCESS, &q, 16, nullptr, 0), TQ8_STATUS_TIMED_OUT);
    const int64_t waited = KeQueryInterruptTime() - before;
    EXPECT_GE(waited, 10000000);
    EXPECT_LT(waited, 11000000);
}

TEST_F(EepromTest, TheScanPortBelongsToOneHandle)
{
    Start();
    Handle other = Open(u"\\\\.\\TQ8_0");
    EXPECT_EQ(Control(m_handle, TQ8_JTAG_CLAIM).result, 1u);
    EXPECT_EQ(Control(other, TQ8_JTAG_CLAIM).result, 0u);
    Control(other, 1, 0, 0, STATUS_ACCESS_DENIED);
    uint8_t shift[16] = {12, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0};
    EXPECT_EQ(Ioctl(other, IOCTL_TQ8_JTAG_SHIFT, shift, 16, shift, 16), STATUS_ACCESS_DENIED);
    EXPECT_EQ(Control(other, TQ8_JTAG_RELEASE).result, 0u);
    // Closing the owner frees the port.
    m_process->Close(m_handle);
    EXPECT_EQ(Control(other, TQ8_JTAG_CLAIM).result, 1u);
    EXPECT_EQ(Control(other, TQ8_JTAG_RELEASE).result, 1u);
}

TEST_F(EepromTest, AShiftTakesTheLastByteFirstAndCapturesInTheSameLayout)
{
    Start();
    Control(m_handle, TQ8_JTAG_CLAIM);
    // Reset, then Run-Test/Idle, Select-DR, Capture-DR, Shift-DR.
    constexpr uint32_t kTms = 1u << 2;
    for (int i = 0; i < 5; ++i)
        Control(m_handle, 1, kTms, kTms);
    for (uint32_t tms : {0u, kTms, 0u, 0u})
        Control(m_handle, 1, tms, kTms);
    ASSERT_EQ(m_bus->Card(m_slot).ScanPort().CurrentState(), tq8::CScanPort::State::ShiftDr);
    uint8_t shift[14] = {0, 0, 0, 0, 3, 0, 0, 0, 12, 0, 0, 0, 0xFF, 0xFF};
    uint32_t returned = 0;
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_JTAG_SHIFT, shift, 14, shift, 14, &returned), STATUS_SUCCESS);
    EXPECT_EQ(returned, 14u);
    // The part next to the data-out line answers first.
    const uint32_t id = tq8::ScanChainIdCodes(Card().desc.fpgaType).front();
    EXPECT_EQ(shift[13], id & 0xFF);
    EXPECT_EQ(shift[12], (id >> 8) & 0xF);
}

TEST_F(EepromTest, AHugeBitCountIsRefusedBeforeAnythingIsAllocated)
{
    Start();
    Control(m_handle, TQ8_JTAG_CLAIM);
    uint8_t shift[16] = {0, 0, 0, 0, 3, 0, 0, 0, 0xF9, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_JTAG_SHIFT, shift, 16, shift, 16), STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(Ext(m_slot)->scanBuffer, nullptr);
}

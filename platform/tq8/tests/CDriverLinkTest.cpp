#include "CDriverLink.h"
#include "LocalBoardFixture.h"
#include "TQ8_64.h"

#include <algorithm>
#include <vector>

using tq8::CDriverLink;

TEST_F(LocalBoardTest, BoardsAreEnumeratedAndOpenedByTheirInterface)
{
    Arrive(2001);
    Arrive(2002);
    const auto links = CDriverLink::Boards();
    ASSERT_EQ(links.size(), 2u);
    CDriverLink first(*m_process), second(*m_process);
    ASSERT_EQ(first.Open(links[0]), TQ8_OK);
    ASSERT_EQ(second.Open(links[1]), TQ8_OK);
    EXPECT_EQ(first.Serial(), 2001u);
    EXPECT_EQ(first.Ordinal(), 0u);
    EXPECT_EQ(second.Serial(), 2002u);
    EXPECT_EQ(second.Ordinal(), 1u);
    EXPECT_EQ(m_process->OpenHandles(), 2u);
}

TEST_F(LocalBoardTest, EachLinkHasItsOwnFileObject)
{
    Arrive(2001);
    CDriverLink a(*m_process), b(*m_process);
    ASSERT_EQ(a.Open(CDriverLink::Boards()[0]), TQ8_OK);
    ASSERT_EQ(b.Open(CDriverLink::Boards()[0]), TQ8_OK);
    wdm::TQ8_DRIVER_STATS stats{};
    ASSERT_EQ(a.Stats(false, stats), TQ8_OK);
    EXPECT_EQ(stats.openHandles, 2u);
    b.Close();
    ASSERT_EQ(a.Stats(false, stats), TQ8_OK);
    EXPECT_EQ(stats.openHandles, 1u);
    EXPECT_EQ(b.Stats(false, stats), TQ8_ERR_INVALID_HANDLE);
}

TEST_F(LocalBoardTest, AGoneLinkIsNotFound)
{
    CDriverLink link(*m_process);
    EXPECT_EQ(link.Open(u"\\\\.\\TQ8_7"), TQ8_ERR_DEVICE_NOT_FOUND);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(LocalBoardTest, ABlankEepromIsRefusedOnOpen)
{
    size_t slot = m_bus->Plug(Card(2001));
    const std::vector<uint16_t> blank(128, 0xFFFF);
    ASSERT_EQ(m_bus->Card(slot).Board().WriteEeprom(0, blank.data(), 128), TQ8_OK);
    ASSERT_EQ(m_bus->AddDevice(slot), kern::STATUS_SUCCESS);
    ASSERT_EQ(m_bus->Start(slot), kern::STATUS_SUCCESS);
    CDriverLink link(*m_process);
    EXPECT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_ERR_EEPROM_INVALID);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(m_process->OpenHandles(), 0u);
}

TEST_F(LocalBoardTest, RegistersAndEepromGoThroughTheDriver)
{
    size_t slot = Arrive(2001);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    uint16_t word = 0;
    ASSERT_EQ(link.ReadEeprom(0x7F, word), TQ8_OK);
    uint16_t expected = 0;
    ASSERT_EQ(m_bus->Card(slot).Board().ReadEeprom(0x7F, &expected, 1), TQ8_OK);
    EXPECT_EQ(word, expected);
    ASSERT_EQ(link.RawWrite(1, 3, 0x12345678u), TQ8_OK);
    uint32_t value = 0;
    ASSERT_EQ(link.RawRead(1, 3, value), TQ8_OK);
    EXPECT_EQ(value, m_bus->Card(slot).Window(1).Peek(3));
    // Refusals of the driver arrive as library codes.
    EXPECT_EQ(link.RawRead(7, 0, value), TQ8_ERR_OUT_OF_BOUNDS);
    EXPECT_EQ(link.SetMode(10), TQ8_ERR_INVALID_ARG);
    EXPECT_FALSE(link.LastText().empty());
}

TEST_F(LocalBoardTest, AfterASurpriseRemovalEveryCallSaysRemoved)
{
    size_t slot = Arrive(2001);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    ASSERT_EQ(m_bus->SurpriseRemove(slot), kern::STATUS_SUCCESS);
    uint32_t state = 0;
    EXPECT_EQ(link.State(state), TQ8_ERR_DEVICE_REMOVED);
    EXPECT_TRUE(link.IsRemoved());
    uint16_t word = 0;
    EXPECT_EQ(link.ReadEeprom(0, word), TQ8_ERR_DEVICE_REMOVED);
    // The handle still closes normally, and the removal follows.
    link.Close();
    EXPECT_FALSE(m_bus->IsPlugged(slot));
}

TEST_F(LocalBoardTest, TimestampsComeInTheOrderQueued)
{
    size_t slot = Arrive(2001);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    const uint64_t queued[] = {5, 9, 1u << 20};
    m_bus->Card(slot).Board().QueueTimestamps(queued, 3);
    uint64_t out[8] = {};
    uint32_t count = 0;
    bool overflowed = true;
    ASSERT_EQ(link.ReadTimestamps(out, 8, count, false, &overflowed), TQ8_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_FALSE(overflowed);
    EXPECT_TRUE(std::equal(queued, queued + 3, out));
    EXPECT_EQ(link.ReadTimestamps(out, 0, count, false), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(count, 0u);
}

TEST_F(LocalBoardTest, DmaBuffersAreViewsGivenBackOnFreeOrClose)
{
    Arrive(2001);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    uint8_t* kept = nullptr;
    uint8_t* freed = nullptr;
    ASSERT_EQ(link.AllocDmaBuffer(4096, kept), TQ8_OK);
    ASSERT_EQ(link.AllocDmaBuffer(4096, freed), TQ8_OK);
    ASSERT_NE(kept, nullptr);
    kept[4095] = 1; // the whole view is the process's to write
    EXPECT_EQ(link.FreeDmaBuffer(freed), TQ8_OK);
    EXPECT_EQ(link.FreeDmaBuffer(freed), TQ8_ERR_DMA_BUFFER);
    // The kept one goes with the handle (the fixture checks the common buffers).
}

TEST_F(LocalBoardTest, ACardHeldForSimulatorControlOutlivesItsRemoval)
{
    const size_t slot = Arrive(2001);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    const auto card = m_bus->SharedCard(slot);
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(kern::NT_SUCCESS(m_bus->SurpriseRemove(slot)));
    link.Close(); // the last handle: the removal ends and the card is unplugged
    EXPECT_FALSE(m_bus->IsPlugged(slot));
    EXPECT_EQ(m_bus->SharedCard(slot), nullptr);
    card->Board().SetSignal(0, tq8::ChannelSignal{10, 50, 0, 3, -300});
    EXPECT_EQ(card->Board().Signal(0).offset, 3);
}

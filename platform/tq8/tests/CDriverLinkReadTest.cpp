// Sample-memory reads through the driver: time-outs, and a handle closed in
// the middle of a read.
#include <future>
#include <thread>
#include <vector>

#include "CDriverLink.h"
#include "CSimClock.h"
#include "DriverProbe.h"
#include "LocalBoardFixture.h"
#include "TQ8_64.h"

using tq8::CDriverLink;

namespace {

constexpr uint32_t kBytes = 1u << 20;

class LocalReadTest : public LocalBoardTest {
protected:
    void SetUp() override
    {
        LocalBoardTest::SetUp();
        m_slot = Arrive(2001);
        m_ram.resize(kBytes);
        for (size_t i = 0; i < m_ram.size(); ++i)
            m_ram[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
        m_bus->Card(m_slot).Board().WriteRam(0, m_ram.data(), kBytes);
    }

    void TearDown() override
    {
        tq8::CSimClock::SetFactor(1.0);
        LocalBoardTest::TearDown();
    }

    // Runs wait on its own thread, moving the kernel's clock on until it returns.
    template <class F>
    int32_t WhileClockRuns(F wait)
    {
        auto done = std::async(std::launch::async, wait);
        while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            kern::SimAdvanceClock(10 * 10000);
        return done.get();
    }

    size_t m_slot = 0;
    std::vector<uint8_t> m_ram;
};

} // namespace

TEST_F(LocalReadTest, AReadCopiesTheBoardMemory)
{
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    std::vector<uint8_t> out(kBytes);
    ASSERT_EQ(link.ReadSampleRam(0, kBytes, out.data(), false), TQ8_OK);
    EXPECT_EQ(out, m_ram);
    // An asynchronous read ends with its wait.
    std::vector<uint8_t> again(kBytes);
    ASSERT_EQ(link.ReadSampleRam(0, kBytes, again.data(), true), TQ8_OK);
    EXPECT_EQ(WhileClockRuns([&] { return link.WaitRead(0); }), TQ8_OK);
    EXPECT_EQ(again, m_ram);
}

TEST_F(LocalReadTest, ATimedOutWaitEndsTheReadBeforeItReturns)
{
    tq8::CSimClock::SetFactor(1000.0); // the read outlasts the wait
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    auto out = std::make_unique<std::vector<uint8_t>>(kBytes);
    ASSERT_EQ(link.ReadSampleRam(0, kBytes, out->data(), true), TQ8_OK);
    EXPECT_EQ(WhileClockRuns([&] { return link.WaitRead(50); }), TQ8_ERR_TIMEOUT);
    uint32_t state = 1;
    ASSERT_EQ(link.State(state), TQ8_OK);
    EXPECT_EQ(state, 0u);
    EXPECT_FALSE(m_bus->Card(m_slot).Dma().Busy());
    // The caller's memory is its own again (a later write would be caught).
    out.reset();
    std::vector<uint8_t> next(kBytes);
    tq8::CSimClock::SetFactor(0.0);
    EXPECT_EQ(link.ReadSampleRam(0, kBytes, next.data(), false), TQ8_OK);
    EXPECT_EQ(next, m_ram);
}

TEST_F(LocalReadTest, AHandleClosedMidReadLeavesTheBoardToTheOthers)
{
    tq8::CSimClock::SetFactor(1000.0);
    CDriverLink reader(*m_process), other(*m_process);
    ASSERT_EQ(reader.Open(CDriverLink::Boards()[0]), TQ8_OK);
    ASSERT_EQ(other.Open(CDriverLink::Boards()[0]), TQ8_OK);
    std::vector<uint8_t> out(kBytes), next(kBytes);
    ASSERT_EQ(reader.ReadSampleRam(0, kBytes, out.data(), true), TQ8_OK);
    EXPECT_EQ(other.ReadSampleRam(0, kBytes, next.data(), false), TQ8_ERR_BUSY);
    reader.Close();
    tq8::CSimClock::SetFactor(0.0);
    ASSERT_EQ(other.ReadSampleRam(0, kBytes, next.data(), false), TQ8_OK);
    EXPECT_EQ(next, m_ram);
}

TEST_F(LocalReadTest, ARemovalDuringAWaitEndsItWithTheRemovedCode)
{
    tq8::CSimClock::SetFactor(1000.0);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    std::vector<uint8_t> out(kBytes);
    ASSERT_EQ(link.ReadSampleRam(0, kBytes, out.data(), true), TQ8_OK);
    auto wait = std::async(std::launch::async, [&] { return link.WaitRead(0); });
    ASSERT_EQ(m_bus->SurpriseRemove(m_slot), kern::STATUS_SUCCESS);
    EXPECT_EQ(wait.get(), TQ8_ERR_DEVICE_REMOVED);
    EXPECT_EQ(link.WaitRead(0), TQ8_ERR_DEVICE_REMOVED);
    link.Close();
    EXPECT_FALSE(m_bus->IsPlugged(m_slot));
}

TEST_F(LocalReadTest, StandbyFromAnotherHandleCancelsABlockingAcquisition)
{
    tq8::CSimClock::SetFactor(1000.0);
    CDriverLink acquirer(*m_process), other(*m_process);
    ASSERT_EQ(acquirer.Open(CDriverLink::Boards()[0]), TQ8_OK);
    ASSERT_EQ(other.Open(CDriverLink::Boards()[0]), TQ8_OK);
    auto acquired = std::async(std::launch::async, [&] { return acquirer.Acquire(); });
    while (!DriverRequestPending(*m_bus, m_slot))
        std::this_thread::yield();
    ASSERT_EQ(other.SetMode(TQ8_MODE_STANDBY), TQ8_OK);
    EXPECT_EQ(acquired.get(), TQ8_ERR_CANCELLED);
    // The board is free for the other handle straight away.
    tq8::CSimClock::SetFactor(0.0);
    std::vector<uint8_t> out(kBytes);
    EXPECT_EQ(other.ReadSampleRam(0, kBytes, out.data(), false), TQ8_OK);
}

TEST_F(LocalReadTest, ARemovalDuringABlockingAcquisitionEndsItWithTheRemovedCode)
{
    tq8::CSimClock::SetFactor(1000.0);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    auto acquired = std::async(std::launch::async, [&] { return link.Acquire(); });
    ASSERT_EQ(m_bus->SurpriseRemove(m_slot), kern::STATUS_SUCCESS);
    EXPECT_EQ(acquired.get(), TQ8_ERR_DEVICE_REMOVED);
    EXPECT_EQ(link.SoftwareTrigger(), TQ8_ERR_DEVICE_REMOVED);
    link.Close();
    EXPECT_FALSE(m_bus->IsPlugged(m_slot));
}

TEST_F(LocalReadTest, AStandbyBeforeTheWaitStillCancelsTheAcquisition)
{
    tq8::CSimClock::SetFactor(1000.0);
    CDriverLink acquirer(*m_process), other(*m_process);
    ASSERT_EQ(acquirer.Open(CDriverLink::Boards()[0]), TQ8_OK);
    ASSERT_EQ(other.Open(CDriverLink::Boards()[0]), TQ8_OK);
    ASSERT_EQ(acquirer.StartAcquisition(), TQ8_OK);
    ASSERT_EQ(other.SetMode(TQ8_MODE_STANDBY), TQ8_OK);
    EXPECT_EQ(acquirer.WaitAcquisition(), TQ8_ERR_CANCELLED);
}

TEST_F(LocalReadTest, AFinishedAcquisitionSucceeds)
{
    tq8::CSimClock::SetFactor(0.0);
    CDriverLink link(*m_process);
    ASSERT_EQ(link.Open(CDriverLink::Boards()[0]), TQ8_OK);
    ASSERT_EQ(link.StartAcquisition(), TQ8_OK);
    ASSERT_EQ(link.SoftwareTrigger(), TQ8_OK);
    EXPECT_EQ(WhileClockRuns([&] { return link.WaitAcquisition(); }), TQ8_OK);
}

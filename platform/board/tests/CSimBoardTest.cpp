#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <thread>
#include <vector>

#include "CSimBoard.h"
#include "TQ8Codes.h"

using namespace tq8;

namespace {
class CSimBoardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CSimClock::SetFactor(0.001);
        BoardDescription d;
        d.serial = 4242;
        d.ramSize = 1u << 24;
        board = std::make_unique<CSimBoard>(d);
        board->SetSignal(0, ChannelSignal{10, 100, 0, 0, -300});
        board->SetSignal(1, ChannelSignal{20, 60, 0, 0, -300});
    }
    void TearDown() override { CSimClock::SetFactor(1.0); }

    void WaitUntilAcquiring() const
    {
        while (board->Mode() != TQ8_MODE_RAM_ACQ)
            std::this_thread::yield();
    }

    std::unique_ptr<CSimBoard> board;
};
} // namespace

TEST_F(CSimBoardTest, AcquisitionStartsAtTheTriggerPoint)
{
    ASSERT_EQ(board->Set(SettingId::ActiveChannels, 5), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::TriggerLevelA, 150), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::PreTriggerSamples, 64), TQ8_OK);
    ASSERT_EQ(board->Acquire(AcqTarget::Ram, 1024, 4096), TQ8_OK);
    std::vector<uint8_t> x(4096);
    ASSERT_EQ(board->ReadRam(1024, 4096, x.data()), TQ8_OK);
    // 64 samples of pre-trigger, then the rising crossing of level 150.
    EXPECT_NEAR(x[64], 150, 1.0);
    EXPECT_LT(x[60], x[68]);
    EXPECT_LE(x[63], 150);
    EXPECT_TRUE(board->SamplesComplete());
    EXPECT_EQ(board->Mode(), TQ8_MODE_STANDBY);
}

TEST_F(CSimBoardTest, FallingTriggerOnSecondChannel)
{
    ASSERT_EQ(board->Set(SettingId::ActiveChannels, 1), TQ8_OK); // Ch12
    ASSERT_EQ(board->Set(SettingId::TriggerSource, 1), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::TriggerDirectionA, 1), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::TriggerLevelA, 110), TQ8_OK);
    ASSERT_EQ(board->Acquire(AcqTarget::Ram, 0, 2048), TQ8_OK);
    std::vector<uint8_t> x(2048);
    ASSERT_EQ(board->ReadRam(0, 2048, x.data()), TQ8_OK);
    EXPECT_NEAR(x[1], 110, 1.0); // channel 2 of the first frame
    EXPECT_GT(x[1], x[1 + 2 * 8]);        // and falling
}

TEST_F(CSimBoardTest, StandbyEndsAnAcquisitionWaitingForTrigger)
{
    ASSERT_EQ(board->Set(SettingId::TriggerLevelA, 255), TQ8_OK); // never reached
    int32_t rc = 1;
    std::thread acq([&] { rc = board->Acquire(AcqTarget::Ram, 0, 4096); });
    WaitUntilAcquiring();
    ASSERT_EQ(board->SetMode(TQ8_MODE_STANDBY), TQ8_OK);
    acq.join();
    EXPECT_EQ(rc, TQ8_ERR_CANCELLED);
    EXPECT_FALSE(board->SamplesComplete());
    EXPECT_TRUE(board->IsIdle());
}

TEST_F(CSimBoardTest, StandbyEndsALongAcquisition)
{
    CSimClock::SetFactor(1000.0); // a second of samples takes ages
    int32_t rc = 1;
    std::thread acq([&] { rc = board->Acquire(AcqTarget::Ram, 0, 1u << 24); });
    WaitUntilAcquiring();
    board->SetMode(TQ8_MODE_STANDBY);
    acq.join();
    EXPECT_EQ(rc, TQ8_ERR_CANCELLED);
}

TEST_F(CSimBoardTest, SoftwareTriggerReachesAWaitingAcquisition)
{
    ASSERT_EQ(board->Set(SettingId::TriggerSource, 4), TQ8_OK); // external: never comes
    int32_t rc = 1;
    std::thread acq([&] { rc = board->Acquire(AcqTarget::Ram, 0, 4096); });
    WaitUntilAcquiring();
    board->SoftwareTrigger();
    acq.join();
    EXPECT_EQ(rc, TQ8_OK);
}

TEST_F(CSimBoardTest, OnlyAnAcquiredChannelTriggers)
{
    ASSERT_EQ(board->Set(SettingId::ActiveChannels, 5), TQ8_OK); // channel 1 alone
    ASSERT_EQ(board->Set(SettingId::TriggerSource, 1), TQ8_OK);  // channel 2's signal crosses the level
    std::atomic<bool> done{false};
    int32_t rc = 1;
    std::thread acq([&] {
        rc = board->Acquire(AcqTarget::Ram, 0, 4096);
        done = true;
    });
    while (board->Mode() != TQ8_MODE_RAM_ACQ && !done)
        std::this_thread::yield();
    // Triggered, these few samples would have been taken long before.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done);
    board->SoftwareTrigger();
    acq.join();
    EXPECT_EQ(rc, TQ8_OK);
    EXPECT_TRUE(board->SamplesComplete());

    ASSERT_EQ(board->Set(SettingId::ActiveChannels, 6), TQ8_OK); // channel 2 alone
    EXPECT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096), TQ8_OK);  // no software trigger needed
}

TEST_F(CSimBoardTest, TriggerIssuedBeforeArmingIsLatchedOnce)
{
    ASSERT_EQ(board->Set(SettingId::TriggerSource, 4), TQ8_OK);
    board->SoftwareTrigger();
    EXPECT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096), TQ8_OK);
    // Used up: the next acquisition waits again until standby.
    int32_t rc = 1;
    std::thread acq([&] { rc = board->Acquire(AcqTarget::Ram, 0, 4096); });
    WaitUntilAcquiring();
    board->SetMode(TQ8_MODE_STANDBY);
    acq.join();
    EXPECT_EQ(rc, TQ8_ERR_CANCELLED);
}

TEST_F(CSimBoardTest, SecondAcquisitionWhileBusyIsRefused)
{
    ASSERT_EQ(board->Set(SettingId::TriggerSource, 4), TQ8_OK);
    std::thread acq([&] { board->Acquire(AcqTarget::Ram, 0, 4096); });
    WaitUntilAcquiring();
    EXPECT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096), TQ8_ERR_BUSY);
    uint8_t b[16];
    EXPECT_EQ(board->ReadRam(0, 16, b), TQ8_ERR_BUSY);
    board->SetMode(TQ8_MODE_STANDBY);
    acq.join();
}

TEST_F(CSimBoardTest, TimestampsPerSegmentOnlyDuringAcquisitions)
{
    ASSERT_EQ(board->Set(SettingId::ActiveChannels, 5), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::TriggerMode, 1), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::SegmentSize, 1024), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::TimestampMode, 1), TQ8_OK);
    ASSERT_EQ(board->Acquire(AcqTarget::Ram, 0, 8 * 1024), TQ8_OK);
    EXPECT_EQ(board->TimestampsAvailable(), 8u);
    std::vector<uint64_t> ts(16);
    uint32_t n = 0;
    ASSERT_EQ(board->ReadTimestamps(ts.data(), 16, &n, true), TQ8_OK);
    ASSERT_EQ(n, 8u);
    for (uint32_t i = 1; i < n; ++i)
        EXPECT_GT(ts[i], ts[i - 1]);
    EXPECT_EQ(board->TimestampsAvailable(), 0u);
    EXPECT_EQ(board->TimestampsAvailable(), 0u); // idle: nothing new
    // Each segment is triggered anew: segments start alike.
    std::vector<uint8_t> x(8 * 1024);
    ASSERT_EQ(board->ReadRam(0, 8 * 1024, x.data()), TQ8_OK);
    EXPECT_EQ(x[0], x[1024]);
    EXPECT_EQ(x[5], x[7 * 1024 + 5]);
}

TEST_F(CSimBoardTest, SameSeedGivesTheSameAcquisition)
{
    board->SetSignal(0, ChannelSignal{10, 100, 2, 0, -60});
    std::vector<uint8_t> a(4096), b(4096);
    board->SetSeed(9);
    ASSERT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096), TQ8_OK);
    ASSERT_EQ(board->ReadRam(0, 4096, a.data()), TQ8_OK);
    board->SetSeed(9);
    ASSERT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096), TQ8_OK);
    ASSERT_EQ(board->ReadRam(0, 4096, b.data()), TQ8_OK);
    EXPECT_EQ(a, b);
}

TEST_F(CSimBoardTest, CenteringMovesTheMeanToTheTarget)
{
    board->SetSignal(2, ChannelSignal{10, 50, 0, 17, -300});
    ASSERT_EQ(board->CenterSignal(3, 128), TQ8_OK);
    ASSERT_EQ(board->Set(SettingId::ActiveChannels, 7), TQ8_OK); // Ch3 only
    ASSERT_EQ(board->Set(SettingId::TriggerSource, 2), TQ8_OK);
    ASSERT_EQ(board->Acquire(AcqTarget::Ram, 0, 15000), TQ8_OK);
    std::vector<uint8_t> x(15000);
    ASSERT_EQ(board->ReadRam(0, 15000, x.data()), TQ8_OK);
    double sum = 0;
    for (uint8_t v : x)
        sum += v;
    EXPECT_NEAR(sum / x.size(), 128.0, 0.6);
    EXPECT_EQ(board->CenterSignal(5, 128), TQ8_ERR_INVALID_ARG);
}

TEST_F(CSimBoardTest, AsyncReadCompletesAndWaitWithoutTransferReturnsAtOnce)
{
    EXPECT_EQ(board->WaitTransfer(0), TQ8_OK);
    ASSERT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096), TQ8_OK);
    std::vector<uint8_t> a(4096), b(4096);
    ASSERT_EQ(board->ReadRam(0, 4096, a.data()), TQ8_OK);
    ASSERT_EQ(board->StartReadRam(0, 4096, b.data()), TQ8_OK);
    EXPECT_EQ(board->WaitTransfer(2500), TQ8_OK);
    EXPECT_EQ(a, b);
    // A long transfer in slow time is still pending after a zero wait.
    CSimClock::SetFactor(1000.0);
    std::vector<uint8_t> all(1u << 24);
    ASSERT_EQ(board->StartReadRam(0, 1u << 24, all.data()), TQ8_OK); // about 20 s
    EXPECT_EQ(board->StartReadRam(0, 16, b.data()), TQ8_ERR_BUSY);   // one transfer at a time

    EXPECT_EQ(board->WaitTransfer(0), TQ8_ERR_TIMEOUT);
    board->SetMode(TQ8_MODE_STANDBY);
    EXPECT_EQ(board->WaitTransfer(0), TQ8_OK);
    // Stopped before it finished: nothing of it landed, then or later.
    EXPECT_TRUE(std::all_of(all.begin(), all.begin() + 4096, [](uint8_t v) { return v == 0; }));
}

TEST_F(CSimBoardTest, SignalsAndSettingsMayChangeWhileAcquiring)
{
    std::atomic<bool> done{false};
    int32_t rc = 1;
    std::thread acq([&] {
        rc = board->Acquire(AcqTarget::Ram, 0, 1u << 22);
        done = true;
    });
    for (int i = 0; !done; ++i) {
        board->SetSignal(0, ChannelSignal{5.0 + i % 7, 90, 1, 0, -60});
        board->Set(SettingId::TriggerLevelA, 100 + i % 50); // always crossed
        std::this_thread::yield();
    }
    acq.join();
    EXPECT_EQ(rc, TQ8_OK);
}

TEST_F(CSimBoardTest, AcquisitionGivenAnOldStandbyCountIsCancelledBeforeItStarts)
{
    const uint64_t epoch = board->StandbyEpoch();
    EXPECT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096, epoch), TQ8_OK);
    EXPECT_EQ(board->StandbyEpoch(), epoch); // an acquisition is no standby
    ASSERT_EQ(board->SetMode(TQ8_MODE_STANDBY), TQ8_OK);
    EXPECT_EQ(board->StandbyEpoch(), epoch + 1);
    EXPECT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096, epoch), TQ8_ERR_CANCELLED);
    EXPECT_TRUE(board->IsIdle());
    EXPECT_EQ(board->Acquire(AcqTarget::Ram, 0, 4096, epoch + 1), TQ8_OK);
}

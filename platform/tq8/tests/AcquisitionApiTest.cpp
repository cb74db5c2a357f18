#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "ApiFixture.h"

namespace {
double Bin(const std::vector<uint8_t>& x, size_t stride, size_t offset, double cyclesPerFrame)
{
    double re = 0, im = 0;
    size_t n = 0;
    for (size_t i = offset; i < x.size(); i += stride, ++n) {
        double a = 2 * std::numbers::pi * cyclesPerFrame * static_cast<double>(n);
        re += (x[i] - 128.0) * std::cos(a);
        im -= (x[i] - 128.0) * std::sin(a);
    }
    return std::hypot(re, im) / static_cast<double>(n);
}

void WaitForMode(TQ8_HANDLE h, int mode)
{
    while (GetOperatingModeTQ8(h, 1) != mode)
        std::this_thread::yield();
}
} // namespace

TEST_P(BoardApiTest, AcquisitionHoldsTheConfiguredTone)
{
    TQ8_HANDLE h = Board();
    TQ8SIM_SIGNAL sig{sizeof(TQ8SIM_SIGNAL), 0, 75.0, 80.0, 1.0, 0.0, -50.0};
    ASSERT_EQ(TQ8Sim_SetSignal(1600, 1, &sig), TQ8_OK);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK); // Ch12, 2 samples a frame
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    std::vector<uint8_t> x(1 << 16);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, 1 << 16, x.data(), 0), TQ8_OK);
    double rate = 0;
    ASSERT_EQ(GetEffectiveAcqRateTQ8(h, &rate), TQ8_OK);
    // Channel 2 carries 75 MHz with a peak of 80 codes: a DFT bin of 40.
    EXPECT_NEAR(Bin(x, 2, 1, 75.0 / rate), 40.0, 2.0);
    EXPECT_LT(Bin(x, 2, 1, 60.0 / rate), 2.0);
    // Channel 1 keeps its own default tone, not channel 2's.
    EXPECT_LT(Bin(x, 2, 0, 75.0 / rate), 2.0);
    EXPECT_TRUE(GetSamplesCompleteFlagTQ8(h));
}

TEST_P(BoardApiTest, CentringMovesTheMeanToTheTargetAndKeepsTheSettings)
{
    TQ8_HANDLE h = Board();
    // Far enough off centre that the first probe clips.
    TQ8SIM_SIGNAL sig{sizeof(TQ8SIM_SIGNAL), 0, 10.0, 50.0, 0.0, 100.0, -300.0};
    ASSERT_EQ(TQ8Sim_SetSignal(1600, 2, &sig), TQ8_OK);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, 65536, 4096), TQ8_OK);
    ASSERT_EQ(SetTriggerSourceTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(CenterSignalTQ8(h, 3, 128), TQ8_OK);
    EXPECT_LT(GetDcOffsetCh3TQ8(h, 1), 2048);
    EXPECT_EQ(GetDcOffsetCh1TQ8(h, 1), 2048);
    EXPECT_EQ(GetActiveChannelsTQ8(h, 1), 0);
    EXPECT_EQ(GetTriggerSourceTQ8(h, 1), 1);
    uint32_t count = 0, start = 0;
    ASSERT_EQ(GetActiveMemoryRegionTQ8(h, &count, &start, 1), TQ8_OK);
    EXPECT_EQ(count, 65536u);
    EXPECT_EQ(start, 4096u);
    EXPECT_EQ(CenterSignalTQ8(h, 5, 128), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(CenterSignalTQ8(h, 1, 256), TQ8_ERR_INVALID_ARG);

    ASSERT_EQ(SetActiveChannelsTQ8(h, 7), TQ8_OK); // Ch3 only
    ASSERT_EQ(SetTriggerSourceTQ8(h, 2), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 15, 0, 0), TQ8_OK);
    std::vector<uint8_t> x(1 << 15);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, 1 << 15, x.data(), 0), TQ8_OK);
    double sum = 0;
    for (uint8_t v : x)
        sum += v;
    EXPECT_NEAR(sum / static_cast<double>(x.size()), 128.0, 0.6);
}

TEST_P(BoardApiTest, StandbyOrDisconnectFromAnotherThreadCancelsAcquisition)
{
    for (bool disconnect : {false, true}) {
        SCOPED_TRACE(disconnect ? "disconnect" : "standby");
        TQ8_HANDLE ui = Board();
        TQ8_HANDLE worker = nullptr;
        ASSERT_EQ(DuplicateHandleTQ8(ui, &worker), TQ8_OK);
        ASSERT_EQ(SetTriggerSourceTQ8(ui, 4), TQ8_OK); // external trigger: never comes
        int32_t rc = 1;
        std::thread t([&] { rc = AcquireToBoardRamTQ8(worker, 0, 1048576, 0, 0); });
        WaitForMode(ui, TQ8_MODE_RAM_ACQ);
        EXPECT_FALSE(InIdleModeTQ8(ui));
        if (disconnect)
            ASSERT_EQ(DisconnectFromDeviceTQ8(worker), TQ8_OK);
        else
            ASSERT_EQ(SetOperatingModeTQ8(ui, TQ8_MODE_STANDBY), TQ8_OK);
        t.join();
        EXPECT_EQ(rc, TQ8_ERR_CANCELLED);
        EXPECT_TRUE(InIdleModeTQ8(ui));
        DisconnectFromDeviceTQ8(ui);
    }
}

TEST_P(BoardApiTest, SoftwareTriggerFromTheUiHandleReachesTheWorker)
{
    TQ8_HANDLE ui = Board();
    TQ8_HANDLE worker = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(ui, &worker), TQ8_OK);
    ASSERT_EQ(SetTriggerLevelATQ8(ui, 255), TQ8_OK); // never crossed
    int32_t rc = 1;
    std::thread t([&] { rc = AcquireToBoardRamTQ8(worker, 0, 65536, 0, 0); });
    WaitForMode(ui, TQ8_MODE_RAM_ACQ);
    ASSERT_EQ(IssueSoftwareTriggerTQ8(ui), TQ8_OK);
    t.join();
    EXPECT_EQ(rc, TQ8_OK);
    // Issued just before arming: latched and used.
    ASSERT_EQ(IssueSoftwareTriggerTQ8(ui), TQ8_OK);
    EXPECT_EQ(AcquireToBoardRamTQ8(worker, 0, 65536, 0, 0), TQ8_OK);
}

TEST_P(BoardApiTest, AsyncReadThenWait)
{
    TQ8_HANDLE h = Board();
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 2500), TQ8_OK); // nothing pending
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 20, 0, 0), TQ8_OK);
    std::vector<uint8_t> sync(1 << 20), async(1 << 20);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, 1 << 20, sync.data(), 0), TQ8_OK);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, 1 << 20, async.data(), 1), TQ8_OK);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 2500), TQ8_OK);
    EXPECT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_STANDBY), TQ8_OK);
    EXPECT_EQ(sync, async);
    // In slow time the transfer is still running after a short wait.
    ASSERT_EQ(TQ8Sim_SetTimeFactor(1000.0), TQ8_OK);
    std::vector<uint8_t> big(1u << 26);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, 1u << 26, big.data(), 1), TQ8_OK); // about 80 s
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 1), TQ8_ERR_TIMEOUT);
    EXPECT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_STANDBY), TQ8_OK);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 0), TQ8_OK);
    uint8_t b[8];
    EXPECT_EQ(ReadSampleRamBufTQ8(h, 0x80000000u - 4, 8, b, 0), TQ8_ERR_OUT_OF_BOUNDS);
    EXPECT_EQ(ReadSampleRamBufTQ8(h, 0, 8, nullptr, 0), TQ8_ERR_INVALID_ARG);
    // An empty read moves nothing and leaves nothing pending.
    EXPECT_EQ(ReadSampleRamBufTQ8(h, 0x80000000u, 0, nullptr, 1), TQ8_OK);
    EXPECT_TRUE(InIdleModeTQ8(h));
}

TEST_P(BoardApiTest, DmaBuffersBelongToTheirHandle)
{
    TQ8_HANDLE h = Board();
    TQ8_HANDLE other = Board(1601);
    uint8_t* dma = nullptr;
    ASSERT_EQ(AllocateDmaBufferTQ8(h, 1048576, &dma), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1048576, 0, 0), TQ8_OK);
    EXPECT_EQ(ReadSampleRamFastTQ8(h, 0, 1048576, dma, 1), TQ8_OK);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 1000), TQ8_OK);
    std::vector<uint8_t> plain(1048576);
    EXPECT_EQ(ReadSampleRamFastTQ8(h, 0, 1048576, plain.data(), 1), TQ8_ERR_DMA_BUFFER);
    EXPECT_EQ(ReadSampleRamFastTQ8(h, 0, 1048577, dma, 1), TQ8_ERR_DMA_BUFFER); // larger than the buffer
    EXPECT_EQ(FreeDmaBufferTQ8(other, dma), TQ8_ERR_DMA_BUFFER);
    EXPECT_EQ(FreeMemoryTQ8(dma), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(FreeDmaBufferTQ8(h, dma), TQ8_OK);
    EXPECT_EQ(FreeDmaBufferTQ8(h, dma), TQ8_ERR_DMA_BUFFER);
}

TEST_P(BoardApiTest, PciBufferedAcquisitionNeedsItsMode)
{
    TQ8_HANDLE h = Board();
    uint8_t* dma = nullptr;
    ASSERT_EQ(AllocateDmaBufferTQ8(h, 65536, &dma), TQ8_OK);
    EXPECT_EQ(GetPciAcquisitionDataFastTQ8(h, 65536, dma, 1), TQ8_ERR_WRONG_MODE);
    ASSERT_EQ(SetActiveMemoryRegionTQ8(h, 0, 0), TQ8_OK);
    ASSERT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_PCI_BUFFERED_ACQ), TQ8_OK);
    std::fill(dma, dma + 65536, uint8_t{1});
    ASSERT_EQ(GetPciAcquisitionDataFastTQ8(h, 65536, dma, 1), TQ8_OK);
    EXPECT_EQ(WaitForTransferCompleteTQ8(h, 10000), TQ8_OK);
    EXPECT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_STANDBY), TQ8_OK);
    int changed = 0;
    for (int i = 0; i < 65536; ++i)
        changed += dma[i] != 1;
    EXPECT_GT(changed, 60000);
    EXPECT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_RESERVED), TQ8_ERR_INVALID_ARG);
}

TEST_P(BoardApiTest, TimestampsOnlyFromAcquisitions)
{
    TQ8_HANDLE h = Board();
    uint32_t depth = 0;
    ASSERT_EQ(GetTimestampFifoDepthTQ8(h, &depth), TQ8_OK);
    EXPECT_EQ(depth, 2048u);
    EXPECT_EQ(GetTimestampAvailabilityTQ8(h), 0);
    ASSERT_EQ(SetTimestampModeTQ8(h, 2), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 65536, 0, 0), TQ8_OK);
    ASSERT_EQ(GetTimestampAvailabilityTQ8(h), 1);
    uint64_t v = 0;
    uint32_t n = 0;
    ASSERT_EQ(ReadTimestampDataTQ8(h, &v, 1, &n, 1, 0, nullptr), TQ8_OK);
    EXPECT_EQ(n, 1u);
    // Draining loops end: an idle board produces nothing.
    EXPECT_EQ(GetTimestampAvailabilityTQ8(h), 0);
    EXPECT_EQ(GetTimestampOverflowFlagTQ8(h), 0);
    EXPECT_EQ(ReadTimestampDataTQ8(h, &v, 1, &n, 1, 0, nullptr), TQ8_OK);
    EXPECT_EQ(n, 0u);
}

TEST_P(BoardApiTest, ZabNeedsTheFeature)
{
    TQ8SIM_BOARD_DESC d;
    TQ8Sim_DefaultBoardDesc(&d, 777);
    d.features = 0x8;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&d), TQ8_OK);
    TQ8_HANDLE local = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&local, 777), TQ8_OK);
    EXPECT_EQ(AcquireToZabTQ8(local, 65536, 0, 0, 0), TQ8_ERR_NOT_SUPPORTED);
    TQ8_HANDLE v = Board();
    EXPECT_EQ(AcquireToZabTQ8(v, 65536, 0, 0, 0), TQ8_OK);
    EXPECT_EQ(TransferSampleRamToZabTQ8(v, 0, 65536, 0, 0), TQ8_OK);
}

TEST_P(BoardApiTest, RecordedDataInfoFollowsSettings)
{
    TQ8_HANDLE h = Board();
    TQ8_RECORDED_DATA_INFO info{};
    EXPECT_EQ(InitRecordedDataInfoTQ8(h, &info), TQ8_ERR_INVALID_ARG); // size not set
    info.size = sizeof info;
    ASSERT_EQ(SetActiveChannelsTQ8(h, 7), TQ8_OK);
    ASSERT_EQ(SetPreTriggerSamplesTQ8(h, 256), TQ8_OK);
    ASSERT_EQ(InitRecordedDataInfoTQ8(h, &info), TQ8_OK);
    EXPECT_EQ(info.serialNumber, 1600u);
    EXPECT_EQ(info.channelCount, 1u);
    EXPECT_EQ(info.channelNumber, 3u);
    EXPECT_EQ(info.bytesPerSample, 1u);
    EXPECT_EQ(info.samplingRateMHz, 1500.0);
    EXPECT_EQ(info.inputRangeVpp, 0.5);
    EXPECT_EQ(info.triggerOffset, 256u);
    EXPECT_EQ(info.preTrigger, 1u);
    EXPECT_STREQ(info.boardName, "TQ3300-4");
}

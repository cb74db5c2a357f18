// ADC calibration and the driver's counters through the library's C calls.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "ApiFixture.h"

namespace {

TQ8_DRIVER_STATS Query(TQ8_HANDLE h, int32_t reset = 0)
{
    TQ8_DRIVER_STATS s;
    std::memset(&s, 0xCD, sizeof s);
    s.size = sizeof s;
    EXPECT_EQ(GetDriverStatsTQ8(h, &s, reset), TQ8_OK);
    return s;
}

uint32_t Calibrations(uint32_t serial, int32_t adc)
{
    uint32_t n = 999;
    EXPECT_EQ(TQ8Sim_GetAdcCalibrationCount(serial, adc, &n), TQ8_OK);
    return n;
}

// What the board counted since before: a local board's driver has done its
// own start-up work by the time the library connects.
TQ8_DRIVER_STATS Since(const TQ8_DRIVER_STATS& before, const TQ8_DRIVER_STATS& now)
{
    TQ8_DRIVER_STATS d = now;
    d.interrupts -= before.interrupts;
    d.dmaTransfersStarted -= before.dmaTransfersStarted;
    d.dmaTransfersCompleted -= before.dmaTransfersCompleted;
    d.acquisitionsStarted -= before.acquisitionsStarted;
    d.acquisitionsCompleted -= before.acquisitionsCompleted;
    d.clockModuleResets -= before.clockModuleResets;
    d.bytesTransferred -= before.bytesTransferred;
    return d;
}

// Calibrations of both chips since the board was connected.
class CalibrationTest : public BoardApiTest {
protected:
    TQ8_HANDLE Connect()
    {
        TQ8_HANDLE h = Board(1600);
        for (int32_t adc : {0, 1})
            m_before[adc] = Calibrations(1600, adc);
        return h;
    }
    uint32_t CalibrationsSince(int32_t adc) { return Calibrations(1600, adc) - m_before[adc]; }

private:
    uint32_t m_before[2] = {};
};
TQ8_ON_BOTH_PATHS(CalibrationTest);

} // namespace

TEST_P(BoardApiTest, FreshBoardCountsOnlyItsHandles)
{
    TQ8_HANDLE h = Board();
    TQ8_DRIVER_STATS s = Query(h);
    EXPECT_EQ(s.size, 40u);
    EXPECT_EQ(s.activeConnections, 1);
    EXPECT_EQ(s.interrupts, 0u);
    EXPECT_EQ(s.dmaTransfersStarted, 0u);
    EXPECT_EQ(s.dmaTransfersCompleted, 0u);
    EXPECT_EQ(s.acquisitionsStarted, 0u);
    EXPECT_EQ(s.acquisitionsCompleted, 0u);
    // A local board's driver resets the clock managers as it starts the board.
    EXPECT_EQ(s.clockModuleResets, IsLocal() ? 1u : 0u);
    EXPECT_EQ(s.bytesTransferred, 0u);
}

TEST_P(BoardApiTest, ActiveConnectionsFollowTheBoardsHandles)
{
    TQ8_HANDLE h = Board(1600);
    TQ8_HANDLE dup = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(h, &dup), TQ8_OK);
    TQ8_HANDLE other = Board(1601);
    EXPECT_EQ(Query(h).activeConnections, 2);
    EXPECT_EQ(Query(other).activeConnections, 1);
    ASSERT_EQ(DisconnectFromDeviceTQ8(dup), TQ8_OK);
    EXPECT_EQ(Query(h).activeConnections, 1);
}

TEST_P(BoardApiTest, AcquisitionAndReadAreCounted)
{
    TQ8_HANDLE h = Board();
    const TQ8_DRIVER_STATS before = Query(h);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    // Three chunks of the driver's 64 KiB buffer, the last one partial.
    const uint32_t bytes = 2 * 65536 + 100;
    std::vector<uint8_t> buffer(bytes);
    ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, bytes, buffer.data(), 0), TQ8_OK);
    ASSERT_EQ(SyncFirmwareToAdcClockTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(SyncFirmwareToAdcClockTQ8(h, 0), TQ8_OK); // no clock-module reset

    const TQ8_DRIVER_STATS s = Since(before, Query(h));
    EXPECT_EQ(s.acquisitionsStarted, 1u);
    EXPECT_EQ(s.acquisitionsCompleted, 1u);
    EXPECT_EQ(s.dmaTransfersStarted, 3u);
    EXPECT_EQ(s.dmaTransfersCompleted, 3u);
    EXPECT_EQ(s.interrupts, 4u); // three DMA completions and the samples-complete interrupt
    EXPECT_EQ(s.clockModuleResets, 1u);
    EXPECT_EQ(s.bytesTransferred, uint64_t{bytes} + 28); // the engine moves whole 128-byte units
}

TEST_P(BoardApiTest, CancelledAcquisitionIsStartedButNotCompleted)
{
    TQ8_HANDLE ui = Board();
    TQ8_HANDLE worker = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(ui, &worker), TQ8_OK);
    ASSERT_EQ(SetTriggerSourceTQ8(ui, 4), TQ8_OK); // external trigger: never comes
    int32_t rc = 1;
    std::thread t([&] { rc = AcquireToBoardRamTQ8(worker, 0, 65536, 0, 0); });
    while (GetOperatingModeTQ8(ui, 0) != TQ8_MODE_RAM_ACQ)
        std::this_thread::yield();
    ASSERT_EQ(SetOperatingModeTQ8(ui, TQ8_MODE_STANDBY), TQ8_OK);
    t.join();
    ASSERT_EQ(rc, TQ8_ERR_CANCELLED);
    TQ8_DRIVER_STATS s = Query(ui);
    EXPECT_EQ(s.acquisitionsStarted, 1u);
    EXPECT_EQ(s.acquisitionsCompleted, 0u);
    EXPECT_EQ(s.interrupts, 0u);
}

TEST_P(BoardApiTest, PciBufferedTransferIsOneDmaTransfer)
{
    TQ8_HANDLE h = Board();
    const TQ8_DRIVER_STATS before = Query(h);
    uint8_t* dma = nullptr;
    ASSERT_EQ(AllocateDmaBufferTQ8(h, 262144, &dma), TQ8_OK);
    ASSERT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_PCI_BUFFERED_ACQ), TQ8_OK);
    ASSERT_EQ(GetPciAcquisitionDataFastTQ8(h, 262144, dma, 0), TQ8_OK);
    const TQ8_DRIVER_STATS s = Since(before, Query(h));
    EXPECT_EQ(s.dmaTransfersStarted, 1u);
    EXPECT_EQ(s.dmaTransfersCompleted, 1u);
    EXPECT_EQ(s.bytesTransferred, 262144u);
    EXPECT_EQ(s.acquisitionsStarted, 1u); // streaming starts with the switch to its mode
}

TEST_P(BoardApiTest, ResetReturnsTheCountsThenZeroesAllButTheHandles)
{
    TQ8_HANDLE h = Board();
    const TQ8_DRIVER_STATS start = Query(h);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    ASSERT_EQ(SyncFirmwareToAdcClockTQ8(h, 1), TQ8_OK);
    const TQ8_DRIVER_STATS before = Since(start, Query(h, 1));
    EXPECT_EQ(before.acquisitionsCompleted, 1u);
    EXPECT_EQ(before.clockModuleResets, 1u);
    TQ8_DRIVER_STATS after = Query(h);
    EXPECT_EQ(after.activeConnections, 1);
    EXPECT_EQ(after.interrupts, 0u);
    EXPECT_EQ(after.acquisitionsStarted, 0u);
    EXPECT_EQ(after.acquisitionsCompleted, 0u);
    EXPECT_EQ(after.clockModuleResets, 0u);
    EXPECT_EQ(after.bytesTransferred, 0u);
    // Counting goes on after a reset.
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    EXPECT_EQ(Query(h).acquisitionsCompleted, 1u);
}

TEST_P(BoardApiTest, DuplicateHandlesShareTheBoardsCounters)
{
    TQ8_HANDLE h = Board();
    TQ8_HANDLE dup = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(h, &dup), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(dup, 0, 1 << 16, 0, 0), TQ8_OK);
    EXPECT_EQ(Query(h).acquisitionsCompleted, 1u);
    Query(dup, 1);
    EXPECT_EQ(Query(h).acquisitionsCompleted, 0u);
}

TEST_P(BoardApiTest, StatsRecordMustCarryItsSize)
{
    TQ8_HANDLE h = Board();
    TQ8_DRIVER_STATS s{};
    for (uint32_t size : {0u, 36u, 39u}) {
        s.size = size;
        EXPECT_EQ(GetDriverStatsTQ8(h, &s, 0), TQ8_ERR_INVALID_ARG) << size;
    }
    // A larger record is filled and keeps its size.
    s.size = 48;
    ASSERT_EQ(GetDriverStatsTQ8(h, &s, 0), TQ8_OK);
    EXPECT_EQ(s.size, 48u);
    EXPECT_EQ(s.activeConnections, 1);
    EXPECT_EQ(GetDriverStatsTQ8(h, nullptr, 0), TQ8_ERR_INVALID_ARG);
    s.size = 40;
    EXPECT_EQ(GetDriverStatsTQ8(nullptr, &s, 0), TQ8_ERR_INVALID_HANDLE);
}

TEST_P(BoardApiTest, RefusedStatsQueryDoesNotReset)
{
    TQ8_HANDLE h = Board();
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    TQ8_DRIVER_STATS s{};
    s.size = 32;
    EXPECT_EQ(GetDriverStatsTQ8(h, &s, 1), TQ8_ERR_INVALID_ARG);
    ASSERT_EQ(TQ8Sim_InjectResult("GetDriverStatsTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    s.size = 40;
    EXPECT_EQ(GetDriverStatsTQ8(h, &s, 1), TQ8_ERR_GENERAL);
    EXPECT_EQ(Query(h).acquisitionsCompleted, 1u);
}

TEST_P(CalibrationTest, CalibrationCountsPerAdc)
{
    TQ8_HANDLE h = Connect();
    ASSERT_EQ(CalibrateAdcTQ8(h, 0), TQ8_OK);
    ASSERT_EQ(CalibrateAdcTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(CalibrateAdcTQ8(h, 1), TQ8_OK);
    EXPECT_EQ(CalibrationsSince(0), 1u);
    EXPECT_EQ(CalibrationsSince(1), 2u);
}

TEST_P(CalibrationTest, CalibrationRefusesOtherIndexes)
{
    TQ8_HANDLE h = Connect();
    for (int32_t adc : {-1, 2, 3, 1000})
        EXPECT_EQ(CalibrateAdcTQ8(h, adc), TQ8_ERR_INVALID_ARG) << adc;
    EXPECT_EQ(CalibrationsSince(0), 0u);
    EXPECT_EQ(CalibrationsSince(1), 0u);
    EXPECT_EQ(CalibrateAdcTQ8(nullptr, 0), TQ8_ERR_INVALID_HANDLE);
    uint32_t n = 0;
    EXPECT_EQ(TQ8Sim_GetAdcCalibrationCount(1600, 2, &n), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(TQ8Sim_GetAdcCalibrationCount(4242, 0, &n), TQ8_ERR_DEVICE_NOT_FOUND);
}

TEST_P(CalibrationTest, InjectedCalibrationFailureCalibratesNothing)
{
    TQ8_HANDLE h = Connect();
    ASSERT_EQ(TQ8Sim_InjectResult("CalibrateAdcTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    EXPECT_EQ(CalibrateAdcTQ8(h, 0), TQ8_ERR_TIMEOUT);
    EXPECT_EQ(CalibrationsSince(0), 0u);
    EXPECT_EQ(CalibrateAdcTQ8(h, 0), TQ8_OK);
    EXPECT_EQ(CalibrationsSince(0), 1u);
}

TEST_P(CalibrationTest, CalibrationWaitsForTheBoardToBeIdle)
{
    TQ8_HANDLE ui = Connect();
    TQ8_HANDLE worker = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(ui, &worker), TQ8_OK);
    ASSERT_EQ(SetTriggerSourceTQ8(ui, 4), TQ8_OK);
    std::thread t([&] { AcquireToBoardRamTQ8(worker, 0, 65536, 0, 0); });
    while (GetOperatingModeTQ8(ui, 0) != TQ8_MODE_RAM_ACQ)
        std::this_thread::yield();
    EXPECT_EQ(CalibrateAdcTQ8(ui, 0), TQ8_ERR_BUSY);
    ASSERT_EQ(SetOperatingModeTQ8(ui, TQ8_MODE_STANDBY), TQ8_OK);
    t.join();
    EXPECT_EQ(CalibrationsSince(0), 0u);
    EXPECT_EQ(CalibrateAdcTQ8(ui, 0), TQ8_OK);
    EXPECT_EQ(CalibrationsSince(0), 1u);
}

TEST_P(BoardApiTest, ClockChangeBringsOneAutomaticResetUnlessOverridden)
{
    TQ8_HANDLE h = Board();
    // Whatever reset the board still owed from its start is done first.
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    Query(h, 1);
    ASSERT_EQ(SetInternalAdcClockRateTQ8(h, 1000.0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    EXPECT_EQ(Query(h, 1).clockModuleResets, 1u);
    ASSERT_EQ(SetAutoDcmResetOverrideTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(SetInternalAdcClockRateTQ8(h, 1200.0), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 16, 0, 0), TQ8_OK);
    EXPECT_EQ(Query(h).clockModuleResets, 0u);
}

TEST_P(CalibrationTest, CalibrationHoldsTheCalibrationBitMeanwhile)
{
    TQ8_HANDLE ui = Connect();
    TQ8_HANDLE worker = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(ui, &worker), TQ8_OK);
    // Half a second of calibration, so a loaded machine still lets the
    // polling loop below see the bit while it is held.
    TQ8Sim_SetTimeFactor(50.0);
    std::atomic<bool> done{false};
    std::thread t([&] {
        EXPECT_EQ(CalibrateAdcTQ8(worker, 1), TQ8_OK);
        done = true;
    });
    bool seen = false;
    int32_t refused = 0;
    while (!done) {
        const uint32_t* words = nullptr;
        ASSERT_EQ(GetRegSetTQ8(ui, 4, &words), TQ8_OK);
        if ((words[0] & 0x8000u) != 0 && !seen) {
            seen = true;
            refused = AcquireToBoardRamTQ8(ui, 0, 1 << 16, 0, 0);
        }
    }
    t.join();
    EXPECT_TRUE(seen);
    EXPECT_EQ(refused, TQ8_ERR_BUSY);
    const uint32_t* words = nullptr;
    ASSERT_EQ(GetRegSetTQ8(ui, 4, &words), TQ8_OK);
    EXPECT_EQ(words[0], 0xB2FF7FFFu);
}

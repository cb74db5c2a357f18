// Local boards through the driver when things go wrong: the card pulled out
// during a call, a handle closed while its read runs. Every blocked call
// must come back quickly, nothing may land in a caller's buffer after its
// call returned, and once the handles are closed the driver has given back
// all it took.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <malloc.h>
#include <thread>
#include <vector>

#include "Hal.h"
#include "Pool.h"
#include "RecordingFixture.h"

namespace {

constexpr uint32_t kSerial = 1600;
// A hang guard, far beyond what a sound call takes.
constexpr auto kQuick = std::chrono::seconds(5);

// Bytes the program holds from the heap, large blocks (mapped) included.
[[maybe_unused]] size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

class LocalFaultTest : public RecordingTest {
protected:
    BoardPath Path() const override { return BoardPath::Local; }

    void TearDown() override
    {
        RecordingTest::TearDown();
        EXPECT_TRUE(kern::SimPoolOutstanding().empty()) << "pool not given back";
        EXPECT_EQ(kern::SimCommonBuffersOutstanding(), 0);
    }

    static void WaitForMode(TQ8_HANDLE h, int mode)
    {
        const auto end = std::chrono::steady_clock::now() + kQuick;
        while (GetOperatingModeTQ8(h, 1) != mode && std::chrono::steady_clock::now() < end)
            std::this_thread::yield();
        ASSERT_EQ(GetOperatingModeTQ8(h, 1), mode);
    }

    template <class F>
    static std::chrono::steady_clock::duration Timed(F&& body)
    {
        const auto start = std::chrono::steady_clock::now();
        body();
        return std::chrono::steady_clock::now() - start;
    }

    // The buffer, marked after the call returned, keeps the mark.
    static void ExpectUntouchedAfterwards(std::vector<uint8_t>& buffer)
    {
        std::fill(buffer.begin(), buffer.end(), uint8_t{0xEE});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xEE; }));
    }
};

TEST_F(LocalFaultTest, RemovalEndsABlockingAcquisitionAndEveryLaterCall)
{
    TQ8_HANDLE ui = Board(kSerial);
    TQ8_HANDLE worker = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(ui, &worker), TQ8_OK);
    ASSERT_EQ(SetTriggerSourceTQ8(ui, 4), TQ8_OK); // external: never comes
    int32_t rc = 1;
    std::thread t([&] { rc = AcquireToBoardRamTQ8(worker, 0, 1048576, 0, 0); });
    WaitForMode(ui, TQ8_MODE_RAM_ACQ);
    ASSERT_EQ(TQ8Sim_SurpriseRemoveBoard(kSerial), TQ8_OK);
    EXPECT_LT(Timed([&] { t.join(); }), kQuick);
    EXPECT_EQ(rc, TQ8_ERR_DEVICE_REMOVED);
    uint8_t b[256];
    EXPECT_EQ(ReadSampleRamBufTQ8(ui, 0, sizeof b, b, 0), TQ8_ERR_DEVICE_REMOVED);
    EXPECT_EQ(SetOperatingModeTQ8(worker, TQ8_MODE_STANDBY), TQ8_ERR_DEVICE_REMOVED);
    EXPECT_EQ(AcquireToBoardRamTQ8(ui, 0, 65536, 0, 0), TQ8_ERR_DEVICE_REMOVED);
    EXPECT_EQ(GetDeviceCountTQ8(), 0);
    EXPECT_EQ(DisconnectFromDeviceTQ8(worker), TQ8_OK);
    EXPECT_EQ(DisconnectFromDeviceTQ8(ui), TQ8_OK);
}

TEST_F(LocalFaultTest, RemovalEndsAnAsyncReadWithoutLaterWrites)
{
    // One request of the driver's, and one read in pieces.
    for (uint32_t bytes : {1u << 20, 1u << 26}) {
        SCOPED_TRACE(bytes);
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        TQ8_HANDLE h = Board(kSerial);
        ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 1 << 20, 0, 0), TQ8_OK);
        ASSERT_EQ(TQ8Sim_SetTimeFactor(1000.0), TQ8_OK); // the read runs for minutes
        std::vector<uint8_t> buffer(bytes);
        ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, bytes, buffer.data(), 1), TQ8_OK);
        ASSERT_EQ(TQ8Sim_SurpriseRemoveBoard(kSerial), TQ8_OK);
        int32_t rc = 1;
        EXPECT_LT(Timed([&] { rc = WaitForTransferCompleteTQ8(h, 60000); }), kQuick);
        EXPECT_EQ(rc, TQ8_ERR_DEVICE_REMOVED);
        ExpectUntouchedAfterwards(buffer);
        EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
    }
}

TEST_F(LocalFaultTest, TimedOutReadIsEndedBeforeTheWaitReturns)
{
    for (uint32_t bytes : {1u << 20, 1u << 26}) {
        SCOPED_TRACE(bytes);
        TQ8_HANDLE h = Board(kSerial);
        ASSERT_EQ(TQ8Sim_SetTimeFactor(1000.0), TQ8_OK);
        std::vector<uint8_t> buffer(bytes);
        ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, bytes, buffer.data(), 1), TQ8_OK);
        EXPECT_EQ(WaitForTransferCompleteTQ8(h, 20), TQ8_ERR_TIMEOUT);
        ExpectUntouchedAfterwards(buffer);
        ASSERT_EQ(TQ8Sim_SetTimeFactor(0.001), TQ8_OK);
        // The board is free again.
        std::vector<uint8_t> small(65536);
        EXPECT_EQ(AcquireToBoardRamTQ8(h, 0, 65536, 0, 0), TQ8_OK);
        EXPECT_EQ(ReadSampleRamBufTQ8(h, 0, 65536, small.data(), 0), TQ8_OK);
        EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
    }
}

TEST_F(LocalFaultTest, RemovalFailsARecordingWithTheRemovedCode)
{
    TQ8_HANDLE h = Board(kSerial);
    m_rp.Rsp_acqSamples = 1 << 20;
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitFor(s, [](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_samplesRecorded > 0; }));
    ASSERT_EQ(TQ8Sim_SurpriseRemoveBoard(kSerial), TQ8_OK);
    bool ended = false;
    EXPECT_LT(Timed([&] { ended = WaitForEnd(s); }), kQuick);
    ASSERT_TRUE(ended);
    const TQ8_REC_SESSION_PROGRESS p = Progress(s);
    EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_FAILED);
    EXPECT_EQ(p.Rpr_errorCode, TQ8_ERR_DEVICE_REMOVED);
    FreeMemoryTQ8(p.Rpr_errorText);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
}

TEST_F(LocalFaultTest, HandleClosedMidReadLeavesTheBoardToTheOthers)
{
    for (uint32_t bytes : {1u << 20, 1u << 26}) {
        SCOPED_TRACE(bytes);
        TQ8_HANDLE reader = Board(kSerial);
        TQ8_HANDLE other = nullptr;
        ASSERT_EQ(DuplicateHandleTQ8(reader, &other), TQ8_OK);
        ASSERT_EQ(TQ8Sim_SetTimeFactor(1000.0), TQ8_OK);
        std::vector<uint8_t> buffer(bytes);
        ASSERT_EQ(ReadSampleRamBufTQ8(reader, 0, bytes, buffer.data(), 1), TQ8_OK);
        EXPECT_LT(Timed([&] { EXPECT_EQ(DisconnectFromDeviceTQ8(reader), TQ8_OK); }), kQuick);
        ASSERT_EQ(TQ8Sim_SetTimeFactor(0.001), TQ8_OK);
        EXPECT_TRUE(InIdleModeTQ8(other));
        std::vector<uint8_t> small(65536);
        EXPECT_EQ(AcquireToBoardRamTQ8(other, 0, 65536, 0, 0), TQ8_OK);
        EXPECT_EQ(ReadSampleRamBufTQ8(other, 0, 65536, small.data(), 0), TQ8_OK);
        EXPECT_EQ(DisconnectFromDeviceTQ8(other), TQ8_OK);
    }
}

TEST_F(LocalFaultTest, DescriptionComesFromTheDriver)
{
    TQ8SIM_BOARD_DESC d{};
    TQ8Sim_DefaultBoardDesc(&d, 4711);
    d.revision = 1;
    d.features = 0x1;
    d.packages = 0x14;
    d.channelFlags[1] = 0x3;
    d.masterSlave = 2;
    d.syncConfig = 1;
    d.fpgaType = 1;
    d.ramSize = 0x40000000u;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&d), TQ8_OK);
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 1), TQ8_OK); // the only board, by ordinal
    uint32_t serial = 0, ram = 0;
    EXPECT_EQ(GetSerialNumberTQ8(h, &serial), TQ8_OK);
    EXPECT_EQ(serial, 4711u);
    EXPECT_EQ(GetSampleRamSizeTQ8(h, &ram), TQ8_OK);
    EXPECT_EQ(ram, d.ramSize);
    EXPECT_EQ(GetBoardRevisionTQ8(h), 1);
    EXPECT_EQ(GetBoardFeaturesTQ8(h), 0x1u);
    EXPECT_EQ(IsFixedLogicPackagePresentTQ8(h, 4), TQ8_OK);
    EXPECT_EQ(IsFixedLogicPackagePresentTQ8(h, 5), TQ8_ERR_NOT_SUPPORTED);
    EXPECT_EQ(GetInputChannelFlagsTQ8(h, 1), 0x3u);
    EXPECT_EQ(GetMasterSlaveConfigurationTQ8(h, 1), 2);
    EXPECT_EQ(GetSyncConfigurationTQ8(h, 1), 1);
    EXPECT_EQ(GetZabFpgaTypeTQ8(h), 0);
    EXPECT_EQ(IsDeviceVirtualTQ8(h), 0);
    EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
}

TEST_F(LocalFaultTest, BoardWithoutAReadableIdentityIsRefusedOnConnect)
{
    // Serial words blank, and a sample memory of nothing: neither board may
    // pass as one that clashes with another or holds no memory.
    ASSERT_EQ(TQ8Sim_LoadConfigString("<TQ8Sim>"
                                      "<Board serial=\"5001\"><Eeprom word=\"114\" value=\"0\"/>"
                                      "<Eeprom word=\"115\" value=\"0\"/></Board>"
                                      "<Board serial=\"5002\"><Eeprom word=\"78\" value=\"0\"/>"
                                      "<Eeprom word=\"79\" value=\"0\"/></Board>"
                                      "<Board serial=\"5003\"/>"
                                      "</TQ8Sim>"),
              TQ8_OK);
    EXPECT_EQ(GetDeviceCountTQ8(), 3);
    TQ8_HANDLE h = nullptr;
    EXPECT_EQ(ConnectToDeviceTQ8(&h, 1), TQ8_ERR_EEPROM_INVALID);
    EXPECT_EQ(ConnectToDeviceTQ8(&h, 2), TQ8_ERR_EEPROM_INVALID);
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 5003), TQ8_OK);
    uint32_t serial = 0;
    EXPECT_EQ(GetSerialNumberTQ8(h, &serial), TQ8_OK);
    EXPECT_EQ(serial, 5003u);
    EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
}

// A host serving local boards reads them for days: every read writes the
// card's transfer registers, of which the card model keeps only a bounded
// record. (A million reads of the card model itself are in the board's
// tests; through the driver each read takes a few hundred microseconds.)
TEST_F(LocalFaultTest, ManyReadsKeepTheHeapFlat)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own books";
#else
    TQ8_HANDLE h = Board(kSerial);
    uint8_t b[64];
    const auto read = [&](int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(ReadSampleRamBufTQ8(h, 0, sizeof b, b, 0), TQ8_OK);
    };
    read(5000); // whatever grows once has grown
    const size_t before = HeapInUse();
    read(30000);
    const size_t after = HeapInUse();
    EXPECT_LT(after, before + (256u << 10)) << before << " -> " << after << " bytes in use";
    EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
#endif
}

// A bench connects and disconnects its boards all day: each cycle must give
// back what it took, in the driver and the kernel as in the library.
TEST_F(LocalFaultTest, ConnectDisconnectCyclesKeepTheHeapFlat)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own books";
#else
    constexpr size_t kCycles = 20000;
    DisconnectFromDeviceTQ8(Board(kSerial)); // declares the board
    const auto cycle = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            TQ8_HANDLE h = nullptr;
            ASSERT_EQ(ConnectToDeviceTQ8(&h, kSerial), TQ8_OK);
            ASSERT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
        }
    };
    cycle(1000); // whatever grows once has grown
    const size_t before = HeapInUse();
    cycle(kCycles);
    const size_t after = HeapInUse();
    EXPECT_LE(after, before + kCycles) << before << " -> " << after << " bytes in use: at most 1 byte a cycle";
#endif
}

} // namespace

#include "CDriverStats.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using tq8::CDriverStats;
using tq8::DriverCounters;

TEST(CDriverStats, RamReadsCountOneTransferPerChunk)
{
    CDriverStats stats;
    stats.CountRamRead(0);
    stats.CountRamRead(CDriverStats::kChunkBytes);
    stats.CountRamRead(CDriverStats::kChunkBytes + 1);
    DriverCounters c = stats.Read(false);
    EXPECT_EQ(c.dmaStarted, 3u);
    EXPECT_EQ(c.dmaCompleted, 3u);
    EXPECT_EQ(c.interrupts, 3u);
    EXPECT_EQ(c.bytesTransferred, 2ull * CDriverStats::kChunkBytes + CDriverStats::kDmaUnit); // whole units
}

TEST(CDriverStats, ResetHandsOutTheCountsOnce)
{
    CDriverStats stats;
    stats.CountAcquisitionStart();
    stats.CountAcquisitionComplete();
    stats.CountClockModuleReset();
    stats.CountDmaTransfer(1000);
    DriverCounters first = stats.Read(true);
    EXPECT_EQ(first.acquisitionsStarted, 1u);
    EXPECT_EQ(first.acquisitionsCompleted, 1u);
    EXPECT_EQ(first.clockModuleResets, 1u);
    EXPECT_EQ(first.interrupts, 2u);
    EXPECT_EQ(first.bytesTransferred, 1000u);
    DriverCounters second = stats.Read(false);
    EXPECT_EQ(second.acquisitionsStarted, 0u);
    EXPECT_EQ(second.interrupts, 0u);
    EXPECT_EQ(second.bytesTransferred, 0u);
}

TEST(CDriverStats, NothingCountedDuringResetsIsLost)
{
    CDriverStats stats;
    constexpr uint32_t kPerThread = 20000;
    std::atomic<bool> go{false};
    std::vector<std::thread> counters;
    for (int t = 0; t < 3; ++t)
        counters.emplace_back([&] {
            while (!go)
                std::this_thread::yield();
            for (uint32_t i = 0; i < kPerThread; ++i)
                stats.CountDmaTransfer(2);
        });
    uint64_t transfers = 0, bytes = 0;
    go = true;
    for (int i = 0; i < 1000; ++i) {
        DriverCounters c = stats.Read(true);
        transfers += c.dmaStarted;
        bytes += c.bytesTransferred;
    }
    for (auto& t : counters)
        t.join();
    DriverCounters rest = stats.Read(true);
    transfers += rest.dmaStarted;
    bytes += rest.bytesTransferred;
    EXPECT_EQ(transfers, 3ull * kPerThread);
    EXPECT_EQ(bytes, 6ull * kPerThread);
}

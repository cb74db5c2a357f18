#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "CTransferQueue.h"

using tq8::CTransferQueue;

TEST(TransferQueue, BlocksArriveInOrderThroughFewSlots)
{
    CTransferQueue queue(2, 8);
    constexpr int kBlocks = 1000;
    std::thread producer([&] {
        ASSERT_TRUE(queue.WaitStarted());
        for (int i = 0; i < kBlocks; ++i) {
            uint8_t* slot = queue.BeginFill();
            ASSERT_NE(slot, nullptr);
            std::memset(slot, i & 0xFF, 8);
            queue.EndFill(1 + i % 8);
        }
        queue.Close();
    });
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    int seen = 0;
    queue.Start();
    while (queue.BeginDrain(data, bytes)) {
        EXPECT_EQ(bytes, static_cast<size_t>(1 + seen % 8));
        EXPECT_EQ(data[0], seen & 0xFF);
        EXPECT_LE(queue.FillPermille(), 1000u);
        queue.EndDrain();
        ++seen;
    }
    producer.join();
    EXPECT_EQ(seen, kBlocks);
    EXPECT_EQ(queue.FillPermille(), 0u);
}

TEST(TransferQueue, FullBlocksNextInMemoryDrainTogether)
{
    // Up to a quarter of the queue at once, never across its end, and a
    // short block only as the last.
    CTransferQueue queue(8, 4096);
    const size_t sizes[] = {4096, 4096, 4096, 100, 4096, 4096, 100, 4096, 4096, 4096};
    const size_t expected[] = {8192, 4196, 8192, 100, 4096, 8192};
    size_t filled = 0;
    for (size_t want : expected) {
        for (; filled < std::size(sizes) && queue.FillPermille() < 1000; ++filled) {
            uint8_t* slot = queue.BeginFill();
            ASSERT_NE(slot, nullptr);
            std::memset(slot, static_cast<int>(filled), sizes[filled]);
            queue.EndFill(sizes[filled]);
        }
        const uint8_t* data = nullptr;
        size_t bytes = 0;
        ASSERT_TRUE(queue.BeginDrain(data, bytes));
        ASSERT_EQ(bytes, want);
        for (size_t at = 0; at < bytes; at += 4096)
            EXPECT_EQ(data[at], data[0] + at / 4096);
        queue.EndDrain();
    }
}

TEST(TransferQueue, CancelReleasesAWaitingProducer)
{
    CTransferQueue queue(1, 4);
    ASSERT_NE(queue.BeginFill(), nullptr);
    queue.EndFill(4);
    EXPECT_EQ(queue.FillPermille(), 1000u);
    uint8_t* second = reinterpret_cast<uint8_t*>(&queue);
    std::thread producer([&] { second = queue.BeginFill(); }); // the queue is full: waits
    bool started = true;
    std::thread early([&] { started = queue.WaitStarted(); }); // never started: waits
    queue.Cancel();
    producer.join();
    early.join();
    EXPECT_EQ(second, nullptr);
    EXPECT_FALSE(started);
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    EXPECT_FALSE(queue.BeginDrain(data, bytes));
}

TEST(TransferQueue, ClosedQueueHandsOutWhatIsLeft)
{
    CTransferQueue queue(3, 4);
    queue.BeginFill()[0] = 7;
    queue.EndFill(1);
    queue.Close();
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    ASSERT_TRUE(queue.BeginDrain(data, bytes));
    EXPECT_EQ(data[0], 7);
    queue.EndDrain();
    EXPECT_FALSE(queue.BeginDrain(data, bytes));
}

TEST(TransferQueue, QueuesOfOneSizeNeverShareBlocks)
{
    // The blocks of an ended queue are handed on to one later queue only;
    // every block is page-aligned, as direct writes need.
    { CTransferQueue ended(2, 4096); }
    CTransferQueue first(2, 4096);
    CTransferQueue second(2, 4096);
    uint8_t* a = first.BeginFill();
    uint8_t* b = second.BeginFill();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 4096, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 4096, 0u);
    std::memset(a, 0x11, 4096);
    std::memset(b, 0x22, 4096);
    first.EndFill(4096);
    second.EndFill(4096);
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    ASSERT_TRUE(first.BeginDrain(data, bytes));
    EXPECT_EQ(data[4095], 0x11);
    ASSERT_TRUE(second.BeginDrain(data, bytes));
    EXPECT_EQ(data[0], 0x22);
}

#include "CSimCard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <malloc.h>
#include <thread>

using tq8::CInterruptLine;
using tq8::CRegisterWindow;
using tq8::CSimCard;

namespace {

// Bytes the program holds from the heap, large blocks (mapped) included.
[[maybe_unused]] size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

} // namespace

TEST(CSimCard, WindowsHoldValuesAndTheIdentificationAnswers)
{
    tq8::BoardDescription desc;
    desc.serial = 9;
    CSimCard card(desc, {0x1000, 0x1000, 0x40, 0x1000, 0x20});
    ASSERT_EQ(card.WindowCount(), 5u);
    CRegisterWindow& serial = card.Window(2);
    EXPECT_EQ(serial.Read(16), CSimCard::Identification(desc));
    serial.Write(16, 0);
    EXPECT_EQ(serial.Read(16), CSimCard::Identification(desc));
    serial.Write(0, 0xABCD);
    EXPECT_EQ(serial.Read(0), 0xABCDu);
    // Outside the window or off a u32 boundary: all ones, nothing written.
    EXPECT_EQ(serial.Read(0x40), 0xFFFFFFFFu);
    serial.Write(2, 5);
    EXPECT_EQ(serial.Read(2), 0xFFFFFFFFu);
    EXPECT_EQ(serial.Peek(0), 0xABCDu);
    EXPECT_EQ(serial.Accesses(), 8u);
    EXPECT_EQ(card.Window(4).Words(), 8u);
}

TEST(CSimCard, HooksAnswerForTheirWindow)
{
    CRegisterWindow w(64);
    std::vector<std::pair<uint32_t, uint32_t>> writes;
    w.SetHooks([](uint32_t index, uint32_t stored) { return index == 3 ? 0x33u : stored + 1; },
               [&](uint32_t index, uint32_t value) { writes.emplace_back(index, value); });
    w.Write(8, 41);
    EXPECT_EQ(w.Read(8), 42u);
    EXPECT_EQ(w.Read(12), 0x33u);
    EXPECT_EQ(writes, (std::vector<std::pair<uint32_t, uint32_t>>{{2, 41}}));
}

TEST(CSimCard, TheLineIsLevelHeld)
{
    CInterruptLine line;
    std::atomic<int> calls{0};
    std::atomic<bool> claim{true};
    line.Connect([&] {
        // A claiming service that acknowledges drops the line. It decides
        // once: the test changes claim as soon as it sees the call.
        const bool claiming = claim.load();
        if (claiming)
            line.Deassert();
        ++calls;
        return claiming;
    });
    line.Assert();
    while (calls < 1)
        std::this_thread::yield();
    claim = false;
    line.Assert();
    while (line.Unclaimed() < 1)
        std::this_thread::yield();
    // Unclaimed and still asserted: no storm until the next assertion.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(calls.load(), 2);
    line.Deassert();
    line.Assert();
    while (calls < 3)
        std::this_thread::yield();
    line.Disconnect();
    EXPECT_FALSE(line.IsConnected());
}

TEST(CSimCard, ACallerServesItsOwnAssertionAndCallsNeverOverlap)
{
    CInterruptLine line;
    std::atomic<int> calls{0};
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<std::thread::id> last{};
    line.Connect([&] {
        overlapped = overlapped || ++inside > 1;
        last = std::this_thread::get_id();
        ++calls;
        line.Deassert();
        --inside;
        return true;
    });
    line.AssertForCaller();
    line.Serve();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(last.load(), std::this_thread::get_id());
    // The line's thread and a serving caller take turns.
    constexpr int kRounds = 2000;
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i)
            line.Assert();
    });
    for (int i = 0; i < kRounds; ++i) {
        line.AssertForCaller();
        line.Serve();
    }
    other.join();
    // No assertion is left unserved.
    while (line.IsAsserted())
        std::this_thread::yield();
    line.Disconnect();
    EXPECT_FALSE(overlapped.load());
    EXPECT_GT(calls.load(), 1);
}

// A host with local boards runs for days: each read sets the card's read
// window (start, length and the secondary device behind register 10, as the
// driver does), and the card keeps only a bounded record of such writes.
TEST(CSimCard, AMillionReadsKeepTheHeapFlat)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own books";
#else
    CSimCard card(tq8::BoardDescription{});
    CRegisterWindow& control = card.Window(1);
    const auto read = [&](uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            control.Write(2 * 4, (i * 64) >> 4);
            control.Write(1 * 4, 0x80000001u);
            control.Write(10 * 4, (i & 0xFFFF) << 16 | 0x24);
        }
    };
    read(20000); // whatever grows once has grown
    const size_t before = HeapInUse();
    read(1000000);
    const size_t after = HeapInUse();
    EXPECT_LT(after, before + (256u << 10)) << before << " -> " << after << " bytes in use";
    EXPECT_EQ(card.ControlTrace().back(), (tq8::CControlRegisters::Access{10, (999999u & 0xFFFF) << 16 | 0x24}));
#endif
}

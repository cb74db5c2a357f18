// A hostile client against the board service: sizes far beyond any board,
// and a thousand connections each with a virtual board of its own. Every
// operator new of the process is watched here (AllocationWatch), so this
// program is kept apart from the other tests.
#include <atomic>

#include "AllocationWatch.h"
#include "BoardServiceFixture.h"

namespace {

constexpr uint64_t kLimitBytes = 64ull << 20;
constexpr long kLimitKiB = static_cast<long>(kLimitBytes >> 10);

// While watched, every thread's requests are summed and the largest kept.
std::atomic<uint64_t> g_requested{0};
std::atomic<uint64_t> g_largest{0};

void Watch(std::size_t size)
{
    g_requested += size;
    uint64_t largest = g_largest;
    while (size > largest && !g_largest.compare_exchange_weak(largest, size)) {
    }
}

using board_service_test::BoardServiceTest;
using board_service_test::Open;
using tq8wire::Method;

using HostileClient = BoardServiceTest;

std::string SaveStart(uint32_t source, uint64_t count)
{
    return "<Source>" + std::to_string(source) + "</Source><Start>0</Start><Count>" + std::to_string(count)
         + "</Count><FwFlags>0</FwFlags><HdrSkip>0</HdrSkip><MaxSeg>0</MaxSeg><ChanSel>0</ChanSel>"
           "<Path1>C:\\dump.rd8</Path1><Path2/><Path3/><Path4/><Notes/><TsPath/>";
}

std::string Count(uint64_t count)
{
    return "<Count>" + std::to_string(count) + "</Count>";
}

} // namespace

TEST_F(HostileClient, DumpsAndAcquisitionBuffersBeyondTheBoardAreRefusedWithNothingAllocated)
{
    const int fd = Client();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(Has(Call(fd, Method::Open, Open(4201, 1)), Result(TQ8_OK)));
    // In the fast acquisition mode, so that only the size can refuse it.
    ASSERT_TRUE(Has(Call(fd, Method::Mode, "<Mode>4</Mode>"), Result(TQ8_OK)));
    const long residentBefore = srvtest::ResidentKiB();
    g_requested = 0;
    g_largest = 0;
    allocwatch::SetHook(&Watch);
    // 2^40 bytes, and the largest count the library's calls can take, which
    // is still twice the board's memory.
    std::vector<std::string> replies;
    for (uint64_t count : {uint64_t(1) << 40, uint64_t(UINT32_MAX)}) {
        replies.push_back(Call(fd, Method::SaveStart, SaveStart(1, count)));
        replies.push_back(Call(fd, Method::SaveStart, SaveStart(0, count)));
        replies.push_back(Call(fd, Method::PciAcquire, Count(count)));
    }
    allocwatch::SetHook(nullptr);
    for (const std::string& reply : replies)
        EXPECT_TRUE(Has(reply, Result(TQ8_ERR_OUT_OF_BOUNDS))) << reply;
    EXPECT_LT(g_largest.load(), kLimitBytes);
    EXPECT_LT(g_requested.load(), kLimitBytes);
    if (!srvtest::kAddressSanitizer) {
        EXPECT_LT(srvtest::ResidentKiB() - residentBefore, kLimitKiB);
    }
    // The connection goes on, and a size the board can hold is taken.
    EXPECT_TRUE(Has(Call(fd, Method::PciAcquire, Count(65536)), Result(TQ8_OK)));
    close(fd);
}

TEST_F(HostileClient, AThousandConnectionsWithNewVirtualBoardsLeaveThreadsAndMemoryAsTheyWere)
{
    ASSERT_EQ(TQ8Sim_SetTimeFactor(0), TQ8_OK);
    constexpr uint32_t kFirstSerial = 10000;
    // Each client opens a board of its own, acquires a megabyte into it
    // (which starts the board's rendering threads) and goes without a word.
    auto visit = [&](uint32_t serial) {
        const int fd = Client();
        if (fd < 0)
            return false;
        const bool served = Has(Call(fd, Method::Open, Open(serial, 1)), Result(TQ8_OK))
                         && Has(Call(fd, Method::Acquire, "<Target>0</Target><Start>0</Start>" + Count(1048576)),
                                Result(TQ8_OK));
        close(fd);
        return served;
    };
    // Warm-up: a first round gets the allocator's and the runtime's threads
    // and pools made.
    const int baseline = srvtest::ThreadBaseline();
    for (uint32_t serial = 1; serial <= 20; ++serial) {
        ASSERT_TRUE(visit(serial));
        ASSERT_TRUE(ThreadsBecome(baseline));
    }
    const int threadsBefore = srvtest::CountThreads();
    const long residentBefore = srvtest::ResidentKiB();
    for (uint32_t serial = kFirstSerial; serial < kFirstSerial + 1000; ++serial) {
        ASSERT_TRUE(visit(serial)) << serial;
        // The connection's thread goes, and the board's with it.
        ASSERT_TRUE(ThreadsBecome(threadsBefore)) << serial << ": " << srvtest::CountThreads();
    }
    EXPECT_EQ(srvtest::CountThreads(), threadsBefore);
    EXPECT_TRUE(VirtualBoardGoes(kFirstSerial + 999));
    if (!srvtest::kAddressSanitizer) {
        EXPECT_LT(srvtest::ResidentKiB() - residentBefore, kLimitKiB);
    }
}

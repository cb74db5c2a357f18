// DMA buffers, transfers, sample-RAM reads (with the de-interleaving
// splits) and the time-stamp queue, against the card's engine and memory.
#include <numeric>
#include <thread>

#include "CSimClock.h"
#include "DriverFixture.h"
#include "DmaTestFixture.h"

using namespace kern;

TEST_F(DmaTest, AModelessReadMustBeWholeUnitsAModeReadNeedNot)
{
    std::vector<uint8_t> out(100, 0xEE);
    EXPECT_EQ(Read(0xFFFF, 0, 100, {out.data()}), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Ext(m_slot)->operationState.load(), 0u);
    EXPECT_EQ(Read(7, 0, 100, {out.data()}), STATUS_SUCCESS);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), m_ram.begin()));
    // The read put the board back in mode 1.
    EXPECT_EQ(Ext(m_slot)->controlShadow[11] & 0xF, 1u);
}

TEST_F(DmaTest, AReadFromSample20000SkipsToItInsideTheWindow)
{
    std::vector<uint8_t> out(100);
    ASSERT_EQ(Read(7, 20000, 100, {out.data()}), STATUS_SUCCESS);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), m_ram.begin() + 20000));
    // Channel code 0: two samples a unit; start 16384 / 2, length 32768.
    const auto& s = Ext(m_slot)->controlShadow;
    EXPECT_EQ((s[2] & 0x3FFFFFF) << 4, 16384u / 2);
    EXPECT_EQ((s[1] & 0x7FFFF) << 13 | ((s[1] >> 20) & 0x3F) << 7, 32768u);
}

TEST_F(DmaTest, ChecksComeInTheirOrder)
{
    std::vector<uint8_t> out(256);
    EXPECT_EQ(Read(7, 0, 33529345, {out.data()}), TQ8_STATUS_BAD_COUNT);
    EXPECT_EQ(Read(7, 0x80000002, 1, {out.data()}), TQ8_STATUS_BAD_GROUP_OR_START);
    EXPECT_EQ(Read(7, 0x7FFFFFFF, 2, {out.data()}), TQ8_STATUS_BAD_COUNT);
    EXPECT_EQ(Read(7, 0, 128, {}), TQ8_STATUS_NO_BUFFER0);
    EXPECT_EQ(Read(10, 0, 128, {out.data()}), TQ8_STATUS_BAD_KIND);
    EXPECT_EQ(Read(7, 0, 0, {out.data()}), STATUS_SUCCESS);
    EXPECT_EQ(Read(7 | TQ8_READ_SPLIT, 0, 128, {}), STATUS_SUCCESS);
    SimFailProbe(out.data() + 10, 1);
    EXPECT_EQ(Read(7, 0, 128, {out.data()}), STATUS_ACCESS_VIOLATION);
    SimClearProbeFaults();
    EXPECT_EQ(Ext(m_slot)->operationState.load(), 0u);
}

TEST_F(DmaTest, AThreeWaySplitFillsThreeBuffersAndIgnoresAFourth)
{
    std::vector<std::vector<uint8_t>> out(4, std::vector<uint8_t>(400, 0xEE));
    ASSERT_EQ(Read(7 | TQ8_READ_SPLIT, 0, 1200, {out[0].data(), out[1].data(), out[2].data(), out[3].data()}, 4),
              STATUS_SUCCESS);
    for (size_t j = 0; j < 3; ++j)
        EXPECT_EQ(out[j], ReferenceSplit(0, 1200, 3, j)) << j;
    EXPECT_EQ(out[3], std::vector<uint8_t>(400, 0xEE));
}

// Factors 2, 3 and 4 across several 64 KiB chunks, an odd skip and a count
// that is not a multiple of the factor, against a plain split.
TEST_F(DmaTest, SplitsAcrossChunksMatchAPlainSplit)
{
    const struct {
        uint32_t arrangement, factor;
    } cases[] = {{1, 2}, {4, 3}, {0, 4}};
    for (const auto& c : cases) {
        const uint32_t first = 16384 + 3001;
        const uint32_t count = 3 * 65536 + 7;
        std::vector<std::vector<uint8_t>> out(4, std::vector<uint8_t>(count / c.factor + 8, 0xEE));
        ASSERT_EQ(Read(7 | TQ8_READ_SPLIT, first, count, {out[0].data(), out[1].data(), out[2].data(), out[3].data()},
                       c.arrangement),
                  STATUS_SUCCESS);
        for (size_t j = 0; j < c.factor; ++j) {
            std::vector<uint8_t> expected = ReferenceSplit(first, count, c.factor, j);
            expected.resize(out[j].size(), 0xEE); // nothing beyond count / factor
            EXPECT_EQ(out[j], expected) << "factor " << c.factor << " buffer " << j;
        }
        // An absent buffer drops its bytes and leaves the others whole.
        std::vector<uint8_t> second(count / c.factor, 0xEE);
        ASSERT_EQ(Read(7 | TQ8_READ_SPLIT, first, count, {nullptr, second.data()}, c.arrangement), STATUS_SUCCESS);
        EXPECT_EQ(second, ReferenceSplit(first, count, c.factor, 1)) << "factor " << c.factor;
    }
}

TEST_F(DmaTest, ASplitOfOneBufferCopiesLikeAPlainRead)
{
    std::vector<uint8_t> out(300);
    ASSERT_EQ(Read(7 | TQ8_READ_SPLIT, 5, 300, {out.data()}, 2), STATUS_SUCCESS);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), m_ram.begin() + 5));
}

TEST_F(DmaTest, ATransferOf200BytesMoves128)
{
    const uint64_t user = Alloc(4096);
    ASSERT_NE(user, 0u);
    std::memset(reinterpret_cast<void*>(user), 0xEE, 4096);
    SetMode(TQ8_OPMODE_RAM_READ_TO_PCI);
    Ext(m_slot)->stats.bytesMoved = 0;
    TQ8_DMA_XFER_REQUEST q{24, 200, user, 1, 0};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), STATUS_SUCCESS);
    const auto* bytes = reinterpret_cast<const uint8_t*>(user);
    EXPECT_EQ(bytes[127], m_ram[127]);
    EXPECT_EQ(bytes[128], 0xEE);
    EXPECT_EQ(Ext(m_slot)->stats.bytesMoved.load(), 128u);
    // Below one unit, beyond the buffer, outside every buffer, or the wrong mode.
    q.bytes = 100;
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), STATUS_INVALID_PARAMETER);
    q = {24, 256, user + 3968, 1, 0};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), TQ8_STATUS_TRANSFER_TOO_LONG);
    q = {24, 256, user + 8192, 1, 0};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), TQ8_STATUS_NO_SUCH_BUFFER);
    q = {24, 256, user, 0, 0};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), TQ8_STATUS_WRONG_MODE);
}

TEST_F(DmaTest, ATransferDoesNotStartOverARunningRead)
{
    const uint64_t user = Alloc(4096);
    SetMode(TQ8_OPMODE_RAM_READ_TO_PCI);
    Ext(m_slot)->operationState = TQ8_STATE_SAMPLE_RAM_READ;
    TQ8_DMA_XFER_REQUEST q{24, 256, user, 1, 0};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), TQ8_STATUS_BUSY);
    Ext(m_slot)->operationState = TQ8_STATE_IDLE;
}

TEST_F(DmaTest, AllocationsOfNothingOrTooMuchAreRefusedBeforeAnyIsMade)
{
    TQ8_DMA_BUFFER_REQUEST q{16, 0, 0};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_ALLOC_DMA_BUFFER, q), STATUS_INVALID_PARAMETER);
    q.bytes = 0x7FFF801;
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_ALLOC_DMA_BUFFER, q), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(SimCommonBuffersOutstanding(), 1); // the utility buffer
    q = {16, 0, 0x1234};
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_FREE_DMA_BUFFER, q), TQ8_STATUS_NO_SUCH_BUFFER);
}

TEST_F(DmaTest, FreeAllLeavesAnotherProcesssBufferMappedAndUsable)
{
    CUserProcess other;
    Handle theirs = CUserProcess::kInvalidHandle;
    ASSERT_EQ(other.Open(u"\\\\.\\TQ8_0", &theirs), STATUS_SUCCESS);
    TQ8_DMA_BUFFER_REQUEST q{16, 4096, 0};
    ASSERT_EQ(other.DeviceIoControl(theirs, IOCTL_TQ8_ALLOC_DMA_BUFFER, &q, 16, &q, 16, nullptr), STATUS_SUCCESS);
    const uint64_t mine = Alloc(4096);
    ASSERT_TRUE(m_process->HasView(reinterpret_cast<void*>(mine)));
    TQ8_DMA_BUFFER_REQUEST all{16, TQ8_FREE_ALL_MARKER, 0};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_FREE_DMA_BUFFER, all), STATUS_SUCCESS);
    EXPECT_FALSE(m_process->HasView(reinterpret_cast<void*>(mine)));
    ASSERT_TRUE(other.HasView(reinterpret_cast<void*>(q.userAddress)));
    // Still theirs to transfer into.
    TQ8_DMA_XFER_REQUEST x{24, 128, q.userAddress, 1, 0};
    SetMode(TQ8_OPMODE_RAM_READ_TO_PCI);
    EXPECT_EQ(other.DeviceIoControl(theirs, IOCTL_TQ8_START_DMA_XFER, &x, 24, nullptr, 0, nullptr), STATUS_SUCCESS);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(q.userAddress)[5], m_ram[5]);
    // Closing their handle revokes their view before the memory goes.
    other.Close(theirs);
    EXPECT_FALSE(other.HasView(reinterpret_cast<void*>(q.userAddress)));
    EXPECT_EQ(SimCommonBuffersOutstanding(), 1);
}

TEST_F(DmaTest, TenTimestampsAskedWithThreeQueuedGiveThree)
{
    std::vector<uint64_t> out(10);
    const uint64_t queued[] = {0x100000002ull, 7, 0xFFFFFFFF00000000ull};
    m_bus->Card(m_slot).Board().QueueTimestamps(queued, 3);
    TQ8_TIMESTAMP_REQUEST q{24, 10, 0, 0, reinterpret_cast<uint64_t>(out.data())};
    uint32_t returned = 0;
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_READ_TIMESTAMPS, &q, 24, &q, 24, &returned), STATUS_SUCCESS);
    EXPECT_EQ(returned, 12u);
    EXPECT_EQ(q.count, 3u);
    EXPECT_EQ(q.flags & (1u << 24), 0u);
    EXPECT_EQ(std::vector<uint64_t>(out.begin(), out.begin() + 3), std::vector<uint64_t>(queued, queued + 3));
    // More queued than asked: bit 24 tells of the rest.
    m_bus->Card(m_slot).Board().QueueTimestamps(queued, 3);
    q = {24, 2, 0, 0, reinterpret_cast<uint64_t>(out.data())};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_READ_TIMESTAMPS, q), STATUS_SUCCESS);
    EXPECT_EQ(q.count, 2u);
    EXPECT_NE(q.flags & (1u << 24), 0u);
    q.count = 0;
    EXPECT_EQ(Ioctl(m_handle, IOCTL_TQ8_READ_TIMESTAMPS, q), STATUS_INVALID_PARAMETER);
}

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "AtomicFile.h"
#include "TimestampFiles.h"

namespace {

namespace fs = std::filesystem;

// A FIFO holding the given values; reads may be made to fail or to
// deliver nothing, and one that keeps filling never runs dry.
struct FakeFifo {
    std::vector<uint64_t> values;
    size_t next = 0;
    int readsBeforeFailure = -1; // -1: never fails
    bool deliversNothing = false;
    bool keepsFilling = false;
    uint32_t overstate = 0; // added to the count reported
    uint32_t largestAsk = 0;
    int reads = 0;

    TimestampFifo Fifo()
    {
        return {[this] { return keepsFilling ? 1 : int32_t(values.size() - next); },
                [this](uint64_t* out, uint32_t max, uint32_t* count) -> int32_t {
                    largestAsk = std::max(largestAsk, max);
                    if (readsBeforeFailure == reads++)
                        return TQ8_ERR_GENERAL;
                    uint32_t n = 0;
                    while (!deliversNothing && n < max && (keepsFilling || next < values.size()))
                        out[n++] = keepsFilling ? 7 : values[next++];
                    *count = n + (n ? overstate : 0);
                    return 0;
                }};
    }
};

class TimestampFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* base = std::getenv("VLT_TEST_TMP");
        m_dir = fs::path(base ? base : "/tmp") / ("ts_" + std::to_string(getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Path(const char* name) const { return (m_dir / name).string(); }
    static std::string Read(const std::string& path)
    {
        std::string data;
        EXPECT_TRUE(vlt::ReadWholeFile(path, data)) << path;
        return data;
    }
    static std::vector<uint64_t> Values(size_t n)
    {
        std::vector<uint64_t> v;
        for (size_t i = 0; i < n; ++i)
            v.push_back(0x0102030405060708ull * i + i);
        return v;
    }
    std::vector<uint64_t> buffer = std::vector<uint64_t>(kTimestampBlock);

private:
    fs::path m_dir;
};

TEST_F(TimestampFilesTest, RawFileHoldsEightLittleEndianBytesPerValueAndReplacesALongerOne)
{
    const std::string path = Path("run.tq8ts");
    FakeFifo big{Values(5000)};
    ASSERT_EQ(SaveTimestamps(path, false, big.Fifo(), buffer).count, 5000u);
    EXPECT_EQ(big.largestAsk, kTimestampBlock);

    FakeFifo fifo{{0x1122334455667788ull, 0, UINT64_MAX}};
    const TimestampSaveResult result = SaveTimestamps(path, false, fifo.Fifo(), buffer);
    EXPECT_EQ(result.status, TimestampSaveResult::Saved);
    EXPECT_EQ(result.count, 3u);
    const std::string bytes = Read(path);
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8));
    EXPECT_EQ(bytes.substr(8, 8), std::string(8, '\0'));
    EXPECT_EQ(bytes.substr(16, 8), std::string(8, '\xFF'));
}

TEST_F(TimestampFilesTest, TextFileHasOneDecimalValuePerCrLfLine)
{
    const std::string path = Path("run.tq8ts.txt");
    FakeFifo fifo{{0, 42, UINT64_MAX}};
    ASSERT_EQ(SaveTimestamps(path, true, fifo.Fifo(), buffer).count, 3u);
    EXPECT_EQ(Read(path), "0\r\n42\r\n18446744073709551615\r\n");
    FakeFifo many{Values(3000)};
    ASSERT_EQ(SaveTimestamps(path, true, many.Fifo(), buffer).count, 3000u);
    const std::string text = Read(path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3000);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3000);
}

TEST_F(TimestampFilesTest, ReadsThatDeliverNothingOrTooMuchEndSafely)
{
    const std::string path = Path("ts.tq8ts");
    FakeFifo stuck{{1, 2, 3}};
    stuck.deliversNothing = true;
    const TimestampSaveResult result = SaveTimestamps(path, false, stuck.Fifo(), buffer);
    EXPECT_EQ(result.status, TimestampSaveResult::Saved);
    EXPECT_EQ(result.count, 0u);
    EXPECT_EQ(stuck.reads, 1);

    // A count above what was asked for takes no more than the buffer holds.
    FakeFifo boasting{Values(8)};
    boasting.overstate = 5000;
    std::vector<uint64_t> small(4);
    EXPECT_EQ(SaveTimestamps(path, false, boasting.Fifo(), small).count, 8u);
    EXPECT_EQ(Read(path).size(), 64u);
}

TEST_F(TimestampFilesTest, FailuresKeepWhatTheFifoCannotGiveBackAndNothingElse)
{
    const std::string path = Path("ts.tq8ts");
    ASSERT_TRUE(vlt::AtomicWriteFile(path, std::string(800, 'x')));
    FakeFifo failing{Values(5000)};
    failing.readsBeforeFailure = 1;
    const TimestampSaveResult result = SaveTimestamps(path, false, failing.Fifo(), buffer);
    EXPECT_EQ(result.status, TimestampSaveResult::ReadFailed);
    EXPECT_EQ(result.readCode, TQ8_ERR_GENERAL);
    EXPECT_EQ(result.count, kTimestampBlock);
    EXPECT_EQ(Read(path).size(), 8u * kTimestampBlock);

    // An unwritable destination is found before the FIFO is touched.
    FakeFifo untouched{Values(3)};
    const TimestampSaveResult open = SaveTimestamps(Path("missing/ts.tq8ts"), false, untouched.Fifo(), buffer);
    EXPECT_EQ(open.status, TimestampSaveResult::OpenFailed);
    EXPECT_EQ(open.systemError, ENOENT);
    EXPECT_EQ(untouched.reads, 0);
}

TEST_F(TimestampFilesTest, DrainStopsAtDepthPlusSixteen)
{
    FakeFifo filling;
    filling.keepsFilling = true;
    EXPECT_EQ(DrainTimestamps(filling.Fifo(), 2048).count, 2048u + 16u);
    EXPECT_EQ(filling.largestAsk, 1u);

    FakeFifo few{Values(5)};
    EXPECT_EQ(DrainTimestamps(few.Fifo(), 2048).count, 5u);

    FakeFifo stuck{Values(5)};
    stuck.deliversNothing = true;
    EXPECT_EQ(DrainTimestamps(stuck.Fifo(), 2048).count, 0u);

    FakeFifo failing{Values(5)};
    failing.readsBeforeFailure = 2;
    const TimestampDrainResult result = DrainTimestamps(failing.Fifo(), 2048);
    EXPECT_EQ(result.count, 2u);
    EXPECT_EQ(result.readCode, TQ8_ERR_GENERAL);
}

TEST(TimestampSavePath, ExtensionIsAddedOnlyToAFileNameWithout)
{
    EXPECT_EQ(TimestampSavePath(L"  /data/ts ", true), L"/data/ts.tq8ts.txt");
    EXPECT_EQ(TimestampSavePath(L"/data/ts", false), L"/data/ts.tq8ts");
    EXPECT_EQ(TimestampSavePath(L"/data/ts.bin", true), L"/data/ts.bin");
    EXPECT_EQ(TimestampSavePath(L"/data/run.1/ts", false), L"/data/run.1/ts.tq8ts");
    EXPECT_EQ(TimestampSavePath(L"ts", false), L"ts.tq8ts");
    EXPECT_EQ(TimestampSavePath(L" \t", true), L"");
}

} // namespace

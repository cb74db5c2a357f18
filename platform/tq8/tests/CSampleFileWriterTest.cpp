#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "CSampleFileWriter.h"
#include "ChannelSelection.h"
#include "ReferenceSampleText.h"

using namespace tq8;

namespace {
class SampleFileWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* base = std::getenv("VLT_TEST_TMP");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::path(base ? base : "/tmp") / "tq8_sample_writer"
                / (std::string(info->name()) + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_plan.path = Path("a.rd8");
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string Path(const char* name) const { return (m_dir / name).string(); }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Writes data in pieces of `piece` bytes, so frames straddle calls.
    void WriteAll(uint32_t channels, const std::vector<uint8_t>& data, size_t piece = 3)
    {
        CSampleFileWriter w(m_plan, channels);
        ASSERT_TRUE(w.Open()) << std::string(w.ErrorText().begin(), w.ErrorText().end());
        for (size_t at = 0; at < data.size(); at += piece)
            ASSERT_TRUE(w.Write(data.data() + at, std::min(piece, data.size() - at)));
        ASSERT_TRUE(w.Close());
    }

    std::filesystem::path m_dir;
    FileWritePlan m_plan;
};

const std::vector<uint8_t> kFrames = {0x00, 0x7F, 0x80, 0xFF, 0x01, 0x10, 0xA5, 0x5A};
} // namespace

TEST_F(SampleFileWriterTest, BinaryAsGivenOrSigned)
{
    WriteAll(4, kFrames);
    EXPECT_EQ(Read(m_plan.path), std::string(kFrames.begin(), kFrames.end()));
    m_plan.fileFlags = TQ8_FWP_SIGNED;
    WriteAll(4, kFrames);
    EXPECT_EQ(Read(m_plan.path), std::string("\x80\xFF\x00\x7F\x81\x90\x25\xDA", 8));
}

TEST_F(SampleFileWriterTest, TextAndHexadecimalLines)
{
    m_plan.fileFlags = TQ8_FWP_TEXT;
    WriteAll(4, kFrames);
    EXPECT_EQ(Read(m_plan.path), "0 127 128 255\r\n1 16 165 90\r\n");
    m_plan.fileFlags = TQ8_FWP_TEXT | TQ8_FWP_SIGNED;
    WriteAll(2, kFrames);
    EXPECT_EQ(Read(m_plan.path), "-128 -1\r\n0 127\r\n-127 -112\r\n37 -38\r\n");
    m_plan.fileFlags = TQ8_FWP_HEX;
    WriteAll(4, kFrames);
    EXPECT_EQ(Read(m_plan.path), "00 7F 80 FF\r\n01 10 A5 5A\r\n");
    m_plan.fileFlags = TQ8_FWP_TEXT | TQ8_FWP_HEX | TQ8_FWP_SIGNED;
    WriteAll(1, {0x00, 0xFF});
    EXPECT_EQ(Read(m_plan.path), "80\r\n7F\r\n");
}

// Files of several megabytes, so the text passes through every buffer of a
// file written directly and behind the writer's back: the old formatter's
// text after the header, in every style, direct or buffered, interleaved or
// one file a channel.
TEST_F(SampleFileWriterTest, LongTextFilesMatchTheOldFormatter)
{
    std::mt19937 random(108);
    std::vector<uint8_t> data(2'000'000);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(random());
    m_plan.headerBytes = 100;
    const std::string header(100, '\0');
    for (const uint32_t style : {TQ8_FWP_TEXT, TQ8_FWP_TEXT | TQ8_FWP_SIGNED, TQ8_FWP_HEX, TQ8_FWP_HEX | TQ8_FWP_SIGNED}) {
        const bool hex = (style & TQ8_FWP_HEX) != 0;
        const bool toSigned = (style & TQ8_FWP_SIGNED) != 0;
        uint32_t column = 0;
        const std::string expected = header + ReferenceText(data.data(), data.size(), hex, toSigned, 4, column);
        for (const uint32_t io : {0u, TQ8_FWP_BUFFERED_IO}) {
            m_plan.fileFlags = style | io;
            WriteAll(4, data, 300'007);
            EXPECT_TRUE(Read(m_plan.path) == expected) << style << " " << io;
        }
    }
    m_plan.fileFlags = TQ8_FWP_TEXT | TQ8_FWP_DEINTERLEAVE;
    m_plan.otherPaths[0] = Path("b.rd8");
    WriteAll(2, data, 300'007);
    for (uint32_t k = 0; k < 2; ++k) {
        std::vector<uint8_t> channel;
        for (size_t i = k; i < data.size(); i += 2)
            channel.push_back(data[i]);
        uint32_t column = 0;
        EXPECT_TRUE(Read(m_plan.PathOf(k)) == header + ReferenceText(channel.data(), channel.size(), false, false, 1, column))
            << k;
    }
}

TEST_F(SampleFileWriterTest, DeinterleavesEveryFormat)
{
    m_plan.fileFlags = TQ8_FWP_DEINTERLEAVE;
    m_plan.otherPaths = {Path("b.rd8"), Path("c.rd8"), Path("d.rd8")};
    std::vector<uint8_t> data(36);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i);
    for (int sel = 0; sel <= 8; ++sel) {
        const auto channels = static_cast<uint32_t>(ChannelCount(sel));
        for (size_t k = 0; k < 4; ++k)
            std::filesystem::remove(m_plan.PathOf(k));
        WriteAll(channels, data, 5);
        for (uint32_t k = 0; k < 4; ++k) {
            if (k >= channels) {
                EXPECT_FALSE(std::filesystem::exists(m_plan.PathOf(k))) << sel << " " << k;
                continue;
            }
            std::string expected;
            for (size_t i = k; i < data.size(); i += channels)
                expected += static_cast<char>(data[i]);
            EXPECT_EQ(Read(m_plan.PathOf(k)), expected) << sel << " " << k;
        }
    }
    // A channel without a path is dropped.
    m_plan.otherPaths[0].clear();
    std::filesystem::remove(m_plan.PathOf(1));
    WriteAll(2, {1, 2, 3, 4});
    EXPECT_EQ(Read(m_plan.path), "\x01\x03");
    EXPECT_FALSE(std::filesystem::exists(Path("b.rd8")));
}

TEST_F(SampleFileWriterTest, SpanningKeepsWholeFramesAndAHeaderEach)
{
    m_plan.headerBytes = 3;
    m_plan.maxSegmentBytes = 3 + 10; // room for two four-sample frames
    std::vector<uint8_t> data(20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i + 1);
    WriteAll(4, data, 7);
    const std::string zeros(3, '\0');
    EXPECT_EQ(Read(Path("a.rd8")), zeros + std::string(data.begin(), data.begin() + 8));
    EXPECT_EQ(Read(Path("a_0002.rd8")), zeros + std::string(data.begin() + 8, data.begin() + 16));
    EXPECT_EQ(Read(Path("a_0003.rd8")), zeros + std::string(data.begin() + 16, data.end()));
    EXPECT_FALSE(std::filesystem::exists(Path("a_0004.rd8")));
}

TEST_F(SampleFileWriterTest, AppendKeepsTheFileAndSkipsNoHeader)
{
    m_plan.headerBytes = 2;
    WriteAll(1, {7, 8});
    EXPECT_EQ(Read(m_plan.path), std::string("\0\0\x07\x08", 4));
    m_plan.fileFlags = TQ8_FWP_APPEND;
    WriteAll(1, {9});
    EXPECT_EQ(Read(m_plan.path), std::string("\0\0\x07\x08\x09", 5));
    m_plan.fileFlags = 0; // replace
    WriteAll(1, {5});
    EXPECT_EQ(Read(m_plan.path), std::string("\0\0\x05", 3));
}

TEST_F(SampleFileWriterTest, DirectAndBufferedWritesAgree)
{
    std::vector<uint8_t> data(3 * (1u << 20) + 4097);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    m_plan.headerBytes = 100;
    WriteAll(1, data, 65535); // direct where the file system allows it
    const std::string direct = Read(m_plan.path);
    m_plan.fileFlags = TQ8_FWP_BUFFERED_IO;
    WriteAll(1, data, 65535);
    EXPECT_EQ(Read(m_plan.path), direct);
    ASSERT_EQ(direct.size(), 100 + data.size());
    EXPECT_EQ(direct.substr(100), std::string(data.begin(), data.end()));
}

TEST_F(SampleFileWriterTest, TimestampFilesWithAndWithoutMarker)
{
    const std::vector<uint64_t> first = {5, 1ull << 40};
    const std::vector<uint64_t> second = {7};
    for (const bool marker : {false, true}) {
        m_plan.fileFlags = TQ8_FWP_TS_BINARY | TQ8_FWP_TS_TEXT | (marker ? TQ8_FWP_TS_MARKER : 0u);
        CSampleFileWriter w(m_plan, 1);
        ASSERT_TRUE(w.Open());
        ASSERT_TRUE(w.WriteTimestamps(first.data(), first.size(), false));
        ASSERT_TRUE(w.WriteTimestamps(second.data(), second.size(), true));
        ASSERT_TRUE(w.Close());
        ASSERT_EQ(w.TimestampFiles().size(), 2u);
        EXPECT_EQ(w.TimestampFiles()[0], Path("a.tq8ts"));
        std::vector<uint64_t> expected = first;
        if (marker)
            expected.push_back(TQ8_TS_OVERFLOW_MARKER);
        expected.push_back(7);
        EXPECT_EQ(Read(Path("a.tq8ts")), std::string(reinterpret_cast<const char*>(expected.data()),
                                                     expected.size() * sizeof(uint64_t)));
        EXPECT_EQ(Read(Path("a.tq8ts.txt")),
                  std::string("5\r\n1099511627776\r\n") + (marker ? "OVERFLOW\r\n" : "") + "7\r\n");
    }
    m_plan.timestampPath = Path("other.tq8ts");
    EXPECT_EQ(CSampleFileWriter::TimestampStem(m_plan), Path("other"));
}

TEST_F(SampleFileWriterTest, UnwritableDestinationsFailWithAText)
{
    m_plan.path = m_dir.string(); // a folder
    CSampleFileWriter folder(m_plan, 1);
    EXPECT_FALSE(folder.Open());
    EXPECT_FALSE(folder.ErrorText().empty());
    m_plan.path = Path("missing/x.rd8");
    CSampleFileWriter missing(m_plan, 1);
    EXPECT_FALSE(missing.Open());
    EXPECT_NE(missing.ErrorText().find(L"missing"), std::wstring::npos);
    const uint8_t b = 0;
    EXPECT_FALSE(missing.Write(&b, 1));
}

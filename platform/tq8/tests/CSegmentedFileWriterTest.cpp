#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <unistd.h>
#include <vector>

#include "CSegmentedFileWriter.h"

using tq8::CSegmentedFileWriter;

namespace {
// A private folder, removed with everything in it at the end of the test.
struct Dir {
    explicit Dir(const char* name)
    {
        const char* base = std::getenv("VLT_TEST_TMP");
        path = std::filesystem::path(base ? base : "/tmp") / "tq8_writer" / (name + std::to_string(::getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~Dir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path operator/(const char* file) const { return path / file; }
    std::filesystem::path path;
};

std::vector<uint8_t> Bytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

TEST(SegmentedFileWriter, SegmentNamesKeepTheExtension)
{
    EXPECT_EQ(CSegmentedFileWriter::SegmentPath("/d/rec.rd8", 1), "/d/rec.rd8");
    EXPECT_EQ(CSegmentedFileWriter::SegmentPath("/d/rec.rd8", 2), "/d/rec_0002.rd8");
    EXPECT_EQ(CSegmentedFileWriter::SegmentPath("/d/rec.x.rd8", 12345), "/d/rec.x_12345.rd8");
    EXPECT_EQ(CSegmentedFileWriter::SegmentPath("/d.v/rec", 3), "/d.v/rec_0003");
    EXPECT_EQ(CSegmentedFileWriter::SegmentPath("/d/.hidden", 2), "/d/.hidden_0002");
}

TEST(SegmentedFileWriter, SplitsOddWritesAcrossSegments)
{
    const auto dir = Dir("split");
    const std::string path = (dir / "a.bin").string();
    std::vector<uint8_t> data(1000);
    std::iota(data.begin(), data.end(), 0);
    {
        CSegmentedFileWriter w(path, 10, 310); // 300 data bytes a file
        ASSERT_TRUE(w.Open());
        size_t done = 0;
        for (size_t n : {1u, 299u, 1u, 450u, 249u}) {
            ASSERT_TRUE(w.Write(data.data() + done, n));
            done += n;
        }
        ASSERT_TRUE(w.Close());
        ASSERT_EQ(w.Files().size(), 4u);
        EXPECT_EQ(w.Files()[3].dataBytes, 100u);
    }
    std::vector<uint8_t> joined;
    for (uint32_t i = 1; i <= 4; ++i) {
        auto file = Bytes(CSegmentedFileWriter::SegmentPath(path, i));
        ASSERT_EQ(file.size(), i < 4 ? 310u : 110u);
        EXPECT_EQ(std::count(file.begin(), file.begin() + 10, 0), 10);
        joined.insert(joined.end(), file.begin() + 10, file.end());
    }
    EXPECT_EQ(joined, data);
    EXPECT_FALSE(std::filesystem::exists(CSegmentedFileWriter::SegmentPath(path, 5)));
}

TEST(SegmentedFileWriter, ExactFitOpensNoEmptySegment)
{
    const auto dir = Dir("exact");
    const std::string path = (dir / "a.bin").string();
    std::vector<uint8_t> data(600, 7);
    CSegmentedFileWriter w(path, 0, 300);
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.Write(data.data(), data.size()));
    ASSERT_TRUE(w.Close());
    EXPECT_EQ(w.Files().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(CSegmentedFileWriter::SegmentPath(path, 3)));
}

TEST(SegmentedFileWriter, FirstFileReplacedHeaderKeptWhenEmpty)
{
    const auto dir = Dir("replace");
    const std::string path = (dir / "a.bin").string();
    std::ofstream(path) << "an older recording, longer than this one";
    CSegmentedFileWriter w(path, 16, 0);
    ASSERT_TRUE(w.Open());
    ASSERT_TRUE(w.Close());
    EXPECT_EQ(Bytes(path), std::vector<uint8_t>(16, 0));
    EXPECT_TRUE(w.Close()); // once more: nothing happens
}

TEST(SegmentedFileWriter, FailuresNameTheFile)
{
    const auto dir = Dir("fail");
    const std::string path = (dir / "missing" / "a.bin").string();
    CSegmentedFileWriter w(path, 0, 0);
    EXPECT_FALSE(w.Open());
    EXPECT_NE(w.ErrorText().find(L"missing/a.bin"), std::wstring::npos);
    uint8_t byte = 1;
    EXPECT_FALSE(w.Write(&byte, 1));
    EXPECT_TRUE(w.Files().empty());
}

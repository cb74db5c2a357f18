#include <gtest/gtest.h>

#include <fstream>

#include "MessageBox.h"
#include "ReadNumberFile.h"
#include "TestApp.h"
#include "TextConv.h"

namespace {

std::wstring WriteFile(const ScratchDir& dir, const std::string& name, const std::string& text)
{
    std::string path = dir.Str() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return vlt::Utf8ToWide(path);
}

} // namespace

TEST(ReadNumberFile, FractionsAreScaledNormalisedAndLimited)
{
    std::vector<int32_t> v;
    std::wstring error;
    ASSERT_TRUE(ParseNumberText("0.5, 2, -1", v, 0, kReadNormalise, error));
    EXPECT_EQ(v, (std::vector<int32_t>{8192, 32767, -16384}));
    v.clear();
    ASSERT_TRUE(ParseNumberText("1.0", v, 0, 0, error));
    EXPECT_EQ(v, (std::vector<int32_t>{32767}));
    // Without normalisation a large negative value stays in 16 bits.
    v.clear();
    ASSERT_TRUE(ParseNumberText("-3.0 0.25", v, 0, 0, error));
    EXPECT_EQ(v, (std::vector<int32_t>{-32768, 8192}));
}

TEST(ReadNumberFile, SeparatorsAndCounts)
{
    std::vector<int32_t> v;
    std::wstring error;
    ASSERT_TRUE(ParseNumberText("1,2\n3 4,\n", v, 0, kReadIntegral, error));
    EXPECT_EQ(v, (std::vector<int32_t>{1, 2, 3, 4}));
    v.clear();
    ASSERT_TRUE(ParseNumberText(",5,6,7", v, 2, kReadIntegral, error));
    EXPECT_EQ(v, (std::vector<int32_t>{5, 6}));
    v.clear();
    EXPECT_FALSE(ParseNumberText("1 , 2", v, 0, kReadIntegral, error));
    EXPECT_EQ(error, L"Failed to parse input file: Invalid integral data");
    EXPECT_TRUE(v.empty());
}

TEST(ReadNumberFile, BadValuesAreRefused)
{
    std::vector<int32_t> v{42};
    std::wstring error;
    EXPECT_FALSE(ParseNumberText("1 2147483648", v, 0, kReadIntegral, error));
    EXPECT_EQ(error, L"Failed to parse input file: Invalid integral data");
    EXPECT_FALSE(ParseNumberText("0.1 nan", v, 0, 0, error));
    EXPECT_EQ(error, L"Failed to parse input file: Invalid floating-point data");
    EXPECT_FALSE(ParseNumberText("inf", v, 0, kReadNormalise, error));
    EXPECT_FALSE(ParseNumberText("1.5", v, 0, kReadIntegral, error));
    EXPECT_FALSE(ParseNumberText("+-1", v, 0, kReadIntegral, error));
    EXPECT_FALSE(ParseNumberText(" \n ", v, 0, 0, error));
    EXPECT_EQ(error, L"Input file contains no data");
    EXPECT_EQ(v, std::vector<int32_t>{42});
    std::vector<int32_t> w;
    ASSERT_TRUE(ParseNumberText("+7 -8", w, 0, kReadIntegral, error));
    EXPECT_EQ(w, (std::vector<int32_t>{7, -8}));
}

TEST(ReadNumberFile, FilesAndTheirMessages)
{
    ScratchDir dir;
    vlt::MessageBoxRecorder boxes;
    std::vector<int32_t> v;
    EXPECT_FALSE(ReadNumberFile(WriteFile(dir, "empty.txt", ""), v, 0, 0));
    EXPECT_EQ(boxes.LastText(), L"Input file contains no data");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    ASSERT_TRUE(ReadNumberFile(WriteFile(dir, "taps.txt", "0.5\r\n0.25\r\n"), v, 0, 0));
    EXPECT_EQ(v, (std::vector<int32_t>{16384, 8192}));
    EXPECT_FALSE(ReadNumberFile(vlt::Utf8ToWide(dir.Str() + "/missing.txt"), v, 0, 0));
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to open input file: ", 0), 0u);
}

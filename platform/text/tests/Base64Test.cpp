#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "Base64.h"

using vlt::Base64Decode;
using vlt::Base64Encode;

namespace {
std::string Encode(std::string_view bytes)
{
    std::string out;
    Base64Encode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    return out;
}

bool Decode(std::string_view text, std::string& bytes)
{
    bytes.assign(vlt::Base64MaxDecoded(text.size()), '\0');
    size_t written = 0;
    if (!Base64Decode(text, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size(), written))
        return false;
    bytes.resize(written);
    return true;
}
} // namespace

TEST(Base64Test, KnownVectorsRoundTrip)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, text] : vectors) {
        EXPECT_EQ(Encode(plain), text);
        std::string back;
        ASSERT_TRUE(Decode(text, back)) << text;
        EXPECT_EQ(back, plain);
    }
}

TEST(Base64Test, AllByteValuesRoundTrip)
{
    std::vector<uint8_t> data(1000);
    std::mt19937 rng(7);
    for (auto& b : data)
        b = static_cast<uint8_t>(rng());
    std::string text;
    Base64Encode(data.data(), data.size(), text);
    std::vector<uint8_t> back(vlt::Base64MaxDecoded(text.size()));
    size_t written = 0;
    ASSERT_TRUE(Base64Decode(text, back.data(), back.size(), written));
    back.resize(written);
    EXPECT_EQ(back, data);
}

TEST(Base64Test, MalformedTextIsRefused)
{
    std::string out;
    for (const char* bad : {"Zg=", "Zg", "Z===", "Zm9v!A==", "Zg==Zm9v", "Z=g=", "Zm 9", "Zm9\n"})
        EXPECT_FALSE(Decode(bad, out)) << bad;
}

TEST(Base64Test, OutputThatDoesNotFitIsRefused)
{
    uint8_t small[2];
    size_t written = 0;
    EXPECT_FALSE(Base64Decode("Zm9v", small, sizeof small, written));
    EXPECT_LE(written, sizeof small);
    EXPECT_TRUE(Base64Decode("Zm8=", small, sizeof small, written));
    EXPECT_EQ(written, 2u);
}

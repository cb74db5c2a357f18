#include "ConfigImage.h"

#include <gtest/gtest.h>

using namespace tq8;

TEST(ConfigImage, TheImageIsFoundBehindStrayBitsAndACutOffOneIsNot)
{
    const FirmwareVersion version{0x01020304, 7};
    const std::string bytes = std::string("\x00\xFF\x55\xAA", 4) + "image";
    const std::vector<bool> image = BytesToBits(ConfigImageHead(version, bytes.size()) + bytes);
    for (size_t stray = 0; stray < 8; ++stray) {
        std::vector<bool> bits(stray, stray % 2 == 1);
        bits.insert(bits.end(), image.begin(), image.end());
        bits.push_back(true); // trailing bits do not matter
        const auto found = ParseConfigImage(bits, 8);
        ASSERT_TRUE(found) << stray;
        EXPECT_EQ(found->bytes, bytes);
        EXPECT_EQ(found->version.version, version.version);
        EXPECT_EQ(found->version.custom, version.custom);
        EXPECT_FALSE(ParseConfigImage(bits, stray)) << "sync word past the offsets searched";
        bits.resize(stray + image.size() - 1);
        EXPECT_FALSE(ParseConfigImage(bits, 8)) << "one bit short, stray " << stray;
    }
    EXPECT_FALSE(ParseConfigImage(BytesToBits(std::string(64, '\0')), 8));
    EXPECT_FALSE(ParseConfigImage({}, 8));
    const auto empty = ParseConfigImage(BytesToBits(ConfigImageHead(version, 0)), 1);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->bytes.empty());
}

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "CSampleTextFormat.h"
#include "ReferenceSampleText.h"

using tq8::CSampleTextFormat;

namespace {
std::string Format(const CSampleTextFormat& format, const uint8_t* data, size_t bytes, uint32_t& column)
{
    // Marked room: a store past the room would show under the sanitizers.
    std::vector<char> room(CSampleTextFormat::MaxBytes(bytes), '#');
    return std::string(room.data(), format.Format(data, bytes, room.data(), column));
}
} // namespace

TEST(SampleTextFormat, EveryCodeOfEveryStyle)
{
    std::vector<uint8_t> codes(256);
    for (size_t i = 0; i < codes.size(); ++i)
        codes[i] = static_cast<uint8_t>(i);
    for (const bool hex : {false, true}) {
        for (const bool toSigned : {false, true}) {
            uint32_t column = 0;
            uint32_t refColumn = 0;
            const CSampleTextFormat format(hex, toSigned, 1);
            EXPECT_EQ(Format(format, codes.data(), codes.size(), column),
                      ReferenceText(codes.data(), codes.size(), hex, toSigned, 1, refColumn))
                << hex << toSigned;
        }
    }
    uint32_t column = 0;
    const uint8_t some[] = {0x00, 0x80, 0x7F, 0xFF, 0x05};
    EXPECT_EQ(Format(CSampleTextFormat(false, true, 2), some, 5, column), "-128 0\r\n-1 127\r\n-123");
    EXPECT_EQ(column, 1u);
}

// Random samples in random pieces, so lines break across calls anywhere:
// the text is the old formatter's, byte for byte.
TEST(SampleTextFormat, RandomPiecesMatchTheOldFormatter)
{
    std::mt19937 random(54);
    std::vector<uint8_t> data(20000);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(random());
    for (const bool hex : {false, true}) {
        for (const bool toSigned : {false, true}) {
            for (const uint32_t perLine : {1u, 2u, 3u, 4u, 7u}) {
                const CSampleTextFormat format(hex, toSigned, perLine);
                uint32_t column = 0;
                uint32_t refColumn = 0;
                std::string text;
                std::string expected;
                for (size_t at = 0; at < data.size();) {
                    const size_t n = std::min<size_t>(random() % 40, data.size() - at);
                    text += Format(format, data.data() + at, n, column);
                    expected += ReferenceText(data.data() + at, n, hex, toSigned, perLine, refColumn);
                    ASSERT_EQ(column, refColumn);
                    at += n;
                }
                EXPECT_EQ(text, expected) << hex << toSigned << perLine;
            }
        }
    }
}

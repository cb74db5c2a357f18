#include <gtest/gtest.h>

#include "VersionText.h"

TEST(VersionText, Format)
{
    EXPECT_EQ(FormatVersion32(0x63000000), "99.0.0.0");
    EXPECT_EQ(FormatVersion32(0), "0.0.0.0");
    EXPECT_EQ(FormatVersion32(0xFFFEFD01u), "255.254.253.1");
    EXPECT_EQ(FormatVersion64(0xFFFF000100020003ull), "65535.1.2.3");
}

TEST(VersionText, Parse64Range)
{
    uint64_t v = 0;
    ASSERT_TRUE(ParseVersion64("2.8.0.6", v));
    EXPECT_EQ(v, (uint64_t{2} << 48) | (uint64_t{8} << 32) | 6);
    EXPECT_FALSE(ParseVersion64("65536", v));
    EXPECT_FALSE(ParseVersion64("-1", v));
}

TEST(VersionText, PartsWithSigns)
{
    std::array<int64_t, 4> parts{};
    ASSERT_TRUE(ParseVersionParts(" +1.-2 ", parts));
    EXPECT_EQ(parts[0], 1);
    EXPECT_EQ(parts[1], -2);
    EXPECT_EQ(parts[2], 0);
    EXPECT_FALSE(ParseVersionParts("1.2x", parts));
}

TEST(FirmwareVersionText, AcceptedForms)
{
    uint32_t v = 7;
    ASSERT_TRUE(ParseFirmwareVersionText(L"", v));
    EXPECT_EQ(v, 0u);
    ASSERT_TRUE(ParseFirmwareVersionText(L"1.2", v));
    EXPECT_EQ(v, 0x01020000u);
    EXPECT_EQ(FormatVersion32(v), "1.2.0.0");
    ASSERT_TRUE(ParseFirmwareVersionText(L" 1. 2.3.255", v));
    EXPECT_EQ(v, 0x010203FFu);
    ASSERT_TRUE(ParseFirmwareVersionText(L"4..6", v));
    EXPECT_EQ(v, 0x04000600u);
}

TEST(FirmwareVersionText, RefusedForms)
{
    uint32_t v = 7;
    for (const wchar_t* text : {L"1.2.3.256", L"1.2.3.4.5", L"1 .2", L"a", L"1.2b", L"x1", L"1.2.3.4 ",
                                L"-1", L"99999999999999999999", L"1,2"}) {
        EXPECT_FALSE(ParseFirmwareVersionText(text, v));
        EXPECT_EQ(v, 7u);
    }
}

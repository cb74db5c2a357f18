#include <gtest/gtest.h>

#include <cstdint>

#include "NumberParse.h"

using namespace vlt;

TEST(NumberParse, PrefixIgnoresWhatFollows)
{
    uint32_t u = 0;
    EXPECT_TRUE(ParseNumberPrefix("12 dB", u));
    EXPECT_EQ(u, 12u);
    EXPECT_TRUE(ParseNumberPrefix("  \t7", u));
    EXPECT_EQ(u, 7u);
    EXPECT_TRUE(ParseNumberPrefix("+9x", u));
    EXPECT_EQ(u, 9u);
    u = 3;
    EXPECT_FALSE(ParseNumberPrefix("abc", u));
    EXPECT_FALSE(ParseNumberPrefix("", u));
    EXPECT_FALSE(ParseNumberPrefix("+", u));
    EXPECT_FALSE(ParseNumberPrefix("+-1", u));
    EXPECT_EQ(u, 3u);
}

TEST(NumberParse, ExactRefusesTrailingText)
{
    int32_t i = 5;
    EXPECT_TRUE(ParseNumberExact(" 42", i));
    EXPECT_EQ(i, 42);
    EXPECT_FALSE(ParseNumberExact("42 ", i));
    EXPECT_FALSE(ParseNumberExact("12abc", i));
    EXPECT_EQ(i, 42);
    EXPECT_TRUE(ParseNumberExact("-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
}

TEST(NumberParse, UnsignedRefusesMinusAndOverflow)
{
    uint32_t u = 1;
    EXPECT_FALSE(ParseNumberExact("-1", u));
    EXPECT_FALSE(ParseNumberExact("-0", u));
    EXPECT_FALSE(ParseNumberExact("4294967296", u));
    EXPECT_EQ(u, 1u);
    EXPECT_TRUE(ParseNumberExact("4294967295", u));
    EXPECT_EQ(u, 4294967295u);
    uint64_t q = 0;
    EXPECT_TRUE(ParseNumberExact("18446744073709551615", q));
    EXPECT_FALSE(ParseNumberExact("18446744073709551616", q));
    uint16_t w = 0;
    EXPECT_FALSE(ParseNumberExact("70000", w));
    int8_t b = 0;
    EXPECT_FALSE(ParseNumberExact("-129", b));
}

TEST(NumberParse, OtherBasesAndFloats)
{
    uint32_t u = 0;
    EXPECT_TRUE(ParseNumber("ff", u, ParseRules{true, false, Trailing::Refuse, 16}));
    EXPECT_EQ(u, 255u);
    double d = 0;
    EXPECT_TRUE(ParseNumberExact("1.5e3", d));
    EXPECT_DOUBLE_EQ(d, 1500.0);
    EXPECT_FALSE(ParseNumberExact("1.5.3", d));
}

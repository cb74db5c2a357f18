#include <gtest/gtest.h>

#include "TextConv.h"

using vlt::Utf8ToWide;
using vlt::WideToUtf8;

TEST(TextConv, RoundTripsEveryPlane)
{
    const std::wstring samples[] = {
        L"", L"plain", L"R&D <\"quoted\">", L"Gr\u00FC\u00DFe", L"\u0412\u0435\u043B\u044C\u0442\u0440\u0430\u043D",
        L"\u6E2C\u5B9A", std::wstring(1, wchar_t(0x1F4C8)), std::wstring(1, wchar_t(0x10FFFF)), L"a\nb\tc",
    };
    for (const auto& w : samples)
        EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w);
}

TEST(TextConv, EncodesKnownBytes)
{
    EXPECT_EQ(WideToUtf8(L"\u0412"), "\xD0\x92");
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x20AC))), "\xE2\x82\xAC");
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x1F600))), "\xF0\x9F\x98\x80");
    std::string withNul("a\0b", 3);
    EXPECT_EQ(Utf8ToWide(withNul), std::wstring(L"a\0b", 3));
}

TEST(TextConv, MalformedInputBecomesReplacementCharacters)
{
    const wchar_t repl = 0xFFFD;
    EXPECT_EQ(Utf8ToWide("\x92"), std::wstring(1, repl));
    EXPECT_EQ(Utf8ToWide("a\xE2\x82"), (std::wstring{L'a', repl, repl}));
    EXPECT_EQ(Utf8ToWide("\xC0\x80"), (std::wstring{repl, repl}));        // overlong NUL
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), (std::wstring{repl, repl, repl})); // surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80").front(), repl);               // beyond U+10FFFF
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x110000))), "\xEF\xBF\xBD");
}

TEST(TextConv, Utf16PairsRoundTripAndLoneSurrogatesAreReplaced)
{
    const std::u16string pair = u"A\U0001F600\u00E9";
    EXPECT_EQ(vlt::Utf16ToUtf8(pair), "A\xF0\x9F\x98\x80\xC3\xA9");
    EXPECT_EQ(vlt::Utf8ToUtf16(vlt::Utf16ToUtf8(pair)), pair);
    EXPECT_EQ(vlt::Utf16ToUtf8(std::u16string(1, char16_t(0xD83D))), "\xEF\xBF\xBD");
    EXPECT_EQ(vlt::Utf16ToUtf8(std::u16string{char16_t(0xDE00), u'x'}), "\xEF\xBF\xBD" "x");
}

#include "CComVariant.h"
#include "VariantText.h"

#include <gtest/gtest.h>

#include <limits>

TEST(VariantText, NumbersBooleansAndTextBecomeText)
{
    std::wstring text;
    EXPECT_EQ(vlt::VariantToText(CComVariant(int8_t(-128)), &text), S_OK);
    EXPECT_EQ(text, L"-128");
    vlt::VariantToText(CComVariant(std::numeric_limits<uint64_t>::max()), &text);
    EXPECT_EQ(text, L"18446744073709551615");
    vlt::VariantToText(CComVariant(1.0f / 3.0f), &text);
    EXPECT_EQ(text, L"0.3333333");
    vlt::VariantToText(CComVariant(1.5e20), &text);
    EXPECT_EQ(text, L"1.5E+20");
    vlt::VariantToText(CComVariant(true), &text);
    EXPECT_EQ(text, L"True");
    vlt::VariantToText(CComVariant(std::wstring_view(L"abc")), &text);
    EXPECT_EQ(text, L"abc");
    EXPECT_EQ(vlt::VariantToText(CComVariant(), &text), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(vlt::VariantToText(CComVariant(1), nullptr), E_POINTER);
}

TEST(VariantText, NumbersBecomeDoubles)
{
    double v = 0;
    EXPECT_EQ(vlt::VariantToDouble(CComVariant(uint16_t(65535)), &v), S_OK);
    EXPECT_EQ(v, 65535.0);
    EXPECT_EQ(vlt::VariantToDouble(CComVariant(-0.5f), &v), S_OK);
    EXPECT_EQ(v, -0.5);
    EXPECT_EQ(vlt::VariantToDouble(CComVariant(std::wstring_view(L"1")), &v), DISP_E_TYPEMISMATCH);
}

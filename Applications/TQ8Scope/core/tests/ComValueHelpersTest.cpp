#include <gtest/gtest.h>

#include "ComValueHelpers.h"
#include "OleColor.h"
#include "SafeArray.h"
#include "TestApp.h"
#include "Variant.h"

TEST(ComValueHelpers, TypeSizesIgnoreTheArrayBit)
{
    EXPECT_EQ(GetVarTypeSize(VT_I1), 1u);
    EXPECT_EQ(GetVarTypeSize(VT_UI1 | VT_ARRAY), 1u);
    EXPECT_EQ(GetVarTypeSize(VT_UI2), 2u);
    EXPECT_EQ(GetVarTypeSize(VT_R4 | VT_ARRAY), 4u);
    EXPECT_EQ(GetVarTypeSize(VT_UI4), 4u);
    EXPECT_EQ(GetVarTypeSize(VT_I8), 8u);
    EXPECT_EQ(GetVarTypeSize(VT_R8), 8u);
    EXPECT_EQ(GetVarTypeSize(VT_BSTR), 0u);
    EXPECT_EQ(GetVarTypeSize(VT_EMPTY), 0u);
}

TEST(ComValueHelpers, SafeArrayCount)
{
    EXPECT_EQ(GetSafeArrayCount(nullptr), 0u);
    SAFEARRAY* a = SafeArrayCreateVector(VT_I2, 5, 12);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetSafeArrayCount(a), 12u);
    SafeArrayDestroy(a);
}

TEST(ComValueHelpers, ColoursFallBackToTheDefault)
{
    App();
    EXPECT_EQ(OleColorToColorRef(RGB(1, 2, 3), 0x123456), RGB(1, 2, 3));
    EXPECT_EQ(OleColorToColorRef(0x01000005u, 0x123456), 0x123456u); // palette index: not translated
}

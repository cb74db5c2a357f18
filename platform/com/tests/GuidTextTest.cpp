#include "Bstr.h"
#include "CComBSTR.h"
#include "Guid.h"

#include <gtest/gtest.h>

TEST(Guid, FormatsUpperCaseWithBraces)
{
    constexpr GUID g = vlt::MakeGuid("3d599856-84e9-42ea-8abe-bb88809a80c6");
    EXPECT_EQ(vlt::GuidToString(g), L"{3D599856-84E9-42EA-8ABE-BB88809A80C6}");
}

TEST(Guid, ParsesWithAndWithoutBraces)
{
    GUID a, b;
    ASSERT_TRUE(vlt::GuidFromString(L"{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}", a));
    ASSERT_TRUE(vlt::GuidFromString(L"fbff18c8-87a2-4eb8-99f7-4852ceb687fa", b));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.Data1, 0xFBFF18C8u);
    EXPECT_EQ(a.Data4[7], 0xFA);
}

TEST(Guid, RefusesMalformedText)
{
    GUID g = vlt::MakeGuid("00000001-0000-0000-C000-000000000046");
    const GUID before = g;
    for (const wchar_t* bad : {L"", L"{}", L"{FBFF18C8-87A2-4EB8-99F7-4852CEB687F}", L"FBFF18C8-87A2-4EB8-99F7-4852CEB687FAX",
                               L"{FBFF18C8+87A2-4EB8-99F7-4852CEB687FA}", L"{FBFF18C8-87A2-4EB8-99F7-4852CEB687FG}",
                               L"(FBFF18C8-87A2-4EB8-99F7-4852CEB687FA)", L"{FBFF18C8-87A2-4EB8-99F7-4852CEB687F\u00e4}"}) {
        EXPECT_FALSE(vlt::GuidFromString(bad, g)) << static_cast<const void*>(bad);
        EXPECT_EQ(g, before);
    }
}

TEST(Guid, OrderingIsStrictAndConsistent)
{
    GUID a = vlt::MakeGuid("00000000-0000-0000-0000-000000000001");
    GUID b = vlt::MakeGuid("00000000-0000-0000-0000-000000000002");
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(b < a);
    EXPECT_FALSE(a < a);
}

TEST(Bstr, NullAndEmptyAreDifferent)
{
    CComBSTR none;
    CComBSTR empty(L"");
    EXPECT_TRUE(none.IsNull());
    ASSERT_FALSE(empty.IsNull());
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_FALSE(vlt::BstrEqual(none, empty));
    EXPECT_TRUE(vlt::BstrEqual(nullptr, nullptr));
}

TEST(Bstr, KeepsEmbeddedNulAndLength)
{
    const wchar_t text[] = {L'a', L'\0', L'b'};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 3u * sizeof(wchar_t));
    EXPECT_EQ(s[3], L'\0');
    EXPECT_EQ(vlt::BstrView(s), std::wstring_view(text, 3));
    SysFreeString(s);
}

TEST(Bstr, CopiesAreIndependent)
{
    CComBSTR a(L"caption");
    CComBSTR b(a);
    ASSERT_NE(a.m_str, b.m_str);
    b.m_str[0] = L'C';
    EXPECT_EQ(a.View(), L"caption");
    CComBSTR c(std::move(b));
    EXPECT_TRUE(b.IsNull());
    EXPECT_EQ(c.View(), L"Caption");
    EXPECT_TRUE(c.AssignCopy(nullptr));
    EXPECT_TRUE(c.IsNull());
    c = a;
    EXPECT_EQ(c.View(), L"caption");
    c = c;
    EXPECT_EQ(c.View(), L"caption");
}

TEST(Bstr, UninitialisedTextIsZeroFilled)
{
    BSTR s = SysAllocStringLen(nullptr, 4);
    ASSERT_NE(s, nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s[i], L'\0');
    SysFreeString(s);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

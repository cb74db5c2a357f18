#include <gtest/gtest.h>

#include "FwGenControls.h"
#include "FwGenFormExchange.h"
#include "MessageBox.h"

namespace {

FwGenFormValues GoodValues()
{
    FwGenFormValues v;
    v.fpgaType = 1;
    v.xcf32pPath = L"/a.xsvf";
    v.xcf16pPath = L"/b.xsvf";
    v.readmePath = L"/r.txt";
    v.readmeSev = 1;
    v.outputPath = L"/o.tq8fw";
    v.custEnum = L"1234";
    v.version = L"1.2";
    v.preRelease = true;
    v.overwritePrompt = false;
    return v;
}

const std::wstring kBadVersion = L"Bad version format. Proper version format is:\r\n\r\n#[.#[.#[.#]]]\r\n\r\nWhere:\r\n"
                                 L" -# is a number in the range [0, 255]\r\n -Bracketed items are optional.";

} // namespace

TEST(FwGenFormExchange, TakesEveryValue)
{
    vlt::MessageBoxRecorder boxes;
    CFwGenSettings s;
    int failed = -1;
    ASSERT_TRUE(ExchangeFromForm(GoodValues(), s, failed));
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(s.m_fpgaType, 1);
    EXPECT_EQ(s.m_xcf16pPath, L"/b.xsvf");
    EXPECT_EQ(s.m_fwCustEnum, 1234u);
    EXPECT_EQ(s.m_fwVer, 0x01020000u);
    EXPECT_TRUE(s.m_preRel);
    EXPECT_FALSE(s.m_ovrwrtPrompt);
    // Shown again as four parts.
    EXPECT_EQ(FormValuesFromSettings(s).version, L"1.2.0.0");
    EXPECT_EQ(FormValuesFromSettings(s).custEnum, L"1234");
}

TEST(FwGenFormExchange, CustomEnumerationRange)
{
    for (const wchar_t* text : {L"0", L"65535", L"70000"}) {
        vlt::MessageBoxRecorder boxes;
        CFwGenSettings s;
        FwGenFormValues v = GoodValues();
        v.custEnum = text;
        int failed = 0;
        EXPECT_FALSE(ExchangeFromForm(v, s, failed));
        EXPECT_EQ(failed, IDC_CUST_ENUM);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), L"Please enter an integer between 1 and 65534.");
        EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
        // Taken before the refused value; not after it.
        EXPECT_EQ(s.m_fwpkgPath, L"/o.tq8fw");
        EXPECT_EQ(s.m_fwVer, 0u);
        EXPECT_FALSE(s.m_preRel);
    }
    for (const wchar_t* text : {L"1", L" 65534 "}) {
        vlt::MessageBoxRecorder boxes;
        CFwGenSettings s;
        FwGenFormValues v = GoodValues();
        v.custEnum = text;
        int failed = 0;
        EXPECT_TRUE(ExchangeFromForm(v, s, failed)) << boxes.LastText();
    }
}

TEST(FwGenFormExchange, CustomEnumerationNotANumber)
{
    for (const wchar_t* text : {L"", L"abc", L"-5", L"12x", L"1.5"}) {
        vlt::MessageBoxRecorder boxes;
        CFwGenSettings s;
        FwGenFormValues v = GoodValues();
        v.custEnum = text;
        int failed = 0;
        EXPECT_FALSE(ExchangeFromForm(v, s, failed));
        EXPECT_EQ(boxes.LastText(), L"Please enter a positive integer.");
    }
}

TEST(FwGenFormExchange, BadVersionFormats)
{
    for (const wchar_t* text : {L"1.2.3.256", L"1.2.3.4.5", L"1 .2", L"a", L"1.b", L"1.2.3.4x"}) {
        vlt::MessageBoxRecorder boxes;
        CFwGenSettings s;
        s.m_fwVer = 77;
        FwGenFormValues v = GoodValues();
        v.version = text;
        int failed = 0;
        EXPECT_FALSE(ExchangeFromForm(v, s, failed));
        EXPECT_EQ(failed, IDC_FW_VERSION);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), kBadVersion);
        EXPECT_EQ(s.m_fwVer, 77u);
        EXPECT_EQ(s.m_fwCustEnum, 1234u);
    }
}

TEST(FwGenFormExchange, EmptyVersionIsZero)
{
    vlt::MessageBoxRecorder boxes;
    CFwGenSettings s;
    s.m_fwVer = 77;
    FwGenFormValues v = GoodValues();
    v.version = L"";
    int failed = 0;
    ASSERT_TRUE(ExchangeFromForm(v, s, failed));
    EXPECT_EQ(s.m_fwVer, 0u);
    EXPECT_EQ(FormValuesFromSettings(s).version, L"0.0.0.0");
}

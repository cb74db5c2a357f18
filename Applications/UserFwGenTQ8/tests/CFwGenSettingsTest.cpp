#include <gtest/gtest.h>

#include "CFwGenSettings.h"
#include "FwGenTestEnv.h"
#include "RegistryStore.h"

using vlt::RegHive;
using vlt::RegistryStore;

TEST(FwGenSettings, DefaultsWhenNothingStored)
{
    FwGenTestEnv env("settings");
    CFwGenSettings s;
    s.m_fwVer = 5; // Load keeps what is not stored
    s.Load();
    EXPECT_EQ(s.m_fpgaType, 0);
    EXPECT_TRUE(s.m_xcf32pPath.empty());
    EXPECT_EQ(s.m_fwVer, 5u);
    EXPECT_TRUE(s.m_ovrwrtPrompt);
    EXPECT_FALSE(s.m_preRel);
}

TEST(FwGenSettings, StoredUnderProfileWithTheirNamesAndTypes)
{
    FwGenTestEnv env("settings");
    CFwGenSettings s;
    s.m_fpgaType = 1;
    s.m_xcf32pPath = L"/fw/a.xsvf";
    s.m_xcf16pPath = L"/fw/b.xsvf";
    s.m_fwpkgPath = L"/fw/out é.tq8fw";
    s.m_fwVer = 0x01020304;
    s.m_fwCustEnum = 65534;
    s.m_preRel = true;
    s.m_ovrwrtPrompt = false;
    s.m_readmePath = L"/fw/readme.txt";
    s.m_readmeSev = 1;
    ASSERT_TRUE(s.Save()) << RegistryStore::LastError();

    const wchar_t* key = L"Software\\Veltrane\\TQ3300 User Firmware File Generator\\Settings";
    uint32_t number = 0;
    std::wstring text;
    ASSERT_TRUE(RegistryStore::GetDWord(RegHive::CurrentUser, key, L"fpga_type", number));
    EXPECT_EQ(number, 1u);
    ASSERT_TRUE(RegistryStore::GetDWord(RegHive::CurrentUser, key, L"fw_ver", number));
    EXPECT_EQ(number, 0x01020304u);
    ASSERT_TRUE(RegistryStore::GetDWord(RegHive::CurrentUser, key, L"ovrwrt_prompt", number));
    EXPECT_EQ(number, 0u);
    ASSERT_TRUE(RegistryStore::GetString(RegHive::CurrentUser, key, L"fwpkg_path", text));
    EXPECT_EQ(text, L"/fw/out é.tq8fw");
    EXPECT_EQ(RegistryStore::EnumValueNames(RegHive::CurrentUser, key).size(), 10u);

    CFwGenSettings back;
    back.Load();
    EXPECT_EQ(back.m_fpgaType, 1);
    EXPECT_EQ(back.m_xcf32pPath, s.m_xcf32pPath);
    EXPECT_EQ(back.m_xcf16pPath, s.m_xcf16pPath);
    EXPECT_EQ(back.m_fwpkgPath, s.m_fwpkgPath);
    EXPECT_EQ(back.m_fwVer, s.m_fwVer);
    EXPECT_EQ(back.m_fwCustEnum, s.m_fwCustEnum);
    EXPECT_TRUE(back.m_preRel);
    EXPECT_FALSE(back.m_ovrwrtPrompt);
    EXPECT_EQ(back.m_readmePath, s.m_readmePath);
    EXPECT_EQ(back.m_readmeSev, 1);
}

TEST(FwGenSettings, WrongTypeKeepsDefault)
{
    FwGenTestEnv env("settings");
    ASSERT_TRUE(RegistryStore::SetString(RegHive::CurrentUser, CFwGenSettings::kProfileKey, L"fw_ver", L"1.2.3.4"));
    ASSERT_TRUE(RegistryStore::SetDWord(RegHive::CurrentUser, CFwGenSettings::kProfileKey, L"fpga_type", 0xFFFFFFFFu));
    CFwGenSettings s;
    s.Load();
    EXPECT_EQ(s.m_fwVer, 0u);
    EXPECT_EQ(s.m_fpgaType, -1);
}

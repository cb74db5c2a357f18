#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "AppProfile.h"
#include "CRecentFileList.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* base = std::getenv("VLT_TEST_TMP");
        std::filesystem::path dir = base ? base : std::filesystem::temp_directory_path().string();
        dir /= "vlt_ui_profile_" + std::to_string(getpid()) + "_"
               + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        m_dir = dir;
        setenv("VLT_REGISTRY_DIR", dir.c_str(), 1);
        vlt::AppProfile::SetRegistryKey(L"Veltrane");
        vlt::AppProfile::SetProfileName(L"TQ3300 Scope");
    }
    void TearDown() override
    {
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }
    std::filesystem::path m_dir;
};

} // namespace

TEST_F(ProfileTest, SectionsLiveUnderTheBrandAndTheApplication)
{
    EXPECT_EQ(vlt::AppProfile::SectionKey(L"Recent File List"),
              L"Software\\Veltrane\\TQ3300 Scope\\Recent File List");
    EXPECT_EQ(vlt::AppProfile::GetString(L"Settings", L"Missing", L"dflt"), L"dflt");
    ASSERT_TRUE(vlt::AppProfile::WriteString(L"Settings", L"Name", L"value \u00e9"));
    EXPECT_EQ(vlt::AppProfile::GetString(L"Settings", L"Name"), L"value \u00e9");
    ASSERT_TRUE(vlt::AppProfile::WriteInt(L"Settings", L"Count", 7));
    EXPECT_EQ(vlt::AppProfile::GetInt(L"Settings", L"Count", 1), 7u);
    EXPECT_EQ(vlt::AppProfile::GetInt(L"Settings", L"Other", 3), 3u);
}

TEST_F(ProfileTest, RecentFilesKeepFiveMostRecentFirst)
{
    CRecentFileList list(L"Recent File List", L"File", 5);
    for (int i = 1; i <= 7; ++i)
        list.Add(L"/data/set" + std::to_wstring(i) + L".tq8set");
    ASSERT_EQ(list.GetSize(), 5u);
    EXPECT_EQ(list[0], L"/data/set7.tq8set");
    EXPECT_EQ(list[4], L"/data/set3.tq8set");
    // Adding an entry that is already listed moves it to the front.
    list.Add(L"/data/set5.tq8set");
    EXPECT_EQ(list[0], L"/data/set5.tq8set");
    EXPECT_EQ(list.GetSize(), 5u);
    EXPECT_EQ(list[1], L"/data/set7.tq8set");
    ASSERT_TRUE(list.WriteList());

    CRecentFileList reread(L"Recent File List", L"File", 5);
    reread.ReadList();
    EXPECT_EQ(reread.Items(), list.Items());
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent File List", L"File1"), L"/data/set5.tq8set");
}

TEST_F(ProfileTest, RemovedEntriesVanishFromTheProfile)
{
    CRecentFileList list(L"Recent File List", L"File", 5);
    list.Add(L"a");
    list.Add(L"b");
    list.Add(L"c");
    ASSERT_TRUE(list.WriteList());
    list.Remove(0);
    list.Remove(9); // out of range: nothing
    ASSERT_TRUE(list.WriteList());
    EXPECT_TRUE(vlt::AppProfile::GetString(L"Recent File List", L"File3").empty());
    CRecentFileList reread(L"Recent File List", L"File", 5);
    reread.ReadList();
    ASSERT_EQ(reread.GetSize(), 2u);
    EXPECT_EQ(reread[0], L"b");
    EXPECT_EQ(reread[1], L"a");
}

TEST_F(ProfileTest, RecentServersAreTheirOwnSection)
{
    CRecentFileList servers(L"Recent Servers", L"Server", 10);
    servers.Add(L"lab-pc|3494");
    servers.Add(L"");
    ASSERT_TRUE(servers.WriteList());
    EXPECT_EQ(vlt::AppProfile::GetString(L"Recent Servers", L"Server1"), L"lab-pc|3494");
    CRecentFileList files(L"Recent File List", L"File", 5);
    files.ReadList();
    EXPECT_EQ(files.GetSize(), 0u);
}

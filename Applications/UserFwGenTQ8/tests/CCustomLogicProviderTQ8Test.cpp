#include <gtest/gtest.h>

#include "BadFiles.h"
#include "CCustomLogicProviderTQ8.h"
#include "FwGenTestEnv.h"
#include "InstallFolder.h"
#include "RegistryStore.h"
#include "TextConv.h"

#include <filesystem>

namespace {

int LoadProvider(CCustomLogicProviderTQ8& p, const FwGenTestEnv& env, const std::string& xml)
{
    WriteTestFile(env.Path(CCustomLogicProviderTQ8::kFileName), xml);
    return p.Load(env.Path(CCustomLogicProviderTQ8::kFileName));
}

} // namespace

TEST(CustomLogicProvider, ReadsAllFields)
{
    FwGenTestEnv env("provider");
    CCustomLogicProviderTQ8 p;
    ASSERT_EQ(LoadProvider(p, env, "<vltfpgadev_tq3300><GUID>{1-2}</GUID><CustomFwEnum>1000</CustomFwEnum>"
                                   "<ClientName>Acme &amp; Co</ClientName><ShortName>Acme</ShortName>"
                                   "<GroupName>G</GroupName></vltfpgadev_tq3300>"), 0);
    EXPECT_EQ(p.m_guid, "{1-2}");
    EXPECT_EQ(p.m_customFwEnum, 1000u);
    EXPECT_EQ(p.m_clientName, "Acme & Co");
    EXPECT_EQ(p.m_groupName, "G");
    EXPECT_EQ(p.DisplayName(), "Acme & Co");
}

TEST(CustomLogicProvider, DisplayNameFallbacks)
{
    FwGenTestEnv env("provider");
    CCustomLogicProviderTQ8 p;
    ASSERT_EQ(LoadProvider(p, env, "<VltFpgaDev_TQ3300><GUID>x</GUID><CustomFwEnum>999</CustomFwEnum>"
                                   "<ShortName>Short</ShortName></VltFpgaDev_TQ3300>"), 0);
    EXPECT_EQ(p.DisplayName(), "Short");
    ASSERT_EQ(LoadProvider(p, env, "<VltFpgaDev_TQ3300><GUID>x</GUID><CustomFwEnum>999</CustomFwEnum>"
                                   "</VltFpgaDev_TQ3300>"), 0);
    EXPECT_EQ(p.DisplayName(), "<Unspecified>");
}

TEST(CustomLogicProvider, Failures)
{
    FwGenTestEnv env("provider");
    CCustomLogicProviderTQ8 p;
    EXPECT_EQ(p.Load(env.Path("absent.xml")), -529);
    EXPECT_EQ(LoadProvider(p, env, "<broken"), -529);
    EXPECT_EQ(LoadProvider(p, env, "<Other><GUID>x</GUID><CustomFwEnum>5</CustomFwEnum></Other>"), -530);
    EXPECT_EQ(LoadProvider(p, env, "<VltFpgaDev_TQ3300><CustomFwEnum>5</CustomFwEnum></VltFpgaDev_TQ3300>"), -543);
    EXPECT_EQ(LoadProvider(p, env, "<VltFpgaDev_TQ3300><GUID>x</GUID></VltFpgaDev_TQ3300>"), -543);
    EXPECT_EQ(LoadProvider(p, env, "<VltFpgaDev_TQ3300><GUID>x</GUID><CustomFwEnum>65536</CustomFwEnum>"
                                   "</VltFpgaDev_TQ3300>"), -543);
    EXPECT_EQ(LoadProvider(p, env, "<VltFpgaDev_TQ3300><GUID>x</GUID><CustomFwEnum>-1</CustomFwEnum>"
                                   "</VltFpgaDev_TQ3300>"), -543);
    EXPECT_TRUE(p.m_guid.empty() || p.m_guid == "x");
    for (badfiles::Kind kind : badfiles::kAll) {
        SCOPED_TRACE(badfiles::Name(kind));
        const std::string path = env.Path(CCustomLogicProviderTQ8::kFileName);
        std::filesystem::remove_all(path);
        ASSERT_TRUE(badfiles::Make(kind, path));
        badfiles::HangGuard guard;
        EXPECT_EQ(p.Load(path), -529);
    }
}

// The program's folder counts only when the device library lies in it.
TEST(InstallFolder, RegistryValueFirstThenProgramFolderWithTheDeviceLibrary)
{
    FwGenTestEnv env("install");
    const std::wstring program = vlt::Utf8ToWide(env.Dir());
    EXPECT_EQ(FindInstallFolder(program), L"");
    WriteTestFile(env.Path(kDeviceLibraryFile), "");
    EXPECT_EQ(FindInstallFolder(program), program);
    EXPECT_FALSE(FindInstallFolder().empty()); // the test program's own folder, beside the library

    const std::string installed = env.Path("installed");
    std::filesystem::create_directories(installed);
    ASSERT_TRUE(vlt::RegistryStore::SetString(vlt::RegHive::LocalMachine, L"Software\\Veltrane\\TQ3300",
                                              L"InstallPath", vlt::Utf8ToWide(installed)));
    EXPECT_EQ(FindInstallFolder(program), vlt::Utf8ToWide(installed));

    ASSERT_TRUE(vlt::RegistryStore::SetString(vlt::RegHive::LocalMachine, L"Software\\Veltrane\\TQ3300",
                                              L"InstallPath", vlt::Utf8ToWide(env.Path("gone"))));
    EXPECT_EQ(FindInstallFolder(program), program);
    EXPECT_EQ(FindInstallFolder(vlt::Utf8ToWide(env.Path("gone-too"))), L"");
}

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "AppProfile.h"
#include "AppTestEnv.h"
#include "CMyCommandLineInfo.h"
#include "CProgramOptions.h"
#include "DesktopFileValidate.h"
#include "RegistryStore.h"

using srvtest::AppTestEnv;

namespace {

std::string ReadText(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(CProgramOptions, FlagsRoundTripThroughTheProfile)
{
    AppTestEnv env;
    CProgramOptions options;
    ASSERT_TRUE(options.Load());
    EXPECT_EQ(options.Flags(), 0u);
    options.Set(CProgramOptions::kAllowShutdown | CProgramOptions::kRunAtLogOn | CProgramOptions::kAutoStartServices,
                true);
    options.Set(CProgramOptions::kAutoStartServices, false);
    ASSERT_TRUE(options.Save());
    uint32_t stored = 0;
    ASSERT_TRUE(vlt::RegistryStore::GetDWord(vlt::RegHive::CurrentUser, L"Software\\Veltrane\\VltSrvMgr\\Settings",
                                             L"ProgOptFlags", stored));
    EXPECT_EQ(stored, 0x9u);
    CProgramOptions again;
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Flags(), 0x9u);
}

TEST(CProgramOptions, DamagedStoreIsReportedAndLeftAlone)
{
    AppTestEnv env;
    std::filesystem::create_directories(env.Dir() + "/reg/user");
    std::ofstream(env.HiveFile()) << "<registry><key name=";
    CProgramOptions options;
    std::string error;
    EXPECT_FALSE(options.Load(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(options.Flags(), 0u);
    options.Set(CProgramOptions::kAutoStartServices, true);
    EXPECT_FALSE(options.Save(&error));
    EXPECT_EQ(ReadText(env.HiveFile()), "<registry><key name=");
}

TEST(CProgramOptions, LogOnEntryFollowsBitOneOnly)
{
    AppTestEnv env;
    const std::string program = env.Dir() + "/Tools & More/bin dir/VltSrvMgr";
    CProgramOptions options;
    options.Set(CProgramOptions::kAutoStartServices | CProgramOptions::kMinimizeToTray |
                    CProgramOptions::kAllowShutdown,
                true);
    EXPECT_TRUE(options.UpdateRunList(0, program));
    EXPECT_FALSE(std::filesystem::exists(env.AutostartFile()));

    uint32_t before = options.Flags();
    options.Set(CProgramOptions::kRunAtLogOn, true);
    std::string error;
    ASSERT_TRUE(options.UpdateRunList(before, program, &error)) << error;
    EXPECT_EQ(ValidateDesktopFile(env.AutostartFile()), "");
    EXPECT_NE(ReadText(env.AutostartFile()).find("Exec=\"" + program + "\" -BootTime\n"), std::string::npos);

    // Bit 0x1 unchanged: a removed entry stays removed.
    std::filesystem::remove(env.AutostartFile());
    before = options.Flags();
    options.Set(CProgramOptions::kAllowShutdown, false);
    EXPECT_TRUE(options.UpdateRunList(before, program));
    EXPECT_FALSE(std::filesystem::exists(env.AutostartFile()));

    ASSERT_TRUE(options.WriteRunListEntry(program));
    before = options.Flags();
    options.Set(CProgramOptions::kRunAtLogOn, false);
    EXPECT_TRUE(options.UpdateRunList(before, program));
    EXPECT_FALSE(std::filesystem::exists(env.AutostartFile()));
}

TEST(CProgramOptions, FailedLogOnEntryNamesTheFile)
{
    AppTestEnv env;
    std::filesystem::create_directories(env.Dir() + "/cfg");
    std::ofstream(env.Dir() + "/cfg/autostart") << "in the way";
    CProgramOptions options;
    options.Set(CProgramOptions::kRunAtLogOn, true);
    std::string error;
    EXPECT_FALSE(options.UpdateRunList(0, "/opt/v/VltSrvMgr", &error));
    EXPECT_NE(error.find(env.Dir() + "/cfg/autostart"), std::string::npos) << error;
}

TEST(CMyCommandLineInfo, BootTimeSwitchInAnyCaseAndEitherPrefix)
{
    for (const char* argument : {"-BootTime", "/boottime", "-BOOTTIME"}) {
        CMyCommandLineInfo info;
        info.ParseArguments({"file.vltsrv", argument, "-other"});
        EXPECT_TRUE(info.m_bBootTime) << argument;
    }
    for (const char* argument : {"BootTime", "-BootTimeX", "--BootTime", "-", ""}) {
        CMyCommandLineInfo info;
        info.ParseArguments({argument});
        EXPECT_FALSE(info.m_bBootTime) << argument;
    }
}

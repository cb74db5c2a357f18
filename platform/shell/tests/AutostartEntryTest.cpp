#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "AutostartEntry.h"
#include "DesktopFileValidate.h"
#include "ScratchDir.h"

using namespace vlt;

namespace {

std::string ReadText(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(AutostartEntry, QuotedProgramPathValidates)
{
    const std::string dir = ShellScratchDir();
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    const std::string program = dir + "/Veltrane & Co/bin dir/VltSrvMgr";
    std::string error;
    ASSERT_TRUE(WriteAutostartEntry(program, "Veltrane Service Manager", {"-BootTime"}, &error)) << error;
    const std::string file = AutostartFile(program);
    EXPECT_EQ(file, dir + "/config/autostart/VltSrvMgr.desktop");
    EXPECT_EQ(ValidateDesktopFile(file), "");
    EXPECT_NE(ReadText(file).find("\nExec=\"" + program + "\" -BootTime\n"), std::string::npos) << ReadText(file);
    unsetenv("XDG_CONFIG_HOME");
}

TEST(AutostartEntry, DefaultFolderUnderHome)
{
    const std::string dir = ShellScratchDir();
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", dir.c_str(), 1);
    EXPECT_EQ(AutostartFile("/opt/v/VltSrvMgr"), dir + "/.config/autostart/VltSrvMgr.desktop");
    // A relative XDG_CONFIG_HOME does not count.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(AutostartFolder(), dir + "/.config/autostart");
    unsetenv("XDG_CONFIG_HOME");
}

TEST(AutostartEntry, RemovedAndRemovingAgainSucceeds)
{
    const std::string dir = ShellScratchDir();
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ASSERT_TRUE(WriteAutostartEntry("/opt/v/VltSrvMgr", "V", {}));
    ASSERT_TRUE(std::filesystem::exists(dir + "/autostart/VltSrvMgr.desktop"));
    EXPECT_TRUE(RemoveAutostartEntry("/opt/v/VltSrvMgr"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/autostart/VltSrvMgr.desktop"));
    EXPECT_TRUE(RemoveAutostartEntry("/opt/v/VltSrvMgr"));
    unsetenv("XDG_CONFIG_HOME");
}

TEST(AutostartEntry, FailuresNameTheFileAndTheReason)
{
    const std::string dir = ShellScratchDir();
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    // The folder's place is taken by a file.
    std::ofstream(dir + "/autostart") << "not a folder";
    std::string error;
    EXPECT_FALSE(WriteAutostartEntry("/opt/v/VltSrvMgr", "V", {"-BootTime"}, &error));
    EXPECT_NE(error.find(dir + "/autostart"), std::string::npos) << error;
    EXPECT_EQ(ReadText(dir + "/autostart"), "not a folder");
    // The entry's place is taken by a folder.
    std::filesystem::remove(dir + "/autostart");
    std::filesystem::create_directories(dir + "/autostart/VltSrvMgr.desktop/inside");
    error.clear();
    EXPECT_FALSE(WriteAutostartEntry("/opt/v/VltSrvMgr", "V", {}, &error));
    EXPECT_NE(error.find("VltSrvMgr.desktop"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(RemoveAutostartEntry("/opt/v/VltSrvMgr", &error));
    EXPECT_NE(error.find("VltSrvMgr.desktop': Is a directory"), std::string::npos) << error;
    unsetenv("XDG_CONFIG_HOME");
}

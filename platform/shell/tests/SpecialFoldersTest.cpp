#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "ScratchDir.h"
#include "SpecialFolders.h"

using namespace vlt;

namespace {
void ClearXdg()
{
    for (const char* name : {"XDG_DOCUMENTS_DIR", "XDG_DESKTOP_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                             "VLT_SYSTEM_ROOT"})
        unsetenv(name);
}
} // namespace

TEST(SpecialFolders, XdgFoldersUnderHome)
{
    const std::string home = ShellScratchDir();
    std::filesystem::create_directories(home + "/Documents");
    setenv("HOME", home.c_str(), 1);
    ClearXdg();
    std::string path;
    ASSERT_TRUE(GetSpecialFolderPath(kFolderDocuments, path));
    EXPECT_EQ(path, home + "/Documents");
    // Flag bits above the number do not change the folder.
    ASSERT_TRUE(GetSpecialFolderPath(kFolderDocuments | 0x8000, path));
    EXPECT_EQ(path, home + "/Documents");
    ASSERT_TRUE(GetSpecialFolderPath(kFolderProfile, path));
    EXPECT_EQ(path, home);
    path = "unchanged";
    EXPECT_FALSE(GetSpecialFolderPath(kFolderDesktopDirectory, path)); // no Desktop folder
    EXPECT_FALSE(GetSpecialFolderPath(99, path));
    EXPECT_EQ(path, "unchanged");
}

TEST(SpecialFolders, DesktopFromUserDirsAndApplicationFolders)
{
    const std::string home = ShellScratchDir();
    setenv("HOME", home.c_str(), 1);
    ClearXdg();
    std::filesystem::create_directories(home + "/.config");
    std::ofstream(home + "/.config/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreib tisch\"\nXDG_MUSIC_DIR=\"/m\"\n";
    setenv("VLT_SYSTEM_ROOT", (home + "/root/").c_str(), 1);
    const struct {
        int32_t folder;
        std::string expected; // empty: cannot be had
    } cases[] = {
        {kFolderDesktopDirectory, home + "/Schreib tisch"},
        {kFolderPrograms, home + "/.local/share/applications"},
        {kFolderStartMenu, home + "/.local/share/applications"},
        {kFolderCommonPrograms, home + "/root/usr/local/share/applications"},
        {kFolderCommonStartMenu, home + "/root/usr/local/share/applications"},
        {kFolderCommonDesktopDirectory, ""},
    };
    for (const auto& c : cases) {
        std::string path;
        EXPECT_FALSE(GetSpecialFolderPath(c.folder, path)) << c.folder; // none exists yet
        EXPECT_EQ(GetSpecialFolderPath(c.folder | kFolderFlagDontVerify, path), !c.expected.empty()) << c.folder;
        if (!c.expected.empty()) {
            EXPECT_EQ(path, c.expected) << c.folder;
        }
    }
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    std::string path;
    ASSERT_TRUE(GetSpecialFolderPath(kFolderPrograms | kFolderFlagDontVerify, path));
    EXPECT_EQ(path, home + "/data/applications");
    EXPECT_EQ(SystemRootPath("/etc/environment"), home + "/root/etc/environment");
    unsetenv("VLT_SYSTEM_ROOT");
    EXPECT_EQ(SystemRootPath("/etc/environment"), "/etc/environment");
}

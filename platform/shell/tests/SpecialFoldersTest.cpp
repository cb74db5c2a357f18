#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "ScratchDir.h"
#include "SpecialFolders.h"

using namespace vlt;

TEST(SpecialFolders, XdgFoldersUnderHome)
{
    const std::string home = ShellScratchDir();
    std::filesystem::create_directories(home + "/Documents");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    unsetenv("XDG_DESKTOP_DIR");
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

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "ClientPaths.h"
#include "ScratchDir.h"

namespace fs = std::filesystem;
using namespace vlt;

TEST(ClientPaths, DriveRootTexts)
{
    EXPECT_EQ(DriveRootText(0), "C:\\");
    EXPECT_EQ(DriveRootText(1), "D:\\");
    EXPECT_EQ(DriveRootText(23), "Z:\\");
    EXPECT_EQ(DriveRootText(24), "");
}

TEST(ClientPaths, MapsDrivesAndBackslashes)
{
    const std::vector<std::string> roots = {"/srv/a", "/srv/b"};
    std::string local;
    size_t index = 9;
    ASSERT_TRUE(MapClientPath(roots, "C:\\x\\y.txt", local, &index));
    EXPECT_EQ(local, "/srv/a/x/y.txt");
    EXPECT_EQ(index, 0u);
    ASSERT_TRUE(MapClientPath(roots, "d:/x", local, &index));
    EXPECT_EQ(local, "/srv/b/x");
    EXPECT_EQ(index, 1u);
    ASSERT_TRUE(MapClientPath(roots, "C:", local));
    EXPECT_EQ(local, "/srv/a");
    ASSERT_TRUE(MapClientPath(roots, "C:\\dir\\\\.\\f", local));
    EXPECT_EQ(local, "/srv/a/dir/f");
}

TEST(ClientPaths, RefusesWhatLeavesTheRoot)
{
    const std::vector<std::string> roots = {"/srv/a"};
    std::string local = "unchanged";
    EXPECT_FALSE(MapClientPath(roots, "C:\\..\\..\\etc\\passwd", local));
    EXPECT_FALSE(MapClientPath(roots, "C:\\x\\..", local));
    EXPECT_FALSE(MapClientPath(roots, "/etc/passwd", local));
    EXPECT_FALSE(MapClientPath(roots, "\\\\server\\share", local));
    EXPECT_FALSE(MapClientPath(roots, "D:\\x", local)); // not served
    EXPECT_FALSE(MapClientPath(roots, "A:\\x", local));
    EXPECT_FALSE(MapClientPath(roots, "C:\\x:stream", local));
    EXPECT_FALSE(MapClientPath(roots, std::string_view("C:\\a\0b", 6), local));
    EXPECT_FALSE(MapClientPath(roots, "", local));
    EXPECT_EQ(local, "unchanged");
}

TEST(ClientPaths, SymbolicLinkOutsideIsNotInside)
{
    const std::string dir = ShellScratchDir();
    fs::create_directories(dir + "/root/sub");
    fs::create_directories(dir + "/outside");
    fs::create_directory_symlink(dir + "/outside", dir + "/root/out");
    fs::create_directory_symlink(dir + "/root/sub", dir + "/root/in");
    const std::string root = dir + "/root";
    EXPECT_TRUE(StaysInsideRoot(root, root + "/sub/new", true));
    EXPECT_TRUE(StaysInsideRoot(root, root + "/in/x", true));
    EXPECT_FALSE(StaysInsideRoot(root, root + "/out", true));
    EXPECT_FALSE(StaysInsideRoot(root, root + "/out/x", true));
    EXPECT_FALSE(StaysInsideRoot(root, root + "/out/x", false));
    // The link itself, as an entry, lies inside.
    EXPECT_TRUE(StaysInsideRoot(root, root + "/out", false));
    EXPECT_TRUE(IsRootPath(root, root + "/"));
    EXPECT_TRUE(IsRootPath(root, root + "/in/.."));
    EXPECT_FALSE(IsRootPath(root, root + "/sub"));

    std::string local;
    EXPECT_FALSE(ConfineClientPath({root}, "C:\\out\\x", true, local));
    EXPECT_TRUE(ConfineClientPath({root}, "C:\\in\\x", true, local));
    EXPECT_EQ(local, root + "/in/x");
}

TEST(ClientPaths, DanglingLinkLeadingOutIsNotInside)
{
    const std::string dir = ShellScratchDir();
    fs::create_directories(dir + "/root/sub");
    // Their targets do not exist yet: a file created through them would lie outside.
    fs::create_symlink(dir + "/outside/new.rd8", dir + "/root/gone.rd8");
    fs::create_symlink("../../elsewhere.rd8", dir + "/root/sub/up.rd8");
    fs::create_symlink("gone.rd8", dir + "/root/chain.rd8");
    fs::create_symlink("sub/later.rd8", dir + "/root/stays.rd8");
    const std::string root = dir + "/root";
    EXPECT_FALSE(StaysInsideRoot(root, root + "/gone.rd8", true));
    EXPECT_FALSE(StaysInsideRoot(root, root + "/sub/up.rd8", true));
    EXPECT_FALSE(StaysInsideRoot(root, root + "/chain.rd8", true));
    EXPECT_TRUE(StaysInsideRoot(root, root + "/stays.rd8", true));
    // As entries they lie inside.
    EXPECT_TRUE(StaysInsideRoot(root, root + "/gone.rd8", false));
    std::string local;
    EXPECT_FALSE(ConfineClientPath({root}, "C:\\gone.rd8", true, local));
}

TEST(ClientPaths, LocalBackToClient)
{
    const std::string dir = ShellScratchDir();
    fs::create_directories(dir + "/a/Documents");
    fs::create_directories(dir + "/b");
    const std::vector<std::string> roots = {dir + "/a", dir + "/b"};
    std::string client;
    ASSERT_TRUE(LocalToClientPath(roots, dir + "/a/Documents", client));
    EXPECT_EQ(client, "C:\\Documents");
    ASSERT_TRUE(LocalToClientPath(roots, dir + "/b", client));
    EXPECT_EQ(client, "D:\\");
    EXPECT_FALSE(LocalToClientPath(roots, dir, client));
}

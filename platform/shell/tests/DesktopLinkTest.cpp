#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "DesktopLink.h"
#include "ScratchDir.h"

namespace fs = std::filesystem;
using namespace vlt;

namespace {
void Write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}
} // namespace

TEST(DesktopLink, Names)
{
    EXPECT_TRUE(IsDesktopLinkName("a.desktop"));
    EXPECT_TRUE(IsDesktopLinkName("A.DeskTop"));
    EXPECT_FALSE(IsDesktopLinkName(".desktop"));
    EXPECT_FALSE(IsDesktopLinkName("a.desktop.txt"));
}

TEST(DesktopLink, ReadsFileUrlOfLinkType)
{
    const std::string dir = ShellScratchDir();
    Write(dir + "/ok.desktop", "[Desktop Entry]\nName=x\nType=Link\nURL=file:///data/My%20Files\n");
    Write(dir + "/app.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
    Write(dir + "/web.desktop", "[Desktop Entry]\nType=Link\nURL=https://example.org/\n");
    Write(dir + "/other.desktop", "[Other]\nType=Link\nURL=file:///data\n");
    Write(dir + "/bad.desktop", "[Desktop Entry]\nType=Link\nURL=file:///a%0\n");
    std::string target;
    ASSERT_TRUE(ReadDesktopLinkTarget(dir + "/ok.desktop", target));
    EXPECT_EQ(target, "/data/My Files");
    EXPECT_FALSE(ReadDesktopLinkTarget(dir + "/app.desktop", target));
    EXPECT_FALSE(ReadDesktopLinkTarget(dir + "/web.desktop", target));
    EXPECT_FALSE(ReadDesktopLinkTarget(dir + "/other.desktop", target));
    EXPECT_FALSE(ReadDesktopLinkTarget(dir + "/bad.desktop", target));
    EXPECT_FALSE(ReadDesktopLinkTarget(dir + "/missing.desktop", target));
}

TEST(DesktopLink, ResolvesSymbolicLinks)
{
    const std::string dir = ShellScratchDir();
    fs::create_directories(dir + "/target");
    fs::create_directory_symlink("target", dir + "/rel");
    Write(dir + "/plain.txt", "x");
    std::string target;
    ASSERT_TRUE(ResolveLinkTarget(dir + "/rel", target));
    EXPECT_EQ(target, dir + "/target");
    EXPECT_FALSE(ResolveLinkTarget(dir + "/plain.txt", target));
}

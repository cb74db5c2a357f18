#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "DesktopFileValidate.h"
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

TEST(DesktopLink, ReadsLocalTargetsOfLinksAndApplications)
{
    const std::string dir = ShellScratchDir();
    Write(dir + "/ok.desktop", "[Desktop Entry]\nName=x\nType=Link\nURL=file:///data/My%20Files\n");
    Write(dir + "/app.desktop", "[Desktop Entry]\nType=Application\nExec=\"/opt/my app/run\" %f\n");
    Write(dir + "/plain.desktop", "[Desktop Entry]\nType=Application\nExec=/opt/run --x\n");
    Write(dir + "/onpath.desktop", "[Desktop Entry]\nType=Application\nExec=firefox %u\n");
    Write(dir + "/web.desktop", "[Desktop Entry]\nType=Link\nURL=https://example.org/\n");
    Write(dir + "/other.desktop", "[Other]\nType=Link\nURL=file:///data\n");
    Write(dir + "/bad.desktop", "[Desktop Entry]\nType=Link\nURL=file:///a%0\n");
    Write(dir + "/open.desktop", "[Desktop Entry]\nType=Application\nExec=\"/opt/x\n");
    ::mkfifo((dir + "/fifo.desktop").c_str(), 0600); // must not block the reader
    const struct {
        const char* file;
        const char* target; // nullptr: not a local link
    } cases[] = {
        {"ok", "/data/My Files"}, {"app", "/opt/my app/run"}, {"plain", "/opt/run"}, {"onpath", nullptr},
        {"web", nullptr}, {"other", nullptr}, {"bad", nullptr}, {"open", nullptr}, {"fifo", nullptr},
        {"missing", nullptr},
    };
    for (const auto& c : cases) {
        std::string target = "unchanged";
        EXPECT_EQ(ReadDesktopLinkTarget(dir + "/" + c.file + ".desktop", target), c.target != nullptr) << c.file;
        EXPECT_EQ(target, c.target ? c.target : "unchanged") << c.file;
    }
}

TEST(DesktopLink, WrittenEntriesValidateAndReadBack)
{
    const std::string dir = ShellScratchDir();
    // Every character the Exec quoting and the string escapes deal with.
    const std::string programs[] = {"/opt/plain/app", "/opt/my dir/app", "/opt/a\"b`c$d\\e/f 100%", "/opt/x;y=z/#1"};
    int n = 0;
    for (const std::string& program : programs) {
        DesktopEntry entry;
        entry.type = DesktopEntry::Type::Application;
        entry.name = " Tool\t1\\5";
        entry.comment = "line\nnext";
        entry.program = program;
        entry.folder = fs::path(program).parent_path().string();
        const std::string file = dir + "/app" + std::to_string(n++) + ".desktop";
        ASSERT_TRUE(WriteDesktopEntry(file, entry, n % 2 == 0));
        EXPECT_EQ(ValidateDesktopFile(file), "") << program;
        std::string target;
        ASSERT_TRUE(ReadDesktopLinkTarget(file, target)) << program;
        EXPECT_EQ(target, program);
        struct stat info {};
        ASSERT_EQ(::stat(file.c_str(), &info), 0);
        EXPECT_EQ((info.st_mode & 0100) != 0, n % 2 == 0) << "executable only when asked";
    }
    DesktopEntry link;
    link.name = "Readme";
    link.url = FileUrl("/opt/my dir/read me%.txt");
    EXPECT_EQ(link.url, "file:///opt/my%20dir/read%20me%25.txt");
    ASSERT_TRUE(WriteDesktopEntry(dir + "/link.desktop", link, false));
    EXPECT_EQ(ValidateDesktopFile(dir + "/link.desktop"), "");
    std::string target;
    ASSERT_TRUE(ReadDesktopLinkTarget(dir + "/link.desktop", target));
    EXPECT_EQ(target, "/opt/my dir/read me%.txt");
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

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "DesktopFileValidate.h"
#include "DesktopLink.h"
#include "ShellFile.h"
#include "VltLinksTestEnv.h"

namespace fs = std::filesystem;

namespace {

const std::string kBanner = "vltlinks v1.1 - Veltrane product shortcut install/uninstall utility\n";
const std::string kUsageStart = "Usage: vltlinks [/Install | /Uninstall] /Src DIR /AllUsers=# /Ctx CTXFILE\n";
const std::string kUsageEnd = " CTXFILE   : Context file defining shortcuts [vltlinks.xml]\n\n";

bool IsExecutable(const std::string& file)
{
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 && (info.st_mode & 0100) != 0;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

const char* const kContext = R"(<?xml version="1.0"?>
<VLT_LINKS>
  <Desktop>
    <Shortcut target="bin\app"/>
    <Shortcut target="readme.txt" linkname="Readme.LNK" comment="Read me first"/>
    <Shortcut target="https://www.example.com/" linkname="Web Site" comment="unused"/>
  </Desktop>
  <StartMenu preamble="Veltrane\TQ3300">
    <Shortcut target="bin/app" linkname="Tool 1.5" comment="The tool"/>
    <Shortcut target="missing.bin" linkname="Gone"/>
  </StartMenu>
  <desktop><Shortcut target="readme.txt" linkname="lower"/></desktop>
</VLT_LINKS>
)";

} // namespace

TEST_F(VltLinksTest, OptionsAndTheirOverriding)
{
    const struct {
        std::vector<std::string> options;
        const char* allUsers;
        const char* installing;
    } cases[] = {
        {{"/allusers=0"}, "No", "Yes"}, {{"/Allusers"}, "No", "Yes"}, {{"/AllUsers=abc"}, "No", "Yes"},
        {{"/Allusers=1x"}, "No", "Yes"}, {{"/ALLUSERS=5"}, "Yes", "Yes"}, {{"/Allusers= 5 "}, "Yes", "Yes"},
        {{"/Allusers=-1"}, "Yes", "Yes"}, {{"/AllusersFoo=1"}, "Yes", "Yes"},
        {{"-allusers=1", "/Allusers"}, "No", "Yes"}, {{"/Uninstall"}, "No", "No"},
        {{"/Uninstall", "-INSTALL"}, "No", "Yes"}, {{"/usr/bin", "stray"}, "No", "Yes"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"-Verbose", "/Ctx", m_dir + "/none.xml"});
        const Outcome outcome = Run(args);
        EXPECT_TRUE(Contains(outcome.out, std::string("All users ? ") + c.allUsers + "\n")) << c.options[0];
        EXPECT_TRUE(Contains(outcome.out, std::string("Installing ? ") + c.installing + "\n")) << c.options[0];
        EXPECT_TRUE(Contains(outcome.out, "Context file: " + m_dir + "/none.xml\n"));
        EXPECT_EQ(outcome.result, -1); // the context file is missing
        EXPECT_TRUE(outcome.verbose);
    }
}

TEST_F(VltLinksTest, BannerAndUsageEndBeforeTheContext)
{
    const struct {
        std::vector<std::string> args;
        int32_t result;
        std::string start;
        bool usage;
    } cases[] = {
        {{"-v"}, 0, kBanner, false},
        {{"/?"}, 0, kBanner, true},
        {{"-H"}, 0, kBanner, true},
        {{"/Src"}, -1, "vltlinks: Source directory not specified after /Src\n\n" + kBanner, true},
        {{"-ctx"}, -2, "vltlinks: Context filename not specified after /Ctx\n\n" + kBanner, true},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.result, c.result) << c.args[0];
        EXPECT_EQ(outcome.out.rfind(c.start, 0), 0u) << outcome.out;
        EXPECT_EQ(Contains(outcome.out, kUsageStart), c.usage) << c.args[0];
        EXPECT_EQ(outcome.out.size() >= kUsageEnd.size() && outcome.out.ends_with(kUsageEnd), c.usage);
        EXPECT_FALSE(Contains(outcome.out, "not a valid")) << c.args[0];
        EXPECT_FALSE(outcome.verbose);
    }
    // Banner: the title, one line of our own, an empty line.
    const std::string banner = Run({"-v"}).out;
    EXPECT_EQ(std::count(banner.begin(), banner.end(), '\n'), 3);
    EXPECT_TRUE(banner.ends_with("\n\n"));
    EXPECT_TRUE(Run({"-verbose", "-v"}).verbose);
}

TEST_F(VltLinksTest, InstallReplaceAndUninstall)
{
    std::ofstream(m_product + "/vltlinks.xml") << kContext;
    // The source folder as a shell leaves it when quoted with a trailing '/'.
    const Outcome installed = Run({"-verbose", "/Src", m_product + "/\""});
    EXPECT_EQ(installed.result, 0) << installed.out;
    EXPECT_TRUE(Contains(installed.out, "Source dir: " + m_product + "/\n"));
    EXPECT_TRUE(Contains(installed.out, "Installed shortcut: app.desktop\n"));
    EXPECT_TRUE(Contains(installed.out, "Installed internet shortcut: Web Site.desktop\n"));
    EXPECT_FALSE(Contains(installed.out, "Replacing"));

    const std::string app = Desktop() + "/Shortcut to bin/app.desktop";
    const std::string readme = Desktop() + "/Readme.desktop";
    const std::string web = Desktop() + "/Web Site.desktop";
    const std::string tool = Programs() + "/Veltrane/TQ3300/Tool 1.5.desktop";
    const struct {
        std::string file;
        std::string target; // empty: an internet shortcut
        bool executable;
    } files[] = {
        {app, m_product + "/bin/app", true}, {readme, m_product + "/readme.txt", true}, {web, "", true},
        {tool, m_product + "/bin/app", false},
    };
    for (const auto& f : files) {
        ASSERT_TRUE(fs::exists(f.file)) << f.file;
        EXPECT_EQ(ValidateDesktopFile(f.file), "") << f.file;
        EXPECT_EQ(IsExecutable(f.file), f.executable) << f.file;
        std::string target;
        EXPECT_EQ(vlt::ResolveLinkTarget(f.file, target), !f.target.empty()) << f.file;
        EXPECT_EQ(target, f.target) << f.file;
    }
    std::string text;
    vlt::ReadRegularFile(tool, 4096, text);
    EXPECT_TRUE(Contains(text, "Type=Application\nName=Tool 1.5\nComment=The tool\nExec=" + m_product + "/bin/app\n"));
    vlt::ReadRegularFile(web, 4096, text);
    EXPECT_EQ(text, "[Desktop Entry]\nType=Link\nName=Web Site\nURL=https://www.example.com/\n");
    EXPECT_EQ(fs::directory_iterator(Programs() + "/Veltrane/TQ3300")->path().filename(), "Tool 1.5.desktop");
    EXPECT_FALSE(fs::exists(Desktop() + "/lower.desktop"));

    const Outcome again = Run({"/Src", m_product});
    EXPECT_EQ(again.result, 0);
    EXPECT_EQ(again.out, "vltlinks: Replacing shortcut: app.desktop\nvltlinks: Replacing shortcut: Readme.desktop\n"
                         "vltlinks: Replacing shortcut: Web Site.desktop\nvltlinks: Replacing shortcut: Tool 1.5.desktop\n"
                         "vltlinks: Target does not exist, shortcut skipped: " + m_product + "/missing.bin\n");

    // The product's files are gone before its shortcuts are removed.
    fs::remove_all(m_product + "/bin");
    fs::remove(m_product + "/readme.txt");
    const Outcome removed = Run({"/Uninstall", "-verbose", "/Src", m_product});
    EXPECT_EQ(removed.result, 0);
    for (const auto& f : files)
        EXPECT_FALSE(fs::exists(f.file)) << f.file;
    EXPECT_TRUE(Contains(removed.out, "Removing link: app.desktop\nRemoved empty directory: " + Desktop()
                                          + "/Shortcut to bin\n"));
    EXPECT_TRUE(Contains(removed.out, "Removed empty directory: " + Programs() + "/Veltrane/TQ3300\n"
                                          "Removed empty directory: " + Programs() + "/Veltrane\n"));
    EXPECT_TRUE(fs::is_directory(Programs()));
    EXPECT_TRUE(fs::is_directory(Desktop()));
}

TEST_F(VltLinksTest, ContextFiles)
{
    const std::string notValid = "The specified file is not a valid vltlink context file\n";
    const std::string file = m_product + "/vltlinks.xml";
    // The tool's own line, then the parser's reason, whatever its wording.
    const std::string malformed = notValid + "vltlinks: '" + file + "' is not well-formed XML (line 1: ";
    const auto expectMalformed = [&](const std::string& out, const std::string& context) {
        EXPECT_EQ(out.rfind(malformed, 0), 0u) << context;
        EXPECT_GT(out.size(), malformed.size() + 2) << "no reason given: " << context;
        EXPECT_TRUE(out.ends_with(")\n")) << out;
    };
    const struct {
        std::string context;
        int32_t result;
        std::string out;
    } cases[] = {
        {"<vlt_links><Other/></vlt_links>", 0, ""},
        {"<vlt_links>", -1, malformed},
        {"", -1, malformed},
        {"<links/>", -1, "vltlinks: An error occurred while parsing context file. (HR:0x80004005)\n"
                         "vltlinks: The root element is <links>, not <vlt_links>\n"},
        {"<vlt_links><Desktop><Shortcut linkname='x'/></Desktop></vlt_links>", -1,
         "vltlinks: Element <Shortcut> is missing a mandatory 'target' attribute.\n"},
        {"<vlt_links><Desktop><Shortcut target='mailto:a@b.c'/></Desktop></vlt_links>", -1,
         "vltlinks: Link name must be specified for a URL shortcut\n"},
        {"<vlt_links><StartMenu/></vlt_links>", -1,
         "vltlinks: Element <StartMenu> is missing mandatory 'preamble' attribute\n"},
        {"<vlt_links><StartMenu preamble='a\\..\\..\\up'/></vlt_links>", -1,
         "vltlinks: The 'preamble' attribute must name a folder below the Programs folder: a/../../up\n"},
        // An external entity is never fetched.
        {"<!DOCTYPE vlt_links [<!ENTITY e SYSTEM 'file:///etc/hostname'>]>"
         "<vlt_links><Desktop><Shortcut target='readme.txt' linkname='&e;'/></Desktop></vlt_links>",
         -1, malformed},
    };
    // Nested entities that would grow to a gigabyte are refused.
    std::string bomb = "<!DOCTYPE vlt_links [<!ENTITY a0 'xxxxxxxxxx'>";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY a" + std::to_string(i) + " '";
        for (int k = 0; k < 10; ++k)
            bomb += "&a" + std::to_string(i - 1) + ";";
        bomb += "'>";
    }
    bomb += "]><vlt_links><Desktop><Shortcut target='http://x.y/' linkname='&a9;'/></Desktop></vlt_links>";
    const Outcome bombed = RunWith(bomb, {});
    EXPECT_EQ(bombed.result, -1);
    expectMalformed(bombed.out, "entity bomb");
    for (const auto& c : cases) {
        const Outcome outcome = RunWith(c.context, {});
        EXPECT_EQ(outcome.result, c.result) << c.context;
        if (c.out == malformed)
            expectMalformed(outcome.out, c.context);
        else
            EXPECT_EQ(outcome.out, c.out) << c.context;
    }
    EXPECT_FALSE(fs::exists(Desktop()));
    fs::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    // At once, not blocked on the FIFO.
    EXPECT_EQ(Run({"/Src", m_product}).out, notValid + "vltlinks: Cannot read '" + file + "': not a regular file\n");
}

TEST_F(VltLinksTest, LinkNamesThatLeaveTheirFolderAreRefused)
{
    const Outcome outcome = RunWith(R"(<vlt_links><Desktop>
        <Shortcut target="readme.txt" linkname="../escape"/>
        <Shortcut target="readme.txt" linkname="/tmp/absolute"/>
        <Shortcut target="readme.txt" linkname="sub/../../x"/>
        <Shortcut target="readme.txt" linkname=".lnk"/>
        <Shortcut target="readme.txt" linkname="..dots"/>
      </Desktop></vlt_links>)", {});
    EXPECT_EQ(outcome.result, 4);
    EXPECT_EQ(outcome.out, "vltlinks: Link name must name a file inside its folder: ../escape\n"
                           "vltlinks: Link name must name a file inside its folder: /tmp/absolute\n"
                           "vltlinks: Link name must name a file inside its folder: sub/../../x\n"
                           "vltlinks: Link name must name a file inside its folder: .lnk\n");
    EXPECT_TRUE(fs::exists(Desktop() + "/..dots.desktop"));
    EXPECT_FALSE(fs::exists(m_home + "/escape.desktop"));
    EXPECT_FALSE(fs::exists("/tmp/absolute.desktop"));
}

TEST_F(VltLinksTest, AllUsersHaveProgramsButNoDesktop)
{
    const std::string context = R"(<vlt_links><Desktop><Shortcut target="readme.txt" linkname="Readme"/></Desktop>
        <StartMenu preamble="Veltrane"><Shortcut target="readme.txt" linkname="Readme"/></StartMenu></vlt_links>)";
    const Outcome installed = RunWith(context, {"/Allusers=1"});
    EXPECT_EQ(installed.result, 1);
    EXPECT_EQ(installed.out, "vltlinks: There is no all-users desktop on this system; not installed: Readme\n");
    const std::string link = m_root + "/usr/local/share/applications/Veltrane/Readme.desktop";
    EXPECT_TRUE(fs::exists(link));
    EXPECT_FALSE(fs::exists(Desktop()));
    const Outcome removed = RunWith(context, {"/Allusers=1", "/Uninstall"});
    EXPECT_EQ(removed.result, 0);
    EXPECT_FALSE(fs::exists(m_root + "/usr/local/share/applications/Veltrane"));
    EXPECT_TRUE(fs::exists(m_root + "/usr/local/share/applications"));
}

TEST_F(VltLinksTest, EmptiedFoldersAreRemovedOnlyBelowTheStopFolder)
{
    fs::create_directories(m_dir + "/stop/a/b");
    fs::create_directories(m_dir + "/beside/c");
    std::ostringstream out;
    CVltLinksMgr::RemoveEmptiedFolders(CMyPath(m_dir + "/beside/c"), CMyPath(m_dir + "/stop"), true, out);
    EXPECT_TRUE(fs::exists(m_dir + "/beside/c"));
    CVltLinksMgr::RemoveEmptiedFolders(CMyPath(m_dir + "/stop/./a/b/"), CMyPath(m_dir + "/stop//"), false, out);
    EXPECT_FALSE(fs::exists(m_dir + "/stop/a"));
    EXPECT_TRUE(fs::exists(m_dir + "/stop"));
    CVltLinksMgr::RemoveEmptiedFolders(CMyPath(m_dir + "/stop"), CMyPath(m_dir + "/stop"), false, out);
    EXPECT_TRUE(fs::exists(m_dir + "/stop"));
    EXPECT_EQ(out.str(), "");
}

TEST_F(VltLinksTest, ShortcutsThatCannotBeWrittenCountAsFailed)
{
    fs::create_directories(Desktop() + "/Readme.desktop");
    fs::create_directories(Desktop() + "/Web.desktop");
    std::ofstream(Desktop() + "/file") << "";
    const Outcome outcome = RunWith(R"(<vlt_links><Desktop>
        <Shortcut target="readme.txt" linkname="Readme"/>
        <Shortcut target="http://www.example.com/" linkname="Web"/>
        <Shortcut target="readme.txt" linkname="file/below"/>
        <Shortcut target="readme.txt" linkname="fine"/>
      </Desktop></vlt_links>)", {});
    EXPECT_EQ(outcome.result, 3);
    EXPECT_EQ(outcome.out, "vltlinks: Failed to create link to readme.txt\n"
                           "vltlinks: Cannot write '" + Desktop() + "/Readme.desktop': not a regular file\n"
                           "vltlinks: Failed to create link to URL: http://www.example.com/\n"
                           "vltlinks: Cannot write '" + Desktop() + "/Web.desktop': not a regular file\n"
                           "vltlinks: Cannot create folder '" + Desktop() + "/file' for shortcut 'below.desktop': Not a directory\n");
    EXPECT_TRUE(fs::exists(Desktop() + "/fine.desktop"));
}

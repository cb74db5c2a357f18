#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "VltLinksTestEnv.h"

TEST_F(VltLinksTest, ProgramExitCodesAndKeyWait)
{
    std::ofstream(m_product + "/vltlinks.xml")
        << "<vlt_links><Desktop><Shortcut target='readme.txt' linkname='../out'/></Desktop></vlt_links>";
    const struct {
        std::vector<std::string> args;
        bool terminal;
        int exitCode;
        bool waits;
    } cases[] = {
        {{"-v"}, false, 0, false},
        {{"-v"}, true, 0, false},
        {{"-verbose", "-v"}, true, 0, true},
        {{"-verbose", "-v"}, false, 0, false},
        {{"/Src"}, false, 255, false},
        {{"/Ctx"}, false, 254, false},
        {{"/Src", m_product}, false, 1, false},             // one shortcut failed
        {{"/Src", m_product, "/Ctx", "none"}, false, 255, false}, // no context file
    };
    for (const auto& c : cases) {
        ChildOptions options;
        options.terminal = c.terminal;
        const ChildResult run = RunChild(VLTLINKS_PROGRAM, c.args, options);
        const std::string what = c.args[0] + (c.terminal ? " on a terminal" : "");
        EXPECT_FALSE(run.timedOut) << what;
        EXPECT_EQ(run.exitCode, c.exitCode) << what << "\n" << run.output;
        EXPECT_EQ(run.waitedForKey, c.waits) << what;
        EXPECT_EQ(run.output.find("Press any key to exit..."), c.waits ? run.output.rfind("Press") : std::string::npos)
            << what;
        if (c.waits) {
            EXPECT_EQ(run.output.find('x', run.output.find("Press any key to exit...") + 24), std::string::npos) << "key echoed";
        }
    }
}

// Run as the installer runs it: what each run prints, its exit code, and
// what it leaves on disk.
TEST_F(VltLinksTest, ProgramSaysWhyAndTakesBackslashesAsFolders)
{
    namespace fs = std::filesystem;
    const std::string ctx = m_product + "/vltlinks.xml";
    const std::string notValid = "The specified file is not a valid vltlink context file\n";
    const struct {
        const char* what;
        std::string context; // written to the context file unless empty
        std::vector<std::string> args;
        int exitCode;
        std::string output;
    } cases[] = {
        {"backslashes", R"(<vlt_links><StartMenu preamble="Veltrane\TQ3300">
            <Shortcut target="bin\app" linkname="Tools\Tool"/></StartMenu></vlt_links>)",
         {}, 0, ""},
        {"removal finds the same folders", "", {"/Uninstall"}, 0, ""},
        {"unsafe names", R"(<vlt_links><Desktop><Shortcut target="readme.txt" linkname="Bad&#10;Name"/>
            <Shortcut target="readme.txt" linkname="Tab&#9;"/><Shortcut target="readme.txt" linkname="."/>
            <Shortcut target="readme.txt" linkname="sub\.."/></Desktop></vlt_links>)",
         {}, 1,
         "vltlinks: Link name holds a character that cannot stand in a file name: Bad\\nName\n"
         "vltlinks: Link name holds a character that cannot stand in a file name: Tab\\t\n"
         "vltlinks: Link name must name a file inside its folder: .\n"
         "vltlinks: Link name must name a file inside its folder: sub/..\n"},
        {"unsafe preamble", R"(<vlt_links><StartMenu preamble="Veltrane&#13;"/></vlt_links>)", {}, 255,
         "vltlinks: The 'preamble' attribute holds a character that cannot stand in a folder name: Veltrane\\x0D\n"},
        {"missing target", R"(<vlt_links><Desktop><Shortcut target="gone\tool" linkname="Tool"/></Desktop></vlt_links>)",
         {}, 0, "vltlinks: Target does not exist, shortcut skipped: " + m_product + "/gone/tool\n"},
        {"missing context", "", {"/Ctx", "none.xml"}, 255,
         notValid + "vltlinks: Cannot open '" + m_product + "/none.xml': No such file or directory\n"},
        {"wrong root", "<links/>", {}, 255,
         "vltlinks: An error occurred while parsing context file. (HR:0x80004005)\n"
         "vltlinks: The root element is <links>, not <vlt_links>\n"},
    };
    for (const auto& c : cases) {
        if (!c.context.empty())
            std::ofstream(ctx) << c.context;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"/Src", m_product});
        const ChildResult run = RunChild(VLTLINKS_PROGRAM, args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.what << "\n" << run.output;
        EXPECT_EQ(run.output, c.output) << c.what;
        if (std::string(c.what) == "backslashes") {
            EXPECT_TRUE(fs::exists(Programs() + "/Veltrane/TQ3300/Tools/Tool.desktop"));
        }
    }
    EXPECT_FALSE(fs::exists(Programs() + "/Veltrane"));
    EXPECT_TRUE(fs::exists(Programs()));
    EXPECT_FALSE(fs::exists(Desktop() + "/Bad\nName.desktop"));

    // Empty, garbage and oversized context files each say why after the same line.
    const struct {
        std::string content;
        std::string reason;
    } files[] = {
        {"", "vltlinks: '" + ctx + "' is not well-formed XML (line 1: "},
        {"\x01garbage", "vltlinks: '" + ctx + "' is not well-formed XML (line 1: "},
        {std::string(4 * 1024 * 1024 + 1, ' '), "vltlinks: Cannot read '" + ctx + "': the file is larger than 4194304 bytes\n"},
    };
    for (const auto& f : files) {
        std::ofstream(ctx, std::ios::trunc) << f.content;
        const ChildResult run = RunChild(VLTLINKS_PROGRAM, {"/Src", m_product});
        EXPECT_EQ(run.exitCode, 255) << run.output;
        EXPECT_EQ(run.output.rfind(notValid + f.reason, 0), 0u) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 2) << run.output;
    }

    // A folder that cannot be made, and a link that cannot be written.
    std::ofstream(ctx, std::ios::trunc) << R"(<vlt_links><Desktop><Shortcut target="readme.txt" linkname="Readme"/>
        </Desktop><StartMenu preamble="Veltrane"><Shortcut target="readme.txt" linkname="Readme"/></StartMenu></vlt_links>)";
    fs::create_directories(Desktop() + "/Readme.desktop");
    fs::remove_all(Programs());
    fs::create_directories(fs::path(Programs()).parent_path());
    std::ofstream(Programs()) << "a file where the folder belongs";
    const ChildResult run = RunChild(VLTLINKS_PROGRAM, {"/Src", m_product});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(run.output.rfind("vltlinks: Failed to create link to readme.txt\nvltlinks: ", 0), 0u) << run.output;
    EXPECT_TRUE(run.output.ends_with("vltlinks: Cannot create folder '" + Programs() + "/Veltrane' for shortcut 'Readme.desktop': Not a directory\n"))
        << run.output;
}

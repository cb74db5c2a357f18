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

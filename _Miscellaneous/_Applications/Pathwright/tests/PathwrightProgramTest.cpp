#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "PathwrightTestEnv.h"

TEST_F(PathwrightTest, ProgramExitCodesAndKeyWait)
{
    SetStored("/usr/bin");
    const std::string prompt = "Press any key to exit...";
    const struct {
        std::vector<std::string> args;
        bool terminal;
        int exitCode;
        bool waits;
    } cases[] = {
        {{}, true, 255, true},
        {{}, false, 255, false},
        {{"-remove", "/absent"}, true, 0, false},
        {{"/opt/x"}, false, 0, false},
    };
    for (const auto& c : cases) {
        ChildOptions options;
        options.terminal = c.terminal;
        const ChildResult run = RunChild(PATHWRIGHT_PROGRAM, c.args, options);
        const std::string what = std::to_string(c.args.size()) + " arguments" + (c.terminal ? " on a terminal" : "");
        EXPECT_FALSE(run.timedOut) << what;
        EXPECT_EQ(run.exitCode, c.exitCode) << what << "\n" << run.output;
        EXPECT_EQ(run.waitedForKey, c.waits) << what;
        EXPECT_EQ(run.output.find(prompt) != std::string::npos, c.waits) << what;
        if (!c.terminal && c.args.empty()) {
            EXPECT_EQ(run.output, "Usage:\nPathwright [-remove] [Path]...\nWhere:\n"
                                  " -remove : Remove paths from system PATH\n  Path   : Path to append/remove\n");
        }
    }
    EXPECT_EQ(Stored(), "/usr/bin;/opt/x");
    std::ofstream(m_dir + "/regfile") << "x";
    ChildOptions blocked;
    blocked.env = {{"VLT_REGISTRY_DIR", m_dir + "/regfile"}};
    EXPECT_EQ(RunChild(PATHWRIGHT_PROGRAM, {"/opt/y"}, blocked).exitCode, 254);
}

#include <cerrno>
#include <fstream>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "ConsoleExit.h"
#include "ScratchDir.h"
#include "SettingChange.h"
#include "ShellFile.h"

using namespace vlt;

TEST(ConsoleExit, ExitCodes)
{
    const struct {
        int32_t result;
        int code;
    } cases[] = {{0, 0}, {-1, 255}, {-2, 254}, {-3, 253}, {-255, 1}, {-256, 255}, {1, 1}, {7, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(ExitCodeOf(c.result), c.code) << c.result;
}

TEST(ShellFile, RefusesWhatIsNotASmallRegularFile)
{
    const std::string dir = ShellScratchDir();
    std::ofstream(dir + "/small") << "12345";
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    const struct {
        std::string path;
        size_t limit;
        int code; // 0: read
    } cases[] = {
        {dir + "/small", 5, 0}, {dir + "/small", 4, EFBIG}, {dir + "/fifo", 100, EINVAL},
        {dir, 100, EINVAL}, {dir + "/none", 100, ENOENT},
    };
    for (const auto& c : cases) {
        std::string data;
        std::string reason;
        int code = 0;
        EXPECT_EQ(ReadRegularFile(c.path, c.limit, data, &reason, &code), c.code == 0) << c.path;
        EXPECT_EQ(code, c.code) << c.path;
        EXPECT_EQ(data, c.code == 0 ? "12345" : "") << c.path;
        EXPECT_EQ(reason.empty(), c.code == 0) << c.path;
    }
}

TEST(SettingChange, HookSeesEachBroadcast)
{
    BroadcastSettingChange("Environment"); // no hook: nothing happens
    std::vector<std::string> seen;
    SetSettingChangeHook([&](const std::string& area) { seen.push_back(area); });
    BroadcastSettingChange("Environment");
    SetSettingChangeHook({});
    BroadcastSettingChange("Environment");
    EXPECT_EQ(seen, std::vector<std::string>{"Environment"});
}

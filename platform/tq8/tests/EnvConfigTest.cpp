// The configuration file named by TQ8_SIM_CONFIG is read on first use, so
// this test lives in its own program and sets the variable before any call.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "BadFiles.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"

TEST(EnvConfig, LocalBoardsComeFromTheNamedFile)
{
    ASSERT_EQ(setenv("TQ8_SIM_CONFIG", TQ8_TEST_DATA "/sim_config.xml", 1), 0);
    ASSERT_EQ(GetDeviceCountTQ8(), 2);
    EXPECT_EQ(TQ8Sim_GetTimeFactor(), 0.001);
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 2), TQ8_OK);
    uint32_t serial = 0;
    ASSERT_EQ(GetSerialNumberTQ8(h, &serial), TQ8_OK);
    EXPECT_EQ(serial, 123457u);
    EXPECT_EQ(GetMasterSlaveConfigurationTQ8(h, 1), 2);
    EXPECT_EQ(GetInputChannelFlagsTQ8(h, 1), 0x82u);
    TQ8SIM_SIGNAL sig{};
    ASSERT_EQ(TQ8Sim_GetSignal(123456, 0, &sig), TQ8_OK);
    EXPECT_EQ(sig.frequencyMHz, 30.0);
    EXPECT_EQ(sig.harmonicsDbc, -70.0);
    // Adding boards later keeps the file's boards first.
    TQ8SIM_BOARD_DESC d;
    TQ8Sim_DefaultBoardDesc(&d, 9);
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&d), TQ8_OK);
    EXPECT_EQ(GetDeviceCountTQ8(), 3);
    DisconnectFromDeviceTQ8(h);
}

// Each case in a fresh program of its own, which must come up with no
// boards, at once, and say on standard error which file failed and why.
TEST(EnvConfigDeathTest, UnreadableFileDeclaresNoBoardsAndSaysWhy)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* base = std::getenv("VLT_TEST_TMP");
    const std::filesystem::path dir = std::filesystem::path(base ? base : "/tmp") / "tq8_env_config";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "sim.xml").string();
    for (badfiles::Kind kind : badfiles::kAll) {
        SCOPED_TRACE(badfiles::Name(kind));
        std::filesystem::remove_all(path);
        ASSERT_TRUE(badfiles::Make(kind, path));
        const std::string why = kind == badfiles::Kind::Sparse ? "larger than" : "not a regular file";
        EXPECT_EXIT(
            {
                setenv("TQ8_SIM_CONFIG", path.c_str(), 1);
                badfiles::HangGuard guard;
                std::exit(GetDeviceCountTQ8());
            },
            ::testing::ExitedWithCode(0), "TQ8_SIM_CONFIG '" + path + "' declares no boards: .*" + why);
    }
    std::filesystem::remove_all(path);
    std::ofstream(path) << "<TQ8Sim>\n<Board serial=\"1\">\n</TQ8Sim>\n";
    EXPECT_EXIT(
        {
            setenv("TQ8_SIM_CONFIG", path.c_str(), 1);
            std::exit(GetDeviceCountTQ8());
        },
        ::testing::ExitedWithCode(0), "declares no boards: line [0-9]+: [A-Z]");
}

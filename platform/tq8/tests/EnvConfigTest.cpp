// The configuration file named by TQ8_SIM_CONFIG is read on first use, so
// this test lives in its own program and sets the variable before any call.
#include <gtest/gtest.h>

#include <cstdlib>

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

#include <gtest/gtest.h>

#include "PowerCommand.h"

using namespace vlt;

TEST(PowerCommand, StandInReceivesTheRequest)
{
    std::vector<PowerAction> seen;
    SetPowerStandIn([&seen](PowerAction action) {
        seen.push_back(action);
        return seen.size() == 1 ? 0 : -1;
    });
    EXPECT_EQ(RequestSystemPower(PowerAction::Reboot), 0);
    EXPECT_EQ(RequestSystemPower(PowerAction::PowerOff), -1);
    SetPowerStandIn({});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], PowerAction::Reboot);
    EXPECT_EQ(seen[1], PowerAction::PowerOff);
}

// The command path runs a harmless program in place of systemctl.
TEST(PowerCommand, ExitStatusDecides)
{
    SetPowerCommand("true");
    EXPECT_EQ(RequestSystemPower(PowerAction::PowerOff), 0);
    SetPowerCommand("false");
    EXPECT_EQ(RequestSystemPower(PowerAction::Reboot), -1);
    SetPowerCommand("/nonexistent/power-command");
    EXPECT_EQ(RequestSystemPower(PowerAction::Reboot), -1);
    SetPowerCommand("systemctl");
}

#pragma once
// Every API test starts from a fresh library: no handles, no boards, fast time.
#include <gtest/gtest.h>

#include "TQ8Sim.h"
#include "TQ8_64.h"

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
    }
    void TearDown() override { TQ8Sim_Reset(); }

    TQ8_HANDLE Virtual(uint32_t serial = 1600)
    {
        TQ8_HANDLE h = nullptr;
        EXPECT_EQ(ConnectToVirtualDeviceTQ8(&h, serial, 1), TQ8_OK);
        return h;
    }
};

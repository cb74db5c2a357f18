#pragma once
// Every API test starts from a fresh library: no handles, no boards, fast time.
// Board() reaches its board the way the test runs: a virtual board in the
// library, or a local board declared on the simulated bus and reached
// through the board driver (OnBothPaths runs a test both ways).
#include <gtest/gtest.h>

#include <string>

#include "TQ8Sim.h"
#include "TQ8_64.h"

enum class BoardPath { Virtual, Local };

class ApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
    }
    void TearDown() override { TQ8Sim_Reset(); }

    virtual BoardPath Path() const { return BoardPath::Virtual; }
    bool IsLocal() const { return Path() == BoardPath::Local; }

    TQ8_HANDLE Virtual(uint32_t serial = 1600)
    {
        TQ8_HANDLE h = nullptr;
        EXPECT_EQ(ConnectToVirtualDeviceTQ8(&h, serial, 1), TQ8_OK);
        return h;
    }

    // A local board is declared on first use; later calls connect again.
    TQ8_HANDLE Board(uint32_t serial = 1600)
    {
        if (!IsLocal())
            return Virtual(serial);
        TQ8SIM_BOARD_DESC desc{};
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        TQ8Sim_AddLocalBoard(&desc);
        TQ8_HANDLE h = nullptr;
        EXPECT_EQ(ConnectToDeviceTQ8(&h, serial), TQ8_OK);
        return h;
    }
};

template <class Base>
class OnBothPaths : public Base, public ::testing::WithParamInterface<BoardPath> {
protected:
    BoardPath Path() const override { return this->GetParam(); }
};

inline std::string PathName(const ::testing::TestParamInfo<BoardPath>& info)
{
    return info.param == BoardPath::Local ? "Local" : "Virtual";
}

#define TQ8_ON_BOTH_PATHS(Suite) \
    INSTANTIATE_TEST_SUITE_P(Paths, Suite, ::testing::Values(BoardPath::Virtual, BoardPath::Local), PathName)

using BoardApiTest = OnBothPaths<ApiTest>;

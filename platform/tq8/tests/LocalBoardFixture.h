#pragma once
// A simulated bus with the board driver library loaded, and a user process
// whose handles the library's links use. Each test ends with the driver's
// pool and common buffers all given back.
#include <gtest/gtest.h>

#include <memory>

#include "CSimBus.h"
#include "CUserProcess.h"
#include "EventLog.h"
#include "Hal.h"
#include "Pool.h"

class LocalBoardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kern::SimUseVirtualClock(true);
        kern::SimSetEventLogFile("");
        std::string error;
        m_bus = kern::CSimBus::Load(TQ8_DRIVER_LIBRARY, &error);
        ASSERT_NE(m_bus, nullptr) << error;
    }

    void TearDown() override
    {
        m_process.reset();
        m_bus.reset();
        kern::SimClearFaults();
        EXPECT_TRUE(kern::SimPoolOutstanding().empty()) << "pool not given back";
        EXPECT_EQ(kern::SimCommonBuffersOutstanding(), 0);
    }

    static kern::CardSpec Card(uint32_t serial)
    {
        kern::CardSpec card;
        card.desc.kind = tq8::BoardKind::Local;
        card.desc.serial = serial;
        return card;
    }

    size_t Arrive(uint32_t serial)
    {
        size_t slot = 0;
        EXPECT_EQ(m_bus->Arrive(Card(serial), &slot), kern::STATUS_SUCCESS);
        return slot;
    }

    std::unique_ptr<kern::CSimBus> m_bus;
    std::unique_ptr<kern::CUserProcess> m_process = std::make_unique<kern::CUserProcess>();
};

#include "CDmaEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CInterruptLine.h"

using tq8::CDmaEngine;

namespace {

class CDmaEngineTest : public ::testing::Test {
protected:
    void Start(uint32_t address, uint32_t units)
    {
        m_engine.Write(CDmaEngine::kBusAddress / 4, address);
        m_engine.Write(CDmaEngine::kLength / 4, units);
        m_engine.Write(CDmaEngine::kStart / 4, 1);
    }

    void WaitFor(uint32_t bits)
    {
        while ((m_engine.Status() & bits) != bits)
            std::this_thread::yield();
    }

    tq8::CInterruptLine m_line;
    std::atomic<uint64_t> m_address{0};
    std::atomic<uint32_t> m_bytes{0};
    std::atomic<int> m_moves{0};
    CDmaEngine m_engine{m_line, [this](uint64_t address, uint32_t bytes) {
                            m_address = address;
                            m_bytes = bytes;
                            ++m_moves;
                        }};
};

} // namespace

TEST_F(CDmaEngineTest, ATransferMovesWholeUnitsAndHoldsTheLineUntilAcknowledged)
{
    Start(0x12340000, 3);
    WaitFor(CDmaEngine::kDmaComplete);
    EXPECT_EQ(m_address.load(), 0x12340000u);
    EXPECT_EQ(m_bytes.load(), 3 * CDmaEngine::kUnit);
    EXPECT_TRUE(m_line.IsAsserted());
    EXPECT_EQ(m_engine.Read(CDmaEngine::kStart / 4, 0), CDmaEngine::kDmaComplete);
    m_engine.Write(CDmaEngine::kAcknowledge / 4, 1);
    EXPECT_EQ(m_engine.Status(), 0u);
    EXPECT_FALSE(m_line.IsAsserted());
    EXPECT_EQ(m_engine.Transfers(), 1u);
}

TEST_F(CDmaEngineTest, ABitRaisedAfterTheStatusWasReadSurvivesTheAcknowledge)
{
    m_engine.Raise(CDmaEngine::kSamplesComplete);
    EXPECT_EQ(m_engine.Read(CDmaEngine::kStart / 4, 0), CDmaEngine::kSamplesComplete);
    m_engine.Raise(CDmaEngine::kSamplesComplete);
    m_engine.Write(CDmaEngine::kAcknowledge / 4, 1);
    EXPECT_EQ(m_engine.Status(), CDmaEngine::kSamplesComplete);
    EXPECT_TRUE(m_line.IsAsserted());
    m_engine.Read(CDmaEngine::kStart / 4, 0);
    m_engine.Write(CDmaEngine::kAcknowledge / 4, 1);
    EXPECT_EQ(m_engine.Status(), 0u);
}

TEST_F(CDmaEngineTest, AResetDropsATransferNotYetMoved)
{
    // A long transfer at the bus rate waits in its pacing; the reset ends it.
    Start(0, 1u << 24);
    m_engine.Write(CDmaEngine::kReset / 4, 1);
    m_engine.Write(CDmaEngine::kReset / 4, 0);
    EXPECT_FALSE(m_engine.Busy());
    Start(0x1000, 1);
    WaitFor(CDmaEngine::kDmaComplete);
    EXPECT_EQ(m_address.load(), 0x1000u);
    EXPECT_EQ(m_engine.Transfers(), 1u);
}

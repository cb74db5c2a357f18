#include "CScanPort.h"

#include <gtest/gtest.h>

using tq8::CScanPort;

namespace {

// One clock with the lines given; returns TDO as seen before the edge.
bool Clock(CScanPort& port, bool tms, bool tdi = false)
{
    const uint32_t lines = (tms ? CScanPort::kTms : 0) | (tdi ? CScanPort::kTdi : 0);
    port.Write(lines);
    const bool tdo = (port.Read(0) & CScanPort::kTdo) != 0;
    port.Write(lines | CScanPort::kTck);
    return tdo;
}

void LoadInstruction(CScanPort& port, uint32_t instruction)
{
    for (bool tms : {false, true, true, false, false}) // idle, select DR, select IR, capture, shift
        Clock(port, tms);
    for (uint32_t i = 0; i < CScanPort::kInstructionBits; ++i)
        Clock(port, i + 1 == CScanPort::kInstructionBits, ((instruction >> i) & 1) != 0);
    Clock(port, true);  // update
    Clock(port, false); // idle
}

} // namespace

TEST(CScanPort, TheIdentificationCodeShiftsOutLeastSignificantFirst)
{
    CScanPort port({0x33000209});
    for (bool tms : {false, true, false, false}) // idle, select DR, capture, shift
        Clock(port, tms);
    EXPECT_EQ(port.CurrentState(), CScanPort::State::ShiftDr);
    uint32_t id = 0;
    for (int i = 0; i < 32; ++i)
        id |= uint32_t{Clock(port, i == 31)} << i;
    EXPECT_EQ(id, 0x33000209u);
    EXPECT_EQ(port.CurrentState(), CScanPort::State::Exit1Dr);
}

TEST(CScanPort, FiveClocksWithModeSelectHighReset)
{
    CScanPort port({1});
    LoadInstruction(port, CScanPort::kBypassInstruction);
    EXPECT_EQ(port.Instruction(), CScanPort::kBypassInstruction);
    for (int i = 0; i < 5; ++i)
        Clock(port, true);
    EXPECT_EQ(port.CurrentState(), CScanPort::State::Reset);
    EXPECT_EQ(port.Instruction(), CScanPort::kIdCodeInstruction);
}

TEST(CScanPort, TheConfigurationRegisterKeepsEveryBit)
{
    CScanPort port({1});
    LoadInstruction(port, CScanPort::kConfigInstruction);
    for (bool tms : {true, false, false})
        Clock(port, tms);
    const std::vector<bool> sent = {true, false, true, true, false, false, true, false, true};
    for (size_t i = 0; i < sent.size(); ++i)
        Clock(port, i + 1 == sent.size(), sent[i]);
    EXPECT_EQ(port.ConfigBits(), sent);
}

TEST(CScanPort, AChainGivesItsCodesNearestPartFirstAndBypassesToTheConfiguredPart)
{
    const std::vector<uint32_t> codes = {0x11111111, 0x22222223, 0x33333335};
    CScanPort port(codes);
    for (bool tms : {false, true, false, false})
        Clock(port, tms);
    std::vector<uint32_t> read(codes.size());
    for (uint32_t k = 0; k < 32 * codes.size(); ++k)
        read[k / 32] |= uint32_t{Clock(port, k + 1 == 32 * codes.size())} << (k % 32);
    EXPECT_EQ(read, codes);
}

TEST(CScanPort, ALoadErasesTheMemoryAndTheReadInstructionShiftsItBack)
{
    CScanPort port({1});
    std::vector<size_t> erased;
    std::vector<std::vector<bool>> loaded;
    port.SetConfigHooks([&](size_t part) { erased.push_back(part); },
                        [&](size_t, const std::vector<bool>& bits) { loaded.push_back(bits); });
    const std::vector<bool> sent = {true, true, false, true, false};
    for (int pass = 0; pass < 2; ++pass) {
        LoadInstruction(port, CScanPort::kConfigInstruction);
        for (bool tms : {true, false, false})
            Clock(port, tms);
        for (size_t i = 0; i < sent.size(); ++i)
            Clock(port, i + 1 == sent.size(), sent[i]);
        Clock(port, true);  // update: the scan has ended
        Clock(port, false); // idle
    }
    EXPECT_EQ(erased, (std::vector<size_t>{0, 0}));
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[1], sent); // the second load did not append to the first

    LoadInstruction(port, CScanPort::kConfigReadInstruction);
    for (bool tms : {true, false, false})
        Clock(port, tms);
    std::vector<bool> back;
    for (size_t i = 0; i < sent.size() + 2; ++i)
        back.push_back(Clock(port, false));
    std::vector<bool> expected = sent;
    expected.insert(expected.end(), {false, false}); // zeros past the end
    EXPECT_EQ(back, expected);
    EXPECT_EQ(port.ConfigBits(), sent);
    EXPECT_EQ(loaded.size(), 2u); // reading loads nothing
}

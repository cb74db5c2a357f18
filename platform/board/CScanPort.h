#pragma once
// The four-wire boundary-scan port on window 2, byte offset 4 (bit 1 data
// in to the chain (TDI), bit 2 mode select (TMS), bit 3 clock (TCK), bit 4
// data out of the chain (TDO)): the test-access-port state machine of one
// programmable part with a six-bit instruction register, the
// identification code, bypass, and a configuration data register that
// keeps every bit shifted into it. Not thread-safe: the card calls it
// under its own lock.
#include <cstdint>
#include <vector>

namespace tq8 {

class CScanPort {
public:
    static constexpr uint32_t kTdi = 1u << 1;
    static constexpr uint32_t kTms = 1u << 2;
    static constexpr uint32_t kTck = 1u << 3;
    static constexpr uint32_t kTdo = 1u << 4;
    static constexpr uint32_t kInstructionBits = 6;
    static constexpr uint32_t kIdCodeInstruction = 0x09;
    static constexpr uint32_t kConfigInstruction = 0x05;
    static constexpr uint32_t kBypassInstruction = 0x3F;

    enum class State {
        Reset, Idle, SelectDr, CaptureDr, ShiftDr, Exit1Dr, PauseDr, Exit2Dr, UpdateDr,
        SelectIr, CaptureIr, ShiftIr, Exit1Ir, PauseIr, Exit2Ir, UpdateIr,
    };

    explicit CScanPort(uint32_t idCode) : m_idCode(idCode) {}

    void Write(uint32_t lines);
    uint32_t Read(uint32_t stored) const;

    State CurrentState() const { return m_state; }
    uint32_t Instruction() const { return m_instruction; }
    // Bits shifted into the configuration register, in the order received.
    const std::vector<bool>& ConfigBits() const { return m_configBits; }

private:
    void RisingEdge(bool tdi, bool tms);
    void Shift(bool tdi, uint32_t length);
    static State Next(State s, bool tms);

    uint32_t m_idCode;
    uint32_t m_lines = 0;
    State m_state = State::Reset;
    uint32_t m_instruction = kIdCodeInstruction;
    uint64_t m_shift = 0;
    std::vector<bool> m_configBits;
};

} // namespace tq8

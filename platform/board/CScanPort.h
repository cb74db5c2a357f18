#pragma once
// The four-wire boundary-scan port on window 2, byte offset 4 (bit 1 data
// in to the chain (TDI), bit 2 mode select (TMS), bit 3 clock (TCK), bit 4
// data out of the chain (TDO)): the test-access-port state machine of a
// chain of programmable parts, each with a six-bit instruction register,
// its identification code, bypass, and a configuration memory: loading
// the configuration instruction erases it, every bit shifted in then stays,
// and the read instruction shifts it out again. The first part sits next
// to the data-out line.
// Not thread-safe: the card calls it under its own lock.
#include <cstddef>
#include <cstdint>
#include <functional>
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
    static constexpr uint32_t kConfigReadInstruction = 0x04;
    static constexpr uint32_t kBypassInstruction = 0x3F;

    enum class State {
        Reset, Idle, SelectDr, CaptureDr, ShiftDr, Exit1Dr, PauseDr, Exit2Dr, UpdateDr,
        SelectIr, CaptureIr, ShiftIr, Exit1Ir, PauseIr, Exit2Ir, UpdateIr,
    };

    // A part's memory was erased for a load; the data register scan that
    // loaded it has ended.
    using EraseHook = std::function<void(size_t part)>;
    using LoadedHook = std::function<void(size_t part, const std::vector<bool>& bits)>;

    explicit CScanPort(const std::vector<uint32_t>& idCodes);
    void SetConfigHooks(EraseHook erased, LoadedHook loaded);

    void Write(uint32_t lines);
    uint32_t Read(uint32_t stored) const;

    State CurrentState() const { return m_state; }
    uint32_t Instruction(size_t part = 0) const { return m_parts.at(part).instruction; }
    // Bits shifted into a part's configuration register, in the order received.
    const std::vector<bool>& ConfigBits(size_t part = 0) const { return m_parts.at(part).configBits; }

private:
    struct Part {
        uint32_t idCode = 0;
        uint32_t instruction = kIdCodeInstruction;
        uint64_t shift = 0;
        std::vector<bool> configBits;
        size_t readAt = 0;
    };

    void RisingEdge(bool tdi, bool tms);
    // Moves the bit through the part; returns the bit it passes on.
    bool Shift(Part& part, bool in) const;
    static State Next(State s, bool tms);
    void Enter(Part& part, size_t index);

    uint32_t m_lines = 0;
    State m_state = State::Reset;
    std::vector<Part> m_parts;
    EraseHook m_erased;
    LoadedHook m_loaded;
};

} // namespace tq8

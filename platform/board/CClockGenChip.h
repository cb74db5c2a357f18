#pragma once
// One clock generator behind its serial port (control register 32 or 48):
// byte registers 0x000-0x232, written as ((address << 8) | byte) and read
// back with bit 15 of the instruction set; a 1 written to 0x232 moves the
// staged registers into the active ones. Keeps the newest words it received.
#include <array>
#include <cstdint>
#include <vector>

#include "CWriteTrace.h"
#include "ClockGenRate.h"

namespace tq8 {

class CClockGenChip {
public:
    static constexpr uint32_t kRegisters = 0x233;
    static constexpr uint32_t kUpdateRegister = 0x232;

    // A word written to the port's control register.
    void Write(uint32_t word);
    // What the port's control register answers: the byte last read back.
    uint32_t ReadBack() const { return m_readBack; }

    uint8_t Staged(uint32_t address) const { return address < kRegisters ? m_staged[address] : 0; }
    uint8_t Active(uint32_t address) const { return address < kRegisters ? m_active[address] : 0; }
    uint32_t Updates() const { return m_updates; }
    // The rate of an output divider from the active registers.
    double OutputMHz(int divider) const;
    const std::vector<uint32_t>& Trace() const { return m_trace.Entries(); }

private:
    std::array<uint8_t, kRegisters> m_staged{};
    std::array<uint8_t, kRegisters> m_active{};
    uint32_t m_readBack = 0;
    uint32_t m_updates = 0;
    CWriteTrace<uint32_t> m_trace;
};

} // namespace tq8

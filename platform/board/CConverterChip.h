#pragma once
// One converter chip behind its serial port (control register 17 or 18):
// 16-bit registers 0-3, 9-11, 14 and 15, written as
// (((address & 0xF) | 0x10) << 16) | value. Keeps the newest words it received.
#include <array>
#include <cstdint>
#include <vector>

#include "CWriteTrace.h"

namespace tq8 {

class CConverterChip {
public:
    static bool HasRegister(uint32_t address);

    void Write(uint32_t word);
    uint16_t Register(uint32_t address) const { return address < m_registers.size() ? m_registers[address] : 0; }
    const std::vector<uint32_t>& Trace() const { return m_trace.Entries(); }

private:
    std::array<uint16_t, 16> m_registers{};
    CWriteTrace<uint32_t> m_trace;
};

} // namespace tq8

#include "CConverterChip.h"

#include "CBoardRegisters.h"

namespace tq8 {

bool CConverterChip::HasRegister(uint32_t address)
{
    return AdcPlacement(address).has_value();
}

void CConverterChip::Write(uint32_t word)
{
    m_trace.Add(word);
    const uint32_t head = word >> 16;
    // Without the write marker the chip ignores the word.
    if ((head & 0x10) == 0 || (head & ~0x1Fu) != 0)
        return;
    const uint32_t address = head & 0xF;
    if (HasRegister(address))
        m_registers[address] = static_cast<uint16_t>(word & 0xFFFF);
}

} // namespace tq8

#include "CSecondarySerialDevice.h"

namespace tq8 {

void CSecondarySerialDevice::Write(uint32_t word)
{
    m_trace.Add(word);
    m_registers[static_cast<uint16_t>(word & 0xFFFF)] = static_cast<uint16_t>(word >> 16);
}

uint16_t CSecondarySerialDevice::Register(uint16_t address) const
{
    const auto it = m_registers.find(address);
    return it == m_registers.end() ? 0 : it->second;
}

} // namespace tq8

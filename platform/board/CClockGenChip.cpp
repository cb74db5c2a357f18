#include "CClockGenChip.h"

namespace tq8 {

namespace {
constexpr uint32_t kReadInstruction = 0x8000;
}

void CClockGenChip::Write(uint32_t word)
{
    m_trace.Add(word);
    const uint32_t instruction = word >> 8;
    const uint32_t address = instruction & 0x3FF;
    if (address >= kRegisters)
        return;
    if ((instruction & kReadInstruction) != 0) {
        m_readBack = (word & ~0xFFu) | m_staged[address];
        return;
    }
    const auto value = static_cast<uint8_t>(word & 0xFF);
    m_staged[address] = value;
    if (address == kUpdateRegister && (value & 1) != 0) {
        m_active = m_staged;
        ++m_updates;
    }
}

double CClockGenChip::OutputMHz(int divider) const
{
    return ClockGenOutputMHz([this](uint32_t address) { return Active(address); }, divider);
}

} // namespace tq8

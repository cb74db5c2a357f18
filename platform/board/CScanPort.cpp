#include "CScanPort.h"

namespace tq8 {

CScanPort::CScanPort(const std::vector<uint32_t>& idCodes)
{
    for (uint32_t id : idCodes)
    {
        Part part;
        part.idCode = id;
        m_parts.push_back(part);
    }
}

void CScanPort::SetConfigHooks(EraseHook erased, LoadedHook loaded)
{
    m_erased = std::move(erased);
    m_loaded = std::move(loaded);
}

void CScanPort::Write(uint32_t lines)
{
    const uint32_t before = m_lines;
    m_lines = lines;
    if ((before & kTck) == 0 && (lines & kTck) != 0)
        RisingEdge((lines & kTdi) != 0, (lines & kTms) != 0);
}

uint32_t CScanPort::Read(uint32_t stored) const
{
    bool out = false;
    if (!m_parts.empty()) {
        const Part& last = m_parts.front();
        if (m_state == State::ShiftDr && last.instruction == kConfigReadInstruction)
            out = last.readAt < last.configBits.size() && last.configBits[last.readAt];
        else if (m_state == State::ShiftIr || (m_state == State::ShiftDr && last.instruction != kConfigInstruction))
            out = (last.shift & 1) != 0;
    }
    return (stored & ~kTdo) | (out ? kTdo : 0);
}

void CScanPort::RisingEdge(bool tdi, bool tms)
{
    if (m_state == State::ShiftIr || m_state == State::ShiftDr) {
        bool carry = tdi;
        for (auto part = m_parts.rbegin(); part != m_parts.rend(); ++part)
            carry = Shift(*part, carry);
    }
    m_state = Next(m_state, tms);
    for (size_t i = 0; i < m_parts.size(); ++i)
        Enter(m_parts[i], i);
}

// What a part does as the port enters a new state.
void CScanPort::Enter(Part& part, size_t index)
{
    switch (m_state) {
    case State::Reset: part.instruction = kIdCodeInstruction; break;
    case State::CaptureIr: part.shift = 0x01; break; // the fixed capture pattern
    case State::CaptureDr:
        part.shift = part.instruction == kIdCodeInstruction ? part.idCode : 0;
        part.readAt = 0;
        break;
    case State::UpdateIr:
        part.instruction = static_cast<uint32_t>(part.shift) & ((1u << kInstructionBits) - 1);
        if (part.instruction == kConfigInstruction) {
            part.configBits.clear();
            if (m_erased)
                m_erased(index);
        }
        break;
    case State::UpdateDr:
        if (part.instruction == kConfigInstruction && m_loaded)
            m_loaded(index, part.configBits);
        break;
    default: break;
    }
}

bool CScanPort::Shift(Part& part, bool in) const
{
    if (m_state == State::ShiftDr && part.instruction == kConfigInstruction) {
        part.configBits.push_back(in);
        return false;
    }
    if (m_state == State::ShiftDr && part.instruction == kConfigReadInstruction)
        return part.readAt < part.configBits.size() && part.configBits[part.readAt++];
    uint32_t length = 1;
    if (m_state == State::ShiftIr)
        length = kInstructionBits;
    else if (part.instruction == kIdCodeInstruction)
        length = 32;
    const bool out = (part.shift & 1) != 0;
    part.shift = (part.shift >> 1) | (uint64_t{in ? 1u : 0u} << (length - 1));
    return out;
}

CScanPort::State CScanPort::Next(State s, bool tms)
{
    switch (s) {
    case State::Reset: return tms ? State::Reset : State::Idle;
    case State::Idle: return tms ? State::SelectDr : State::Idle;
    case State::SelectDr: return tms ? State::SelectIr : State::CaptureDr;
    case State::CaptureDr: return tms ? State::Exit1Dr : State::ShiftDr;
    case State::ShiftDr: return tms ? State::Exit1Dr : State::ShiftDr;
    case State::Exit1Dr: return tms ? State::UpdateDr : State::PauseDr;
    case State::PauseDr: return tms ? State::Exit2Dr : State::PauseDr;
    case State::Exit2Dr: return tms ? State::UpdateDr : State::ShiftDr;
    case State::UpdateDr: return tms ? State::SelectDr : State::Idle;
    case State::SelectIr: return tms ? State::Reset : State::CaptureIr;
    case State::CaptureIr: return tms ? State::Exit1Ir : State::ShiftIr;
    case State::ShiftIr: return tms ? State::Exit1Ir : State::ShiftIr;
    case State::Exit1Ir: return tms ? State::UpdateIr : State::PauseIr;
    case State::PauseIr: return tms ? State::Exit2Ir : State::PauseIr;
    case State::Exit2Ir: return tms ? State::UpdateIr : State::ShiftIr;
    case State::UpdateIr: return tms ? State::SelectDr : State::Idle;
    }
    return State::Reset;
}

} // namespace tq8

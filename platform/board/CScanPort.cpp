#include "CScanPort.h"

namespace tq8 {

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
    if (m_state == State::ShiftIr || (m_state == State::ShiftDr && m_instruction != kConfigInstruction))
        out = (m_shift & 1) != 0;
    return (stored & ~kTdo) | (out ? kTdo : 0);
}

void CScanPort::RisingEdge(bool tdi, bool tms)
{
    if (m_state == State::ShiftIr)
        Shift(tdi, kInstructionBits);
    else if (m_state == State::ShiftDr && m_instruction == kConfigInstruction)
        m_configBits.push_back(tdi);
    else if (m_state == State::ShiftDr)
        Shift(tdi, m_instruction == kIdCodeInstruction ? 32 : 1);
    m_state = Next(m_state, tms);
    switch (m_state) {
    case State::Reset:
        m_instruction = kIdCodeInstruction;
        break;
    case State::CaptureIr:
        m_shift = 0x01; // the fixed capture pattern
        break;
    case State::CaptureDr:
        m_shift = m_instruction == kIdCodeInstruction ? m_idCode : 0;
        break;
    case State::UpdateIr:
        m_instruction = static_cast<uint32_t>(m_shift) & ((1u << kInstructionBits) - 1);
        break;
    default:
        break;
    }
}

void CScanPort::Shift(bool tdi, uint32_t length)
{
    m_shift = (m_shift >> 1) | (uint64_t{tdi ? 1u : 0u} << (length - 1));
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

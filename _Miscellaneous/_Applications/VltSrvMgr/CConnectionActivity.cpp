#include "CConnectionActivity.h"

CConnectionActivity::CConnectionActivity() : m_idleSince(Clock::now().time_since_epoch().count()) {}

void CConnectionActivity::WaitsForMessage()
{
    if (m_state.load() != kBusy)
        return;
    // Stamped before the state says idle, so that a reader that sees it idle
    // sees when it became so.
    m_idleSince = Clock::now().time_since_epoch().count();
    int busy = kBusy;
    m_state.compare_exchange_strong(busy, m_holdsWork ? kIdleHolding : kIdle);
}

bool CConnectionActivity::MessageBegins()
{
    int state = m_state.load();
    while (state != kDropped) {
        if (state == kBusy || m_state.compare_exchange_weak(state, kBusy))
            return true;
    }
    return false;
}

void CConnectionActivity::HoldsWork()
{
    m_holdsWork = true;
}

bool CConnectionActivity::Drop()
{
    int idle = kIdle;
    return m_state.compare_exchange_strong(idle, kDropped);
}

CConnectionActivity::Clock::time_point CConnectionActivity::IdleSince() const
{
    return Clock::time_point(Clock::duration(m_idleSince.load()));
}

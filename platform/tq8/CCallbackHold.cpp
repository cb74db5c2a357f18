#include "CCallbackHold.h"

namespace tq8 {

void CCallbackHold::Set(bool hold)
{
    {
        std::lock_guard lock(m_mutex);
        m_hold = hold;
    }
    if (!hold)
        m_released.notify_all();
}

void CCallbackHold::Wait()
{
    std::unique_lock lock(m_mutex);
    ++m_waiting;
    m_released.wait(lock, [this] { return !m_hold; });
    --m_waiting;
}

uint32_t CCallbackHold::Waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

} // namespace tq8

#include "CAutoResetEvent.h"

void CAutoResetEvent::Set()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_cond.notify_one();
}

void CAutoResetEvent::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

void CAutoResetEvent::Wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return m_signalled; });
    m_signalled = false;
}

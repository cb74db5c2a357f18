#include "CAutoAcquireRwLockBase.h"

namespace {

// The timed lock operations take an absolute deadline on the real-time clock.
timespec DeadlineAfter(uint32_t ms)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    long nsec = now.tv_nsec + static_cast<long>(ms % 1000) * 1000000L;
    now.tv_sec += ms / 1000 + nsec / 1000000000L;
    now.tv_nsec = nsec % 1000000000L;
    return now;
}

} // namespace

CAutoAcquireRwLockBase::~CAutoAcquireRwLockBase()
{
    if (m_held)
        pthread_rwlock_unlock(m_lock);
    m_held = false;
}

void CAutoAcquireRwLockBase::Acquire(uint32_t timeoutMs)
{
    if (!m_lock)
        return;
    const int rc = timeoutMs == 0 ? Lock() : TimedLock(DeadlineAfter(timeoutMs));
    m_held = rc == 0;
}

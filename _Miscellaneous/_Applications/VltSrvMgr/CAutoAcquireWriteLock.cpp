#include "CAutoAcquireWriteLock.h"

CAutoAcquireWriteLock::CAutoAcquireWriteLock(pthread_rwlock_t* lock, bool acquireNow, uint32_t timeoutMs)
    : CAutoAcquireRwLockBase(lock)
{
    if (acquireNow)
        Acquire(timeoutMs);
}

int CAutoAcquireWriteLock::Lock()
{
    return pthread_rwlock_wrlock(m_lock);
}

int CAutoAcquireWriteLock::TimedLock(const timespec& deadline)
{
    return pthread_rwlock_timedwrlock(m_lock, &deadline);
}

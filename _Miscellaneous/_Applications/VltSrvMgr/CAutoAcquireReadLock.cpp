#include "CAutoAcquireReadLock.h"

CAutoAcquireReadLock::CAutoAcquireReadLock(pthread_rwlock_t* lock, bool acquireNow, uint32_t timeoutMs)
    : CAutoAcquireRwLockBase(lock)
{
    if (acquireNow)
        Acquire(timeoutMs);
}

int CAutoAcquireReadLock::Lock()
{
    return pthread_rwlock_rdlock(m_lock);
}

int CAutoAcquireReadLock::TimedLock(const timespec& deadline)
{
    return pthread_rwlock_timedrdlock(m_lock, &deadline);
}

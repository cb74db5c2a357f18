#pragma once
#include "CAutoAcquireRwLockBase.h"

// Holds a read-write lock shared (read) for its scope.
class CAutoAcquireReadLock : public CAutoAcquireRwLockBase {
public:
    explicit CAutoAcquireReadLock(pthread_rwlock_t* lock, bool acquireNow = true, uint32_t timeoutMs = 0);

protected:
    int Lock() override;
    int TimedLock(const timespec& deadline) override;
};

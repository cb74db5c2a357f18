#pragma once
#include "CAutoAcquireRwLockBase.h"

// Holds a read-write lock exclusive (write) for its scope.
class CAutoAcquireWriteLock : public CAutoAcquireRwLockBase {
public:
    explicit CAutoAcquireWriteLock(pthread_rwlock_t* lock, bool acquireNow = true, uint32_t timeoutMs = 0);

protected:
    int Lock() override;
    int TimedLock(const timespec& deadline) override;
};

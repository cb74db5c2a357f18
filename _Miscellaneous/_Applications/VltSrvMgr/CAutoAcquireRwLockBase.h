#pragma once
// Scope guard over a POSIX read-write lock: acquires at construction when
// asked (with a time limit in milliseconds, 0 for none) and releases when
// destroyed. Held() tells whether the lock was obtained.
#include <cstdint>
#include <pthread.h>
#include <time.h>

class CAutoAcquireRwLockBase {
public:
    CAutoAcquireRwLockBase(const CAutoAcquireRwLockBase&) = delete;
    CAutoAcquireRwLockBase& operator=(const CAutoAcquireRwLockBase&) = delete;
    virtual ~CAutoAcquireRwLockBase();

    bool Held() const { return m_held; }

protected:
    explicit CAutoAcquireRwLockBase(pthread_rwlock_t* lock) : m_lock(lock) {}
    // Called by the derived constructor, whose lock operations exist by then.
    void Acquire(uint32_t timeoutMs);

    virtual int Lock() = 0;
    virtual int TimedLock(const timespec& deadline) = 0;

    pthread_rwlock_t* m_lock;

private:
    bool m_held = false;
};

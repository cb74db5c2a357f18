#include <gtest/gtest.h>
#include <thread>

#include "CAutoAcquireReadLock.h"
#include "CAutoAcquireWriteLock.h"

namespace {

struct RwLock {
    RwLock() { pthread_rwlock_init(&lock, nullptr); }
    ~RwLock() { pthread_rwlock_destroy(&lock); }
    pthread_rwlock_t lock;
};

// Whether another thread could take the lock exclusively right now.
bool FreeForWriter(pthread_rwlock_t* lock)
{
    bool free = false;
    std::thread([&] {
        if (pthread_rwlock_trywrlock(lock) == 0) {
            free = true;
            pthread_rwlock_unlock(lock);
        }
    }).join();
    return free;
}

} // namespace

TEST(AutoAcquireLocks, ReadersShareAndBlockWriters)
{
    RwLock rw;
    {
        CAutoAcquireReadLock first(&rw.lock);
        CAutoAcquireReadLock second(&rw.lock);
        EXPECT_TRUE(first.Held());
        EXPECT_TRUE(second.Held());
        EXPECT_FALSE(FreeForWriter(&rw.lock));
    }
    EXPECT_TRUE(FreeForWriter(&rw.lock));
}

TEST(AutoAcquireLocks, TimedWriteLockGivesUpWhileReadHeld)
{
    RwLock rw;
    CAutoAcquireReadLock reader(&rw.lock);
    std::thread([&] {
        CAutoAcquireWriteLock writer(&rw.lock, true, 20);
        EXPECT_FALSE(writer.Held());
    }).join();
}

TEST(AutoAcquireLocks, TimedReadLockGivesUpWhileWriteHeld)
{
    RwLock rw;
    CAutoAcquireWriteLock writer(&rw.lock, true, 0);
    ASSERT_TRUE(writer.Held());
    std::thread([&] {
        CAutoAcquireReadLock reader(&rw.lock, true, 1500); // crosses a second boundary
        EXPECT_FALSE(reader.Held());
    }).join();
}

TEST(AutoAcquireLocks, TimedLockSucceedsWhenFree)
{
    RwLock rw;
    {
        CAutoAcquireWriteLock writer(&rw.lock, true, 10);
        EXPECT_TRUE(writer.Held());
    }
    EXPECT_TRUE(FreeForWriter(&rw.lock));
}

TEST(AutoAcquireLocks, NotAcquiredWhenNotAsked)
{
    RwLock rw;
    CAutoAcquireWriteLock writer(&rw.lock, false);
    EXPECT_FALSE(writer.Held());
    EXPECT_TRUE(FreeForWriter(&rw.lock));
}

#pragma once
// Interrupt request levels, spin locks, fast mutexes, events, waits, the
// remove lock and doubly linked lists. With VLT_KERNEL_CHECKED (debug and
// sanitizer builds) the lock order is checked: a fast mutex is never taken
// while a spin lock is held (it needs APC level or below), nor a wait begun
// at dispatch level.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "KernelTypes.h"

namespace kern {

KIRQL KeGetCurrentIrql();
// Sets the calling thread's level; returns the previous one. Used by the
// kernel's own threads and by the spin locks below.
KIRQL KeRaiseIrql(KIRQL level);
void KeLowerIrql(KIRQL level);

class SpinLock {
public:
    std::mutex mutex;
    std::thread::id owner;
};
void KeInitializeSpinLock(SpinLock* lock);
void KeAcquireSpinLock(SpinLock* lock, KIRQL* oldIrql);
KIRQL KeAcquireSpinLockRaiseToDpc(SpinLock* lock);
void KeReleaseSpinLock(SpinLock* lock, KIRQL oldIrql);
void KeAcquireSpinLockAtDpcLevel(SpinLock* lock);
void KeReleaseSpinLockFromDpcLevel(SpinLock* lock);

class FastMutex {
public:
    std::mutex mutex;
    KIRQL oldIrql = PASSIVE_LEVEL;
};
void ExInitializeFastMutex(FastMutex* mutex);
void ExAcquireFastMutex(FastMutex* mutex);
void ExReleaseFastMutex(FastMutex* mutex);

enum class EventType { Notification, Synchronization };

class KEvent {
public:
    std::mutex mutex;
    std::condition_variable cv;
    EventType type = EventType::Notification;
    bool signaled = false;
};
void KeInitializeEvent(KEvent* event, EventType type, bool signaled);
// Returns whether the event was signaled before.
bool KeSetEvent(KEvent* event);
void KeClearEvent(KEvent* event);
// timeout100ns: relative time-out in 100-ns units, or nullptr to wait for
// ever. STATUS_SUCCESS or STATUS_TIMEOUT. The time-out runs on the kernel
// clock, virtual or real.
NTSTATUS KeWaitForSingleObject(KEvent* event, const int64_t* timeout100ns);

// Counts the requests in flight on a device; removal waits until none is.
class RemoveLock {
public:
    std::mutex mutex;
    std::condition_variable cv;
    uint32_t tag = 0;
    int64_t count = 0;
    bool removed = false;
};
void IoInitializeRemoveLockEx(RemoveLock* lock, uint32_t tag, uint32_t maxLockedMinutes, uint32_t highWatermark);
// STATUS_SUCCESS, or STATUS_DELETE_PENDING once removal has begun.
NTSTATUS IoAcquireRemoveLockEx(RemoveLock* lock, const void* tag);
void IoReleaseRemoveLockEx(RemoveLock* lock, const void* tag);
// Refuses new acquisitions, releases the caller's and waits for every other.
void IoReleaseRemoveLockAndWaitEx(RemoveLock* lock, const void* tag);

struct ListEntry {
    ListEntry* flink = nullptr;
    ListEntry* blink = nullptr;
};
void InitializeListHead(ListEntry* head);
bool IsListEmpty(const ListEntry* head);
void InsertTailList(ListEntry* head, ListEntry* entry);
void RemoveEntryList(ListEntry* entry);
// Nullptr when the list is empty.
ListEntry* RemoveHeadList(ListEntry* head);

// Full memory barrier after a register write.
void KeMemoryBarrier();

} // namespace kern

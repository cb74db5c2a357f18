#include "Sync.h"

#include <atomic>

#include "Clock.h"
#include "KernelCheck.h"

namespace kern {

namespace {
thread_local KIRQL t_irql = PASSIVE_LEVEL;
} // namespace

KIRQL KeGetCurrentIrql() { return t_irql; }

KIRQL KeRaiseIrql(KIRQL level)
{
    KIRQL old = t_irql;
    t_irql = level;
    return old;
}

void KeLowerIrql(KIRQL level)
{
    const KIRQL from = t_irql;
    t_irql = level;
    // Leaving an interrupt service: the DPCs it queued come next.
    if (from > DISPATCH_LEVEL && level <= DISPATCH_LEVEL)
        SimRunInterruptDpcs(level);
}

void KeInitializeSpinLock(SpinLock* lock) { lock->owner = {}; }

void KeAcquireSpinLock(SpinLock* lock, KIRQL* oldIrql)
{
    *oldIrql = KeAcquireSpinLockRaiseToDpc(lock);
}

KIRQL KeAcquireSpinLockRaiseToDpc(SpinLock* lock)
{
    KernelCheck(t_irql <= DISPATCH_LEVEL, "spin lock taken above dispatch level");
    KIRQL old = KeRaiseIrql(DISPATCH_LEVEL);
    KeAcquireSpinLockAtDpcLevel(lock);
    return old;
}

void KeReleaseSpinLock(SpinLock* lock, KIRQL oldIrql)
{
    KeReleaseSpinLockFromDpcLevel(lock);
    KeLowerIrql(oldIrql);
}

void KeAcquireSpinLockAtDpcLevel(SpinLock* lock)
{
    KernelCheck(t_irql >= DISPATCH_LEVEL, "spin lock taken at dispatch level from a lower level");
    KernelCheck(lock->owner != std::this_thread::get_id(), "spin lock taken twice by one thread");
    lock->mutex.lock();
    lock->owner = std::this_thread::get_id();
}

void KeReleaseSpinLockFromDpcLevel(SpinLock* lock)
{
    KernelCheck(lock->owner == std::this_thread::get_id(), "spin lock released by a thread that does not hold it");
    lock->owner = {};
    lock->mutex.unlock();
}

void ExInitializeFastMutex(FastMutex* mutex) { mutex->oldIrql = PASSIVE_LEVEL; }

void ExAcquireFastMutex(FastMutex* mutex)
{
    // The device mutex comes before the spin lock, never after it.
    KernelCheck(t_irql <= APC_LEVEL, "fast mutex taken at raised level (a spin lock is held)");
    KIRQL old = KeRaiseIrql(APC_LEVEL);
    mutex->mutex.lock();
    mutex->oldIrql = old;
}

void ExReleaseFastMutex(FastMutex* mutex)
{
    KIRQL old = mutex->oldIrql;
    mutex->mutex.unlock();
    KeLowerIrql(old);
}

void KeInitializeEvent(KEvent* event, EventType type, bool signaled)
{
    std::lock_guard lock(event->mutex);
    event->type = type;
    event->signaled = signaled;
}

bool KeSetEvent(KEvent* event)
{
    std::lock_guard lock(event->mutex);
    bool was = event->signaled;
    event->signaled = true;
    if (event->type == EventType::Notification)
        event->cv.notify_all();
    else
        event->cv.notify_one();
    return was;
}

void KeClearEvent(KEvent* event)
{
    std::lock_guard lock(event->mutex);
    event->signaled = false;
}

NTSTATUS KeWaitForSingleObject(KEvent* event, const int64_t* timeout100ns)
{
    KernelCheck(t_irql <= APC_LEVEL || (timeout100ns != nullptr && *timeout100ns == 0),
                "wait at dispatch level");
    std::unique_lock lock(event->mutex);
    const auto take = [&] {
        if (!event->signaled)
            return false;
        if (event->type == EventType::Synchronization)
            event->signaled = false;
        return true;
    };
    if (timeout100ns == nullptr) {
        event->cv.wait(lock, [&] { return event->signaled; });
        take();
        return STATUS_SUCCESS;
    }
    const int64_t deadline = KeQueryInterruptTime() + *timeout100ns;
    while (!take()) {
        if (KeQueryInterruptTime() >= deadline)
            return STATUS_TIMEOUT;
        // Short slices: the clock may be virtual and move on from elsewhere.
        event->cv.wait_for(lock, std::chrono::milliseconds(1));
    }
    return STATUS_SUCCESS;
}

void IoInitializeRemoveLockEx(RemoveLock* lock, uint32_t tag, uint32_t, uint32_t)
{
    std::lock_guard guard(lock->mutex);
    lock->tag = tag;
    lock->count = 1;
    lock->removed = false;
}

NTSTATUS IoAcquireRemoveLockEx(RemoveLock* lock, const void*)
{
    std::lock_guard guard(lock->mutex);
    if (lock->removed)
        return STATUS_DELETE_PENDING;
    ++lock->count;
    return STATUS_SUCCESS;
}

void IoReleaseRemoveLockEx(RemoveLock* lock, const void*)
{
    std::lock_guard guard(lock->mutex);
    KernelCheck(lock->count > 0, "remove lock released more often than taken");
    if (--lock->count == 0)
        lock->cv.notify_all();
}

void IoReleaseRemoveLockAndWaitEx(RemoveLock* lock, const void*)
{
    std::unique_lock guard(lock->mutex);
    lock->removed = true;
    // The caller's own hold and the initial one.
    lock->count -= 2;
    KernelCheck(lock->count >= 0, "remove lock released more often than taken");
    lock->cv.wait(guard, [&] { return lock->count <= 0; });
}

void InitializeListHead(ListEntry* head) { head->flink = head->blink = head; }

bool IsListEmpty(const ListEntry* head) { return head->flink == head; }

void InsertTailList(ListEntry* head, ListEntry* entry)
{
    entry->flink = head;
    entry->blink = head->blink;
    head->blink->flink = entry;
    head->blink = entry;
}

void RemoveEntryList(ListEntry* entry)
{
    entry->blink->flink = entry->flink;
    entry->flink->blink = entry->blink;
    entry->flink = entry->blink = nullptr;
}

ListEntry* RemoveHeadList(ListEntry* head)
{
    if (IsListEmpty(head))
        return nullptr;
    ListEntry* first = head->flink;
    RemoveEntryList(first);
    return first;
}

void KeMemoryBarrier() { std::atomic_thread_fence(std::memory_order_seq_cst); }

} // namespace kern

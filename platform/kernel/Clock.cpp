#include "Clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "KernelCheck.h"
#include "Sync.h"

namespace kern {

namespace {

using Steady = std::chrono::steady_clock;
constexpr int64_t kNoTimer = std::numeric_limits<int64_t>::max();
constexpr uint32_t kTickIncrement = 156250; // 15.625 ms
constexpr int64_t kRegisterAccessCost = 10; // one microsecond

class CClockState {
public:
    ~CClockState()
    {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        cv.notify_all();
        if (thread.joinable())
            thread.join();
    }

    int64_t Now() const
    {
        if (virtualMode.load())
            return virtualNow.load();
        return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now() - origin).count() / 100;
    }

    void StartThreadLocked()
    {
        if (!thread.joinable())
            thread = std::thread([this] { Run(); });
    }

    void FireDueTimersLocked()
    {
        const int64_t now = Now();
        int64_t next = kNoTimer;
        for (auto it = timers.begin(); it != timers.end();) {
            KTimer* t = *it;
            if (t->due <= now) {
                t->set = false;
                it = timers.erase(it);
                if (t->dpc != nullptr && !t->dpc->queued) {
                    t->dpc->queued = true;
                    QueueLocked(t->dpc);
                }
            } else {
                next = std::min(next, t->due);
                ++it;
            }
        }
        nextDue.store(next);
    }

    void QueueLocked(Dpc* d) { dpcs.push_back({d, ++inserted}); }

    // Runs the first queued DPC at dispatch level; the lock is let go meanwhile.
    void RunFirstLocked(std::unique_lock<std::mutex>& lock)
    {
        auto [d, ticket] = dpcs.front();
        dpcs.pop_front();
        d->queued = false;
        running.insert(ticket);
        // The DPC's owner may free it while it runs: take what is needed first.
        DeferredRoutine routine = d->routine;
        void* context = d->context;
        void* a1 = d->argument1;
        void* a2 = d->argument2;
        lock.unlock();
        KIRQL old = KeRaiseIrql(DISPATCH_LEVEL);
        routine(d, context, a1, a2);
        KeLowerIrql(old);
        lock.lock();
        running.erase(running.find(ticket));
        WakeFlushersLocked();
    }

    // The DPC thread needs no wake-up per DPC: only flushers get one.
    void WakeFlushersLocked()
    {
        if (flushers > 0)
            flushed.notify_all();
    }

    // DPCs run on more than one thread: a later one may end first.
    bool DoneUpToLocked(uint64_t ticket) const
    {
        return (dpcs.empty() || dpcs.front().second > ticket) && (running.empty() || *running.begin() > ticket);
    }

    void Run()
    {
        std::unique_lock lock(mutex);
        while (!stop) {
            FireDueTimersLocked();
            if (!dpcs.empty()) {
                RunFirstLocked(lock);
                continue;
            }
            if (!virtualMode.load() && nextDue.load() != kNoTimer)
                cv.wait_until(lock, origin + std::chrono::nanoseconds(nextDue.load() * 100));
            else
                cv.wait(lock);
        }
    }

    void Advance(int64_t delta)
    {
        virtualNow.fetch_add(delta);
        if (virtualNow.load() >= nextDue.load()) {
            std::lock_guard lock(mutex);
            cv.notify_all();
        }
    }

    void RunHook()
    {
        DelayHook h = hook.load();
        if (h != nullptr)
            h(hookContext.load());
    }

    std::mutex mutex;
    std::condition_variable cv;
    std::atomic<bool> virtualMode{false};
    std::atomic<int64_t> virtualNow{0};
    std::atomic<int64_t> nextDue{kNoTimer};
    const Steady::time_point origin = Steady::now();
    std::vector<KTimer*> timers;
    std::deque<std::pair<Dpc*, uint64_t>> dpcs; // with the ticket of their queueing
    std::multiset<uint64_t> running;
    uint64_t inserted = 0;
    std::condition_variable flushed;
    int flushers = 0;
    bool stop = false;
    std::thread thread;
    std::atomic<DelayHook> hook{nullptr};
    std::atomic<void*> hookContext{nullptr};
};

CClockState& State()
{
    static CClockState state;
    return state;
}

// An interrupt service on this thread queued a DPC.
thread_local bool t_interruptQueuedDpc = false;

} // namespace

void KeInitializeDpc(Dpc* dpc, DeferredRoutine routine, void* context)
{
    dpc->routine = routine;
    dpc->context = context;
    dpc->argument1 = dpc->argument2 = nullptr;
    dpc->queued = false;
}

bool KeInsertQueueDpc(Dpc* dpc, void* argument1, void* argument2)
{
    CClockState& s = State();
    std::lock_guard lock(s.mutex);
    if (dpc->queued)
        return false;
    dpc->queued = true;
    dpc->argument1 = argument1;
    dpc->argument2 = argument2;
    s.QueueLocked(dpc);
    s.StartThreadLocked();
    // From an interrupt service the interrupted thread runs it next: no wake-up.
    if (KeGetCurrentIrql() > DISPATCH_LEVEL)
        t_interruptQueuedDpc = true;
    else
        s.cv.notify_all();
    return true;
}

bool KeRemoveQueueDpc(Dpc* dpc)
{
    CClockState& s = State();
    std::lock_guard lock(s.mutex);
    if (!dpc->queued)
        return false;
    s.dpcs.erase(std::find_if(s.dpcs.begin(), s.dpcs.end(), [dpc](const auto& q) { return q.first == dpc; }));
    dpc->queued = false;
    s.WakeFlushersLocked();
    return true;
}

void SimRunInterruptDpcs(KIRQL interrupted)
{
    if (!t_interruptQueuedDpc)
        return;
    t_interruptQueuedDpc = false;
    CClockState& s = State();
    std::unique_lock lock(s.mutex);
    if (interrupted >= DISPATCH_LEVEL) {
        s.cv.notify_all();
        return;
    }
    // The DPC thread may have taken some already.
    while (!s.dpcs.empty() && !s.stop)
        s.RunFirstLocked(lock);
}

void KeFlushQueuedDpcs()
{
    CClockState& s = State();
    KernelCheck(KeGetCurrentIrql() < DISPATCH_LEVEL && std::this_thread::get_id() != s.thread.get_id(),
                "DPC queue flushed from a DPC");
    std::unique_lock lock(s.mutex);
    const uint64_t target = s.inserted;
    ++s.flushers;
    s.flushed.wait(lock, [&] { return s.DoneUpToLocked(target); });
    --s.flushers;
}

void KeInitializeTimer(KTimer* timer)
{
    timer->due = 0;
    timer->dpc = nullptr;
    timer->set = false;
}

bool KeSetTimer(KTimer* timer, int64_t relative100ns, Dpc* dpc)
{
    CClockState& s = State();
    std::lock_guard lock(s.mutex);
    bool was = timer->set;
    if (!was)
        s.timers.push_back(timer);
    timer->due = s.Now() + std::max<int64_t>(0, relative100ns);
    timer->dpc = dpc;
    timer->set = true;
    s.nextDue.store(std::min(s.nextDue.load(), timer->due));
    s.StartThreadLocked();
    s.cv.notify_all();
    return was;
}

bool KeCancelTimer(KTimer* timer)
{
    CClockState& s = State();
    std::lock_guard lock(s.mutex);
    if (!timer->set)
        return false;
    s.timers.erase(std::find(s.timers.begin(), s.timers.end(), timer));
    timer->set = false;
    return true;
}

int64_t KeQueryInterruptTime() { return State().Now(); }

void KeQueryTickCount(int64_t* ticks) { *ticks = State().Now() / kTickIncrement; }

uint32_t KeQueryTimeIncrement() { return kTickIncrement; }

void KeStallExecutionProcessor(uint32_t microseconds)
{
    CClockState& s = State();
    s.RunHook();
    if (s.virtualMode.load()) {
        s.Advance(static_cast<int64_t>(microseconds) * 10);
        return;
    }
    const auto end = Steady::now() + std::chrono::microseconds(microseconds);
    while (Steady::now() < end) {
    }
}

NTSTATUS KeDelayExecutionThread(int64_t relative100ns)
{
    KernelCheck(KeGetCurrentIrql() <= APC_LEVEL, "sleep at dispatch level");
    CClockState& s = State();
    s.RunHook();
    if (relative100ns <= 0)
        return STATUS_SUCCESS;
    if (s.virtualMode.load())
        s.Advance(relative100ns);
    else
        std::this_thread::sleep_for(std::chrono::nanoseconds(relative100ns * 100));
    return STATUS_SUCCESS;
}

void SimUseVirtualClock(bool on)
{
    CClockState& s = State();
    std::lock_guard lock(s.mutex);
    if (on && !s.virtualMode.load())
        s.virtualNow.store(s.Now());
    s.virtualMode.store(on);
    s.cv.notify_all();
}

bool SimIsVirtualClock() { return State().virtualMode.load(); }

void SimAdvanceClock(int64_t delta100ns)
{
    CClockState& s = State();
    if (s.virtualMode.load() && delta100ns > 0)
        s.Advance(delta100ns);
}

void SimCountRegisterAccess()
{
    CClockState& s = State();
    if (s.virtualMode.load())
        s.Advance(kRegisterAccessCost);
}

void SimSetDelayHook(DelayHook hook, void* context)
{
    CClockState& s = State();
    s.hookContext.store(context);
    s.hook.store(hook);
}

} // namespace kern

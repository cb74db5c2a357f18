#pragma once
// The kernel clock, DPCs, timers and the DPC thread. Time is counted in
// 100-ns units since the kernel started. In virtual mode (tests) stalls and
// sleeps advance the clock without waiting, and every register access
// advances it a little, so polling loops that wait on the tick count end;
// in real mode they wait. Timers expire on this clock and queue their DPC,
// which runs on the one DPC thread at dispatch level. A DPC queued by an
// interrupt service runs on the interrupted thread once the service returns,
// as on the processor that took the interrupt.
#include <cstdint>

#include "KernelTypes.h"

namespace kern {

struct Dpc;
using DeferredRoutine = void (*)(Dpc* dpc, void* context, void* argument1, void* argument2);

struct Dpc {
    DeferredRoutine routine = nullptr;
    void* context = nullptr;
    void* argument1 = nullptr;
    void* argument2 = nullptr;
    bool queued = false; // kernel's own, under the DPC queue's lock
};

struct KTimer {
    int64_t due = 0;
    Dpc* dpc = nullptr;
    bool set = false; // kernel's own, under the timer list's lock
};

void KeInitializeDpc(Dpc* dpc, DeferredRoutine routine, void* context);
// False when the DPC is queued already.
bool KeInsertQueueDpc(Dpc* dpc, void* argument1, void* argument2);
// True when it was queued and is now taken off the queue.
bool KeRemoveQueueDpc(Dpc* dpc);
// Returns when every DPC queued before the call has run.
void KeFlushQueuedDpcs();

void KeInitializeTimer(KTimer* timer);
// Arms the timer relative100ns from now; returns whether it was armed before.
bool KeSetTimer(KTimer* timer, int64_t relative100ns, Dpc* dpc);
// Returns whether it was armed.
bool KeCancelTimer(KTimer* timer);

int64_t KeQueryInterruptTime();
void KeQueryTickCount(int64_t* ticks);
// 100-ns units per tick.
uint32_t KeQueryTimeIncrement();
void KeStallExecutionProcessor(uint32_t microseconds);
// Sleeps relative100ns. STATUS_SUCCESS.
NTSTATUS KeDelayExecutionThread(int64_t relative100ns);

// Kernel's own, when the level drops from above dispatch level to
// `interrupted`: runs the DPCs an interrupt service queued meanwhile at
// dispatch level, unless `interrupted` is dispatch level (then the DPC
// thread runs them).
void SimRunInterruptDpcs(KIRQL interrupted);

// Stand-in controls.
void SimUseVirtualClock(bool on);
bool SimIsVirtualClock();
// Virtual mode: moves the clock on and fires the timers due; real mode: nothing.
void SimAdvanceClock(int64_t delta100ns);
// Called once per register access (virtual mode: one microsecond).
void SimCountRegisterAccess();
// Called before every stall and sleep, on the calling thread (nullptr: none).
// Lets a test hold a request at a known point.
using DelayHook = void (*)(void* context);
void SimSetDelayHook(DelayHook hook, void* context);

} // namespace kern

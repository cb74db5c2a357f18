#include <gtest/gtest.h>

#include <sys/mman.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "CUserProcess.h"
#include "Clock.h"
#include "EventLog.h"
#include "Hal.h"
#include "IoObjects.h"
#include "Irp.h"
#include "KernelCheck.h"
#include "Pool.h"
#include "Sync.h"

using namespace kern;

namespace {

constexpr uint32_t kTag = PoolTag("Test");

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { SimUseVirtualClock(true); }
    void TearDown() override
    {
        SimClearFaults();
        SimClearProbeFaults();
        EXPECT_TRUE(SimPoolOutstanding().empty());
        EXPECT_EQ(SimCommonBuffersOutstanding(), 0);
    }
};

struct Trace {
    std::vector<int> order;
};

NTSTATUS Record(DeviceObject*, Irp* irp, void* context)
{
    auto* t = static_cast<Trace*>(context);
    t->order.push_back(static_cast<int>(t->order.size()));
    return irp->ioStatus.status == STATUS_CANCELLED ? STATUS_MORE_PROCESSING_REQUIRED : STATUS_SUCCESS;
}

} // namespace

TEST_F(KernelTest, CompletionRunsUpTheStackAndStopsOnMoreProcessing)
{
    for (NTSTATUS final : {STATUS_SUCCESS, STATUS_CANCELLED}) {
        Irp* irp = IoAllocateIrp(3);
        Trace trace;
        bool finished = false;
        irp->finish = [&](Irp*) { finished = true; };
        // Two drivers above the bottom each set a routine for the location below.
        irp->current = 2;
        IoSetCompletionRoutine(irp, Record, &trace, true, true, true);
        irp->current = 1;
        IoSetCompletionRoutine(irp, Record, &trace, true, false, false);
        irp->current = 0;
        irp->ioStatus.status = final;
        IoCompleteRequest(irp, 0);
        if (final == STATUS_SUCCESS) {
            EXPECT_EQ(trace.order.size(), 2u);
            EXPECT_TRUE(finished);
        } else {
            // The error skips the success-only routine; the other keeps the request.
            EXPECT_EQ(trace.order.size(), 1u);
            EXPECT_FALSE(finished);
            IoCompleteRequest(irp, 0);
            EXPECT_TRUE(finished);
        }
        IoFreeIrp(irp);
    }
}

TEST_F(KernelTest, TheCancelRoutineIsTakenOnce)
{
    for (int round = 0; round < 200; ++round) {
        Irp* irp = IoAllocateIrp(1);
        irp->current = 0;
        IoSetCancelRoutine(irp, [](DeviceObject*, Irp* r) {
            IoReleaseCancelSpinLock(r->cancelIrql);
        });
        std::atomic<int> taken{0};
        std::thread canceller([&] { taken += IoCancelIrp(irp) ? 1 : 0; });
        if (IoSetCancelRoutine(irp, nullptr) != nullptr)
            ++taken;
        canceller.join();
        EXPECT_EQ(taken.load(), 1);
        EXPECT_TRUE(irp->cancel.load());
        IoFreeIrp(irp);
    }
}

TEST_F(KernelTest, RemoveLockWaitsForEveryHolder)
{
    RemoveLock lock;
    IoInitializeRemoveLockEx(&lock, kTag, 0, 0);
    ASSERT_EQ(IoAcquireRemoveLockEx(&lock, nullptr), STATUS_SUCCESS); // the remover
    ASSERT_EQ(IoAcquireRemoveLockEx(&lock, nullptr), STATUS_SUCCESS); // a request
    std::atomic<bool> released{false};
    std::thread request([&] {
        while (true) {
            std::lock_guard guard(lock.mutex);
            if (lock.removed)
                break;
        }
        EXPECT_EQ(IoAcquireRemoveLockEx(&lock, nullptr), STATUS_DELETE_PENDING);
        released = true;
        IoReleaseRemoveLockEx(&lock, nullptr);
    });
    IoReleaseRemoveLockAndWaitEx(&lock, nullptr);
    EXPECT_TRUE(released.load());
    request.join();
}

TEST_F(KernelTest, VirtualTimeRunsTimersWaitsAndPolls)
{
    static KEvent fired;
    KeInitializeEvent(&fired, EventType::Notification, false);
    Dpc dpc;
    KeInitializeDpc(&dpc, [](Dpc*, void*, void*, void*) { KeSetEvent(&fired); }, nullptr);
    KTimer timer;
    KeInitializeTimer(&timer);
    EXPECT_FALSE(KeSetTimer(&timer, 10'000'000, &dpc)); // one second
    EXPECT_TRUE(KeSetTimer(&timer, 10'000'000, &dpc));
    SimAdvanceClock(9'999'999);
    const int64_t none = 0;
    EXPECT_EQ(KeWaitForSingleObject(&fired, &none), STATUS_TIMEOUT);
    SimAdvanceClock(1);
    EXPECT_EQ(KeWaitForSingleObject(&fired, nullptr), STATUS_SUCCESS);
    EXPECT_FALSE(KeCancelTimer(&timer));

    // A wait with a time-out ends when other work moves the clock on.
    KEvent never;
    KeInitializeEvent(&never, EventType::Synchronization, false);
    // The mover runs until the wait has ended: one that finished before the
    // wait began would leave the clock standing.
    std::atomic<bool> waited{false};
    std::thread mover([&waited] {
        while (!waited.load())
            KeStallExecutionProcessor(1000);
    });
    const int64_t halfSecond = 5'000'000;
    EXPECT_EQ(KeWaitForSingleObject(&never, &halfSecond), STATUS_TIMEOUT);
    waited = true;
    mover.join();

    // Register accesses advance the tick count, so a poll on it ends.
    int64_t start = 0, now = 0;
    KeQueryTickCount(&start);
    do { // poll up to the next tick, so the count below starts on its edge
        SimCountRegisterAccess();
        KeQueryTickCount(&now);
    } while (now == start);
    start = now;
    for (int i = 0; i < 20000; ++i)
        SimCountRegisterAccess();
    KeQueryTickCount(&now);
    EXPECT_EQ((now - start) * KeQueryTimeIncrement() / 10'000, 15);
    KeFlushQueuedDpcs();
}

TEST_F(KernelTest, PoolCountsByTagAndInjectedFailures)
{
    void* a = ExAllocatePoolWithTag(PoolType::NonPaged, 100, kTag);
    void* b = ExAllocatePoolWithTag(PoolType::Paged, 28, kTag);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(SimPoolOutstanding()[kTag].blocks, 2);
    EXPECT_EQ(SimPoolOutstanding()[kTag].bytes, 128);
    SimFailNext(SimFault::Pool, 2);
    EXPECT_EQ(ExAllocatePoolWithTag(PoolType::Paged, 8, kTag), nullptr);
    EXPECT_EQ(ExAllocatePoolWithTag(PoolType::Paged, 8, kTag), nullptr);
    ExFreePoolWithTag(a, kTag);
    ExFreePoolWithTag(b, kTag);
    EXPECT_DEATH(ExFreePoolWithTag(ExAllocatePoolWithTag(PoolType::Paged, 8, kTag), PoolTag("Othr")),
                 "another tag");
}

TEST_F(KernelTest, LockOrderIsChecked)
{
    if (!kChecked)
        GTEST_SKIP() << "checked builds only";
    EXPECT_DEATH(
        {
            SpinLock spin;
            FastMutex mutex;
            KIRQL irql;
            KeAcquireSpinLock(&spin, &irql);
            ExAcquireFastMutex(&mutex);
        },
        "fast mutex taken at raised level");
    EXPECT_DEATH(
        {
            SpinLock spin;
            KIRQL irql;
            KeAcquireSpinLock(&spin, &irql);
            KeDelayExecutionThread(10);
        },
        "sleep at dispatch level");
}

TEST_F(KernelTest, CommonBufferViewsShareMemoryAndUnmapAlone)
{
    DeviceObject pdo;
    pdo.dmaCapable = true;
    DeviceDescription d;
    d.master = true;
    d.maximumLength = 1 << 20;
    uint32_t mapRegisters = 0;
    DmaAdapter* adapter = IoGetDmaAdapter(&pdo, &d, &mapRegisters);
    ASSERT_NE(adapter, nullptr);
    uint64_t bus = 0;
    auto* kernel = static_cast<uint8_t*>(adapter->dmaOperations->allocateCommonBuffer(adapter, 10000, &bus, false));
    ASSERT_NE(kernel, nullptr);
    EXPECT_LT(bus + 10000, 1ull << 32);
    EXPECT_EQ(SimPhysicalAccess(bus + 9000, 1000), kernel + 9000);
    EXPECT_EQ(SimPhysicalAccess(bus + 9000, 1001), nullptr);

    CUserProcess a, b;
    void* viewA = nullptr;
    void* viewB = nullptr;
    ASSERT_EQ(MmMapCommonBufferView(&a, bus, 10000, &viewA), STATUS_SUCCESS);
    ASSERT_EQ(MmMapCommonBufferView(&b, bus + 5000, 100, &viewB), STATUS_SUCCESS);
    kernel[5000] = 0x5A;
    static_cast<uint8_t*>(viewA)[5001] = 0xA5;
    EXPECT_EQ(static_cast<uint8_t*>(viewB)[0], 0x5A);
    EXPECT_EQ(static_cast<uint8_t*>(viewB)[1], 0xA5);
    EXPECT_EQ(MmUnmapCommonBufferView(&b, viewA), STATUS_INVALID_PARAMETER); // another process's view
    EXPECT_EQ(MmUnmapCommonBufferView(&a, viewA), STATUS_SUCCESS);
    EXPECT_FALSE(a.HasView(viewA));
    EXPECT_EQ(static_cast<uint8_t*>(viewB)[1], 0xA5);
    adapter->dmaOperations->freeCommonBuffer(adapter, 10000, bus, kernel, false);
    adapter->dmaOperations->putDmaAdapter(adapter);
}

TEST_F(KernelTest, ProbesFollowTheMemoryMapAndTheTestHook)
{
    std::vector<uint8_t> heap(8192);
    EXPECT_EQ(ProbeForWrite(heap.data(), heap.size(), 1), STATUS_SUCCESS);
    static const char text[] = "read only";
    EXPECT_EQ(ProbeForRead(text, sizeof text, 1), STATUS_SUCCESS);
    EXPECT_EQ(ProbeForWrite(const_cast<char*>(text), sizeof text, 1), STATUS_ACCESS_VIOLATION);
    void* gap = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    EXPECT_EQ(ProbeForRead(gap, 1, 1), STATUS_ACCESS_VIOLATION);
    munmap(gap, 4096);
    EXPECT_EQ(ProbeForRead(nullptr, 4, 1), STATUS_ACCESS_VIOLATION);
    EXPECT_EQ(ProbeForRead(reinterpret_cast<void*>(~uintptr_t{0} - 2), 8, 1), STATUS_ACCESS_VIOLATION);

    SimFailProbe(heap.data() + 4000, 10);
    Mdl* mdl = IoAllocateMdl(heap.data(), 4001, false, false, nullptr);
    EXPECT_EQ(MmProbeAndLockPages(mdl, LockOperation::IoWriteAccess), STATUS_ACCESS_VIOLATION);
    EXPECT_EQ(MmMapLockedPagesSpecifyCache(mdl, CacheType::Cached), nullptr);
    IoFreeMdl(mdl);
    mdl = IoAllocateMdl(heap.data(), 4000, false, false, nullptr);
    EXPECT_EQ(MmProbeAndLockPages(mdl, LockOperation::IoWriteAccess), STATUS_SUCCESS);
    EXPECT_EQ(MmMapLockedPagesSpecifyCache(mdl, CacheType::Cached), heap.data());
    MmUnlockPages(mdl);
    IoFreeMdl(mdl);
}

TEST_F(KernelTest, RegisterAccessReachesTheWindowUntilItIsDetached)
{
    struct Window : IIoWindow {
        uint32_t Read32(uint32_t offset) override { return 0x1000 + offset; }
        void Write32(uint32_t offset, uint32_t value) override { written.emplace_back(offset, value); }
        std::vector<std::pair<uint32_t, uint32_t>> written;
    } window;
    SimAttachIoRange(0x200000000ull, 0x100, &window);
    EXPECT_EQ(MmMapIoSpace(0x200000000ull, 0x101, CacheType::NonCached), nullptr);
    auto* regs = static_cast<volatile uint32_t*>(MmMapIoSpace(0x200000000ull, 0x100, CacheType::NonCached));
    ASSERT_NE(regs, nullptr);
    EXPECT_EQ(READ_REGISTER_ULONG(regs + 3), 0x100Cu);
    WRITE_REGISTER_ULONG(regs + 63, 7);
    EXPECT_EQ(window.written, (std::vector<std::pair<uint32_t, uint32_t>>{{252, 7}}));
    EXPECT_DEATH(READ_REGISTER_ULONG(regs + 64), "outside every mapped window");
    SimDetachIoRange(0x200000000ull);
    EXPECT_EQ(READ_REGISTER_ULONG(regs), 0xFFFFFFFFu);
    MmUnmapIoSpace(const_cast<uint32_t*>(regs), 0x100);
}

// A DPC queued by an interrupt service runs on the interrupted thread before
// the service call returns; interrupted at dispatch level, the DPC thread
// runs it instead. A flush waits for a DPC still running on an interrupted
// thread, though later ones have ended meanwhile.
TEST_F(KernelTest, AnInterruptsDpcRunsWhereTheInterruptWasTaken)
{
    struct Source : IInterruptSource {
        void Connect(std::function<bool()> s) override { service = std::move(s); }
        void Disconnect() override { service = nullptr; }
        std::function<bool()> service;
    } source;
    struct Ran {
        Dpc dpc;
        Dpc slow;
        Dpc later;
        std::atomic<Dpc*> next{nullptr};
        std::atomic<int> count{0};
        std::atomic<bool> slowRuns{false};
        std::atomic<bool> release{false};
        std::thread::id thread;
        KIRQL irql = PASSIVE_LEVEL;
    };
    static Ran ran;
    ran.next = &ran.dpc;
    KeInitializeDpc(&ran.dpc, [](Dpc*, void*, void*, void*) {
        ran.thread = std::this_thread::get_id();
        ran.irql = KeGetCurrentIrql();
        ++ran.count;
    }, nullptr);
    KeInitializeDpc(&ran.slow, [](Dpc*, void*, void*, void*) {
        ran.slowRuns = true;
        while (!ran.release.load())
            std::this_thread::yield();
    }, nullptr);
    KeInitializeDpc(&ran.later, [](Dpc*, void*, void*, void*) { ++ran.count; }, nullptr);
    SimAttachInterrupt(0x7E, &source);
    KInterrupt* interrupt = nullptr;
    ASSERT_EQ(IoConnectInterrupt(&interrupt, [](KInterrupt*, void*) { return KeInsertQueueDpc(ran.next, nullptr, nullptr); },
                                 nullptr, 0x7E, DEVICE_LEVEL, DEVICE_LEVEL, InterruptMode::LevelSensitive, false, 1, false),
              STATUS_SUCCESS);
    EXPECT_TRUE(source.service());
    EXPECT_EQ(ran.count.load(), 1);
    EXPECT_EQ(ran.thread, std::this_thread::get_id());
    EXPECT_EQ(ran.irql, DISPATCH_LEVEL);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);

    const KIRQL old = KeRaiseIrql(DISPATCH_LEVEL);
    EXPECT_TRUE(source.service());
    KeLowerIrql(old);
    KeFlushQueuedDpcs();
    EXPECT_EQ(ran.count.load(), 2);
    EXPECT_NE(ran.thread, std::this_thread::get_id());

    ran.next = &ran.slow;
    std::thread interrupted([&source] { source.service(); });
    while (!ran.slowRuns.load())
        std::this_thread::yield();
    std::atomic<bool> flushed{false};
    std::thread flusher([&flushed] {
        KeFlushQueuedDpcs();
        flushed = true;
    });
    // Queued once the flush has begun, and ended before the slow one.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    KeInsertQueueDpc(&ran.later, nullptr, nullptr);
    while (ran.count.load() < 3)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(flushed.load());
    ran.release = true;
    flusher.join();
    interrupted.join();
    IoDisconnectInterrupt(interrupt);
    SimDetachInterrupt(0x7E);
}

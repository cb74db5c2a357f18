// Waiting, completion by interrupt, cancel and time-out, and the race of
// the three over one pending request.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <future>
#include <thread>

#include "CSimClock.h"
#include "DmaTestFixture.h"

using namespace kern;

namespace {

class WaitTest : public DmaTest {
protected:
    void TearDown() override
    {
        tq8::CSimClock::SetFactor(1.0);
        DmaTest::TearDown();
    }

    // Starts a wait on its own thread and returns once it is pending.
    std::future<NTSTATUS> PendWait(int32_t kind, uint32_t timeoutMs, Handle h)
    {
        auto done = std::async(std::launch::async, [this, kind, timeoutMs, h] {
            TQ8_WAIT_REQUEST q{16, kind, timeoutMs, 0};
            return Ioctl(h, IOCTL_TQ8_WAIT_COMPLETE, &q, 16, nullptr, 0);
        });
        while (!Pending())
            std::this_thread::yield();
        return done;
    }

    NTSTATUS Wait(int32_t kind, uint32_t timeoutMs = 0)
    {
        TQ8_WAIT_REQUEST q{16, kind, timeoutMs, 0};
        return Ioctl(m_handle, IOCTL_TQ8_WAIT_COMPLETE, &q, 16, nullptr, 0);
    }

    bool Pending()
    {
        TQ8_DEVICE_EXTENSION* ext = Ext(m_slot);
        KIRQL irql;
        KeAcquireSpinLock(&ext->spinLock, &irql);
        const bool pending = ext->pendingIrp != nullptr;
        KeReleaseSpinLock(&ext->spinLock, irql);
        return pending;
    }

    // An operation that only the test ends.
    void Hold(uint32_t state)
    {
        TQ8_DEVICE_EXTENSION* ext = Ext(m_slot);
        KIRQL irql;
        KeAcquireSpinLock(&ext->spinLock, &irql);
        ext->operationState = state;
        ext->operationFile = nullptr;
        KeReleaseSpinLock(&ext->spinLock, irql);
    }

    uint32_t State() { return Ext(m_slot)->operationState.load(); }
    uint32_t Mode() { return Ext(m_slot)->controlShadow[11] & 0xF; }
};

} // namespace

TEST_F(WaitTest, AnAcquisitionWaitWithoutOneSucceedsAndASecondWaiterIsRefused)
{
    EXPECT_EQ(Wait(3), STATUS_SUCCESS);
    EXPECT_EQ(Wait(0), TQ8_STATUS_BAD_WAIT_KIND_OR_MODE);
    EXPECT_EQ(Wait(4), TQ8_STATUS_BAD_WAIT_KIND_OR_MODE);
    Hold(TQ8_STATE_ACQUISITION);
    auto first = PendWait(3, 0, m_handle);
    EXPECT_EQ(Wait(3), TQ8_STATUS_BUSY);
    // Cancelling the waiter ends the operation it waited for.
    ASSERT_EQ(m_process->CancelIo(m_handle), STATUS_SUCCESS);
    EXPECT_EQ(first.get(), STATUS_CANCELLED);
    EXPECT_EQ(State(), 0u);
    EXPECT_EQ(Mode(), 1u);
}

TEST_F(WaitTest, ATransferWaitAfterItEndedSucceedsButInModeFourOnlyWhenComplete)
{
    const uint64_t user = Alloc(4096);
    for (uint32_t mode : {7u, 4u}) {
        SetMode(mode);
        TQ8_DMA_XFER_REQUEST q{24, 1024, user, 1, 1};
        ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), STATUS_SUCCESS);
        while (State() != 0)
            std::this_thread::yield();
        EXPECT_EQ(Wait(1), STATUS_SUCCESS) << mode;
        SetMode(TQ8_OPMODE_STANDBY);
    }
    SetMode(TQ8_OPMODE_PCI_BUFFERED_ACQ);
    m_bus->Card(m_slot).Control().SetBusyBits(0x6);
    EXPECT_EQ(Wait(1), TQ8_STATUS_ACQUISITION_UNFINISHED);
    m_bus->Card(m_slot).Control().SetBusyBits(0);
}

TEST_F(WaitTest, ATimeOutEndsTheWaitAndTheOperationRunsOn)
{
    Hold(TQ8_STATE_DMA_TRANSFER);
    auto waiter = PendWait(1, 50, m_handle);
    SimAdvanceClock(60 * 10000);
    EXPECT_EQ(waiter.get(), TQ8_STATUS_TIMED_OUT);
    EXPECT_EQ(State(), uint32_t{TQ8_STATE_DMA_TRANSFER});
    EXPECT_EQ(Ext(m_slot)->deviceFlags & TQ8_FLAG_TIMER_ARMED, 0u);
    // A cancelled wait leaves no timer to end a later one.
    auto second = PendWait(1, 50, m_handle);
    m_process->CancelIo(m_handle);
    EXPECT_EQ(second.get(), STATUS_CANCELLED);
    Hold(TQ8_STATE_DMA_TRANSFER);
    auto third = PendWait(1, 0, m_handle);
    SimAdvanceClock(60 * 10000);
    EXPECT_TRUE(Pending());
    m_process->CancelIo(m_handle);
    EXPECT_EQ(third.get(), STATUS_CANCELLED);
}

TEST_F(WaitTest, ADmaInterruptWhileIdleCompletesNothing)
{
    const uint32_t before = Ext(m_slot)->stats.dmaCompleteInterrupts.load();
    m_bus->Card(m_slot).Dma().Raise(tq8::CDmaEngine::kDmaComplete);
    // Claimed and acknowledged, and its DPC has run.
    while (m_bus->Card(m_slot).Dma().Status() != 0)
        std::this_thread::yield();
    KeFlushQueuedDpcs();
    EXPECT_EQ(Ext(m_slot)->stats.dmaCompleteInterrupts.load(), before + 1);
    EXPECT_EQ(State(), 0u);
    EXPECT_FALSE(Pending());
}

TEST_F(WaitTest, AnAcquisitionEndsWithItsInterruptAndBackInModeOne)
{
    ASSERT_EQ(SetMode(TQ8_OPMODE_RAM_ACQ), STATUS_SUCCESS);
    EXPECT_EQ(Wait(3), STATUS_SUCCESS);
    EXPECT_EQ(State(), 0u);
    EXPECT_EQ(Mode(), 1u);
    EXPECT_GE(Ext(m_slot)->stats.samplesCompleteInterrupts.load(), 1u);
}

TEST_F(WaitTest, AnAcquisitionDoesNotTakeOverAModelessRead)
{
    Hold(TQ8_STATE_SAMPLE_RAM_READ);
    EXPECT_EQ(SetMode(TQ8_OPMODE_RAM_ACQ), TQ8_STATUS_BUSY);
    EXPECT_EQ(State(), uint32_t{TQ8_STATE_SAMPLE_RAM_READ});
    Hold(TQ8_STATE_IDLE);
}

TEST_F(WaitTest, ClosingTheStartingHandleCancelsItsReadAndReleasesItsBuffers)
{
    tq8::CSimClock::SetFactor(1000.0); // slow chunks: the read is still running at the close
    std::vector<uint8_t> out(kPatternBytes);
    Handle reader = Open(u"\\\\.\\TQ8_0");
    auto read = std::async(std::launch::async, [&] {
        TQ8_SAMPLE_RAM_REQUEST q{56, 7, 0, kPatternBytes, 0, 0, {reinterpret_cast<uint64_t>(out.data())}};
        return Ioctl(reader, IOCTL_TQ8_READ_SAMPLE_RAM, &q, sizeof q, nullptr, 0);
    });
    while (!Pending())
        std::this_thread::yield();
    m_process->Close(reader);
    EXPECT_EQ(read.get(), STATUS_CANCELLED);
    EXPECT_EQ(State(), 0u);
    EXPECT_EQ(Ext(m_slot)->ramRead.mdls[0], nullptr);
    EXPECT_TRUE(Logged("\\Device\\TQ80 : Canceling asynchronous DMA transfer"));
    EXPECT_FALSE(m_bus->Card(m_slot).Dma().Busy());
}

// One pending wait against a completion by interrupt, a cancel and its
// time-out, all at once: it completes exactly once (a second completion
// stops the kernel), with one of their statuses, and nothing leaks. The
// racers are kept on threads of their own and started together each run.
TEST_F(WaitTest, CompletionCancelAndTimeOutRaceForOneRequest)
{
    constexpr int kRuns = 10000;
    std::atomic<int> run{-1};
    std::atomic<int> finished{0};
    std::atomic<bool> stop{false};
    auto racer = [&](auto action) {
        return std::thread([&, action] {
            for (int seen = -1;;) {
                while (run.load() == seen && !stop)
                    std::this_thread::yield();
                if (stop)
                    return;
                seen = run.load();
                action();
                ++finished;
            }
        });
    };
    std::thread interrupt = racer([this] { m_bus->Card(m_slot).Dma().Raise(tq8::CDmaEngine::kDmaComplete); });
    std::thread cancel = racer([this] { m_process->CancelIo(m_handle); });
    int outcomes[3] = {};
    for (int i = 0; i < kRuns; ++i) {
        Hold(TQ8_STATE_DMA_TRANSFER);
        auto waiter = PendWait(1, 1, m_handle);
        finished = 0;
        run = i;
        SimAdvanceClock(2 * 10000);
        const NTSTATUS status = waiter.get();
        while (finished.load() < 2)
            std::this_thread::yield();
        while (m_bus->Card(m_slot).Dma().Status() != 0)
            std::this_thread::yield();
        KeFlushQueuedDpcs();
        outcomes[status == STATUS_SUCCESS ? 0 : status == STATUS_CANCELLED ? 1 : 2]++;
        if (status != STATUS_SUCCESS && status != STATUS_CANCELLED) {
            ASSERT_EQ(status, TQ8_STATUS_TIMED_OUT);
        }
        ASSERT_FALSE(Pending());
    }
    stop = true;
    interrupt.join();
    cancel.join();
    EXPECT_EQ(outcomes[0] + outcomes[1] + outcomes[2], kRuns);
    Hold(TQ8_STATE_IDLE);
}

// A transfer's completion that the interrupt service has read when the
// transfer is ended and the next one starts (held there through the
// kernel's register-read seam) never ends the next transfer: it ends with
// its own interrupt, holding what the card wrote.
TEST_F(WaitTest, ACompletionReadBeforeAResetNeverEndsTheNextTransfer)
{
    constexpr uint32_t kBytes = 65536;
    const uint64_t first = Alloc(kBytes);
    const uint64_t second = Alloc(kBytes);
    ASSERT_NE(second, 0u);
    auto* out = reinterpret_cast<uint8_t*>(second);
    std::memset(out, 0xEE, kBytes);
    ASSERT_EQ(SetMode(TQ8_OPMODE_RAM_READ_TO_PCI), STATUS_SUCCESS);
    struct Seam {
        volatile uint32_t* status;
        std::atomic<bool> armed{true};
        std::promise<void> read;
        std::shared_future<void> go;
    } seam{Ext(m_slot)->windows[0].address + 1, {true}, {}, {}};
    std::promise<void> go;
    seam.go = go.get_future().share();
    SimSetRegisterReadHook(
        [](void* context, volatile uint32_t* reg, uint32_t value) {
            auto* s = static_cast<Seam*>(context);
            if (reg != s->status || (value & tq8::CDmaEngine::kDmaComplete) == 0 || !s->armed.exchange(false))
                return;
            s->read.set_value();
            s->go.wait();
        },
        &seam);
    TQ8_DMA_XFER_REQUEST q{24, kBytes, first, 1, 1};
    ASSERT_EQ(Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, q), STATUS_SUCCESS);
    seam.read.get_future().wait();
    // Ended by the switch to mode 1 before its DPC ran; the next one waits.
    tq8::CSimClock::SetFactor(1000.0); // it takes a while on the bus
    ASSERT_EQ(SetMode(TQ8_OPMODE_STANDBY), STATUS_SUCCESS);
    ASSERT_EQ(SetMode(TQ8_OPMODE_RAM_READ_TO_PCI), STATUS_SUCCESS);
    auto next = std::async(std::launch::async, [&] {
        TQ8_DMA_XFER_REQUEST x{24, kBytes, second, 1, 0};
        return Ioctl(m_handle, IOCTL_TQ8_START_DMA_XFER, x);
    });
    while (!Pending())
        std::this_thread::yield();
    go.set_value();
    EXPECT_EQ(next.get(), STATUS_SUCCESS);
    SimSetRegisterReadHook(nullptr, nullptr);
    // The card reads on from where the first transfer ended.
    EXPECT_TRUE(std::equal(out, out + kBytes, m_ram.begin() + kBytes));
    EXPECT_EQ(State(), 0u);
}

// Interrupt service and its DPC, the abort of an operation, the cancel
// routine, the time-out and the wait request. Whoever completes the pending
// request first takes its cancel routine away (an atomic exchange); the one
// that finds it gone leaves the request to the cancel routine, which always
// completes it.
#include <cstring>

#include "CMutexHolder.h"
#include "CSpinLockHolder.h"
#include "TQ8Driver.h"

using namespace kern;

namespace {

constexpr uint32_t kInterruptStatus = 0x04;
constexpr uint32_t kInterruptAcknowledge = 0x48;
constexpr uint32_t kDmaComplete = 1u << 8;
constexpr uint32_t kSamplesComplete = 1u << 9;
constexpr int32_t kWaitTransfer = 1;
constexpr int32_t kWaitAcquisition = 3;

NTSTATUS EndStatus(TQ8_DEVICE_EXTENSION* ext)
{
    return IsAcquisitionComplete(ext) ? STATUS_SUCCESS : TQ8_STATUS_ACQUISITION_UNFINISHED;
}

// Takes the completion the service saw; true only when it belongs to the
// transfer in flight now (spin lock held). One of a transfer that has
// ended since, by an abort or a reset, is dropped.
bool TakeCompletionOfActive(TQ8_DEVICE_EXTENSION* ext)
{
    const uint64_t seen = ext->completedTransfer.exchange(0);
    return (seen & TQ8_COMPLETION_SEEN) != 0 && static_cast<uint32_t>(seen) == ext->transferTag.load();
}

// The DPC's work per state; true when the operation has ended.
bool OperationEnded(TQ8_DEVICE_EXTENSION* ext, uint32_t bits, bool transferDone, NTSTATUS* status)
{
    switch (ext->operationState.load()) {
    case TQ8_STATE_DMA_TRANSFER:
        if (!transferDone)
            return false;
        *status = EndStatus(ext);
        return true;
    case TQ8_STATE_SAMPLE_RAM_READ:
        if (!transferDone || !ProcessRamChunk(ext))
            return false;
        *status = EndStatus(ext);
        return true;
    case TQ8_STATE_ACQUISITION:
        if ((bits & kSamplesComplete) == 0)
            return false;
        KeStallExecutionProcessor(20);
        SetModeNibble(ext, 1);
        *status = STATUS_SUCCESS;
        return true;
    default:
        return false;
    }
}

void FinishRequest(TQ8_DEVICE_EXTENSION* ext, Irp* irp, NTSTATUS status, bool cancelTimer)
{
    if (cancelTimer)
        KeCancelTimer(&ext->timeoutTimer);
    if (irp != nullptr)
        CompleteHeldRequest(ext, irp, status);
}

// The hardware side of an abort: engine, mode, buffers, state word.
void EndOperationLocked(TQ8_DEVICE_EXTENSION* ext)
{
    const uint32_t state = ext->operationState.load();
    if (state == TQ8_STATE_IDLE)
        return; // nothing runs: the board is left as it is
    if (state == TQ8_STATE_DMA_TRANSFER || state == TQ8_STATE_SAMPLE_RAM_READ)
        StopDmaEngine(ext);
    if ((ext->deviceFlags & TQ8_FLAG_STARTED) != 0)
        SetModeNibble(ext, 1);
    if (state == TQ8_STATE_SAMPLE_RAM_READ)
        ReleaseUserBuffers(ext);
    ext->operationState = TQ8_STATE_IDLE;
    ext->operationFile = nullptr;
}

} // namespace

bool PendRequest(Irp* irp)
{
    IoSetCancelRoutine(irp, CancelPendingIrp);
    if (irp->cancel.load() && IoSetCancelRoutine(irp, nullptr) != nullptr)
        return false;
    IoMarkIrpPending(irp);
    return true;
}

Irp* TakePendingRequest(TQ8_DEVICE_EXTENSION* ext, bool* cancelTimer)
{
    Irp* irp = ext->pendingIrp;
    ext->pendingIrp = nullptr;
    if ((ext->deviceFlags & TQ8_FLAG_TIMER_ARMED) != 0) {
        ext->deviceFlags &= ~TQ8_FLAG_TIMER_ARMED;
        if (cancelTimer != nullptr)
            *cancelTimer = true;
        else
            KeCancelTimer(&ext->timeoutTimer);
    }
    if (irp != nullptr && IoSetCancelRoutine(irp, nullptr) == nullptr)
        return nullptr; // its cancel routine runs and completes it
    return irp;
}

bool InterruptService(KInterrupt*, void* context)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(static_cast<DeviceObject*>(context));
    ext->stats.interrupts.fetch_add(1);
    if (ext->windows[0].address == nullptr)
        return false;
    // The tag read before and after the status names the transfer the
    // status belongs to; when one started in between, it is read again.
    uint32_t tag = 0;
    uint32_t status = 0;
    do {
        tag = ext->transferTag.load();
        status = ReadDmaRegister(ext, kInterruptStatus);
    } while (tag != ext->transferTag.load());
    // All ones: the card has gone from the bus.
    if (status == 0xFFFFFFFFu)
        return false;
    bool claimed = false;
    bool queue = false;
    if ((status & kDmaComplete) != 0) {
        ext->stats.dmaCompleteInterrupts.fetch_add(1);
        ext->stats.bytesMoved.fetch_add(ext->dmaBytesInFlight.load());
        claimed = queue = true;
    }
    if ((status & kSamplesComplete) != 0) {
        ext->stats.samplesCompleteInterrupts.fetch_add(1);
        claimed = true;
        queue = queue || ext->operationState.load() == TQ8_STATE_ACQUISITION;
    }
    if (!claimed)
        return false;
    if ((status & kDmaComplete) != 0)
        ext->completedTransfer.store(TQ8_COMPLETION_SEEN | tag);
    ext->interruptBits.fetch_or(status & kSamplesComplete);
    if (queue)
        KeInsertQueueDpc(&ext->self->dpc, nullptr, nullptr);
    WriteDmaRegister(ext, kInterruptAcknowledge, 1);
    KeStallExecutionProcessor(1);
    return true;
}

void InterruptDpc(Dpc*, void* context, void*, void*)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(static_cast<DeviceObject*>(context));
    Irp* irp = nullptr;
    NTSTATUS status = STATUS_SUCCESS;
    bool cancelTimer = false;
    {
        CSpinLockHolder lock(ext);
        const uint32_t bits = ext->interruptBits.exchange(0);
        if (OperationEnded(ext, bits, TakeCompletionOfActive(ext), &status)) {
            ext->operationState = TQ8_STATE_IDLE;
            ext->operationFile = nullptr;
            irp = TakePendingRequest(ext, &cancelTimer);
        }
    }
    FinishRequest(ext, irp, status, cancelTimer);
}

void AbortActiveOperation(TQ8_DEVICE_EXTENSION* ext, bool timedOut, Irp** request)
{
    if (!timedOut)
        EndOperationLocked(ext);
    Irp* irp = TakePendingRequest(ext, nullptr);
    if (request != nullptr)
        *request = irp;
    else if (irp != nullptr)
        CompleteHeldRequest(ext, irp, timedOut ? TQ8_STATUS_TIMED_OUT : STATUS_CANCELLED);
}

void CancelPendingIrp(DeviceObject* device, Irp* irp)
{
    IoReleaseCancelSpinLock(irp->cancelIrql);
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    bool cancelTimer = false;
    {
        CSpinLockHolder lock(ext);
        if (ext->pendingIrp == irp) {
            ext->pendingIrp = nullptr;
            EndOperationLocked(ext);
            if ((ext->deviceFlags & TQ8_FLAG_TIMER_ARMED) != 0) {
                ext->deviceFlags &= ~TQ8_FLAG_TIMER_ARMED;
                cancelTimer = true;
            }
        }
    }
    FinishRequest(ext, irp, STATUS_CANCELLED, cancelTimer);
}

void TimeoutDpc(Dpc*, void* context, void*, void*)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(static_cast<DeviceObject*>(context));
    Irp* irp = nullptr;
    {
        CSpinLockHolder lock(ext);
        // A time-out of an earlier wait that was already ended finds the
        // flag clear, or a later wait's due time still ahead.
        if ((ext->deviceFlags & TQ8_FLAG_TIMER_ARMED) == 0 || KeQueryInterruptTime() < ext->timeoutDue)
            return;
        ext->deviceFlags &= ~TQ8_FLAG_TIMER_ARMED;
        // The wait ends; the operation runs on.
        if (ext->operationState.load() != TQ8_STATE_IDLE)
            irp = TakePendingRequest(ext, nullptr);
    }
    FinishRequest(ext, irp, TQ8_STATUS_TIMED_OUT, false);
}

NTSTATUS IoctlWaitComplete(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_WAIT_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    if (q.kind < kWaitTransfer || q.kind > kWaitAcquisition)
        return TQ8_STATUS_BAD_WAIT_KIND_OR_MODE;
    CMutexHolder mutex(ext);
    CSpinLockHolder lock(ext);
    const uint32_t state = ext->operationState.load();
    const bool runs = q.kind == kWaitAcquisition
                          ? state == TQ8_STATE_ACQUISITION
                          : state == TQ8_STATE_DMA_TRANSFER || state == TQ8_STATE_SAMPLE_RAM_READ;
    if (!runs)
        return q.kind == kWaitAcquisition ? STATUS_SUCCESS : EndStatus(ext);
    if (ext->pendingIrp != nullptr)
        return TQ8_STATUS_BUSY;
    if (!PendRequest(r.irp))
        return STATUS_CANCELLED;
    ext->pendingIrp = r.irp;
    if (q.timeoutMs != 0) {
        const int64_t relative = int64_t{q.timeoutMs} * 10000;
        ext->timeoutDue = KeQueryInterruptTime() + relative;
        ext->deviceFlags |= TQ8_FLAG_TIMER_ARMED;
        KeSetTimer(&ext->timeoutTimer, relative, &ext->timeoutDpc);
    }
    return STATUS_PENDING;
}

Irp* ReleaseOperationOf(TQ8_DEVICE_EXTENSION* ext, FileObject* file)
{
    if (ext->operationState.load() == TQ8_STATE_IDLE || ext->operationFile != file)
        return nullptr;
    EndOperationLocked(ext);
    return TakePendingRequest(ext, nullptr);
}

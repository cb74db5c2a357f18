#include "Irp.h"

#include "Hal.h"
#include "KernelCheck.h"

namespace kern {

namespace {
SpinLock& CancelSpinLock()
{
    static SpinLock lock;
    return lock;
}

bool InvokesRoutine(uint8_t control, const Irp* irp)
{
    if (irp->cancel.load() && (control & SL_INVOKE_ON_CANCEL) != 0)
        return true;
    return (control & (NT_SUCCESS(irp->ioStatus.status) ? SL_INVOKE_ON_SUCCESS : SL_INVOKE_ON_ERROR)) != 0;
}
} // namespace

IoStackLocation* IoGetCurrentIrpStackLocation(Irp* irp)
{
    KernelCheck(irp->current < static_cast<int>(irp->stack.size()), "request has no current location");
    return &irp->stack[static_cast<size_t>(irp->current)];
}

IoStackLocation* IoGetNextIrpStackLocation(Irp* irp)
{
    if (irp->current <= 0)
        KeBugCheck("request has no location left below");
    return &irp->stack[static_cast<size_t>(irp->current - 1)];
}

void IoSkipCurrentIrpStackLocation(Irp* irp) { ++irp->current; }

void IoCopyCurrentIrpStackLocationToNext(Irp* irp)
{
    IoStackLocation* next = IoGetNextIrpStackLocation(irp);
    *next = *IoGetCurrentIrpStackLocation(irp);
    next->completionRoutine = nullptr;
    next->context = nullptr;
    next->control = 0;
}

void IoSetCompletionRoutine(Irp* irp, IoCompletionRoutine routine, void* context, bool onSuccess, bool onError,
                            bool onCancel)
{
    IoStackLocation* next = IoGetNextIrpStackLocation(irp);
    next->completionRoutine = routine;
    next->context = context;
    next->control = static_cast<uint8_t>((onSuccess ? SL_INVOKE_ON_SUCCESS : 0) | (onError ? SL_INVOKE_ON_ERROR : 0)
                                         | (onCancel ? SL_INVOKE_ON_CANCEL : 0));
}

void IoMarkIrpPending(Irp* irp) { IoGetCurrentIrpStackLocation(irp)->control |= SL_PENDING_RETURNED; }

DriverCancel IoSetCancelRoutine(Irp* irp, DriverCancel routine) { return irp->cancelRoutine.exchange(routine); }

NTSTATUS IoCallDriver(DeviceObject* device, Irp* irp)
{
    if (irp->current <= 0)
        KeBugCheck("request passed below the bottom of its stack");
    --irp->current;
    IoStackLocation* loc = IoGetCurrentIrpStackLocation(irp);
    loc->deviceObject = device;
    DriverDispatch dispatch = device->driverObject->majorFunction[loc->majorFunction];
    if (dispatch == nullptr) {
        irp->ioStatus.status = STATUS_INVALID_DEVICE_REQUEST;
        IoCompleteRequest(irp, 0);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    return dispatch(device, irp);
}

void IoCompleteRequest(Irp* irp, int8_t)
{
    KernelCheck(!irp->completed, "request completed twice");
    KernelCheck(irp->cancelRoutine.load() == nullptr, "request completed with its cancel routine still set");
    KernelCheck(irp->ioStatus.status != STATUS_PENDING, "request completed with STATUS_PENDING");
    const int size = static_cast<int>(irp->stack.size());
    while (irp->current < size) {
        IoStackLocation& loc = irp->stack[static_cast<size_t>(irp->current)];
        irp->pendingReturned = (loc.control & SL_PENDING_RETURNED) != 0;
        IoCompletionRoutine routine = loc.completionRoutine;
        void* context = loc.context;
        uint8_t control = loc.control;
        loc.completionRoutine = nullptr;
        ++irp->current;
        DeviceObject* upper = irp->current < size ? irp->stack[static_cast<size_t>(irp->current)].deviceObject : nullptr;
        if (routine != nullptr && InvokesRoutine(control, irp)) {
            if (routine(upper, irp, context) == STATUS_MORE_PROCESSING_REQUIRED)
                return;
        } else if (irp->pendingReturned && irp->current < size) {
            irp->stack[static_cast<size_t>(irp->current)].control |= SL_PENDING_RETURNED;
        }
    }
    irp->completed = true;
    if (irp->finish)
        irp->finish(irp);
}

bool IoCancelIrp(Irp* irp)
{
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    irp->cancel.store(true);
    DriverCancel routine = IoSetCancelRoutine(irp, nullptr);
    if (routine == nullptr) {
        IoReleaseCancelSpinLock(irql);
        return false;
    }
    irp->cancelIrql = irql;
    const int size = static_cast<int>(irp->stack.size());
    DeviceObject* device = irp->current < size ? irp->stack[static_cast<size_t>(irp->current)].deviceObject : nullptr;
    routine(device, irp);
    return true;
}

void IoAcquireCancelSpinLock(KIRQL* irql) { KeAcquireSpinLock(&CancelSpinLock(), irql); }

void IoReleaseCancelSpinLock(KIRQL irql) { KeReleaseSpinLock(&CancelSpinLock(), irql); }

void PoStartNextPowerIrp(Irp* irp)
{
    KernelCheck(IoGetCurrentIrpStackLocation(irp)->majorFunction == IRP_MJ_POWER, "next power request started for a request that is not one");
}

NTSTATUS PoCallDriver(DeviceObject* device, Irp* irp) { return IoCallDriver(device, irp); }

Irp* IoAllocateIrp(int stackSize)
{
    auto* irp = new Irp;
    irp->stack.resize(static_cast<size_t>(stackSize < 1 ? 1 : stackSize));
    irp->current = static_cast<int>(irp->stack.size());
    return irp;
}

void IoFreeIrp(Irp* irp)
{
    while (irp->mdlAddress != nullptr) {
        Mdl* mdl = irp->mdlAddress;
        irp->mdlAddress = mdl->next;
        if (mdl->locked)
            MmUnlockPages(mdl);
        mdl->next = nullptr;
        IoFreeMdl(mdl);
    }
    delete irp;
}

NTSTATUS SimCallAndWait(DeviceObject* top, Irp* irp)
{
    KEvent done;
    KeInitializeEvent(&done, EventType::Notification, false);
    irp->finish = [&done](Irp*) { KeSetEvent(&done); };
    IoCallDriver(top, irp);
    KeWaitForSingleObject(&done, nullptr);
    irp->finish = nullptr;
    return irp->ioStatus.status;
}

} // namespace kern

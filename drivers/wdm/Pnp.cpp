#include "Pool.h"
#include "TQ8Driver.h"

using namespace kern;

namespace {

using PnpHandler = NTSTATUS (*)(DeviceObject* device, Irp* irp);

// Maximum transfer of the card's DMA engine.
constexpr uint32_t kDmaMaximumLength = 0x7FFF800;

void SetPnpState(TQ8_DEVICE_EXTENSION* ext, int32_t state)
{
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    ext->pnpState = state;
    KeReleaseSpinLock(&ext->spinLock, irql);
}

NTSTATUS OnForwardedIrpComplete(DeviceObject*, Irp*, void* context)
{
    KeSetEvent(static_cast<KEvent*>(context));
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// The lower drivers first; the handler only when they succeeded.
NTSTATUS ForwardIrpAndWait(DeviceObject* device, Irp* irp, PnpHandler handler)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    NTSTATUS status = STATUS_SUCCESS;
    if (ext->lowerDevice != nullptr) {
        KEvent event;
        KeInitializeEvent(&event, EventType::Notification, false);
        IoCopyCurrentIrpStackLocationToNext(irp);
        IoSetCompletionRoutine(irp, OnForwardedIrpComplete, &event, true, true, true);
        IoCallDriver(ext->lowerDevice, irp);
        KeWaitForSingleObject(&event, nullptr);
        status = irp->ioStatus.status;
    }
    if (NT_SUCCESS(status))
        status = handler(device, irp);
    return CompleteRequest(irp, status);
}

// The handler first; the request goes down only when it succeeded.
NTSTATUS HandleThenForwardIrp(DeviceObject* device, Irp* irp, PnpHandler handler)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    DeviceObject* lower = ext->lowerDevice;
    NTSTATUS status = handler(device, irp);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    irp->ioStatus.status = STATUS_SUCCESS;
    if (lower == nullptr)
        return CompleteRequest(irp, STATUS_SUCCESS);
    IoCopyCurrentIrpStackLocationToNext(irp);
    return IoCallDriver(lower, irp);
}

// Clears the started flag after ending the active operation, then waits
// until no request is inside the dispatch, so nothing touches the windows
// while they are released, and ends what a late request began.
void StopAdmittingRequests(TQ8_DEVICE_EXTENSION* ext)
{
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    // Ends a transfer, read or acquisition and its pending request.
    AbortActiveOperation(ext, false, nullptr);
    ext->deviceFlags &= ~TQ8_FLAG_STARTED;
    KeReleaseSpinLock(&ext->spinLock, irql);
    while (true) {
        KeClearEvent(&ext->requestsLeft);
        if (ext->requestsInside.load() == 0)
            break;
        KeWaitForSingleObject(&ext->requestsLeft, nullptr);
    }
    // A request that was past its started check when the flag went may
    // have begun an operation since: it is ended too, or its request would
    // wait for an interrupt that can no longer come.
    KeAcquireSpinLock(&ext->spinLock, &irql);
    AbortActiveOperation(ext, false, nullptr);
    KeReleaseSpinLock(&ext->spinLock, irql);
}

void ReleaseDmaResources(TQ8_DEVICE_EXTENSION* ext)
{
    DmaAdapter* adapter = ext->dmaAdapter;
    if (adapter == nullptr)
        return;
    if (ext->utilityBuffer != nullptr)
        adapter->dmaOperations->freeCommonBuffer(adapter, TQ8_UTILITY_BUFFER_BYTES, ext->utilityBusAddress,
                                                 ext->utilityBuffer, false);
    ext->utilityBuffer = nullptr;
    ext->utilityBusAddress = 0;
    adapter->dmaOperations->putDmaAdapter(adapter);
    ext->dmaAdapter = nullptr;
}

// Before anything the service routine or its DPC touches goes (the
// windows, the utility buffer): the disconnect waits for a running service,
// and the DPC it queued runs, or is taken off the queue, before this returns.
void DisconnectInterrupt(TQ8_DEVICE_EXTENSION* ext)
{
    if (ext->interrupt != nullptr)
        IoDisconnectInterrupt(ext->interrupt);
    ext->interrupt = nullptr;
    KeRemoveQueueDpc(&ext->self->dpc);
    KeFlushQueuedDpcs();
}

void UnmapWindows(TQ8_DEVICE_EXTENSION* ext)
{
    for (TQ8_MEMORY_WINDOW& w : ext->windows) {
        if (w.address != nullptr)
            MmUnmapIoSpace(const_cast<uint32_t*>(w.address), w.length);
        w = {};
    }
}

NTSTATUS ClaimResources(DeviceObject* device, const CmResourceList* resources)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    uint32_t mapped = 0;
    ext->memoryResourceCount = 0;
    if (resources == nullptr)
        return STATUS_SUCCESS;
    // The registers first: the service routine reads them as soon as the
    // interrupt is connected, and a pending interrupt comes at once.
    for (const CmResourceDescriptor& r : *resources) {
        if (r.type != CmResourceType::Memory)
            continue;
        ++ext->memoryResourceCount;
        if (mapped == TQ8_MAX_WINDOWS)
            continue;
        TQ8_MEMORY_WINDOW& w = ext->windows[mapped++];
        w.length = r.memory.length;
        w.address = static_cast<volatile uint32_t*>(MmMapIoSpace(r.memory.start, r.memory.length, CacheType::NonCached));
        if (w.address == nullptr)
            return STATUS_NO_MEMORY;
    }
    for (const CmResourceDescriptor& r : *resources) {
        if (r.type != CmResourceType::Interrupt || ext->interrupt != nullptr)
            continue;
        const auto level = static_cast<KIRQL>(r.interrupt.level);
        if (!NT_SUCCESS(IoConnectInterrupt(&ext->interrupt, InterruptService, device, r.interrupt.vector, level, level,
                                           InterruptMode::LevelSensitive, true, r.interrupt.affinity, false)))
            return STATUS_NO_MEMORY;
    }
    return STATUS_SUCCESS;
}

NTSTATUS StartDevice(DeviceObject* device, Irp* irp)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    LogEvent(device, u"Starting device");
    // What a failed earlier start left.
    DisconnectInterrupt(ext);
    ReleaseDmaResources(ext);
    UnmapWindows(ext);
    NTSTATUS status = ClaimResources(device, IoGetCurrentIrpStackLocation(irp)->startDevice.allocatedResourcesTranslated);
    if (!NT_SUCCESS(status))
        return status;
    DeviceDescription description;
    description.version = 1;
    description.master = true;
    description.dma32BitAddresses = true;
    description.interfaceType = InterfaceType::Pci;
    description.maximumLength = kDmaMaximumLength;
    ext->dmaAdapter = IoGetDmaAdapter(ext->physicalDevice, &description, &ext->mapRegisters);
    if (ext->dmaAdapter == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;

    IoSetDeviceInterfaceState(&ext->interfaceName, true);
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    ext->deviceFlags |= TQ8_FLAG_STARTED | TQ8_FLAG_INTERFACE_ENABLED;
    ext->savedPnpState = TQ8_PNP_NOT_STARTED;
    ext->pnpState = TQ8_PNP_STARTED;
    KeReleaseSpinLock(&ext->spinLock, irql);

    const bool eepromFailed = !NT_SUCCESS(CheckEeprom(ext));
    RefreshConfigCache(ext, eepromFailed);
    if (eepromFailed)
        LogEvent(device, u"WARNING: Configuration EEPROM IO check failed");

    ext->utilityBuffer = ext->dmaAdapter->dmaOperations->allocateCommonBuffer(
        ext->dmaAdapter, TQ8_UTILITY_BUFFER_BYTES, &ext->utilityBusAddress, false);
    if (ext->utilityBuffer == nullptr)
        LogEvent(device, u"Failed to allocate driver's utility DMA buffer");

    // Its result never fails the start.
    InitBoard(ext);
    return STATUS_SUCCESS;
}

NTSTATUS StopDevice(DeviceObject* device, Irp*)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    LogEvent(device, u"Stopping device");
    StopAdmittingRequests(ext);
    DisconnectInterrupt(ext);
    ReleaseDmaResources(ext);
    UnmapWindows(ext);
    SetPnpState(ext, TQ8_PNP_STOPPED);
    return STATUS_SUCCESS;
}

NTSTATUS SurpriseRemoveDevice(DeviceObject* device, Irp*)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    StopAdmittingRequests(ext);
    DisconnectInterrupt(ext);
    UnmapWindows(ext);
    if (ext->deviceFlags & TQ8_FLAG_INTERFACE_ENABLED)
        IoSetDeviceInterfaceState(&ext->interfaceName, false);
    // Late requests read the flags under the lock.
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    ext->deviceFlags &= ~TQ8_FLAG_INTERFACE_ENABLED;
    KeReleaseSpinLock(&ext->spinLock, irql);
    SetPnpState(ext, TQ8_PNP_SURPRISE_REMOVED);
    return STATUS_SUCCESS;
}

NTSTATUS QueryStop(DeviceObject* device, Irp*)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    ext->savedPnpState = ext->pnpState;
    SetPnpState(ext, TQ8_PNP_STOP_PENDING);
    return STATUS_SUCCESS;
}

NTSTATUS QueryRemove(DeviceObject* device, Irp*)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    ext->savedPnpState = ext->pnpState;
    SetPnpState(ext, TQ8_PNP_REMOVE_PENDING);
    return STATUS_SUCCESS;
}

NTSTATUS RestoreSavedState(DeviceObject* device, Irp*)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    SetPnpState(ext, ext->savedPnpState);
    return STATUS_SUCCESS;
}

// Waits for every request still inside, then lets the device go and passes
// the removal to the device it was attached to.
NTSTATUS RemoveDevice(DeviceObject* device, Irp* irp)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    DeviceObject* lower = ext->lowerDevice;
    // The abort completes a held request, which gives its remove lock back.
    StopAdmittingRequests(ext);
    IoReleaseRemoveLockAndWaitEx(&ext->removeLock, irp);
    if (ext->deviceFlags & TQ8_FLAG_INTERFACE_ENABLED)
        IoSetDeviceInterfaceState(&ext->interfaceName, false);
    ext->deviceFlags &= ~TQ8_FLAG_INTERFACE_ENABLED;
    if (ext->scanBuffer != nullptr)
        ExFreePoolWithTag(ext->scanBuffer, TQ8_POOL_TAG);
    ext->scanBuffer = nullptr;
    DisconnectInterrupt(ext);
    // The windows stay until the buffers are gone: freeing one stops a
    // transfer into it.
    FreeDmaBuffersOfOwner(ext, nullptr);
    ReleaseDmaResources(ext);
    UnmapWindows(ext);
    KeCancelTimer(&ext->timeoutTimer);
    KeRemoveQueueDpc(&ext->timeoutDpc);
    KeFlushQueuedDpcs();
    if (lower != nullptr)
        IoDetachDevice(lower);
    ext->lowerDevice = nullptr;
    const KernelString link = BuildSymbolicLinkName(ext->ordinal);
    IoDeleteSymbolicLink(&link);
    RtlFreeUnicodeString(&ext->interfaceName);
    IoDeleteDevice(device);
    irp->ioStatus.status = STATUS_SUCCESS;
    if (lower == nullptr)
        return CompleteRequest(irp, STATUS_SUCCESS);
    IoCopyCurrentIrpStackLocationToNext(irp);
    return IoCallDriver(lower, irp);
}

} // namespace

NTSTATUS CompleteRequest(Irp* irp, NTSTATUS status, uint64_t information)
{
    irp->ioStatus.status = status;
    irp->ioStatus.information = information;
    IoCompleteRequest(irp, 0);
    return status;
}

NTSTATUS PassDown(TQ8_DEVICE_EXTENSION* ext, Irp* irp)
{
    if (ext->lowerDevice == nullptr)
        return CompleteRequest(irp, STATUS_NOT_IMPLEMENTED);
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(ext->lowerDevice, irp);
}

NTSTATUS DispatchPnp(DeviceObject* device, Irp* irp)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    NTSTATUS status = IoAcquireRemoveLockEx(&ext->removeLock, irp);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    switch (IoGetCurrentIrpStackLocation(irp)->minorFunction) {
    case IRP_MN_START_DEVICE:
        status = ForwardIrpAndWait(device, irp, StartDevice);
        break;
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
        status = ForwardIrpAndWait(device, irp, RestoreSavedState);
        break;
    case IRP_MN_QUERY_STOP_DEVICE:
        status = HandleThenForwardIrp(device, irp, QueryStop);
        break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
        status = HandleThenForwardIrp(device, irp, QueryRemove);
        break;
    case IRP_MN_STOP_DEVICE:
        status = HandleThenForwardIrp(device, irp, StopDevice);
        break;
    case IRP_MN_SURPRISE_REMOVAL:
        status = HandleThenForwardIrp(device, irp, SurpriseRemoveDevice);
        break;
    case IRP_MN_REMOVE_DEVICE:
        // The removal gives the remove lock back itself, and the device is gone after it.
        return RemoveDevice(device, irp);
    default:
        status = PassDown(ext, irp);
        break;
    }
    IoReleaseRemoveLockEx(&ext->removeLock, irp);
    return status;
}

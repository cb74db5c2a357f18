#include <cstring>
#include <iterator>

#include "TQ8Driver.h"

using namespace kern;

namespace {

enum class OutputRule { Any, AtLeast, Exactly };

// Size rules that read the record itself; checked after the fixed ones.
using ExtraSizeRule = bool (*)(const TQ8_IOCTL& request);

struct Tq8IoctlEntry {
    uint32_t code;
    uint32_t minInput;
    OutputRule outputRule;
    uint32_t output;
    ExtraSizeRule extra;
    Tq8IoctlHandler handler;
    bool mutexAroundHandler;
};

uint32_t U32At(const TQ8_IOCTL& r, uint32_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, r.buffer + offset, sizeof v);
    return v;
}

bool ConfigCacheSize(const TQ8_IOCTL& r) { return U32At(r, 0) >= TQ8_CONFIG_CACHE_MIN_REQUEST; }

bool EepromSize(const TQ8_IOCTL& r) { return U32At(r, 4) == 0 || r.outputLength == sizeof(TQ8_EEPROM_REQUEST); }

bool JtagControlSize(const TQ8_IOCTL& r)
{
    const bool replies = (U32At(r, 16) & (TQ8_JTAG_CLAIM | TQ8_JTAG_RELEASE | TQ8_JTAG_READ_BACK)) != 0;
    return !replies || r.outputLength >= sizeof(TQ8_JTAG_CONTROL_REQUEST);
}

bool JtagShiftSize(const TQ8_IOCTL& r)
{
    // In 64 bits: a bit count near 2^32 must not wrap to a small size.
    const uint64_t needed = sizeof(TQ8_JTAG_SHIFT_REQUEST) + (uint64_t{U32At(r, 8)} + 7) / 8;
    const uint32_t flags = U32At(r, 4);
    if ((flags & TQ8_JTAG_SHIFT_OUT) != 0 && r.inputLength < needed)
        return false;
    return (flags & TQ8_JTAG_SHIFT_IN) == 0 || r.outputLength >= needed;
}

constexpr OutputRule kAny = OutputRule::Any;
constexpr OutputRule kAtLeast = OutputRule::AtLeast;
constexpr OutputRule kExactly = OutputRule::Exactly;

const Tq8IoctlEntry kIoctls[] = {
    {IOCTL_TQ8_GET_DRIVER_INFO, 0, kExactly, 24, nullptr, IoctlGetDriverInfo, false},
    {IOCTL_TQ8_GET_CONFIG_CACHE, 4, kAny, 0, ConfigCacheSize, IoctlGetConfigCache, false},
    {IOCTL_TQ8_ALLOC_DMA_BUFFER, 16, kExactly, 16, nullptr, IoctlAllocDmaBuffer, false},
    {IOCTL_TQ8_FREE_DMA_BUFFER, 16, kAny, 0, nullptr, IoctlFreeDmaBuffer, false},
    {IOCTL_TQ8_EEPROM_ACCESS, 16, kAny, 0, EepromSize, IoctlEepromAccess, false},
    {IOCTL_TQ8_RESET_ADC, 4, kAny, 0, nullptr, IoctlResetAdc, false},
    {IOCTL_TQ8_WRITE_REG, 40, kAny, 0, nullptr, IoctlWriteReg, false},
    {IOCTL_TQ8_READ_REG, 40, kAtLeast, 4, nullptr, IoctlReadReg, false},
    {IOCTL_TQ8_RESET_DCMS, 0, kAny, 0, nullptr, IoctlResetDcms, false},
    {IOCTL_TQ8_START_DMA_XFER, 24, kAny, 0, nullptr, IoctlStartDmaXfer, true},
    {IOCTL_TQ8_REFRESH_CONFIG_CACHE, 0, kAny, 0, nullptr, IoctlRefreshConfigCache, false},
    {IOCTL_TQ8_RAW_REG_ACCESS, 20, kAtLeast, 20, nullptr, IoctlRawRegAccess, false},
    {IOCTL_TQ8_READ_SAMPLE_RAM, 56, kAny, 0, nullptr, IoctlReadSampleRam, false},
    {IOCTL_TQ8_JTAG_CONTROL, 20, kAny, 0, JtagControlSize, IoctlJtagControl, false},
    {IOCTL_TQ8_DELAY_US, 4, kAny, 0, nullptr, IoctlDelayUs, false},
    {IOCTL_TQ8_JTAG_SHIFT, 12, kAny, 0, JtagShiftSize, IoctlJtagShift, false},
    {IOCTL_TQ8_GET_DRIVER_STATS, 40, kAtLeast, 40, nullptr, IoctlGetDriverStats, false},
    {IOCTL_TQ8_SET_OPERATING_MODE, 4, kAny, 0, nullptr, IoctlSetOperatingMode, false},
    {IOCTL_TQ8_GET_DRIVER_STATE, 0, kAtLeast, 4, nullptr, IoctlGetDriverState, false},
    {IOCTL_TQ8_WAIT_COMPLETE, 16, kAny, 0, nullptr, IoctlWaitComplete, false},
    {IOCTL_TQ8_SET_DCM_RESET_PENDING, 4, kAny, 0, nullptr, IoctlSetDcmResetPending, false},
    {IOCTL_TQ8_READ_TIMESTAMPS, 24, kAtLeast, 24, nullptr, IoctlReadTimestamps, false},
};
static_assert(std::size(kIoctls) == 22);

const Tq8IoctlEntry* FindIoctl(uint32_t code)
{
    for (const Tq8IoctlEntry& e : kIoctls)
        if (e.code == code)
            return &e;
    return nullptr;
}

bool SizesFit(const Tq8IoctlEntry& e, const TQ8_IOCTL& r)
{
    if (r.inputLength < e.minInput)
        return false;
    if (e.outputRule == kAtLeast && r.outputLength < e.output)
        return false;
    if (e.outputRule == kExactly && r.outputLength != e.output)
        return false;
    return e.extra == nullptr || e.extra(r);
}

bool IsStarted(TQ8_DEVICE_EXTENSION* ext)
{
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    const bool started = (ext->deviceFlags & TQ8_FLAG_STARTED) != 0;
    KeReleaseSpinLock(&ext->spinLock, irql);
    return started;
}

NTSTATUS DeviceControl(TQ8_DEVICE_EXTENSION* ext, Irp* irp, bool* held)
{
    IoStackLocation* loc = IoGetCurrentIrpStackLocation(irp);
    const Tq8IoctlEntry* entry = FindIoctl(loc->deviceIoControl.ioControlCode);
    if (entry == nullptr)
        return PassDown(ext, irp);
    TQ8_IOCTL request{irp, loc->fileObject, static_cast<uint8_t*>(irp->systemBuffer),
                      loc->deviceIoControl.inputBufferLength, loc->deviceIoControl.outputBufferLength, 0};
    // Size faults answer before anything else is looked at.
    if (!SizesFit(*entry, request))
        return CompleteRequest(irp, STATUS_INFO_LENGTH_MISMATCH);
    if (entry->mutexAroundHandler)
        ExAcquireFastMutex(&ext->deviceMutex);
    NTSTATUS status = entry->handler(ext, request);
    if (entry->mutexAroundHandler)
        ExReleaseFastMutex(&ext->deviceMutex);
    if (status == STATUS_NOT_IMPLEMENTED)
        return PassDown(ext, irp);
    if (status == STATUS_PENDING) {
        // Held as the device's pending request; completed by CompleteHeldRequest.
        *held = true;
        return status;
    }
    return CompleteRequest(irp, status, request.information);
}

NTSTATUS Dispatch(TQ8_DEVICE_EXTENSION* ext, Irp* irp, bool* held)
{
    IoStackLocation* loc = IoGetCurrentIrpStackLocation(irp);
    const uint8_t major = loc->majorFunction;
    if (major == IRP_MJ_CLEANUP) {
        // A handle's bookkeeping is undone even on a card that is not
        // started; only the hardware steps need it started.
        CleanupFileObject(ext, loc->fileObject);
        return CompleteRequest(irp, IsStarted(ext) ? STATUS_SUCCESS : STATUS_DEVICE_NOT_READY);
    }
    if (!IsStarted(ext))
        return CompleteRequest(irp, STATUS_DEVICE_NOT_READY);
    switch (major) {
    case IRP_MJ_CREATE:
        ext->stats.openHandles.fetch_add(1);
        return CompleteRequest(irp, STATUS_SUCCESS);
    case IRP_MJ_DEVICE_CONTROL:
        return DeviceControl(ext, irp, held);
    default:
        return PassDown(ext, irp);
    }
}

} // namespace

NTSTATUS DispatchDeviceIo(DeviceObject* device, Irp* irp)
{
    TQ8_DEVICE_EXTENSION* ext = Extension(device);
    irp->ioStatus.information = 0;
    NTSTATUS status = IoAcquireRemoveLockEx(&ext->removeLock, irp);
    if (!NT_SUCCESS(status))
        return CompleteRequest(irp, status);
    ext->requestsInside.fetch_add(1);
    bool held = false;
    status = Dispatch(ext, irp, &held);
    if (ext->requestsInside.fetch_sub(1) == 1)
        KeSetEvent(&ext->requestsLeft);
    if (!held)
        IoReleaseRemoveLockEx(&ext->removeLock, irp);
    return status;
}

void CompleteHeldRequest(TQ8_DEVICE_EXTENSION* ext, Irp* irp, NTSTATUS status)
{
    CompleteRequest(irp, status);
    IoReleaseRemoveLockEx(&ext->removeLock, irp);
}

Irp* TakePendingRequestOf(TQ8_DEVICE_EXTENSION* ext, FileObject* file)
{
    Irp* irp = ext->pendingIrp;
    if (irp == nullptr || IoGetCurrentIrpStackLocation(irp)->fileObject != file)
        return nullptr;
    return TakePendingRequest(ext, nullptr);
}

void CleanupFileObject(TQ8_DEVICE_EXTENSION* ext, FileObject* file)
{
    ExAcquireFastMutex(&ext->deviceMutex);
    uint32_t open = ext->stats.openHandles.load();
    while (open != 0 && !ext->stats.openHandles.compare_exchange_weak(open, open - 1)) {
    }
    const bool last = open <= 1;
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    if (ext->scanPortOwner == file)
        ext->scanPortOwner = nullptr;
    const bool startedIt = ext->operationState != TQ8_STATE_IDLE && ext->operationFile == file;
    if ((ext->deviceFlags & TQ8_FLAG_STARTED) != 0 && (last || startedIt)) {
        if (startedIt)
            LogEvent(ext->self, u"Canceling asynchronous DMA transfer");
        StopDmaEngine(ext);
        SetModeNibble(ext, 1);
    }
    // The handle's own request and what its operation held go with it.
    Irp* cancelled = TakePendingRequestOf(ext, file);
    Irp* waiter = ReleaseOperationOf(ext, file);
    KeReleaseSpinLock(&ext->spinLock, irql);
    if (cancelled != nullptr)
        CompleteHeldRequest(ext, cancelled, STATUS_CANCELLED);
    if (waiter != nullptr)
        CompleteHeldRequest(ext, waiter, STATUS_CANCELLED);
    FreeDmaBuffersOfOwner(ext, last ? nullptr : file);
    ExReleaseFastMutex(&ext->deviceMutex);
}

#include <algorithm>
#include <cstring>

#include "TQ8Driver.h"

using namespace kern;

namespace {

constexpr uint32_t kLongestStallUs = 7000;

uint32_t U32At(const TQ8_IOCTL& r, uint32_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, r.buffer + offset, sizeof v);
    return v;
}

void PutU32(TQ8_IOCTL& r, uint32_t offset, uint32_t value) { std::memcpy(r.buffer + offset, &value, sizeof value); }

template <class Counter>
auto Take(Counter& counter, bool reset)
{
    return reset ? counter.exchange(0) : counter.load();
}

} // namespace

NTSTATUS IoctlGetDriverInfo(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_DRIVER_INFO info;
    std::memcpy(&info, r.buffer, sizeof info);
    ExAcquireFastMutex(&ext->deviceMutex);
    info.recordSize = sizeof info;
    info.serialNumber = ext->serialNumber;
    info.ordinal = ext->ordinal;
    info.driverVersion = TQ8_DRIVER_VERSION;
    ExReleaseFastMutex(&ext->deviceMutex);
    std::memcpy(r.buffer, &info, sizeof info);
    r.information = sizeof info;
    return STATUS_SUCCESS;
}

NTSTATUS IoctlGetConfigCache(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    // Never more than the caller's size field, the block, or the output holds.
    const uint32_t copied = std::min({U32At(r, 0), static_cast<uint32_t>(sizeof(TQ8_CONFIG_CACHE)), r.outputLength});
    ExAcquireFastMutex(&ext->deviceMutex);
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    std::memcpy(r.buffer, &ext->configCache, copied);
    KeReleaseSpinLock(&ext->spinLock, irql);
    ExReleaseFastMutex(&ext->deviceMutex);
    if (copied >= sizeof(uint32_t))
        PutU32(r, 0, copied);
    r.information = copied;
    return STATUS_SUCCESS;
}

NTSTATUS IoctlRawRegAccess(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_RAW_REG_REQUEST req;
    std::memcpy(&req, r.buffer, sizeof req);
    if (req.window < 0 || req.window >= static_cast<int32_t>(TQ8_MAX_WINDOWS))
        return TQ8_STATUS_NO_WINDOW;
    const TQ8_MEMORY_WINDOW& w = ext->windows[static_cast<size_t>(req.window)];
    if (w.address == nullptr)
        return TQ8_STATUS_NO_WINDOW;
    if (req.index < 0 || static_cast<uint32_t>(req.index) >= w.length / sizeof(uint32_t))
        return STATUS_INVALID_PARAMETER;
    volatile uint32_t* reg = w.address + req.index;
    if (req.read != 0) {
        req.value = READ_REGISTER_ULONG(reg);
    } else {
        WRITE_REGISTER_ULONG(reg, req.value);
        KeMemoryBarrier();
    }
    std::memcpy(r.buffer, &req, sizeof req);
    r.information = sizeof req;
    return STATUS_SUCCESS;
}

NTSTATUS IoctlDelayUs(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL& r)
{
    const uint32_t us = U32At(r, 0);
    if (us <= kLongestStallUs)
        KeStallExecutionProcessor(us);
    else
        KeDelayExecutionThread(int64_t{us} * 10);
    return STATUS_SUCCESS;
}

NTSTATUS IoctlGetDriverStats(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    const bool reset = U32At(r, offsetof(TQ8_DRIVER_STATS, openHandles)) != 0;
    TQ8_DRIVER_STATS out{};
    ExAcquireFastMutex(&ext->deviceMutex);
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    // Each counter is handed out and zeroed in one step, so nothing counted
    // in between is lost.
    TQ8_STATS_COUNTERS& c = ext->stats;
    out.openHandles = c.openHandles.load();
    out.interrupts = Take(c.interrupts, reset);
    out.dmaCompleteInterrupts = Take(c.dmaCompleteInterrupts, reset);
    out.dmaTransfersStarted = Take(c.dmaTransfersStarted, reset);
    out.acquisitionsStarted = Take(c.acquisitionsStarted, reset);
    out.samplesCompleteInterrupts = Take(c.samplesCompleteInterrupts, reset);
    out.clockManagerResets = Take(c.clockManagerResets, reset);
    out.bytesMoved = Take(c.bytesMoved, reset);
    KeReleaseSpinLock(&ext->spinLock, irql);
    ExReleaseFastMutex(&ext->deviceMutex);
    std::memcpy(r.buffer, &out, sizeof out);
    r.information = sizeof out;
    return STATUS_SUCCESS;
}

NTSTATUS IoctlGetDriverState(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    const uint32_t state = ext->operationState;
    KeReleaseSpinLock(&ext->spinLock, irql);
    PutU32(r, 0, state);
    r.information = sizeof state;
    return STATUS_SUCCESS;
}

NTSTATUS IoctlSetDcmResetPending(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    const bool pending = U32At(r, 0) != 0;
    KIRQL irql;
    KeAcquireSpinLock(&ext->spinLock, &irql);
    if (pending)
        ext->deviceFlags |= TQ8_FLAG_DCM_RESET_PENDING;
    else
        ext->deviceFlags &= ~TQ8_FLAG_DCM_RESET_PENDING;
    KeReleaseSpinLock(&ext->spinLock, irql);
    return STATUS_SUCCESS;
}

// DMA buffers mapped into processes, transfers, sample-RAM reads and
// time-stamps: built with the DMA work (issue 36). Until then the requests
// answer STATUS_NOT_IMPLEMENTED, which the dispatch passes down.
#include "TQ8Driver.h"

using namespace kern;

NTSTATUS IoctlAllocDmaBuffer(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlFreeDmaBuffer(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlStartDmaXfer(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlReadSampleRam(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlReadTimestamps(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

void StopDmaEngine(TQ8_DEVICE_EXTENSION* ext)
{
    const TQ8_MEMORY_WINDOW& w = ext->windows[0];
    if (w.address == nullptr || w.length < sizeof(uint32_t))
        return;
    WRITE_REGISTER_ULONG(w.address, 1);
    WRITE_REGISTER_ULONG(w.address, 0);
}

// No buffer is handed out yet.
void FreeDmaBuffersOfOwner(TQ8_DEVICE_EXTENSION*, FileObject*) {}

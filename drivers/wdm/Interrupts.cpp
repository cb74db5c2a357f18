// Interrupt service, its DPC, the time-out, waiting and the abort of an
// operation: built with the DMA work (issue 36). No operation can start
// yet, so there is nothing to end.
#include "TQ8Driver.h"

using namespace kern;

bool InterruptService(KInterrupt*, void*) { return false; }

void InterruptDpc(Dpc*, void*, void*, void*) {}

void TimeoutDpc(Dpc*, void*, void*, void*) {}

NTSTATUS IoctlWaitComplete(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

void AbortActiveOperation(TQ8_DEVICE_EXTENSION* ext, bool, Irp** request)
{
    if (request != nullptr)
        *request = nullptr;
    ext->operationState = TQ8_STATE_IDLE;
}

void ReleaseOperationOf(TQ8_DEVICE_EXTENSION*, FileObject*) {}

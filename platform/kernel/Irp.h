#pragma once
// I/O request packets: stack locations, completion routines, the cancel
// routine, completion, forwarding to a lower device, and the resources that
// a start request carries.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "IoObjects.h"
#include "KernelTypes.h"
#include "Sync.h"

namespace kern {

struct Mdl;

enum class CmResourceType : uint8_t { Interrupt, Memory };

struct CmResourceDescriptor {
    CmResourceType type = CmResourceType::Memory;
    struct {
        uint32_t level = 0;
        uint32_t vector = 0;
        uint64_t affinity = 0;
    } interrupt;
    struct {
        uint64_t start = 0;
        uint32_t length = 0;
    } memory;
};
using CmResourceList = std::vector<CmResourceDescriptor>;

using IoCompletionRoutine = NTSTATUS (*)(DeviceObject* device, Irp* irp, void* context);
using DriverCancel = void (*)(DeviceObject* device, Irp* irp);

enum : uint8_t {
    SL_PENDING_RETURNED = 0x01,
    SL_INVOKE_ON_CANCEL = 0x20,
    SL_INVOKE_ON_SUCCESS = 0x40,
    SL_INVOKE_ON_ERROR = 0x80,
};

struct IoStackLocation {
    uint8_t majorFunction = 0;
    uint8_t minorFunction = 0;
    uint8_t control = 0;
    DeviceObject* deviceObject = nullptr;
    FileObject* fileObject = nullptr;
    struct {
        uint32_t outputBufferLength = 0;
        uint32_t inputBufferLength = 0;
        uint32_t ioControlCode = 0;
    } deviceIoControl;
    struct {
        const CmResourceList* allocatedResources = nullptr;
        const CmResourceList* allocatedResourcesTranslated = nullptr;
    } startDevice;
    struct {
        PowerStateType type = PowerStateType::System;
        uint32_t state = 0;
    } power;
    IoCompletionRoutine completionRoutine = nullptr;
    void* context = nullptr;
};

struct IoStatusBlock {
    NTSTATUS status = STATUS_SUCCESS;
    uint64_t information = 0;
};

// Threads: the one that owns the request, and any that cancels it (cancel and its routine are atomic).
struct Irp {
    IoStatusBlock ioStatus;
    void* systemBuffer = nullptr; // buffered I/O: input in, output out
    Mdl* mdlAddress = nullptr;    // descriptors attached to the request, freed with it
    bool pendingReturned = false;
    std::atomic<bool> cancel{false};
    KIRQL cancelIrql = PASSIVE_LEVEL;
    std::atomic<DriverCancel> cancelRoutine{nullptr};
    void* driverContext[4]{};

    // Kernel's own: the stack (index 0 is the bottom device's location) and
    // what happens once the request has completed all the way up.
    std::vector<IoStackLocation> stack;
    int current = 0;
    bool completed = false;
    std::function<void(Irp*)> finish;
};

IoStackLocation* IoGetCurrentIrpStackLocation(Irp* irp);
IoStackLocation* IoGetNextIrpStackLocation(Irp* irp);
void IoSkipCurrentIrpStackLocation(Irp* irp);
// Copies the current location to the next one, without its completion routine.
void IoCopyCurrentIrpStackLocationToNext(Irp* irp);
void IoSetCompletionRoutine(Irp* irp, IoCompletionRoutine routine, void* context, bool onSuccess, bool onError,
                            bool onCancel);
void IoMarkIrpPending(Irp* irp);
// Returns the previous routine; atomic, so completion and cancel never both
// take the request.
DriverCancel IoSetCancelRoutine(Irp* irp, DriverCancel routine);

NTSTATUS IoCallDriver(DeviceObject* device, Irp* irp);
void IoCompleteRequest(Irp* irp, int8_t priorityBoost);
// Sets the cancel flag and runs the cancel routine, if one is set, with the
// cancel spin lock held (the routine releases it). True when a routine ran.
bool IoCancelIrp(Irp* irp);
void IoAcquireCancelSpinLock(KIRQL* irql);
void IoReleaseCancelSpinLock(KIRQL irql);

void PoStartNextPowerIrp(Irp* irp);
NTSTATUS PoCallDriver(DeviceObject* device, Irp* irp);

// Issuer's side (I/O manager, PnP and power manager): a request with a
// location for every device of the stack; IoFreeIrp after completion.
Irp* IoAllocateIrp(int stackSize);
void IoFreeIrp(Irp* irp);
// Sends the request to the top of device's stack and waits for its
// completion; returns the final status. The request must have its next
// location filled.
NTSTATUS SimCallAndWait(DeviceObject* top, Irp* irp);

} // namespace kern

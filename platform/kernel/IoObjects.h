#pragma once
// Driver, device and file objects, the object names, symbolic links and
// device interfaces of the kernel stand-in.
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "Clock.h"
#include "KernelTypes.h"

namespace kern {

struct DriverObject;
struct DeviceObject;
struct Irp;
class CUserProcess;

using DriverDispatch = NTSTATUS (*)(DeviceObject* device, Irp* irp);
using DriverAddDevice = NTSTATUS (*)(DriverObject* driver, DeviceObject* physicalDevice);
using DriverUnloadRoutine = void (*)(DriverObject* driver);
using DriverInitialize = NTSTATUS (*)(DriverObject* driver, const KernelString& registryPath);

// One message of a driver's message table (what its event-log entries show).
struct MessageTableEntry {
    uint32_t id;
    uint16_t language;
    const char16_t* text;
};

struct DriverObject {
    KernelString name; // "\Driver\..."
    DeviceObject* deviceObject = nullptr; // the driver's devices, newest first
    DriverDispatch majorFunction[IRP_MJ_COUNT]{};
    DriverAddDevice addDevice = nullptr;
    DriverUnloadRoutine driverUnload = nullptr;
    std::span<const MessageTableEntry> messages;
};

enum : uint32_t {
    DO_BUFFERED_IO = 0x4,
    DO_DIRECT_IO = 0x10,
    DO_DEVICE_INITIALIZING = 0x80,
};

// Threads: any that opens, closes or deletes the device (references and deleted are atomic).
struct DeviceObject {
    DriverObject* driverObject = nullptr;
    DeviceObject* nextDevice = nullptr;     // in the driver's list
    DeviceObject* attachedDevice = nullptr; // the device above this one
    void* deviceExtension = nullptr;
    uint32_t deviceType = 0;
    uint32_t characteristics = 0;
    uint32_t flags = 0;
    int stackSize = 1;
    Dpc dpc; // the device's DPC for its interrupt

    // Kernel's own.
    KernelString name;
    DeviceObject* attachedTo = nullptr; // the device below
    std::atomic<int> references{0};     // open file objects
    int openFiles = 0;                  // on the bottom device of a stack
    std::atomic<bool> deleted{false};
    bool physical = false;              // created by a bus for a card
    bool dmaCapable = false;
    uint64_t busSlot = 0;
    std::function<void()> onLastClose;  // run once when openFiles drops to 0
};

struct FileObject {
    DeviceObject* deviceObject = nullptr; // the device the name led to
    void* fsContext = nullptr;
    CUserProcess* process = nullptr;
};

// Zero-filled extension of extensionSize bytes; the device is in the
// driver's list with DO_DEVICE_INITIALIZING set.
NTSTATUS IoCreateDevice(DriverObject* driver, uint32_t extensionSize, const KernelString* name, uint32_t deviceType,
                        uint32_t characteristics, bool exclusive, DeviceObject** device);
// The device leaves its driver's list and its name; its memory goes when the
// last file object that refers to it is closed.
void IoDeleteDevice(DeviceObject* device);
// Attaches source on top of target's stack; returns the device attached to,
// or nullptr.
DeviceObject* IoAttachDeviceToDeviceStack(DeviceObject* source, DeviceObject* target);
void IoDetachDevice(DeviceObject* lower);
// The top of the stack the device is part of.
DeviceObject* IoGetAttachedDevice(DeviceObject* device);
DeviceObject* SimBottomOfStack(DeviceObject* device);

NTSTATUS IoCreateSymbolicLink(const KernelString* link, const KernelString* target);
NTSTATUS IoDeleteSymbolicLink(const KernelString* link);
// The named device a link or device name leads to, with a reference taken
// (SimReleaseDevice gives it back), or nullptr. "\\.\X" and "\\?\X" are
// read as "\??\X".
DeviceObject* SimReferenceDevice(const KernelString& name);
void SimReferenceDevice(DeviceObject* device);

// The interface's link name is kept in *linkName.
NTSTATUS IoRegisterDeviceInterface(DeviceObject* physicalDevice, const Guid* guid, const KernelString* reference,
                                   KernelString* linkName);
NTSTATUS IoSetDeviceInterfaceState(const KernelString* linkName, bool enable);
// Link names of the enabled interfaces of a class, in registration order.
std::vector<KernelString> IoGetDeviceInterfaces(const Guid& guid);

void RtlIntegerToUnicodeString(uint32_t value, uint32_t base, KernelString* text);
void RtlFreeUnicodeString(KernelString* text);

void IoInitializeDpcRequest(DeviceObject* device, DeferredRoutine routine);

// Stand-in: creates and deletes driver objects (the loader's part).
DriverObject* SimCreateDriverObject(const KernelString& name);
// The driver's devices must be gone.
void SimDeleteDriverObject(DriverObject* driver);
// Drops a reference taken by a file object; frees a deleted device at the last.
void SimReleaseDevice(DeviceObject* device);
// Open handles on a stack, counted on its bottom device.
void SimNoteOpen(DeviceObject* bottom);
// Runs the device's last-close hook (once) when no handle is left.
void SimNoteClose(DeviceObject* bottom);
int SimOpenHandles(DeviceObject* bottom);
// Runs `hook` when the last handle closes, or at once when none is open;
// nullptr removes a hook.
void SimOnLastClose(DeviceObject* bottom, std::function<void()> hook);

} // namespace kern

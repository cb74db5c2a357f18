#include <new>

#include "TQ8Driver.h"

using namespace kern;

namespace {

constexpr MessageTableEntry kMessages[] = {
    {0x60070001, 1033, u"%1 : %2\r\n"},
    {0x60070002, 1033, u"%1 : %2\r\n"},
    {0x60070003, 1033, u"%1 : %2\r\n"},
};

constexpr uint32_t kMaxOrdinals = 256;

KernelString Decimal(uint32_t value)
{
    KernelString text;
    RtlIntegerToUnicodeString(value, 10, &text);
    return text;
}

// The lowest ordinal no device of the driver uses, so that a card added
// after a removal never takes a name or link still in use; kMaxOrdinals
// when all are taken.
uint32_t LowestFreeOrdinal(DriverObject* driver)
{
    bool used[kMaxOrdinals] = {};
    for (DeviceObject* d = driver->deviceObject; d != nullptr; d = d->nextDevice)
        used[Extension(d)->ordinal % kMaxOrdinals] = true;
    uint32_t n = 0;
    while (n < kMaxOrdinals && used[n])
        ++n;
    return n;
}

void InitializeExtension(DeviceObject* device, DeviceObject* physicalDevice, uint32_t ordinal)
{
    auto* ext = new (device->deviceExtension) TQ8_DEVICE_EXTENSION();
    IoInitializeRemoveLockEx(&ext->removeLock, TQ8_POOL_TAG, 0, 0x7FFFFFFF);
    InitializeListHead(&ext->dmaBuffers);
    ExInitializeFastMutex(&ext->deviceMutex);
    KeInitializeSpinLock(&ext->spinLock);
    KeInitializeDpc(&ext->timeoutDpc, TimeoutDpc, device);
    KeInitializeTimer(&ext->timeoutTimer);
    KeInitializeEvent(&ext->requestsLeft, EventType::Notification, false);
    ext->physicalDevice = physicalDevice;
    ext->self = device;
    ext->deviceFlags = TQ8_FLAG_DCM_RESET_PENDING;
    ext->pnpState = TQ8_PNP_NOT_STARTED;
    ext->ordinal = ordinal;
}

} // namespace

extern "C" const MessageTableEntry* DriverMessageTable(size_t* count)
{
    *count = std::size(kMessages);
    return kMessages;
}

extern "C" NTSTATUS DriverEntry(DriverObject* driver, const KernelString&)
{
    LogEvent(driver, u"TQ8 driver loaded");
    driver->majorFunction[IRP_MJ_CREATE] = DispatchDeviceIo;
    driver->majorFunction[IRP_MJ_CLOSE] = DispatchDeviceIo;
    driver->majorFunction[IRP_MJ_CLEANUP] = DispatchDeviceIo;
    driver->majorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchDeviceIo;
    driver->majorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->majorFunction[IRP_MJ_SYSTEM_CONTROL] = DispatchSystemControl;
    driver->majorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->addDevice = AddDevice;
    driver->driverUnload = DriverUnload;
    return STATUS_SUCCESS;
}

void DriverUnload(DriverObject* driver) { LogEvent(driver, u"TQ8 driver unloading"); }

KernelString BuildSymbolicLinkName(uint32_t ordinal) { return u"\\??\\TQ8_" + Decimal(ordinal); }

NTSTATUS AddDevice(DriverObject* driver, DeviceObject* physicalDevice)
{
    const uint32_t ordinal = LowestFreeOrdinal(driver);
    if (ordinal == kMaxOrdinals) {
        LogEvent(driver, u"Failed to create IO device object");
        return STATUS_OBJECT_NAME_COLLISION;
    }
    const KernelString name = u"\\Device\\TQ8" + Decimal(ordinal);
    DeviceObject* device = nullptr;
    NTSTATUS status = IoCreateDevice(driver, sizeof(TQ8_DEVICE_EXTENSION), &name, TQ8_DEVICE_TYPE, 0, false, &device);
    if (!NT_SUCCESS(status)) {
        LogEvent(driver, u"Failed to create IO device object");
        return status;
    }
    device->flags |= DO_DIRECT_IO;
    InitializeExtension(device, physicalDevice, ordinal);
    TQ8_DEVICE_EXTENSION* ext = Extension(device);

    const KernelString link = BuildSymbolicLinkName(ordinal);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        LogEventFormat(ext, u"Failed to create symbolic link: 0x%08X", static_cast<uint32_t>(status));
        IoDeleteDevice(device);
        return status;
    }
    ext->lowerDevice = IoAttachDeviceToDeviceStack(device, physicalDevice);
    bool failed = ext->lowerDevice == nullptr;
    if (failed) {
        LogEvent(device, u"Failed to attach to device stack");
    } else {
        status = IoRegisterDeviceInterface(physicalDevice, &GUID_DEVINTERFACE_TQ8, nullptr, &ext->interfaceName);
        if (!NT_SUCCESS(status)) {
            LogEventFormat(ext, u"Failed to register device interface: 0x%08X", static_cast<uint32_t>(status));
            IoDetachDevice(ext->lowerDevice);
            ext->lowerDevice = nullptr;
            failed = true;
        }
    }
    if (failed) {
        IoDeleteSymbolicLink(&link);
        RtlFreeUnicodeString(&ext->interfaceName);
        IoDeleteDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }
    IoInitializeDpcRequest(device, InterruptDpc);
    device->flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

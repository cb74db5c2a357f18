#include "IoObjects.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "KernelCheck.h"
#include "Pool.h"

namespace kern {

namespace {

struct InterfaceEntry {
    KernelString link;
    Guid guid;
    DeviceObject* device;
    bool enabled;
};

struct ObjectTable {
    std::recursive_mutex mutex;
    std::map<KernelString, DeviceObject*> devices;
    std::map<KernelString, KernelString> links;
    std::vector<InterfaceEntry> interfaces;
};

ObjectTable& Objects()
{
    static ObjectTable table;
    return table;
}

constexpr std::align_val_t kExtensionAlignment{16};

void FreeDevice(DeviceObject* device)
{
    if (device->deviceExtension != nullptr)
        ::operator delete(device->deviceExtension, kExtensionAlignment);
    delete device;
}

KernelString Normalize(const KernelString& name)
{
    if (name.size() >= 4 && name[0] == u'\\' && name[1] == u'\\' && (name[2] == u'.' || name[2] == u'?')
        && name[3] == u'\\')
        return u"\\??\\" + name.substr(4);
    return name;
}

} // namespace

NTSTATUS IoCreateDevice(DriverObject* driver, uint32_t extensionSize, const KernelString* name, uint32_t deviceType,
                        uint32_t characteristics, bool, DeviceObject** device)
{
    *device = nullptr;
    if (SimShouldFail(SimFault::CreateDevice))
        return STATUS_INSUFFICIENT_RESOURCES;
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    if (name != nullptr && (t.devices.count(*name) != 0 || t.links.count(*name) != 0))
        return STATUS_OBJECT_NAME_COLLISION;
    auto* d = new DeviceObject;
    if (extensionSize != 0) {
        d->deviceExtension = ::operator new(extensionSize, kExtensionAlignment);
        std::memset(d->deviceExtension, 0, extensionSize);
    }
    d->driverObject = driver;
    d->deviceType = deviceType;
    d->characteristics = characteristics;
    d->flags = DO_DEVICE_INITIALIZING;
    if (name != nullptr) {
        d->name = *name;
        t.devices[*name] = d;
    }
    d->nextDevice = driver->deviceObject;
    driver->deviceObject = d;
    *device = d;
    return STATUS_SUCCESS;
}

void IoDeleteDevice(DeviceObject* device)
{
    ObjectTable& t = Objects();
    {
        std::lock_guard lock(t.mutex);
        KernelCheck(device->attachedTo == nullptr, "device deleted while still attached");
        KernelCheck(!device->dpc.queued, "device deleted with its DPC queued");
        if (!device->name.empty())
            t.devices.erase(device->name);
        for (const InterfaceEntry& e : t.interfaces)
            if (e.device == device)
                t.links.erase(e.link);
        std::erase_if(t.interfaces, [&](const InterfaceEntry& e) { return e.device == device; });
        DeviceObject** link = &device->driverObject->deviceObject;
        while (*link != nullptr && *link != device)
            link = &(*link)->nextDevice;
        if (*link == device)
            *link = device->nextDevice;
        device->nextDevice = nullptr;
        device->deleted = true;
        if (device->references.load() != 0)
            return;
    }
    FreeDevice(device);
}

void SimReferenceDevice(DeviceObject* device) { device->references.fetch_add(1); }

void SimReleaseDevice(DeviceObject* device)
{
    ObjectTable& t = Objects();
    {
        std::lock_guard lock(t.mutex);
        if (device->references.fetch_sub(1) != 1 || !device->deleted)
            return;
    }
    FreeDevice(device);
}

void SimNoteOpen(DeviceObject* bottom)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    ++bottom->openFiles;
}

void SimNoteClose(DeviceObject* bottom)
{
    std::function<void()> hook;
    {
        ObjectTable& t = Objects();
        std::lock_guard lock(t.mutex);
        if (--bottom->openFiles == 0)
            hook.swap(bottom->onLastClose);
    }
    if (hook)
        hook();
}

int SimOpenHandles(DeviceObject* bottom)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    return bottom->openFiles;
}

void SimOnLastClose(DeviceObject* bottom, std::function<void()> hook)
{
    {
        ObjectTable& t = Objects();
        std::lock_guard lock(t.mutex);
        if (bottom->openFiles != 0 || !hook) {
            bottom->onLastClose = std::move(hook);
            return;
        }
        bottom->onLastClose = nullptr;
    }
    hook();
}

DeviceObject* IoAttachDeviceToDeviceStack(DeviceObject* source, DeviceObject* target)
{
    if (SimShouldFail(SimFault::AttachDevice))
        return nullptr;
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    DeviceObject* top = IoGetAttachedDevice(target);
    top->attachedDevice = source;
    source->attachedTo = top;
    source->stackSize = top->stackSize + 1;
    return top;
}

void IoDetachDevice(DeviceObject* lower)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    if (lower->attachedDevice != nullptr)
        lower->attachedDevice->attachedTo = nullptr;
    lower->attachedDevice = nullptr;
}

DeviceObject* IoGetAttachedDevice(DeviceObject* device)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    while (device->attachedDevice != nullptr)
        device = device->attachedDevice;
    return device;
}

DeviceObject* SimBottomOfStack(DeviceObject* device)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    while (device->attachedTo != nullptr)
        device = device->attachedTo;
    return device;
}

NTSTATUS IoCreateSymbolicLink(const KernelString* link, const KernelString* target)
{
    if (SimShouldFail(SimFault::CreateSymbolicLink))
        return STATUS_INSUFFICIENT_RESOURCES;
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    if (t.links.count(*link) != 0 || t.devices.count(*link) != 0)
        return STATUS_OBJECT_NAME_COLLISION;
    t.links[*link] = *target;
    return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(const KernelString* link)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    return t.links.erase(*link) != 0 ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
}

DeviceObject* SimReferenceDevice(const KernelString& name)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    KernelString n = Normalize(name);
    for (int depth = 0; depth < 8; ++depth) {
        auto d = t.devices.find(n);
        if (d != t.devices.end()) {
            d->second->references.fetch_add(1);
            return d->second;
        }
        auto l = t.links.find(n);
        if (l == t.links.end())
            return nullptr;
        n = l->second;
    }
    return nullptr;
}

NTSTATUS IoRegisterDeviceInterface(DeviceObject* physicalDevice, const Guid* guid, const KernelString* reference,
                                   KernelString* linkName)
{
    if (physicalDevice == nullptr || !physicalDevice->physical || guid == nullptr || linkName == nullptr)
        return STATUS_INVALID_DEVICE_REQUEST;
    if (SimShouldFail(SimFault::RegisterInterface))
        return STATUS_INSUFFICIENT_RESOURCES;
    KernelString slot;
    RtlIntegerToUnicodeString(static_cast<uint32_t>(physicalDevice->busSlot), 10, &slot);
    KernelString link = u"\\??\\SIMPCI#TQ3300#" + slot + u"#" + GuidText(*guid);
    if (reference != nullptr && !reference->empty())
        link += u"\\" + *reference;
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    auto known = std::find_if(t.interfaces.begin(), t.interfaces.end(),
                              [&](const InterfaceEntry& e) { return e.link == link; });
    if (known == t.interfaces.end()) {
        t.interfaces.push_back({link, *guid, physicalDevice, false});
        t.links[link] = physicalDevice->name;
    }
    *linkName = link;
    return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(const KernelString* linkName, bool enable)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    for (InterfaceEntry& e : t.interfaces)
        if (e.link == *linkName) {
            e.enabled = enable;
            return STATUS_SUCCESS;
        }
    return STATUS_OBJECT_NAME_NOT_FOUND;
}

std::vector<KernelString> IoGetDeviceInterfaces(const Guid& guid)
{
    ObjectTable& t = Objects();
    std::lock_guard lock(t.mutex);
    std::vector<KernelString> links;
    for (const InterfaceEntry& e : t.interfaces)
        if (e.enabled && e.guid == guid)
            links.push_back(e.link);
    return links;
}

void RtlIntegerToUnicodeString(uint32_t value, uint32_t base, KernelString* text)
{
    if (base < 2 || base > 16)
        base = 10;
    KernelString digits;
    do {
        digits.insert(digits.begin(), u"0123456789ABCDEF"[value % base]);
        value /= base;
    } while (value != 0);
    *text = digits;
}

void RtlFreeUnicodeString(KernelString* text)
{
    text->clear();
    text->shrink_to_fit();
}

void IoInitializeDpcRequest(DeviceObject* device, DeferredRoutine routine)
{
    KeInitializeDpc(&device->dpc, routine, device);
}

DriverObject* SimCreateDriverObject(const KernelString& name)
{
    auto* d = new DriverObject;
    d->name = name;
    return d;
}

void SimDeleteDriverObject(DriverObject* driver)
{
    KernelCheck(driver->deviceObject == nullptr, "driver object deleted with devices left");
    delete driver;
}

} // namespace kern

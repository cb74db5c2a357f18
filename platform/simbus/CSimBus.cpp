#include "CSimBus.h"

#include <dlfcn.h>

#include "Hal.h"
#include "KernelCheck.h"

namespace kern {

namespace {

constexpr uint64_t kWindowBase = 0x100000000ull; // above the common buffers
constexpr uint64_t kSlotSpan = 0x1000000;        // 16 MiB per card
constexpr uint64_t kWindowSpan = 0x100000;       // 1 MiB per window
constexpr uint32_t kFirstVector = 0x30;
constexpr uint32_t kBusDeviceType = 0x1B;

class CBusWindow : public IIoWindow {
public:
    explicit CBusWindow(tq8::CRegisterWindow& window) : m_window(window) {}
    uint32_t Read32(uint32_t byteOffset) override { return m_window.Read(byteOffset); }
    void Write32(uint32_t byteOffset, uint32_t value) override { m_window.Write(byteOffset, value); }

private:
    tq8::CRegisterWindow& m_window;
};

class CBusInterrupt : public IInterruptSource {
public:
    explicit CBusInterrupt(tq8::CInterruptLine& line) : m_line(line) {}
    void Connect(std::function<bool()> service) override { m_line.Connect(std::move(service)); }
    void Disconnect() override { m_line.Disconnect(); }

private:
    tq8::CInterruptLine& m_line;
};

} // namespace

struct CSimBus::Slot {
    size_t index = 0;
    bool plugged = false;
    std::shared_ptr<tq8::CSimCard> card;
    DeviceObject* pdo = nullptr;
    CmResourceList raw;
    CmResourceList translated;
    std::vector<std::unique_ptr<CBusWindow>> windows;
    std::vector<uint64_t> windowAddresses;
    std::unique_ptr<CBusInterrupt> interrupt;
    uint32_t vector = 0;
    mutable std::mutex requestMutex;
    std::vector<BusRequest> requests;
};

struct PdoExtension {
    void* slot;
};

CSimBus::CSimBus(const DriverImage& image)
{
    m_busDriver = SimCreateDriverObject(u"\\Driver\\SimPci");
    for (DriverDispatch& d : m_busDriver->majorFunction)
        d = BusDispatch;
    m_driver = SimCreateDriverObject(u"\\Driver\\" + image.name);
    m_driver->messages = image.messages;
    m_entryStatus = image.entry != nullptr
                        ? image.entry(m_driver, u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + image.name)
                        : STATUS_UNSUCCESSFUL;
}

std::unique_ptr<CSimBus> CSimBus::Load(const std::string& path, std::string* error)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        *error = dlerror();
        return nullptr;
    }
    using TableFn = const MessageTableEntry* (*)(size_t*);
    auto entry = reinterpret_cast<DriverInitialize>(dlsym(library, "DriverEntry"));
    auto table = reinterpret_cast<TableFn>(dlsym(library, "DriverMessageTable"));
    if (entry == nullptr) {
        *error = "no DriverEntry in " + path;
        dlclose(library);
        return nullptr;
    }
    DriverImage image;
    std::string stem = path.substr(path.find_last_of('/') + 1);
    if (stem.rfind("lib", 0) == 0)
        stem.erase(0, 3);
    stem = stem.substr(0, stem.find('.'));
    image.name.assign(stem.begin(), stem.end());
    image.entry = entry;
    if (table != nullptr) {
        size_t count = 0;
        const MessageTableEntry* first = table(&count);
        image.messages = {first, count};
    }
    auto bus = std::make_unique<CSimBus>(image);
    bus->m_library = library;
    return bus;
}

CSimBus::~CSimBus()
{
    {
        std::lock_guard lock(m_mutex);
        for (auto& s : m_slots) {
            if (!s->plugged)
                continue;
            if (FunctionDevice(s->index) != nullptr)
                Send(*s, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE, PowerStateType::System, 0);
            Unplug(*s);
        }
    }
    if (m_driver->driverUnload != nullptr)
        m_driver->driverUnload(m_driver);
    SimDeleteDriverObject(m_driver);
    SimDeleteDriverObject(m_busDriver);
    if (m_library != nullptr)
        dlclose(m_library);
}

CSimBus::Slot& CSimBus::At(size_t slot) const
{
    std::lock_guard lock(m_mutex);
    if (slot >= m_slots.size() || !m_slots[slot]->plugged)
        KeBugCheck("bus: no card in that slot");
    return *m_slots[slot];
}

size_t CSimBus::Plug(const CardSpec& wanted)
{
    std::lock_guard lock(m_mutex);
    auto s = std::make_unique<Slot>();
    s->index = m_slots.size();
    s->card = std::make_shared<tq8::CSimCard>(wanted.desc, wanted.windowLengths);
    s->card->SetTimeSource([] { return KeQueryInterruptTime(); });
    s->card->SetBusAccess([](uint64_t address, size_t bytes) { return SimPhysicalAccess(address, bytes); });
    KernelString number;
    RtlIntegerToUnicodeString(static_cast<uint32_t>(s->index), 10, &number);
    KernelString name = u"\\Device\\SimPci" + number;
    if (!NT_SUCCESS(IoCreateDevice(m_busDriver, sizeof(PdoExtension), &name, kBusDeviceType, 0, false, &s->pdo)))
        KeBugCheck("bus: no physical device object for a card");
    static_cast<PdoExtension*>(s->pdo->deviceExtension)->slot = s.get();
    s->pdo->physical = true;
    s->pdo->dmaCapable = wanted.busMaster;
    s->pdo->busSlot = s->index;
    s->pdo->flags &= ~DO_DEVICE_INITIALIZING;
    if (wanted.interrupt) {
        s->vector = kFirstVector + static_cast<uint32_t>(s->index);
        s->interrupt = std::make_unique<CBusInterrupt>(s->card->Interrupt());
        SimAttachInterrupt(s->vector, s->interrupt.get());
        CmResourceDescriptor irq;
        irq.type = CmResourceType::Interrupt;
        irq.interrupt = {s->vector, s->vector, 1};
        s->translated.push_back(irq);
    }
    for (size_t w = 0; w < s->card->WindowCount(); ++w) {
        const uint64_t physical = kWindowBase + s->index * kSlotSpan + w * kWindowSpan;
        s->windows.push_back(std::make_unique<CBusWindow>(s->card->Window(w)));
        s->windowAddresses.push_back(physical);
        SimAttachIoRange(physical, s->card->Window(w).Length(), s->windows.back().get());
        CmResourceDescriptor memory;
        memory.type = CmResourceType::Memory;
        memory.memory = {physical, s->card->Window(w).Length()};
        s->translated.push_back(memory);
    }
    s->raw = s->translated;
    s->plugged = true;
    m_slots.push_back(std::move(s));
    return m_slots.size() - 1;
}

NTSTATUS CSimBus::AddDevice(size_t slot)
{
    std::lock_guard lock(m_mutex);
    Slot& s = At(slot);
    if (m_driver->addDevice == nullptr)
        return STATUS_NOT_SUPPORTED;
    return m_driver->addDevice(m_driver, s.pdo);
}

NTSTATUS CSimBus::Start(size_t slot) { return SendPnp(slot, IRP_MN_START_DEVICE); }

NTSTATUS CSimBus::Arrive(const CardSpec& wanted, size_t* slot)
{
    std::lock_guard lock(m_mutex);
    *slot = Plug(wanted);
    NTSTATUS status = AddDevice(*slot);
    return NT_SUCCESS(status) ? Start(*slot) : status;
}

NTSTATUS CSimBus::Stop(size_t slot)
{
    std::lock_guard lock(m_mutex);
    NTSTATUS status = SendPnp(slot, IRP_MN_QUERY_STOP_DEVICE);
    if (!NT_SUCCESS(status)) {
        SendPnp(slot, IRP_MN_CANCEL_STOP_DEVICE);
        return status;
    }
    return SendPnp(slot, IRP_MN_STOP_DEVICE);
}

NTSTATUS CSimBus::Remove(size_t slot)
{
    std::lock_guard lock(m_mutex);
    Slot& s = At(slot);
    if (SimOpenHandles(s.pdo) != 0)
        return STATUS_DEVICE_BUSY;
    NTSTATUS status = SendPnp(slot, IRP_MN_QUERY_REMOVE_DEVICE);
    if (!NT_SUCCESS(status)) {
        SendPnp(slot, IRP_MN_CANCEL_REMOVE_DEVICE);
        return status;
    }
    status = SendPnp(slot, IRP_MN_REMOVE_DEVICE);
    Unplug(s);
    return status;
}

NTSTATUS CSimBus::SurpriseRemove(size_t slot)
{
    std::lock_guard lock(m_mutex);
    Slot& s = At(slot);
    NTSTATUS status = SendPnp(slot, IRP_MN_SURPRISE_REMOVAL);
    SimOnLastClose(s.pdo, [this, slot] { FinishRemoval(slot); });
    return status;
}

void CSimBus::FinishRemoval(size_t slot)
{
    std::lock_guard lock(m_mutex);
    Slot& s = *m_slots[slot];
    if (!s.plugged)
        return;
    if (FunctionDevice(slot) != nullptr)
        SendPnp(slot, IRP_MN_REMOVE_DEVICE);
    Unplug(s);
}

void CSimBus::Unplug(Slot& s)
{
    SimOnLastClose(s.pdo, nullptr);
    for (uint64_t physical : s.windowAddresses)
        SimDetachIoRange(physical);
    if (s.interrupt)
        SimDetachInterrupt(s.vector);
    KernelCheck(s.pdo->attachedDevice == nullptr, "bus: card unplugged with a device still attached");
    IoDeleteDevice(s.pdo);
    s.pdo = nullptr;
    s.plugged = false;
    s.interrupt.reset();
    s.windows.clear();
    s.card.reset();
}

NTSTATUS CSimBus::SendPnp(size_t slot, uint8_t minor)
{
    std::lock_guard lock(m_mutex);
    return Send(At(slot), IRP_MJ_PNP, minor, PowerStateType::System, 0);
}

NTSTATUS CSimBus::SendPower(size_t slot, uint8_t minor, PowerStateType type, uint32_t state)
{
    std::lock_guard lock(m_mutex);
    return Send(At(slot), IRP_MJ_POWER, minor, type, state);
}

NTSTATUS CSimBus::Send(Slot& s, uint8_t major, uint8_t minor, PowerStateType type, uint32_t state)
{
    DeviceObject* top = IoGetAttachedDevice(s.pdo);
    Irp* irp = IoAllocateIrp(top->stackSize);
    irp->ioStatus.status = STATUS_NOT_SUPPORTED;
    IoStackLocation* next = IoGetNextIrpStackLocation(irp);
    next->majorFunction = major;
    next->minorFunction = minor;
    next->power = {type, state};
    if (major == IRP_MJ_PNP && minor == IRP_MN_START_DEVICE)
        next->startDevice = {&s.raw, &s.translated};
    NTSTATUS status = SimCallAndWait(top, irp);
    IoFreeIrp(irp);
    return status;
}

bool CSimBus::IsPlugged(size_t slot) const
{
    std::lock_guard lock(m_mutex);
    return slot < m_slots.size() && m_slots[slot]->plugged;
}

tq8::CSimCard& CSimBus::Card(size_t slot) { return *At(slot).card; }

std::shared_ptr<tq8::CSimCard> CSimBus::SharedCard(size_t slot) const
{
    std::lock_guard lock(m_mutex);
    return slot < m_slots.size() && m_slots[slot]->plugged ? m_slots[slot]->card : nullptr;
}

DeviceObject* CSimBus::PhysicalDevice(size_t slot) const { return At(slot).pdo; }

DeviceObject* CSimBus::FunctionDevice(size_t slot) const
{
    DeviceObject* pdo = At(slot).pdo;
    DeviceObject* top = IoGetAttachedDevice(pdo);
    return top == pdo ? nullptr : top;
}

std::vector<BusRequest> CSimBus::Requests(size_t slot) const
{
    std::lock_guard lock(m_mutex);
    if (slot >= m_slots.size())
        return {};
    const Slot& s = *m_slots[slot];
    std::lock_guard requestLock(s.requestMutex);
    return s.requests;
}

NTSTATUS CSimBus::BusDispatch(DeviceObject* device, Irp* irp)
{
    Slot& s = *static_cast<Slot*>(static_cast<PdoExtension*>(device->deviceExtension)->slot);
    IoStackLocation* loc = IoGetCurrentIrpStackLocation(irp);
    {
        // Every close of a handle reaches the bus: only the last ones are kept.
        std::lock_guard lock(s.requestMutex);
        if (s.requests.size() >= kRecordedRequests)
            s.requests.erase(s.requests.begin());
        s.requests.push_back({loc->majorFunction, loc->minorFunction, loc->deviceIoControl.ioControlCode});
    }
    NTSTATUS status = irp->ioStatus.status;
    switch (loc->majorFunction) {
    case IRP_MJ_PNP:
        if (loc->minorFunction != IRP_MN_QUERY_CAPABILITIES)
            status = STATUS_SUCCESS;
        break;
    case IRP_MJ_POWER:
        PoStartNextPowerIrp(irp);
        status = STATUS_SUCCESS;
        break;
    case IRP_MJ_CREATE:
    case IRP_MJ_CLOSE:
    case IRP_MJ_CLEANUP:
        status = STATUS_SUCCESS;
        break;
    default:
        status = STATUS_INVALID_DEVICE_REQUEST;
        break;
    }
    irp->ioStatus.status = status;
    IoCompleteRequest(irp, 0);
    return status;
}

} // namespace kern

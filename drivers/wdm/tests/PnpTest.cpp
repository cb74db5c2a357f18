#include <atomic>
#include <thread>

#include "DriverFixture.h"

using namespace kern;

namespace {

uint32_t U32(const std::vector<uint8_t>& bytes, size_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

} // namespace

TEST_F(DriverTest, CardsGetOrdinalsNamesLinksAndInterfaces)
{
    EXPECT_TRUE(Logged("\\Driver\\vlt_tq8_64 : TQ8 driver loaded"));
    size_t a = Arrive(Card(11));
    size_t b = Arrive(Card(12));
    EXPECT_EQ(m_bus->FunctionDevice(a)->name, u"\\Device\\TQ80");
    EXPECT_EQ(m_bus->FunctionDevice(b)->name, u"\\Device\\TQ81");
    EXPECT_EQ(Ext(b)->ordinal, 1u);
    // The board initialisation's clock-manager reset took the pending one.
    EXPECT_EQ(Ext(a)->deviceFlags, TQ8_FLAG_STARTED | TQ8_FLAG_INTERFACE_ENABLED);
    EXPECT_TRUE(Logged("\\Device\\TQ80 : Starting device"));

    std::vector<KernelString> interfaces = IoGetDeviceInterfaces(GUID_DEVINTERFACE_TQ8);
    ASSERT_EQ(interfaces.size(), 2u);
    EXPECT_NE(interfaces[0].find(u"{85EBEEDE-159B-40BF-9F99-83DE839ACA61}"), KernelString::npos);
    Handle byLink = Open(u"\\\\.\\TQ8_1");
    Handle byInterface = Open(interfaces[0]);
    TQ8_DRIVER_INFO info{};
    EXPECT_EQ(Ioctl(byLink, IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, &info, sizeof info), STATUS_SUCCESS);
    EXPECT_EQ(info.ordinal, 1u);
    EXPECT_EQ(Ioctl(byInterface, IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, &info, sizeof info), STATUS_SUCCESS);
    EXPECT_EQ(info.ordinal, 0u);
}

TEST_F(DriverTest, ACardAddedAfterARemovalTakesTheFreeOrdinal)
{
    Arrive(Card(1));
    size_t middle = Arrive(Card(2));
    Arrive(Card(3));
    ASSERT_EQ(m_bus->Remove(middle), STATUS_SUCCESS);
    EXPECT_EQ(IoGetDeviceInterfaces(GUID_DEVINTERFACE_TQ8).size(), 2u);
    Open(u"\\\\.\\TQ8_1", STATUS_OBJECT_NAME_NOT_FOUND);

    size_t added = Arrive(Card(4));
    EXPECT_EQ(Ext(added)->ordinal, 1u);
    Handle h = Open(u"\\\\.\\TQ8_1");
    TQ8_DRIVER_INFO info{};
    EXPECT_EQ(Ioctl(h, IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, &info, sizeof info), STATUS_SUCCESS);
    EXPECT_EQ(info.ordinal, 1u);
    EXPECT_EQ(IoGetDeviceInterfaces(GUID_DEVINTERFACE_TQ8).size(), 3u);
}

TEST_F(DriverTest, FiveMemoryResourcesMapFourAndCountFive)
{
    CardSpec spec = Card();
    spec.windowLengths = {0x1000, 0x1000, 0x1000, 0x800, 0x1000};
    size_t slot = Arrive(spec);
    TQ8_DEVICE_EXTENSION* ext = Ext(slot);
    EXPECT_EQ(ext->memoryResourceCount, 5u);
    for (const TQ8_MEMORY_WINDOW& w : ext->windows)
        EXPECT_NE(w.address, nullptr);
    EXPECT_EQ(ext->windows[3].length, 0x800u);
    EXPECT_NE(ext->interrupt, nullptr);
    EXPECT_NE(ext->utilityBuffer, nullptr);
    EXPECT_TRUE(m_bus->Card(slot).Interrupt().IsConnected());
}

TEST_F(DriverTest, AStartWithoutAReadableEepromSucceedsWithTheFailurePattern)
{
    // The check's write never finishes.
    const size_t slot = m_bus->Plug(Card(777));
    m_bus->Card(slot).Eeprom().SetWriteNeverReady(true);
    ASSERT_EQ(m_bus->AddDevice(slot), STATUS_SUCCESS);
    ASSERT_EQ(m_bus->Start(slot), STATUS_SUCCESS);
    EXPECT_TRUE(Logged("\\Device\\TQ80 : WARNING: Configuration EEPROM IO check failed"));
    Handle h = Open(u"\\\\.\\TQ8_0");
    TQ8_CONFIG_CACHE cache{};
    cache.size = sizeof cache;
    uint32_t returned = 0;
    ASSERT_EQ(Ioctl(h, IOCTL_TQ8_GET_CONFIG_CACHE, cache, &returned), STATUS_SUCCESS);
    TQ8_CONFIG_CACHE pattern{};
    pattern.size = 84;
    pattern.word70 = 0xFFFF;
    pattern.memorySize = 0x80000000u;
    EXPECT_EQ(returned, 84u);
    EXPECT_EQ(std::memcmp(&cache, &pattern, sizeof cache), 0);
    TQ8_DRIVER_INFO info{};
    ASSERT_EQ(Ioctl(h, IOCTL_TQ8_GET_DRIVER_INFO, nullptr, 0, &info, sizeof info), STATUS_SUCCESS);
    EXPECT_EQ(info.serialNumber, 0u);
}

TEST_F(DriverTest, StartFailuresAndWhatTheyLeaveAreReleased)
{
    struct Case {
        SimFault fault;
        bool busMaster;
        NTSTATUS status;
    };
    const Case cases[] = {
        {SimFault::ConnectInterrupt, true, STATUS_NO_MEMORY},
        {SimFault::MapIoSpace, true, STATUS_NO_MEMORY},
        {SimFault::Count, false, STATUS_INSUFFICIENT_RESOURCES},
        {SimFault::DmaAdapter, true, STATUS_INSUFFICIENT_RESOURCES},
    };
    for (const Case& c : cases) {
        CardSpec spec = Card();
        spec.busMaster = c.busMaster;
        size_t slot = m_bus->Plug(spec);
        ASSERT_EQ(m_bus->AddDevice(slot), STATUS_SUCCESS);
        if (c.fault != SimFault::Count)
            SimFailNext(c.fault);
        EXPECT_EQ(m_bus->Start(slot), c.status);
        EXPECT_EQ(Ext(slot)->deviceFlags & TQ8_FLAG_STARTED, 0u);
        Open(u"\\\\.\\TQ8_0", STATUS_DEVICE_NOT_READY);
        EXPECT_EQ(m_bus->Remove(slot), STATUS_SUCCESS);
    }
    // No utility buffer only logs.
    size_t slot = m_bus->Plug(Card());
    ASSERT_EQ(m_bus->AddDevice(slot), STATUS_SUCCESS);
    SimFailNext(SimFault::CommonBuffer);
    EXPECT_EQ(m_bus->Start(slot), STATUS_SUCCESS);
    EXPECT_EQ(Ext(slot)->utilityBuffer, nullptr);
    EXPECT_TRUE(Logged("\\Device\\TQ80 : Failed to allocate driver's utility DMA buffer"));
}

TEST_F(DriverTest, AddDeviceFailuresLogAndLeaveNoDevice)
{
    struct Case {
        SimFault fault;
        NTSTATUS status;
        const char* message;
    };
    const Case cases[] = {
        {SimFault::CreateDevice, STATUS_INSUFFICIENT_RESOURCES, "\\Driver\\vlt_tq8_64 : Failed to create IO device object"},
        {SimFault::CreateSymbolicLink, STATUS_INSUFFICIENT_RESOURCES,
         "\\Device\\TQ80 : Failed to create symbolic link: 0xC000009A"},
        {SimFault::AttachDevice, STATUS_NO_SUCH_DEVICE, "\\Device\\TQ80 : Failed to attach to device stack"},
        {SimFault::RegisterInterface, STATUS_NO_SUCH_DEVICE,
         "\\Device\\TQ80 : Failed to register device interface: 0xC000009A"},
    };
    size_t slot = m_bus->Plug(Card());
    for (const Case& c : cases) {
        SimClearEventLog();
        SimFailNext(c.fault);
        EXPECT_EQ(m_bus->AddDevice(slot), c.status) << c.message;
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(m_bus->Driver()->deviceObject, nullptr);
        EXPECT_EQ(m_bus->FunctionDevice(slot), nullptr);
        Open(u"\\\\.\\TQ8_0", STATUS_OBJECT_NAME_NOT_FOUND);
    }
    EXPECT_EQ(m_bus->AddDevice(slot), STATUS_SUCCESS);
}

TEST_F(DriverTest, RequestsOutsideTheStartedStateAreRefusedAndTouchNoWindow)
{
    size_t slot = m_bus->Plug(Card());
    ASSERT_EQ(m_bus->AddDevice(slot), STATUS_SUCCESS);
    Open(u"\\\\.\\TQ8_0", STATUS_DEVICE_NOT_READY);
    ASSERT_EQ(m_bus->Start(slot), STATUS_SUCCESS);
    Handle h = Open(u"\\\\.\\TQ8_0");

    const auto accesses = [&] {
        uint64_t n = 0;
        for (size_t w = 0; w < m_bus->Card(slot).WindowCount(); ++w)
            n += m_bus->Card(slot).Window(w).Accesses();
        return n;
    };
    const auto refused = [&] {
        const uint64_t before = accesses();
        TQ8_RAW_REG_REQUEST raw{0, 1, 1, 0, 0};
        EXPECT_EQ(Ioctl(h, IOCTL_TQ8_RAW_REG_ACCESS, raw), STATUS_DEVICE_NOT_READY);
        uint32_t state = 0;
        EXPECT_EQ(Ioctl(h, IOCTL_TQ8_GET_DRIVER_STATE, nullptr, 0, &state, 4), STATUS_DEVICE_NOT_READY);
        EXPECT_EQ(accesses(), before);
    };
    ASSERT_EQ(m_bus->Stop(slot), STATUS_SUCCESS);
    EXPECT_TRUE(Logged("\\Device\\TQ80 : Stopping device"));
    refused();
    EXPECT_EQ(Ext(slot)->windows[1].address, nullptr);
    EXPECT_FALSE(m_bus->Card(slot).Interrupt().IsConnected());

    ASSERT_EQ(m_bus->Start(slot), STATUS_SUCCESS);
    TQ8_RAW_REG_REQUEST raw{0, 1, 1, 0, 0};
    EXPECT_EQ(Ioctl(h, IOCTL_TQ8_RAW_REG_ACCESS, raw), STATUS_SUCCESS);

    ASSERT_EQ(m_bus->SurpriseRemove(slot), STATUS_SUCCESS);
    refused();
    EXPECT_TRUE(IoGetDeviceInterfaces(GUID_DEVINTERFACE_TQ8).empty());
    // The removal comes with the last close.
    EXPECT_TRUE(m_bus->IsPlugged(slot));
    EXPECT_EQ(m_process->Close(h), STATUS_SUCCESS);
    EXPECT_FALSE(m_bus->IsPlugged(slot));
}

TEST_F(DriverTest, PowerRequestsFollowThePnpState)
{
    size_t never = m_bus->Plug(Card(1));
    ASSERT_EQ(m_bus->AddDevice(never), STATUS_SUCCESS);
    EXPECT_EQ(m_bus->SendPower(never, IRP_MN_QUERY_POWER, PowerStateType::System, PowerSystemSleeping3), STATUS_SUCCESS);
    EXPECT_EQ(m_bus->Requests(never).back().major, IRP_MJ_POWER);

    size_t slot = Arrive(Card(2));
    struct Case {
        uint8_t minor;
        PowerStateType type;
        uint32_t state;
        NTSTATUS started;
    };
    const Case cases[] = {
        {IRP_MN_QUERY_POWER, PowerStateType::System, PowerSystemSleeping1, STATUS_UNSUCCESSFUL},
        {IRP_MN_QUERY_POWER, PowerStateType::System, PowerSystemHibernate, STATUS_UNSUCCESSFUL},
        {IRP_MN_QUERY_POWER, PowerStateType::System, PowerSystemWorking, STATUS_SUCCESS},
        {IRP_MN_QUERY_POWER, PowerStateType::System, PowerSystemShutdown, STATUS_SUCCESS},
        {IRP_MN_QUERY_POWER, PowerStateType::Device, 3, STATUS_SUCCESS},
        {IRP_MN_SET_POWER, PowerStateType::System, PowerSystemSleeping2, STATUS_SUCCESS},
    };
    for (const Case& c : cases)
        EXPECT_EQ(m_bus->SendPower(slot, c.minor, c.type, c.state), c.started);

    ASSERT_EQ(m_bus->Stop(slot), STATUS_SUCCESS);
    const size_t seen = m_bus->Requests(slot).size();
    for (const Case& c : cases)
        EXPECT_EQ(m_bus->SendPower(slot, c.minor, c.type, c.state), STATUS_DELETE_PENDING);
    EXPECT_EQ(m_bus->Requests(slot).size(), seen);
}

TEST_F(DriverTest, CancelledQueriesRestoreTheStateAndOtherMinorsPassDown)
{
    size_t slot = Arrive();
    EXPECT_EQ(m_bus->SendPnp(slot, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(Ext(slot)->pnpState, TQ8_PNP_STOP_PENDING);
    EXPECT_EQ(m_bus->SendPnp(slot, IRP_MN_CANCEL_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(Ext(slot)->pnpState, TQ8_PNP_STARTED);
    EXPECT_EQ(m_bus->SendPnp(slot, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(Ext(slot)->pnpState, TQ8_PNP_REMOVE_PENDING);
    EXPECT_EQ(m_bus->SendPnp(slot, IRP_MN_CANCEL_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(Ext(slot)->pnpState, TQ8_PNP_STARTED);
    EXPECT_EQ(m_bus->SendPnp(slot, IRP_MN_QUERY_CAPABILITIES), STATUS_NOT_SUPPORTED);
    // Every one of them reached the bus driver after the start.
    EXPECT_EQ(m_bus->Requests(slot).size(), 6u);
    EXPECT_EQ(m_bus->Requests(slot).back().minor, IRP_MN_QUERY_CAPABILITIES);
    Handle h = Open(u"\\\\.\\TQ8_0");
    EXPECT_EQ(m_bus->Remove(slot), STATUS_DEVICE_BUSY);
    m_process->Close(h);
    EXPECT_EQ(m_bus->Remove(slot), STATUS_SUCCESS);
}

TEST_F(DriverTest, RemovalWaitsForARequestInsideTheDriver)
{
    size_t slot = Arrive();
    Handle h = Open(u"\\\\.\\TQ8_0");
    struct Hold {
        TQ8_DEVICE_EXTENSION* ext;
        std::atomic<bool> inside{false};
        std::atomic<bool> removed{false};
        std::atomic<bool> removedWhileInside{false};
    } hold{Ext(slot)};
    // The delay request stays inside the driver until the removal has begun
    // (the device no longer admits requests), and a little longer.
    SimSetDelayHook(
        [](void* context) {
            auto* hold = static_cast<Hold*>(context);
            hold->inside = true;
            for (bool started = true; started;) {
                KIRQL irql;
                KeAcquireSpinLock(&hold->ext->spinLock, &irql);
                started = (hold->ext->deviceFlags & TQ8_FLAG_STARTED) != 0;
                KeReleaseSpinLock(&hold->ext->spinLock, irql);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            hold->removedWhileInside = hold->removed.load();
        },
        &hold);
    std::thread request([&] {
        uint32_t us = 20000;
        EXPECT_EQ(Ioctl(h, IOCTL_TQ8_DELAY_US, &us, 4, nullptr, 0), STATUS_SUCCESS);
    });
    while (!hold.inside)
        std::this_thread::yield();
    // Sent directly: the bus refuses a removal while a handle is open.
    EXPECT_EQ(m_bus->SendPnp(slot, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    hold.removed = true;
    request.join();
    SimSetDelayHook(nullptr, nullptr);
    EXPECT_FALSE(hold.removedWhileInside.load());
    EXPECT_EQ(m_bus->FunctionDevice(slot), nullptr);
    uint32_t state = 0;
    EXPECT_EQ(Ioctl(h, IOCTL_TQ8_GET_DRIVER_STATE, nullptr, 0, &state, 4), STATUS_NO_SUCH_DEVICE);
    m_process->Close(h);
}

TEST_F(DriverTest, EventTextsAreCutOnACharacterBoundary)
{
    size_t slot = Arrive();
    DeviceObject* device = m_bus->FunctionDevice(slot);
    struct Case {
        KernelString text;
        size_t entrySize;
        size_t copiedUnits;
    };
    KernelString longText(150, u'x');
    KernelString pairAtTheCut = KernelString(101, u'y') + u"\U0001F600" + u"tail";
    const Case cases[] = {
        {u"short", 50 + 10, 5},
        {KernelString(102, u'z'), 254, 102},
        {longText, 255, 102},
        {pairAtTheCut, 255, 101},
    };
    for (const Case& c : cases) {
        SimClearEventLog();
        ASSERT_EQ(LogEvent(device, c.text.c_str()), STATUS_SUCCESS);
        std::vector<LoggedEvent> events = SimLoggedEvents();
        ASSERT_EQ(events.size(), 1u);
        const LoggedEvent& e = events[0];
        EXPECT_EQ(e.entry.size(), c.entrySize);
        EXPECT_EQ(U32(e.entry, 0), TQ8_EVENT_MESSAGE);
        EXPECT_EQ(e.insertion, c.text.substr(0, c.copiedUnits));
        for (size_t at = 40 + 2 * c.copiedUnits; at < e.entry.size(); ++at)
            EXPECT_EQ(e.entry[at], 0) << at;
    }
    SimClearEventLog();
    LogEvent(device, nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{"\\Device\\TQ80 : <No message provided>"});
    EXPECT_EQ(LogEventFormat(nullptr, u"x"), STATUS_INVALID_PARAMETER);
    SimFailNext(SimFault::Pool);
    EXPECT_EQ(LogEventFormat(Ext(slot), u"x"), STATUS_INSUFFICIENT_RESOURCES);
    SimFailNext(SimFault::ErrorLogEntry);
    EXPECT_EQ(LogEvent(device, u"lost"), STATUS_INSUFFICIENT_RESOURCES);
}

TEST(DriverLibrary, LoadsAndLogsToItsFile)
{
    SimUseVirtualClock(true);
    const std::string log = std::string(std::getenv("VLT_TEST_TMP") ? std::getenv("VLT_TEST_TMP") : "/tmp")
                            + "/driver-events.log";
    std::remove(log.c_str());
    SimSetEventLogFile(log);
    std::string error;
    std::unique_ptr<CSimBus> bus = CSimBus::Load(VLT_TQ8_DRIVER_LIBRARY, &error);
    ASSERT_NE(bus, nullptr) << error;
    EXPECT_EQ(bus->EntryStatus(), STATUS_SUCCESS);
    size_t slot = 0;
    CardSpec spec;
    spec.desc.serial = 5;
    EXPECT_EQ(bus->Arrive(spec, &slot), STATUS_SUCCESS);
    bus.reset();
    SimSetEventLogFile("");
    std::FILE* f = std::fopen(log.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char text[4096] = {};
    text[std::fread(text, 1, sizeof text - 1, f)] = 0;
    std::fclose(f);
    EXPECT_STREQ(text, "\\Driver\\vlt_tq8_64 : TQ8 driver loaded\n"
                       "\\Device\\TQ80 : Starting device\n"
                       "\\Driver\\vlt_tq8_64 : TQ8 driver unloading\n");
    EXPECT_TRUE(SimPoolOutstanding().empty());
}

// Stops against an interrupt raised at the same moment, with a read under
// way: the service routine and its DPC are done before anything they touch
// goes (the sanitizer build sees any use of freed memory).
TEST_F(DriverTest, StopsAgainstAPendingInterruptLeaveNothingBehind)
{
    constexpr int kRounds = 10000;
    const size_t slot = Arrive();
    Handle h = Open(u"\\\\.\\TQ8_0");
    std::vector<uint8_t> out(256 * 1024);
    for (int i = 0; i < kRounds; ++i) {
        TQ8_SAMPLE_RAM_REQUEST q{56, 7 | TQ8_READ_NO_WAIT, 0, static_cast<uint32_t>(out.size()), 0, 0,
                                 {reinterpret_cast<uint64_t>(out.data())}};
        ASSERT_EQ(Ioctl(h, IOCTL_TQ8_READ_SAMPLE_RAM, &q, sizeof q, nullptr, 0), STATUS_SUCCESS);
        std::thread interrupt([&] { m_bus->Card(slot).Dma().Raise(tq8::CDmaEngine::kDmaComplete); });
        ASSERT_EQ(m_bus->Stop(slot), STATUS_SUCCESS);
        interrupt.join();
        ASSERT_FALSE(m_bus->Card(slot).Interrupt().IsConnected());
        ASSERT_EQ(Ext(slot)->utilityBuffer, nullptr);
        ASSERT_EQ(Ext(slot)->operationState.load(), 0u);
        ASSERT_EQ(m_bus->Start(slot), STATUS_SUCCESS);
    }
    m_process->Close(h);
}

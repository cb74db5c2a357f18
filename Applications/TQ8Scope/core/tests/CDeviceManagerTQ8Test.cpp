#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CDeviceManagerTQ8.h"
#include "DevMgrTestSupport.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"

using devmgr_test::Doc;
using devmgr_test::RecordingHost;
using HandleList = CDeviceManagerTQ8::HandleList;

namespace {

// Reaches "remote" boards without a server: the remote calls connect
// virtual boards of the simulator instead and remember what they were given.
class FakeRemoteManager : public CDeviceManagerTQ8 {
public:
    std::vector<uint32_t> remoteSerials;
    std::wstring lastServer;
    std::wstring lastClient;
    std::wstring lastSubServices;
    uint32_t lastSize = 0;
    uint16_t lastPort = 0;
    bool fakeRemote = true;

protected:
    int32_t ConnectRemoteHandle(TQ8_HANDLE* handle, uint32_t serial, bool isVirtual,
                                const TQ8_REMOTE_CONN_INFO& conn) override
    {
        lastSize = conn.size;
        lastPort = conn.port;
        lastServer = conn.server ? conn.server : L"";
        lastClient = conn.clientName ? conn.clientName : L"";
        lastSubServices = conn.subServices ? conn.subServices : L"";
        if (!fakeRemote)
            return CDeviceManagerTQ8::ConnectRemoteHandle(handle, serial, isVirtual, conn);
        return ConnectToVirtualDeviceTQ8(handle, serial, 1);
    }
    int32_t QueryRemoteSerials(const wchar_t* server, uint16_t port, uint32_t** serials) override
    {
        if (!fakeRemote)
            return CDeviceManagerTQ8::QueryRemoteSerials(server, port, serials);
        *serials = remoteSerials.empty() ? nullptr : remoteSerials.data();
        return static_cast<int32_t>(remoteSerials.size());
    }
};

class CDeviceManagerTQ8Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        DEVMGR_REQUIRE_SIMULATOR();
        TQ8Sim_Reset();
        devices.SetHost(&host);
    }
    void TearDown() override
    {
        devices.CloseAllDevices();
        devices.SetHost(nullptr);
        if (devmgr_test::SimulatorAvailable())
            TQ8Sim_Reset();
    }

    // Three local boards: a master, its slave and a standalone board.
    void ConnectThree()
    {
        ASSERT_TRUE(devmgr_test::DeclareBoards({{200001, 1}, {200002, 2}, {200003, 0}}));
        ASSERT_EQ(devices.ConnectAllLocalDevices(), 3u);
        master = devices.FindDeviceBySerial(200001);
        slave = devices.FindDeviceBySerial(200002);
        standalone = devices.FindDeviceBySerial(200003);
        ASSERT_TRUE(master && slave && standalone);
    }

    FakeRemoteManager devices;
    RecordingHost host{&devices};
    TQ8_HANDLE master = nullptr;
    TQ8_HANDLE slave = nullptr;
    TQ8_HANDLE standalone = nullptr;
};

} // namespace

TEST(CDeviceManagerTQ8ResolveTest, LocalWithoutServerOrPort)
{
    EXPECT_EQ(CDeviceManagerTQ8::ResolveServerName(L"127.0.0.1", 0), L"local_host");
    EXPECT_EQ(CDeviceManagerTQ8::ResolveServerName(L"", 3494), L"local_host");
    EXPECT_EQ(CDeviceManagerTQ8::ResolveServerName(nullptr, 3494), L"local_host");
}

TEST(CDeviceManagerTQ8ResolveTest, NumericAddressAndUnknownName)
{
    EXPECT_EQ(CDeviceManagerTQ8::ResolveServerName(L"127.0.0.1", 3494), L"127.0.0.1");
    EXPECT_EQ(CDeviceManagerTQ8::ResolveServerName(L"no-such-host.invalid", 3494), L"no-such-host.invalid");
}

TEST(CDeviceManagerTQ8PlainTest, EmptyManager)
{
    CDeviceManagerTQ8 m;
    EXPECT_EQ(m.GetDeviceCount(), 0u);
    EXPECT_FALSE(m.IsInteractive());
    EXPECT_EQ(m.FindDeviceBySerial(0), nullptr);
    EXPECT_EQ(m.GetSerialNumber(nullptr), 0u);
    EXPECT_FALSE(m.SetDocument(reinterpret_cast<TQ8_HANDLE>(0x20), Doc(0)));
    EXPECT_FALSE(m.SetController(nullptr, nullptr));
    EXPECT_EQ(m.OnMasterSlaveConfigChanged(nullptr, 1), -1);
    EXPECT_EQ(m.GetMasterSlaveRole(nullptr), CDeviceManagerTQ8::kRoleNone);
    EXPECT_EQ(m.PickDeviceForNewDocument(Doc(0)), nullptr);
}

TEST_F(CDeviceManagerTQ8Test, ConnectsAllLocalBoardsOnce)
{
    ConnectThree();
    EXPECT_EQ(devices.GetDeviceCount(), 3u);
    EXPECT_EQ(devices.GetDeviceCountWithoutDocument(), 3u);
    // Connecting again finds the same boards and drops the second handles.
    EXPECT_EQ(devices.ConnectAllLocalDevices(), 0u);
    EXPECT_EQ(devices.GetDeviceCount(), 3u);
    HandleList local;
    EXPECT_EQ(devices.GetLocalDevices(local), 3u);
    for (TQ8_HANDLE h : local) {
        std::wstring server;
        uint16_t port = 1;
        ASSERT_TRUE(devices.GetRemoteLocation(h, server, port));
        EXPECT_TRUE(server.empty());
        EXPECT_EQ(port, 0);
        EXPECT_EQ(devices.FindDevState(h)->Location, L"local_host");
    }
    EXPECT_EQ(std::count(host.notifications.begin(), host.notifications.end(), 1), 3);
}

TEST_F(CDeviceManagerTQ8Test, ConnectLocalBySerialTakesTheConnectedBoard)
{
    ConnectThree();
    EXPECT_EQ(devices.ConnectLocalDevice(200002), slave);
    EXPECT_EQ(devices.GetDeviceCount(), 3u);
}

TEST_F(CDeviceManagerTQ8Test, ConnectLocalRefusesAnUnknownSerial)
{
    ASSERT_TRUE(devmgr_test::DeclareBoards({{200001, 0}, {200002, 0}}));
    // 2 is no board's serial: the library would take it as the second board.
    EXPECT_EQ(devices.ConnectLocalDevice(2), nullptr);
    EXPECT_EQ(devices.GetDeviceCount(), 0u);
    EXPECT_EQ(devices.GetLastErrorText().rfind(L"Failed to connect to local TQ3300 device #2: ", 0), 0u);
    TQ8_HANDLE h = devices.ConnectLocalDevice(200002);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(devices.GetSerialNumber(h), 200002u);
}

TEST_F(CDeviceManagerTQ8Test, VirtualSerialsSkipTakenOnes)
{
    ASSERT_TRUE(devmgr_test::DeclareBoards({{1600, 0}}));
    ASSERT_EQ(devices.ConnectAllLocalDevices(), 1u);
    TQ8_HANDLE first = devices.ConnectVirtualDevice();
    TQ8_HANDLE second = devices.ConnectVirtualDevice();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(devices.GetSerialNumber(first), 1601u);
    EXPECT_EQ(devices.GetSerialNumber(second), 1602u);
    EXPECT_GT(IsDeviceVirtualTQ8(first), 0);
    HandleList local;
    EXPECT_EQ(devices.GetLocalDevices(local), 1u);
    // A serial given explicitly that a virtual board already has is that board.
    EXPECT_EQ(devices.ConnectVirtualDevice(1601), first);
    TQ8_HANDLE explicitOne = devices.ConnectVirtualDevice(1603);
    ASSERT_NE(explicitOne, nullptr);
    EXPECT_EQ(devices.AllocateVirtualSerial(), 1604u);
}

TEST_F(CDeviceManagerTQ8Test, VirtualConnectionFailureSetsTheLastError)
{
    ASSERT_EQ(TQ8Sim_InjectResult("ConnectToVirtualDeviceTQ8", TQ8_ERR_NO_MEMORY, 1), TQ8_OK);
    EXPECT_EQ(devices.ConnectVirtualDevice(1700), nullptr);
    EXPECT_EQ(devices.GetLastErrorText().rfind(L"Failed to connect to virtual TQ3300 device #1700: ", 0), 0u);
    // Success reported without a handle is no board either.
    ASSERT_EQ(TQ8Sim_InjectResult("ConnectToVirtualDeviceTQ8", TQ8_OK, 1), TQ8_OK);
    EXPECT_EQ(devices.ConnectVirtualDevice(1700), nullptr);
    EXPECT_EQ(devices.GetDeviceCount(), 0u);
}

TEST_F(CDeviceManagerTQ8Test, MastersAndSlavesAreAssociatedByLocation)
{
    ConnectThree();
    host.appFlags = opts::kAppFlagMastersControlSlaves;
    devices.BuildMasterSlaveRelations();
    EXPECT_EQ(devices.GetMasterSlaveRole(master), CDeviceManagerTQ8::kRoleMaster);
    EXPECT_EQ(devices.GetMasterSlaveRole(slave), CDeviceManagerTQ8::kRoleSlave);
    EXPECT_EQ(devices.GetMasterSlaveRole(standalone), CDeviceManagerTQ8::kRoleNone);
    EXPECT_EQ(devices.GetMaster(slave), master);
    HandleList slaves;
    EXPECT_EQ(devices.GetSlaves(master, slaves), 1u);
    EXPECT_EQ(devices.GetSlaves(nullptr, slaves), 0u) << "no slave left unassigned";
    EXPECT_EQ(devices.GetController(slave), master) << "masters control their slaves";
    EXPECT_TRUE(devices.IsControlledDevice(slave));
    EXPECT_TRUE(devices.HasControlledDevices(master));
}

TEST_F(CDeviceManagerTQ8Test, SlavesStayUnassignedWithTwoMastersAtOneLocation)
{
    ASSERT_TRUE(devmgr_test::DeclareBoards({{200001, 1}, {200004, 1}, {200002, 2}}));
    ASSERT_EQ(devices.ConnectAllLocalDevices(), 3u);
    devices.BuildMasterSlaveRelations();
    TQ8_HANDLE s = devices.FindDeviceBySerial(200002);
    EXPECT_EQ(devices.GetMasterSlaveRole(s), CDeviceManagerTQ8::kRoleSlave);
    EXPECT_EQ(devices.GetMaster(s), nullptr);
    HandleList masters;
    EXPECT_EQ(devices.GetMasters(masters, false), 2u);
}

TEST_F(CDeviceManagerTQ8Test, SlaveMasterRefusals)
{
    ConnectThree();
    devices.BuildMasterSlaveRelations();
    EXPECT_FALSE(devices.SetSlaveMaster(standalone, slave)) << "a slave is no master";
    EXPECT_FALSE(devices.SetSlaveMaster(master, master));
    EXPECT_FALSE(devices.SetSlaveMaster(nullptr, master));
    EXPECT_TRUE(devices.SetSlaveMaster(slave, nullptr));
    EXPECT_EQ(devices.GetMaster(slave), nullptr);
    EXPECT_EQ(devices.GetMasterSlaveRole(slave), CDeviceManagerTQ8::kRoleSlave);
}

TEST_F(CDeviceManagerTQ8Test, SlaveAssociationTellsItsSurroundings)
{
    ConnectThree();
    devices.BuildMasterSlaveRelations();
    devices.SetDocument(slave, Doc(1));
    devices.SetInteractive(true);
    host.appFlags = opts::kAppFlagMastersControlSlaves;
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(devices.SetSlaveMaster(slave, nullptr));
    const int refreshes = host.recordingRefreshes;
    EXPECT_GT(refreshes, 0);
    ASSERT_FALSE(host.hints[Doc(1)].empty());
    EXPECT_EQ(host.hints[Doc(1)].back(), 1);

    // A master that is itself controlled cannot control its slave: the
    // relation stands, the user is told.
    ASSERT_TRUE(devices.SetController(master, standalone));
    ASSERT_TRUE(devices.SetSlaveMaster(slave, master));
    EXPECT_EQ(devices.GetMaster(slave), master);
    EXPECT_EQ(devices.GetController(slave), nullptr);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Failed to associate slave to master device.");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_ICONERROR);
    EXPECT_GT(host.recordingRefreshes, refreshes);
}

TEST_F(CDeviceManagerTQ8Test, ConfigurationChanges)
{
    ConnectThree();
    devices.SetInteractive(true);
    devices.BuildMasterSlaveRelations();
    vlt::MessageBoxRecorder boxes;
    EXPECT_EQ(devices.OnMasterSlaveConfigChanged(slave, 3), 0) << "slave #1 to slave #2 keeps its master";
    EXPECT_EQ(devices.GetMaster(slave), master);
    EXPECT_EQ(devices.OnMasterSlaveConfigChanged(master, 0), 1);
    EXPECT_EQ(devices.GetMasterSlaveRole(master), CDeviceManagerTQ8::kRoleNone);
    EXPECT_EQ(devices.GetMaster(slave), nullptr);
    EXPECT_EQ(devices.GetMasterSlaveRole(slave), CDeviceManagerTQ8::kRoleSlave);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"One or more slave devices are no longer associated with a master device.");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_ICONWARNING);
    // A master without slaves that stops being one leaves no entry behind.
    EXPECT_EQ(devices.OnMasterSlaveConfigChanged(standalone, 1), 0);
    EXPECT_EQ(devices.OnMasterSlaveConfigChanged(standalone, 2), 0);
    EXPECT_EQ(devices.GetMasterSlaveRelations().count(standalone), 0u);
    EXPECT_EQ(devices.GetMasterSlaveRole(standalone), CDeviceManagerTQ8::kRoleSlave);
    EXPECT_EQ(devices.OnMasterSlaveConfigChanged(standalone, 0), 0);
    EXPECT_EQ(devices.GetMasterSlaveRole(standalone), CDeviceManagerTQ8::kRoleNone);
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(CDeviceManagerTQ8Test, ControlledBoardsListSlavesFirst)
{
    TQ8_HANDLE v1 = devices.ConnectVirtualDevice();
    TQ8_HANDLE v2 = devices.ConnectVirtualDevice();
    ConnectThree();
    devices.BuildMasterSlaveRelations();
    devices.SetDocument(master, Doc(0));
    devices.SetDocument(v1, Doc(3));
    ASSERT_TRUE(devices.SetController(v1, master));
    ASSERT_TRUE(devices.SetController(v2, master));
    ASSERT_TRUE(devices.SetController(slave, master));
    HandleList list;
    EXPECT_EQ(devices.GetControlledDevices(master, list), 3u);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.front(), slave);
    EXPECT_EQ(host.controlledOf[Doc(3)], master);
    EXPECT_GT(host.controllerRefreshes[Doc(0)], 0);
    ASSERT_TRUE(devices.SetController(v1, nullptr));
    EXPECT_EQ(host.controlledOf[Doc(3)], nullptr);
}

TEST_F(CDeviceManagerTQ8Test, SelfControlAndCyclesAreRefused)
{
    TQ8_HANDLE a = devices.ConnectVirtualDevice();
    TQ8_HANDLE b = devices.ConnectVirtualDevice();
    TQ8_HANDLE c = devices.ConnectVirtualDevice();
    ASSERT_TRUE(a && b && c);
    EXPECT_FALSE(devices.SetController(a, a));
    EXPECT_EQ(devices.GetController(a), nullptr);
    ASSERT_TRUE(devices.SetController(c, b));
    ASSERT_TRUE(devices.SetController(b, a));
    EXPECT_FALSE(devices.SetController(a, b));
    EXPECT_FALSE(devices.SetController(a, c));
    EXPECT_FALSE(devices.SetController(b, reinterpret_cast<TQ8_HANDLE>(0x1234))) << "not connected";
    HandleList list;
    EXPECT_EQ(devices.GetControlledDevices(a, list), 2u);
    EXPECT_EQ(devices.GetController(b), a);
    EXPECT_EQ(devices.GetController(c), b);
}

TEST_F(CDeviceManagerTQ8Test, OneFreeBoardIsTakenWithoutAsking)
{
    devmgr_test::EnsureQtApp();
    devices.SetInteractive(true);
    TQ8_HANDLE h = devices.ConnectVirtualDevice();
    bool asked = false;
    devmgr_test::DialogAnswer answer([&](QDialog* d) {
        asked = true;
        d->reject();
    });
    EXPECT_EQ(devices.PickDeviceForNewDocument(Doc(1)), h);
    EXPECT_FALSE(asked);
    EXPECT_EQ(devices.GetDocument(h), Doc(1));
    EXPECT_EQ(devices.PickDeviceForNewDocument(Doc(2)), nullptr) << "no free board left";
    QApplication::processEvents();
}

TEST_F(CDeviceManagerTQ8Test, WithoutTheUserTheFirstFreeBoardIsTaken)
{
    ConnectThree();
    HandleList all;
    devices.GetDevices(all, CDeviceManagerTQ8::kAllDevices);
    ASSERT_TRUE(std::is_sorted(all.begin(), all.end(), std::less<TQ8_HANDLE>()));
    devices.SetDocument(all[0], Doc(0));
    EXPECT_EQ(devices.PickDeviceForNewDocument(Doc(1)), all[1]);
    HandleList withDoc;
    EXPECT_EQ(devices.GetDevicesWithDocument(withDoc), 2u);
    HandleList free;
    EXPECT_EQ(devices.GetDevices(free, CDeviceManagerTQ8::kNoDocument, {all[2]}), 0u);
}

TEST_F(CDeviceManagerTQ8Test, SelectDevicesAsksTheUser)
{
    ConnectThree();
    devices.SetInteractive(true);
    HandleList chosen;
    // Without a dialog nothing can be chosen.
    EXPECT_FALSE(devices.SelectDevices(chosen, CDeviceManagerTQ8::kAllDevices, 0));

    int asked = 0;
    CDeviceManagerTQ8::SelectionRequest seen;
    HandleList answer;
    CDeviceManagerTQ8::SelectionDialogFactory() = [&](CDeviceManagerTQ8&, const CDeviceManagerTQ8::SelectionRequest& r,
                                                       HandleList& out) {
        ++asked;
        seen = r;
        out = answer;
        return !answer.empty();
    };
    answer = {standalone};
    ASSERT_TRUE(devices.SelectDevices(chosen, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelSingle,
                                      L"Pick one", {master}, {standalone}, L"/x/a.tq8set"));
    EXPECT_EQ(chosen, HandleList{standalone});
    EXPECT_EQ(seen.prompt, L"Pick one");
    EXPECT_EQ(seen.fileName, L"/x/a.tq8set");
    EXPECT_EQ(seen.flags, CDeviceManagerTQ8::kSelSingle);
    EXPECT_EQ(seen.exclude, CDeviceManagerTQ8::HandleSet{master});
    EXPECT_EQ(seen.preselect, CDeviceManagerTQ8::HandleSet{standalone});

    answer.clear();
    EXPECT_FALSE(devices.SelectDevices(chosen, CDeviceManagerTQ8::kAllDevices, 0));

    // One candidate is taken without asking unless asked to ask always.
    asked = 0;
    EXPECT_TRUE(devices.SelectDevices(chosen, CDeviceManagerTQ8::kAllDevices, 0, nullptr, {master, slave}));
    EXPECT_EQ(chosen, HandleList{standalone});
    EXPECT_EQ(asked, 0);
    answer = {standalone};
    EXPECT_TRUE(devices.SelectDevices(chosen, CDeviceManagerTQ8::kAllDevices, CDeviceManagerTQ8::kSelAlwaysAsk,
                                      nullptr, {master, slave}));
    EXPECT_EQ(asked, 1);
    CDeviceManagerTQ8::SelectionDialogFactory() = nullptr;
}

TEST_F(CDeviceManagerTQ8Test, ReleasingKeepsLocalBoardsAndDropsRemoteOnes)
{
    TQ8_HANDLE local = devices.ConnectVirtualDevice();
    TQ8_HANDLE remote = devices.ConnectRemoteDevice(L"127.0.0.1", 3494, 5000, true, false);
    ASSERT_TRUE(local && remote);
    devices.SetDocument(local, Doc(0));
    devices.SetDocument(remote, Doc(1));
    EXPECT_TRUE(devices.IsRemote(remote));
    EXPECT_EQ(devices.FindDevState(remote)->Location, L"127.0.0.1");

    EXPECT_TRUE(devices.ReleaseDevice(local));
    EXPECT_NE(IsHandleValidTQ8(local), 0);
    EXPECT_EQ(devices.GetDocument(local), nullptr);
    EXPECT_EQ(devices.GetDeviceCount(), 2u);

    EXPECT_TRUE(devices.ReleaseDevice(remote));
    EXPECT_EQ(IsHandleValidTQ8(remote), 0);
    EXPECT_EQ(devices.FindDevState(remote), nullptr);
    EXPECT_FALSE(devices.ReleaseDevice(remote));
}

TEST_F(CDeviceManagerTQ8Test, RemoteConnectionRecord)
{
    vlt::SetMessageBoxCaption(L"");
    TQ8_HANDLE h = devices.ConnectRemoteDevice(L"server.example", 4000, 5001, true, false);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(devices.lastSize, 40u);
    EXPECT_EQ(devices.lastPort, 4000);
    EXPECT_EQ(devices.lastServer, L"server.example");
    EXPECT_EQ(devices.lastClient, L"TQ3300 Scope Application");
    EXPECT_EQ(devices.lastSubServices, L"FileServerWindows;PowerDownWindows");
    std::wstring server;
    uint16_t port = 0;
    ASSERT_TRUE(devices.GetRemoteLocation(h, server, port));
    EXPECT_EQ(server, L"server.example");
    EXPECT_EQ(port, 4000);
}

TEST_F(CDeviceManagerTQ8Test, RemoteFailureIsReportedUnlessQuiet)
{
    devices.fakeRemote = false;
    devices.SetInteractive(true);
    vlt::MessageBoxRecorder boxes;
    ASSERT_EQ(TQ8Sim_InjectResult("ConnectToRemoteDeviceWTQ8", TQ8_ERR_DEVICE_NOT_FOUND, 2), TQ8_OK);
    EXPECT_EQ(devices.ConnectRemoteDevice(L"srv", 3494, 77, true, false), nullptr);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(devices.GetLastErrorText().rfind(L"Failed to connect to remote TQ3300 device #77: ", 0), 0u);
    EXPECT_EQ(devices.ConnectRemoteDevice(L"srv", 3494, 77, false, false), nullptr);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to connect to remote device: ", 0), 0u);

    ASSERT_EQ(TQ8Sim_InjectResult("ConnectToRemoteVirtualDeviceWTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    EXPECT_EQ(devices.ConnectRemoteDevice(L"srv", 3494, 78, true, true), nullptr);
    EXPECT_EQ(devices.GetLastErrorText().rfind(L"Failed to connect to remote virtual TQ3300 device #78: ", 0), 0u);

    // Success without a handle is no board.
    ASSERT_EQ(TQ8Sim_InjectResult("ConnectToRemoteDeviceWTQ8", TQ8_OK, 1), TQ8_OK);
    EXPECT_EQ(devices.ConnectRemoteDevice(L"srv", 3494, 79, true, false), nullptr);
    EXPECT_EQ(devices.GetDeviceCount(), 0u);
}

TEST_F(CDeviceManagerTQ8Test, ServerListingFailures)
{
    devices.fakeRemote = false;
    devices.SetInteractive(true);
    vlt::MessageBoxRecorder boxes;
    HandleList list;
    ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    EXPECT_EQ(devices.ConnectServerDevices(L"srv", 3494, list, false), -1);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to get remote device count: ", 0), 0u);

    ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", 0, 1), TQ8_OK);
    EXPECT_EQ(devices.ConnectServerDevices(L"srv", 3494, list, false), 0);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText(), L"Specified server has no TQ3300 devices");
    EXPECT_EQ(boxes.Boxes()[1].style, MB_ICONINFORMATION);

    // A count without a list of serials is a failure, not a crash.
    ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", 3, 1), TQ8_OK);
    EXPECT_EQ(devices.ConnectServerDevices(L"srv", 3494, list, true), -1);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_TRUE(list.empty());
}

TEST_F(CDeviceManagerTQ8Test, ServerBoardsAreConnectedOneByOne)
{
    devices.remoteSerials = {5101, 5102};
    HandleList list;
    EXPECT_EQ(devices.ConnectServerDevices(L"127.0.0.1", 3494, list, true), 2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(devices.GetSerialNumber(list[0]), 5101u);
    EXPECT_TRUE(devices.IsRemote(list[1]));
}

TEST_F(CDeviceManagerTQ8Test, RemovingABoardUndoesItsRelations)
{
    ConnectThree();
    host.appFlags = opts::kAppFlagMastersControlSlaves;
    devices.BuildMasterSlaveRelations();
    ASSERT_TRUE(devices.SetController(standalone, master));
    devices.OnDeviceRemoving(master);
    EXPECT_FALSE(devices.HasControlledDevices(master));
    EXPECT_EQ(devices.GetController(slave), nullptr);
    EXPECT_EQ(devices.GetController(standalone), nullptr);
    EXPECT_EQ(devices.GetMasterSlaveRole(master), CDeviceManagerTQ8::kRoleNone);
}

// Every board, local or remote, is disconnected exactly once, also when
// closing a document's window releases its board from inside.
TEST_F(CDeviceManagerTQ8Test, CloseAllDisconnectsEachBoardOnce)
{
    ConnectThree();
    TQ8_HANDLE remote = devices.ConnectRemoteDevice(L"127.0.0.1", 3494, 5000, true, false);
    TQ8_HANDLE remoteFree = devices.ConnectRemoteDevice(L"127.0.0.1", 3494, 5001, true, false);
    ASSERT_TRUE(remote && remoteFree);
    host.appFlags = opts::kAppFlagMastersControlSlaves;
    devices.BuildMasterSlaveRelations();
    devices.SetDocument(master, Doc(0));
    devices.SetDocument(slave, Doc(1));
    devices.SetDocument(remote, Doc(2));
    HandleList all;
    devices.GetDevices(all, CDeviceManagerTQ8::kAllDevices);
    ASSERT_EQ(all.size(), 5u);

    // The next five disconnections are answered without effect: exactly five
    // calls use them up and leave every board connected.
    ASSERT_EQ(TQ8Sim_InjectResult("DisconnectFromDeviceTQ8", TQ8_OK, 5), TQ8_OK);
    devices.SetInteractive(true);
    devices.CloseAllDevices();
    EXPECT_TRUE(devices.IsInteractive());
    EXPECT_EQ(devices.GetDeviceCount(), 0u);
    EXPECT_TRUE(devices.GetMasterSlaveRelations().empty());
    EXPECT_EQ(host.closed.size(), 3u);
    for (TQ8_HANDLE h : all)
        EXPECT_NE(IsHandleValidTQ8(h), 0) << "a sixth call would have disconnected a board";
    ASSERT_EQ(DisconnectFromDeviceTQ8(all[0]), TQ8_OK);
    EXPECT_EQ(IsHandleValidTQ8(all[0]), 0) << "fewer than five calls would have left an injection";
    for (size_t i = 1; i < all.size(); ++i)
        DisconnectFromDeviceTQ8(all[i]);
}

TEST_F(CDeviceManagerTQ8Test, CloseAllReallyDisconnectsEveryBoard)
{
    ConnectThree();
    TQ8_HANDLE remote = devices.ConnectRemoteDevice(L"127.0.0.1", 3494, 5000, true, false);
    ASSERT_NE(remote, nullptr);
    devices.SetDocument(remote, Doc(2));
    devices.SetDocument(master, Doc(0));
    HandleList all;
    devices.GetDevices(all, CDeviceManagerTQ8::kAllDevices);
    devices.CloseAllDevices();
    for (TQ8_HANDLE h : all)
        EXPECT_EQ(IsHandleValidTQ8(h), 0);
}

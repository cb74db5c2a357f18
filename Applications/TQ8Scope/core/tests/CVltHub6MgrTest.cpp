// The sync-device manager against the sync device's component library,
// created by its ProgID from a private registry as the application does.
#include <type_traits>

#include <QDoubleSpinBox>
#include <QWidget>

#include "CVltHub6Mgr.h"
#include "DevMgrTestSupport.h"
#include "ErrorBox.h"
#include "Hub6Library.h"
#include "Hub6TestHost.h"
#include "MainDocFixture.h"
#include "TestApp.h"
#include "TextConv.h"

// An instance unbinds its boards when it ends, so a copy must not exist.
static_assert(!std::is_copy_constructible_v<CVltHub6Mgr::CSyncInst>);
static_assert(!std::is_copy_assignable_v<CVltHub6Mgr::CSyncInst>);

namespace {

constexpr wchar_t kServer[] = L"127.0.0.1";

// Counts the calls of the virtual notification, then does what it does.
class CountingMgr : public CVltHub6Mgr {
public:
    std::vector<int32_t> changed;
    void OnDeviceSettingsChanged(int32_t id) override
    {
        changed.push_back(id);
        CVltHub6Mgr::OnDeviceSettingsChanged(id);
    }
};

class Hub6MgrTest : public doc_test::MainDocTest {
protected:
    void SetUp() override
    {
        MainDocTest::SetUp();
        setenv("VLT_REGISTRY_DIR", m_dir.Str().c_str(), 1);
        ASSERT_NO_FATAL_FAILURE(m_hub6.Load());
        m_unregister = m_hub6.unregisterServer;
        m_setLocal = m_hub6.setLocal;
        m_inject = m_hub6.inject;
        m_syncCount = m_hub6.syncCount;
        mgr = std::make_unique<CountingMgr>();
        mgr->SetDeviceManager(devices.get());
    }
    void TearDown() override
    {
        mgr.reset();
        m_hosts.clear();
        m_hub6.Unload();
        unsetenv("VLT_REGISTRY_DIR");
        MainDocTest::TearDown();
    }
    void SetLocal(std::vector<uint32_t> serials) { ASSERT_EQ(m_setLocal(serials.data(), uint32_t(serials.size())), 0); }
    // A service host on loopback serving these units.
    hub6test::Hub6TestHost& Host(std::vector<uint32_t> served)
    {
        m_hosts.push_back(std::make_unique<hub6test::Hub6TestHost>(std::move(served)));
        EXPECT_TRUE(m_hosts.back()->Started());
        return *m_hosts.back();
    }
    doc_test::TestDoc& SyncBoardDoc(uint32_t serial, int32_t syncConfig = 1)
    {
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        desc.syncConfig = syncConfig;
        return NewLocalDoc(desc);
    }
    static double ExternalRate(TQ8_HANDLE h)
    {
        double rate = -1.0;
        EXPECT_EQ(GetExternalClockRateTQ8(h, &rate, 0), 0);
        return rate;
    }
    static size_t CountHint(const doc_test::TestDoc& doc, int hint)
    {
        return size_t(std::count(doc.hints.begin(), doc.hints.end(), hint));
    }

    ScratchDir m_dir;
    doc_test::Hub6Library m_hub6;
    PfnDllUnregisterServer m_unregister = nullptr;
    PfnHub6SimSetLocalDevices m_setLocal = nullptr;
    PfnHub6SimInjectResult m_inject = nullptr;
    PfnHub6SimGetCount m_syncCount = nullptr;
    std::unique_ptr<CountingMgr> mgr;
    std::vector<std::unique_ptr<hub6test::Hub6TestHost>> m_hosts;
};

} // namespace

// ---- Connecting ------------------------------------------------------------------------

TEST_F(Hub6MgrTest, StartsEmpty)
{
    EXPECT_EQ(mgr->GetInstanceCount(), 0u);
    EXPECT_FALSE(mgr->HasInstances());
    EXPECT_EQ(mgr->GetLastErrorText(), L"");
    EXPECT_EQ(mgr->FindInstance(1), nullptr);
    EXPECT_EQ(mgr->GetInstanceSerial(1), 0u);
}

TEST_F(Hub6MgrTest, VirtualDevicesGetSerialsFrom6000)
{
    const int32_t a = mgr->AddVirtual();
    const int32_t b = mgr->AddVirtual(0);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(mgr->GetInstanceSerial(a), 6000u);
    EXPECT_EQ(mgr->GetInstanceSerial(b), 6001u);
    EXPECT_EQ(mgr->FindInstanceBySerial(6001), b);
    EXPECT_EQ(mgr->FindInstanceBySerial(0), 0);
    std::vector<int32_t> ids{99};
    EXPECT_EQ(mgr->GetInstanceIds(ids), 2u);
    EXPECT_EQ(ids, (std::vector<int32_t>{99, 1, 2}));
}

TEST_F(Hub6MgrTest, AllocationSkipsSerialsInUse)
{
    const uint16_t port = Host({}).Port();
    const int32_t remote = mgr->ConnectRemote(kServer, port, 6000, true);
    ASSERT_NE(remote, 0) << vlt::WideToUtf8(mgr->GetLastErrorText());
    EXPECT_EQ(mgr->GetInstanceSerial(mgr->AddVirtual()), 6001u);
    EXPECT_EQ(mgr->AllocateVirtualSerial(), 6002u);
    EXPECT_EQ(mgr->AllocateVirtualSerial(), 6003u);
}

TEST_F(Hub6MgrTest, IdsAreNeverReused)
{
    const int32_t a = mgr->AddVirtual();
    const int32_t b = mgr->AddVirtual();
    EXPECT_TRUE(mgr->RemoveInstance(b));
    EXPECT_FALSE(mgr->RemoveInstance(b));
    EXPECT_EQ(mgr->AddVirtual(), 3);
    mgr->RemoveAllInstances();
    EXPECT_EQ(mgr->GetInstanceCount(), 0u);
    EXPECT_EQ(mgr->FindInstance(a), nullptr);
    const int32_t d = mgr->AddVirtual();
    EXPECT_EQ(d, 4);
    // The virtual serials go on as well.
    EXPECT_EQ(mgr->GetInstanceSerial(d), 6003u);
}

TEST_F(Hub6MgrTest, SameSerialGivesTheConnectedInstance)
{
    const int32_t a = mgr->AddVirtual(6100);
    EXPECT_EQ(mgr->AddVirtual(6100), a);
    SetLocal({7001});
    const int32_t local = mgr->ConnectLocal(1);
    ASSERT_NE(local, 0);
    EXPECT_EQ(mgr->ConnectLocal(1), local);
    EXPECT_EQ(mgr->GetInstanceCount(), 2u);
    EXPECT_EQ(mgr->GetInstanceSerial(local), 7001u);
}

TEST_F(Hub6MgrTest, ConnectLocalFailureRecordsTheComponentText)
{
    EXPECT_EQ(mgr->ConnectLocal(1), 0);
    EXPECT_EQ(mgr->GetLastErrorText(), L"Local HUB3300-6 device 1 not found");
    EXPECT_EQ(mgr->GetInstanceCount(), 0u);
}

TEST_F(Hub6MgrTest, WithoutTheSoftwareNothingConnects)
{
    ASSERT_EQ(m_unregister(), S_OK);
    SetLocal({7001});
    EXPECT_FALSE(IsHub6SoftwareInstalled());
    EXPECT_EQ(GetLocalHub6DeviceCount(), 0u);
    EXPECT_EQ(mgr->ConnectLocal(1), 0);
    EXPECT_EQ(mgr->GetLastErrorText(), L"HUB3300-6 software is not installed");
    mgr->SetLastErrorText(nullptr);
    EXPECT_EQ(mgr->AddVirtual(), 0);
    EXPECT_EQ(mgr->GetLastErrorText(), L"HUB3300-6 software is not installed");
    EXPECT_EQ(mgr->ConnectAllLocal(), 0);
    EXPECT_EQ(mgr->ConnectRemote(kServer, 3496, 1, false), 0);
    std::vector<uint32_t> serials;
    EXPECT_FALSE(EnumRemoteHub6Devices(kServer, 3496, serials));
}

TEST_F(Hub6MgrTest, SoftwareAnswersAreRemembered)
{
    SetLocal({7001, 7002});
    EXPECT_TRUE(IsHub6SoftwareInstalled());
    EXPECT_EQ(GetLocalHub6DeviceCount(), 2u);
    SetLocal({7001, 7002, 7003});
    ASSERT_EQ(m_unregister(), S_OK);
    EXPECT_TRUE(IsHub6SoftwareInstalled());
    EXPECT_EQ(GetLocalHub6DeviceCount(), 2u);
    ForgetHub6SoftwareState();
    EXPECT_FALSE(IsHub6SoftwareInstalled());
}

TEST_F(Hub6MgrTest, ConnectAllLocalCountsAlreadyConnectedUnits)
{
    SetLocal({7001, 7002});
    EXPECT_EQ(mgr->ConnectAllLocal(), 2);
    EXPECT_EQ(mgr->ConnectAllLocal(), 2);
    EXPECT_EQ(mgr->GetInstanceCount(), 2u);
    EXPECT_NE(mgr->FindInstanceBySerial(7002), 0);
}

TEST_F(Hub6MgrTest, ConnectAllLocalSkipsAUnitThatFailsToOpen)
{
    SetLocal({7001, 7002});
    ASSERT_EQ(GetLocalHub6DeviceCount(), 2u);
    ASSERT_EQ(m_inject("OpenLocal", E_FAIL, 1), 0);
    EXPECT_EQ(mgr->ConnectAllLocal(), 1);
    EXPECT_EQ(mgr->FindInstanceBySerial(7001), 0);
    EXPECT_NE(mgr->FindInstanceBySerial(7002), 0);
}

TEST_F(Hub6MgrTest, ConnectRemoteKeepsServerAndPort)
{
    const uint16_t first = Host({8001, 8002}).Port();
    const uint16_t second = Host({8001, 8002}).Port();
    const int32_t id = mgr->ConnectRemote(kServer, first, 8001, false);
    ASSERT_NE(id, 0);
    EXPECT_EQ(mgr->FindInstance(id)->GetServer(), kServer);
    EXPECT_EQ(mgr->FindInstance(id)->GetPort(), first);
    EXPECT_EQ(mgr->ConnectRemote(L"localhost", second, 8001, false), id);
    EXPECT_EQ(mgr->FindInstance(id)->GetServer(), L"localhost");
    EXPECT_EQ(mgr->FindInstance(id)->GetPort(), second);
    EXPECT_EQ(mgr->GetInstanceCount(), 1u);
}

TEST_F(Hub6MgrTest, ConnectRemoteFailuresCarryTheComponentText)
{
    const uint16_t port = Host({8001}).Port();
    EXPECT_EQ(mgr->ConnectRemote(L"", port, 8001, false), 0);
    EXPECT_EQ(mgr->GetLastErrorText(), L"No HUB3300-6 server given");
    EXPECT_EQ(mgr->ConnectRemote(kServer, port, 8009, false), 0);
    EXPECT_EQ(mgr->GetLastErrorText(), L"HUB3300-6 device 8009 is not on this server");
}

TEST_F(Hub6MgrTest, ConnectServerDevicesConnectsEveryListedUnit)
{
    const uint16_t port = Host({8001, 8002}).Port();
    std::vector<int32_t> ids;
    EXPECT_EQ(mgr->ConnectServerDevices(kServer, port, ids, false), 2);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(mgr->GetInstanceSerial(ids[0]), 8001u);
    EXPECT_EQ(mgr->GetInstanceSerial(ids[1]), 8002u);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(Hub6MgrTest, ConnectServerDevicesBoxesFollowTheFlag)
{
    auto& host = Host({});
    const uint16_t port = host.Port();
    std::vector<int32_t> ids;
    EXPECT_EQ(mgr->ConnectServerDevices(L"", port, ids, false), 0);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Remote server test failed. Server may be down or server parameters may be wrong.");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(mgr->ConnectServerDevices(L"", port, ids, true), 0);
    EXPECT_EQ(boxes.Count(), 1u);

    EXPECT_EQ(mgr->ConnectServerDevices(kServer, port, ids, false), 0);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(mgr->ConnectServerDevices(kServer, port, ids, true), 0);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText(), L"Server is running but has no HUB3300-6 devices");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_TRUE(ids.empty());
}

TEST_F(Hub6MgrTest, EnumRemoteAppendsInOrder)
{
    auto& host = Host({8003, 8001});
    std::vector<uint32_t> serials{1};
    EXPECT_TRUE(EnumRemoteHub6Devices(kServer, host.Port(), serials));
    EXPECT_EQ(serials, (std::vector<uint32_t>{1, 8003, 8001}));
    host.Inject("ListServerDevices", E_FAIL, 1);
    EXPECT_FALSE(EnumRemoteHub6Devices(kServer, host.Port(), serials));
    EXPECT_EQ(serials.size(), 3u);
    host.Stop();
    EXPECT_FALSE(EnumRemoteHub6Devices(kServer, host.Port(), serials));
}

TEST_F(Hub6MgrTest, AUnitWhoseSerialCannotBeReadIsNotAdded)
{
    ASSERT_EQ(m_inject("GetSerialNumber", E_FAIL, 1), 0);
    EXPECT_EQ(mgr->AddVirtual(6200), 0);
    EXPECT_EQ(mgr->GetLastErrorText(), L"HUB3300-6 #6200: Simulated failure of GetSerialNumber");
    EXPECT_EQ(mgr->GetInstanceCount(), 0u);
}

// ---- Error texts -----------------------------------------------------------------------

TEST_F(Hub6MgrTest, ErrorTextsCarryNameAndContext)
{
    const int32_t id = mgr->AddVirtual(6300);
    ASSERT_EQ(m_inject("SynchronizeExternal", E_FAIL, 1), 0);
    EXPECT_TRUE(FAILED(mgr->FindInstance(id)->GetObject()->SynchronizeExternal()));
    std::wstring text = L"old";
    EXPECT_TRUE(mgr->GetInstanceErrorText(text, L"Failed to synchronize external devices: ", id));
    EXPECT_EQ(text, L"HUB3300-6 #6300: Failed to synchronize external devices: Simulated failure of SynchronizeExternal");
    EXPECT_TRUE(mgr->GetInstanceErrorText(text, nullptr, id));
    EXPECT_EQ(text, L"HUB3300-6 #6300: Simulated failure of SynchronizeExternal");
    EXPECT_FALSE(mgr->GetInstanceErrorText(text, nullptr, id + 1));
    EXPECT_FALSE(FormatHub6ErrorText(text, L"x", nullptr));
    EXPECT_EQ(text, L"");
    EXPECT_EQ(mgr->FindInstance(id)->GetName(), L"HUB3300-6 #6300");
}

// ---- Outputs ---------------------------------------------------------------------------

TEST_F(Hub6MgrTest, BindingABoardTellsItsDocument)
{
    auto& doc = SyncBoardDoc(5001);
    const TQ8_HANDLE h = doc.GetDeviceHandle();
    const int32_t id = mgr->AddVirtual();
    auto* inst = mgr->FindInstance(id);
    ASSERT_TRUE(inst->SetOutputDevice(2, h));
    EXPECT_EQ(doc.GetSyncDeviceId(), id);
    EXPECT_EQ(doc.GetSyncOutputIndex(), 2);
    EXPECT_TRUE(doc.HasSyncOutput());
    EXPECT_EQ(CountHint(doc, dochint::kSyncDevice), 1u);
    EXPECT_EQ(inst->FindOutputOfDevice(h), 2);
    EXPECT_EQ(inst->GetOutputDevice(2), h);
    EXPECT_EQ(inst->GetOutputDocument(2), &doc);
    EXPECT_EQ(inst->GetOutputDocument(1), nullptr);
    EXPECT_EQ(inst->GetOutputDocument(6), nullptr);
    EXPECT_EQ(inst->GetOutputDocument(-1), nullptr);
    // The same board on the same output again changes nothing.
    EXPECT_TRUE(inst->SetOutputDevice(2, h));
    EXPECT_EQ(CountHint(doc, dochint::kSyncDevice), 1u);
}

TEST_F(Hub6MgrTest, BindingRulesRefuseWithoutChange)
{
    auto& plain = SyncBoardDoc(5001, 0);
    auto& a = SyncBoardDoc(5002);
    const int32_t first = mgr->AddVirtual();
    const int32_t second = mgr->AddVirtual();
    auto* inst = mgr->FindInstance(first);
    auto* other = mgr->FindInstance(second);

    EXPECT_FALSE(inst->SetOutputDevice(0, plain.GetDeviceHandle()));
    EXPECT_EQ(plain.GetSyncDeviceId(), 0);
    EXPECT_EQ(inst->GetOutputDevice(0), nullptr);

    EXPECT_FALSE(inst->SetOutputDevice(6, a.GetDeviceHandle()));
    EXPECT_FALSE(inst->SetOutputDevice(-1, a.GetDeviceHandle()));

    ASSERT_TRUE(inst->SetOutputDevice(1, a.GetDeviceHandle()));
    EXPECT_FALSE(inst->SetOutputDevice(3, a.GetDeviceHandle()));
    EXPECT_FALSE(other->SetOutputDevice(1, a.GetDeviceHandle()));
    EXPECT_EQ(inst->GetOutputDevice(3), nullptr);
    EXPECT_EQ(other->GetOutputDevice(1), nullptr);
    EXPECT_EQ(a.GetSyncDeviceId(), first);
    EXPECT_EQ(a.GetSyncOutputIndex(), 1);
}

TEST_F(Hub6MgrTest, BoardWithoutDocumentIsHeldToOneOutput)
{
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, 5010);
    desc.syncConfig = 1;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), 0);
    const TQ8_HANDLE h = devices->ConnectLocalDevice(5010);
    ASSERT_NE(h, nullptr);
    auto* first = mgr->FindInstance(mgr->AddVirtual());
    auto* second = mgr->FindInstance(mgr->AddVirtual());
    ASSERT_TRUE(first->SetOutputDevice(0, h));
    EXPECT_FALSE(first->SetOutputDevice(1, h));
    EXPECT_FALSE(second->SetOutputDevice(0, h));
    EXPECT_EQ(first->GetOutputDocument(0), nullptr);
}

TEST_F(Hub6MgrTest, ClearingAnOutputUnbindsTheDocument)
{
    auto& a = SyncBoardDoc(5001);
    auto& b = SyncBoardDoc(5002);
    const int32_t id = mgr->AddVirtual();
    auto* inst = mgr->FindInstance(id);
    ASSERT_TRUE(inst->SetOutputDevice(0, a.GetDeviceHandle()));
    // Replacing the board on an output unbinds the one that was there.
    ASSERT_TRUE(inst->SetOutputDevice(0, b.GetDeviceHandle()));
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
    EXPECT_EQ(a.GetSyncOutputIndex(), -1);
    EXPECT_EQ(b.GetSyncDeviceId(), id);
    ASSERT_TRUE(inst->SetOutputDevice(0, nullptr));
    EXPECT_EQ(b.GetSyncDeviceId(), 0);
    EXPECT_EQ(inst->FindOutputOfDevice(b.GetDeviceHandle()), -1);
    // Free again, the board may go to another output.
    EXPECT_TRUE(inst->SetOutputDevice(4, a.GetDeviceHandle()));
    EXPECT_EQ(a.GetSyncOutputIndex(), 4);
}

TEST_F(Hub6MgrTest, RemovingAnInstanceUnbindsEveryOutput)
{
    auto& a = SyncBoardDoc(5001);
    auto& b = SyncBoardDoc(5002);
    const int32_t id = mgr->AddVirtual();
    const int32_t keep = mgr->AddVirtual();
    auto& c = SyncBoardDoc(5003);
    ASSERT_TRUE(mgr->FindInstance(id)->SetOutputDevice(0, a.GetDeviceHandle()));
    ASSERT_TRUE(mgr->FindInstance(id)->SetOutputDevice(5, b.GetDeviceHandle()));
    ASSERT_TRUE(mgr->FindInstance(keep)->SetOutputDevice(0, c.GetDeviceHandle()));
    EXPECT_TRUE(mgr->RemoveInstance(id));
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
    EXPECT_EQ(b.GetSyncDeviceId(), 0);
    EXPECT_EQ(c.GetSyncDeviceId(), keep);
    EXPECT_FALSE(mgr->RemoveInstance(id));
    EXPECT_FALSE(mgr->RemoveInstance(0));
}

TEST_F(Hub6MgrTest, EndingTheManagerUnbindsEveryBoard)
{
    auto& a = SyncBoardDoc(5001);
    auto& b = SyncBoardDoc(5002);
    ASSERT_TRUE(mgr->FindInstance(mgr->AddVirtual())->SetOutputDevice(0, a.GetDeviceHandle()));
    ASSERT_TRUE(mgr->FindInstance(mgr->AddVirtual())->SetOutputDevice(0, b.GetDeviceHandle()));
    mgr.reset();
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
    EXPECT_EQ(b.GetSyncDeviceId(), 0);
}

TEST_F(Hub6MgrTest, DetachDeviceLeavesItsOutput)
{
    auto& a = SyncBoardDoc(5001);
    auto* inst = mgr->FindInstance(mgr->AddVirtual());
    ASSERT_TRUE(inst->SetOutputDevice(3, a.GetDeviceHandle()));
    mgr->DetachDevice(a.GetDeviceHandle());
    EXPECT_EQ(inst->GetOutputDevice(3), nullptr);
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
}

// ---- Clock -----------------------------------------------------------------------------

TEST_F(Hub6MgrTest, ClockRateReachesEveryBoundBoard)
{
    auto& a = SyncBoardDoc(5001);
    auto& b = SyncBoardDoc(5002);
    auto& unbound = SyncBoardDoc(5003);
    const double unboundRate = ExternalRate(unbound.GetDeviceHandle());
    const int32_t id = mgr->AddVirtual();
    auto* inst = mgr->FindInstance(id);
    ASSERT_TRUE(inst->SetOutputDevice(0, a.GetDeviceHandle()));
    ASSERT_TRUE(inst->SetOutputDevice(4, b.GetDeviceHandle()));
    const uint32_t syncs = m_syncCount(6000);
    a.hints.clear();
    b.hints.clear();

    EXPECT_TRUE(inst->SetClockRate(1234.5));
    EXPECT_EQ(ExternalRate(a.GetDeviceHandle()), 1234.5);
    EXPECT_EQ(ExternalRate(b.GetDeviceHandle()), 1234.5);
    EXPECT_EQ(ExternalRate(unbound.GetDeviceHandle()), unboundRate);
    EXPECT_EQ(CountHint(a, dochint::kClock), 1u);
    EXPECT_EQ(CountHint(b, dochint::kClock), 1u);
    EXPECT_EQ(CountHint(unbound, dochint::kClock), 0u);
    EXPECT_EQ(m_syncCount(6000), syncs + 1);
    double rate = 0.0;
    EXPECT_EQ(inst->GetObject()->GetDeviceClockRate(&rate), S_OK);
    EXPECT_EQ(rate, 1234.5);
}

TEST_F(Hub6MgrTest, RefusedClockRateChangesNoBoard)
{
    auto& a = SyncBoardDoc(5001);
    auto* inst = mgr->FindInstance(mgr->AddVirtual());
    ASSERT_TRUE(inst->SetOutputDevice(0, a.GetDeviceHandle()));
    const double before = ExternalRate(a.GetDeviceHandle());
    a.hints.clear();
    EXPECT_FALSE(inst->SetClockRate(0.5));
    EXPECT_EQ(mgr->GetLastErrorText(), L"Clock rate 0.500 MHz is out of range (1.000 to 6000.000 MHz)");
    EXPECT_EQ(ExternalRate(a.GetDeviceHandle()), before);
    EXPECT_EQ(CountHint(a, dochint::kClock), 0u);
    EXPECT_EQ(m_syncCount(6000), 0u);
}

TEST_F(Hub6MgrTest, ClockRateRefusedByOneOfThreeBoardsIsReported)
{
    auto& a = SyncBoardDoc(5001);
    auto& b = SyncBoardDoc(5002);
    auto& c = SyncBoardDoc(5003);
    auto* inst = mgr->FindInstance(mgr->AddVirtual());
    ASSERT_TRUE(inst->SetOutputDevice(2, a.GetDeviceHandle()));
    ASSERT_TRUE(inst->SetOutputDevice(0, b.GetDeviceHandle()));
    ASSERT_TRUE(inst->SetOutputDevice(5, c.GetDeviceHandle()));
    const double before = ExternalRate(b.GetDeviceHandle());
    // Output 1 first: the board there refuses.
    ASSERT_EQ(TQ8Sim_InjectResult("SetExternalClockRateTQ8", TQ8_ERR_INVALID_ARG, 1), 0);
    EXPECT_FALSE(inst->SetClockRate(1111.0));
    std::wstring expected;
    FormatDeviceErrorText(expected, TQ8_ERR_INVALID_ARG, nullptr, b.GetDeviceHandle());
    EXPECT_EQ(mgr->GetLastErrorText(), expected);
    EXPECT_NE(expected.find(L"5002"), std::wstring::npos);
    EXPECT_EQ(ExternalRate(b.GetDeviceHandle()), before);
    EXPECT_EQ(ExternalRate(a.GetDeviceHandle()), 1111.0);
    EXPECT_EQ(ExternalRate(c.GetDeviceHandle()), 1111.0);
    // The unit runs at the new rate, and its outputs were synchronized.
    EXPECT_EQ(m_syncCount(6000), 1u);
}

TEST_F(Hub6MgrTest, RemoteUnitOfAServiceHost)
{
    auto& host = Host({8001});
    auto& a = SyncBoardDoc(5001);
    const int32_t id = mgr->ConnectRemote(kServer, host.Port(), 8001, false);
    ASSERT_NE(id, 0) << vlt::WideToUtf8(mgr->GetLastErrorText());
    auto* inst = mgr->FindInstance(id);
    ASSERT_TRUE(inst->SetOutputDevice(3, a.GetDeviceHandle()));
    EXPECT_TRUE(inst->SetClockRate(2222.0));
    EXPECT_EQ(ExternalRate(a.GetDeviceHandle()), 2222.0);
    EXPECT_EQ(host.SyncCount(8001), 1u);
    EXPECT_TRUE(mgr->ApplyClockToBoards(id));
    EXPECT_EQ(host.SyncCount(8001), 2u);
    std::string xml;
    ASSERT_TRUE(mgr->GetInstanceSettings(id, xml));
    EXPECT_EQ(xml, "<HUB6Settings ClockRateMHz=\"2222\"/>");
    host.Inject("SynchronizeExternal", E_FAIL, 1);
    EXPECT_FALSE(mgr->ApplyClockToBoards(id));
    EXPECT_EQ(mgr->GetLastErrorText(), L"Simulated failure of SynchronizeExternal");
    std::wstring text;
    ASSERT_TRUE(mgr->GetInstanceErrorText(text, L"Failed to synchronize external devices: ", id));
    EXPECT_EQ(text, L"HUB3300-6 #8001: Failed to synchronize external devices: Simulated failure of SynchronizeExternal");
}

TEST_F(Hub6MgrTest, FailedSynchronizationIsReported)
{
    auto* inst = mgr->FindInstance(mgr->AddVirtual());
    ASSERT_EQ(m_inject("SynchronizeExternal", E_FAIL, 1), 0);
    EXPECT_FALSE(inst->SetClockRate(1000.0));
    EXPECT_EQ(mgr->GetLastErrorText(), L"Simulated failure of SynchronizeExternal");
}

TEST_F(Hub6MgrTest, ApplyClockToBoardsUsesTheUnitsRate)
{
    auto& a = SyncBoardDoc(5001);
    const int32_t id = mgr->AddVirtual();
    ASSERT_TRUE(mgr->FindInstance(id)->SetOutputDevice(1, a.GetDeviceHandle()));
    ASSERT_TRUE(mgr->SetInstanceSettings(id, "<HUB6Settings ClockRateMHz=\"2500.25\"/>"));
    EXPECT_TRUE(mgr->ApplyClockToBoards(id));
    EXPECT_EQ(ExternalRate(a.GetDeviceHandle()), 2500.25);
    EXPECT_FALSE(mgr->ApplyClockToBoards(id + 1));
}

// ---- Settings --------------------------------------------------------------------------

TEST_F(Hub6MgrTest, SettingsTextRoundTrips)
{
    const int32_t a = mgr->AddVirtual();
    const int32_t b = mgr->AddVirtual();
    const double odd = 1000.0 / 3.0;
    ASSERT_TRUE(mgr->FindInstance(a)->SetClockRate(odd));
    std::string xml;
    ASSERT_TRUE(mgr->GetInstanceSettings(a, xml));
    ASSERT_TRUE(mgr->SetInstanceSettings(b, xml));
    double rate = 0.0;
    ASSERT_EQ(mgr->FindInstance(b)->GetObject()->GetDeviceClockRate(&rate), S_OK);
    EXPECT_EQ(rate, odd);
    std::string again;
    ASSERT_TRUE(mgr->GetInstanceSettings(b, again));
    EXPECT_EQ(again, xml);
}

TEST_F(Hub6MgrTest, BadSettingsTextIsRefused)
{
    const int32_t id = mgr->AddVirtual();
    for (const char* bad : {"", "garbage", "<Other ClockRateMHz=\"100\"/>", "<HUB6Settings/>",
                            "<HUB6Settings ClockRateMHz=\"-5\"/>", "<HUB6Settings ClockRateMHz=\"100x\"/>",
                            "<HUB6Settings ClockRateMHz=\"nan\"/>", "<HUB6Settings ClockRateMHz=\"7000\"/>"}) {
        mgr->SetLastErrorText(nullptr);
        EXPECT_FALSE(mgr->SetInstanceSettings(id, bad)) << bad;
        EXPECT_EQ(mgr->GetLastErrorText(), L"HUB3300-6 #6000: Invalid HUB3300-6 settings") << bad;
    }
    double rate = 0.0;
    ASSERT_EQ(mgr->FindInstance(id)->GetObject()->GetDeviceClockRate(&rate), S_OK);
    EXPECT_EQ(rate, kHub6DefaultClockRate);
    std::string xml;
    EXPECT_FALSE(mgr->GetInstanceSettings(id + 1, xml));
    EXPECT_FALSE(mgr->SetInstanceSettings(id + 1, "<HUB6Settings ClockRateMHz=\"100\"/>"));
}

// ---- Settings page ---------------------------------------------------------------------

TEST_F(Hub6MgrTest, ChangedRateOnThePageTellsTheBoards)
{
    auto& a = SyncBoardDoc(5001);
    const int32_t id = mgr->AddVirtual();
    ASSERT_TRUE(mgr->FindInstance(id)->SetOutputDevice(0, a.GetDeviceHandle()));
    a.hints.clear();
    devmgr_test::DialogAnswer answer([](QDialog* dlg) {
        auto* rate = dlg->findChild<QDoubleSpinBox*>("clockRate");
        ASSERT_NE(rate, nullptr);
        rate->setValue(750.0);
        dlg->accept();
    });
    EXPECT_TRUE(mgr->ShowDeviceSettings(id, nullptr, 0));
    EXPECT_EQ(mgr->changed, (std::vector<int32_t>{id}));
    EXPECT_EQ(CountHint(a, dochint::kClock), 1u);
    EXPECT_EQ(m_syncCount(6000), 1u);
    // The board runs on the new rate; the library is told so.
    EXPECT_EQ(ExternalRate(a.GetDeviceHandle()), 750.0);
}

TEST_F(Hub6MgrTest, UnchangedRateOnThePageDoesNothingFurther)
{
    auto& a = SyncBoardDoc(5001);
    const int32_t id = mgr->AddVirtual();
    ASSERT_TRUE(mgr->FindInstance(id)->SetOutputDevice(0, a.GetDeviceHandle()));
    a.hints.clear();
    devmgr_test::DialogAnswer answer([](QDialog* dlg) { dlg->accept(); });
    EXPECT_TRUE(mgr->ShowDeviceSettings(id, nullptr, 0));
    EXPECT_TRUE(mgr->changed.empty());
    EXPECT_EQ(CountHint(a, dochint::kClock), 0u);
    EXPECT_EQ(m_syncCount(6000), 0u);
    EXPECT_FALSE(mgr->ShowDeviceSettings(id + 1, nullptr, 0));
}

// ---- The board document's side -----------------------------------------------------------

namespace {
// A document that reaches the test's manager as it would the workspace's.
class SyncDoc : public doc_test::TestDoc {
public:
    using TestDoc::TestDoc;
    CVltHub6Mgr* manager = nullptr;

protected:
    CVltHub6Mgr* SyncManager() const override { return manager; }
};
} // namespace

TEST_F(Hub6MgrTest, DocumentFindsItsOutputAndRunsAtTheSyncDevicesRate)
{
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, 7301);
    desc.syncConfig = 1;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), 0);
    TQ8_HANDLE h = devices->ConnectLocalDevice(desc.serial);
    ASSERT_NE(h, nullptr);
    SyncDoc doc(nullptr, devices.get(), h, docstate::kLimitPlotData);
    doc.manager = mgr.get();
    const int32_t id = mgr->AddVirtual();
    ASSERT_GT(id, 0) << mgr->GetLastErrorText();
    CVltHub6Mgr::CSyncInst* inst = mgr->FindInstance(id);
    ASSERT_NE(inst, nullptr);
    ASSERT_EQ(inst->GetObject()->SetDeviceClockRate(1250.0), S_OK);
    ASSERT_TRUE(inst->SetOutputDevice(3, h)) << mgr->GetLastErrorText();
    EXPECT_EQ(doc.GetSyncDeviceId(), id);
    EXPECT_EQ(doc.GetSyncOutputIndex(), 3);
    // Told only the id, the document looks its output up.
    doc.SetSyncDevice(0);
    doc.SetSyncDevice(id);
    EXPECT_EQ(doc.GetSyncOutputIndex(), 3);
    EXPECT_EQ(doc.GetSyncDeviceObject(), inst->GetObject());

    // Bound, the board is given the unit's rate: the library reports it once
    // the board is clocked from outside, before any change of the rate.
    EXPECT_EQ(ExternalRate(h), 1250.0);
    EXPECT_EQ(CountHint(doc, dochint::kClock), 1u);

    ASSERT_TRUE(inst->SetClockRate(1000.0));
    double internal = 0.0;
    ASSERT_EQ(SetAdcClockSourceTQ8(h, 0), 0);
    GetActualAdcAcqRateTQ8(h, &internal);
    EXPECT_EQ(doc.GetAcquisitionRate(true), internal);
    // Clocked from outside, the board runs at the sync device's rate.
    ASSERT_EQ(SetAdcClockSourceTQ8(h, 1), 0);
    EXPECT_DOUBLE_EQ(doc.GetAcquisitionRate(true), 1000.0);
    double library = 0.0;
    ASSERT_EQ(GetActualAdcAcqRateTQ8(h, &library), 0);
    EXPECT_DOUBLE_EQ(library, 1000.0);
    const int32_t divider = GetPostAdcClockDividerTQ8(h, 1);
    EXPECT_DOUBLE_EQ(doc.GetAcquisitionRate(false), divider > 0 ? std::ldexp(1000.0, -divider) : 1000.0);
    // Releasing the board frees the output.
    doc.ReleaseDevice();
    EXPECT_EQ(inst->FindOutputOfDevice(h), -1);
}

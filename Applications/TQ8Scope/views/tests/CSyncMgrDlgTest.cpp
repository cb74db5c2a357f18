// The sync manager's window over the workspace's sync-device manager, with
// the sync device's component loaded from a private registry and boards
// simulated, driven through its widgets.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "CSyncMgrDlg.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "Hub6Library.h"
#include "Hub6TestHost.h"
#include "MainDocFixture.h"
#include "TestApp.h"
#include "TextConv.h"

namespace {

constexpr wchar_t kNotConfigured[] = L"Failed to associate TQ3300 to this HUB3300-6 output. The selected TQ3300 device "
                                     L"is not hardware configured for external synchronization";
constexpr wchar_t kBoundElsewhere[] = L"Failed to associate TQ3300 to this HUB3300-6 output. The selected TQ3300 may "
                                      L"already associated with an output on this or another HUB3300-6 device.";

class TestSyncMgrDlg : public CSyncMgrDlg {
public:
    using CSyncMgrDlg::CSyncMgrDlg;
    std::vector<std::wstring> texts;
    std::vector<unsigned> timeouts;

protected:
    void ShowStatusText(const std::wstring& text, unsigned timeoutMs) override
    {
        texts.push_back(text);
        timeouts.push_back(timeoutMs);
    }
};

class SyncMgrDlgTest : public doc_test::MainDocTest {
protected:
    void SetUp() override
    {
        MainDocTest::SetUp();
        setenv("VLT_REGISTRY_DIR", m_dir.Str().c_str(), 1);
        ASSERT_NO_FATAL_FAILURE(hub6.Load());
        mgr.SetDeviceManager(devices.get());
    }
    void TearDown() override
    {
        dlg.reset();
        mgr.RemoveAllInstances();
        hub6.Unload();
        unsetenv("VLT_REGISTRY_DIR");
        MainDocTest::TearDown();
    }
    doc_test::TestDoc& Board(uint32_t serial, int32_t syncConfig = 1)
    {
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        desc.syncConfig = syncConfig;
        return NewLocalDoc(desc);
    }
    TestSyncMgrDlg& Open()
    {
        dlg = std::make_unique<TestSyncMgrDlg>(nullptr, mgr);
        dlg->show();
        return *dlg;
    }
    template <class T = QPushButton>
    T* Find(const char* name)
    {
        T* w = dlg->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTreeWidget* List() { return Find<QTreeWidget>("deviceList"); }
    QComboBox* Output(int n) { return Find<QComboBox>(("output" + std::to_string(n)).c_str()); }
    void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }
    // The user picks the entry of the output list (1 to 6).
    void Choose(int n, int index)
    {
        QComboBox* combo = Output(n);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    static QString Name(TQ8_HANDLE board)
    {
        std::wstring name;
        GetBoardNameString(board, name, 0);
        return ToQt(name);
    }
    QString RowText(int row, int column) { return List()->topLevelItem(row)->text(column); }

    ScratchDir m_dir;
    doc_test::Hub6Library hub6;
    CVltHub6Mgr mgr;
    std::unique_ptr<TestSyncMgrDlg> dlg;
};

} // namespace

TEST_F(SyncMgrDlgTest, WithoutDevicesEverythingDeviceBoundIsDisabled)
{
    auto& a = Board(5001);
    Open();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("External Synchronization Device Manager"));
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(List()->headerItem()->text(0), QStringLiteral("Sync Device"));
    EXPECT_EQ(List()->headerItem()->text(1), QStringLiteral("Location"));
    for (const char* name : {"disconnect", "resetAllOutputs", "hardwareSettings", "triggerNow", "syncNow",
                             "connectRemote"})
        EXPECT_FALSE(Find(name)->isEnabled()) << name;
    EXPECT_TRUE(Find("connectAllLocal")->isEnabled());
    EXPECT_TRUE(Find("addVirtual")->isEnabled());
    for (int n = 1; n <= 6; ++n) {
        EXPECT_FALSE(Output(n)->isEnabled());
        EXPECT_FALSE(Find<QLabel>(("outputLabel" + std::to_string(n)).c_str())->isEnabled());
        EXPECT_EQ(Output(n)->currentIndex(), -1);
        ASSERT_EQ(Output(n)->count(), 2);
        EXPECT_EQ(Output(n)->itemText(0), QStringLiteral("<No device>"));
        EXPECT_EQ(Output(n)->itemText(1), Name(a.GetDeviceHandle()));
    }
    EXPECT_EQ(dlg->SelectDevice(0), -1);
    EXPECT_EQ(dlg->SelectDevice(1), -1);
}

TEST_F(SyncMgrDlgTest, RowsShowNameAndLocation)
{
    hub6test::Hub6TestHost host({8001});
    ASSERT_TRUE(host.Started());
    hub6.SetLocal({7001});
    ASSERT_NE(mgr.ConnectLocal(1), 0);
    const int32_t remote = mgr.ConnectRemote(L"127.0.0.1", host.Port(), 8001, false);
    ASSERT_NE(remote, 0);
    Open();
    ASSERT_EQ(List()->topLevelItemCount(), 2);
    EXPECT_EQ(RowText(0, 0), QStringLiteral("HUB3300-6 #7001"));
    EXPECT_EQ(RowText(0, 1), QStringLiteral("Local device"));
    EXPECT_EQ(RowText(1, 1), QStringLiteral("127.0.0.1:%1").arg(host.Port()));
    // The first row is selected at the start.
    EXPECT_EQ(dlg->GetSelectedId(), 1);
    EXPECT_TRUE(Find("disconnect")->isEnabled());
    EXPECT_TRUE(Find("triggerNow")->isEnabled());
    EXPECT_EQ(Output(1)->currentIndex(), 0);

    Click("addVirtual");
    ASSERT_EQ(List()->topLevelItemCount(), 3);
    EXPECT_EQ(RowText(2, 0), QStringLiteral("HUB3300-6 #6000"));
    EXPECT_EQ(RowText(2, 1), QStringLiteral("Virtual device"));
    EXPECT_EQ(dlg->SelectDevice(remote), 1);
    EXPECT_EQ(dlg->GetSelectedId(), remote);

    ASSERT_EQ(hub6.inject("OpenVirtual", E_FAIL, 1), 0);
    Click("addVirtual");
    EXPECT_EQ(boxes.LastText(), L"Failed to virtual HUB3300-6 device");
    EXPECT_EQ(boxes.Boxes().back().style, unsigned(MB_OK));
    EXPECT_EQ(List()->topLevelItemCount(), 3);
}

TEST_F(SyncMgrDlgTest, ConnectAllLocalCountsWhatItConnected)
{
    Open();
    Click("connectAllLocal");
    EXPECT_EQ(boxes.LastText(), L"No local HUB3300-6 devices detected");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONWARNING);

    hub6.SetLocal({7001});
    Click("connectAllLocal");
    EXPECT_EQ(boxes.LastText(), L"Connected to 1 local device");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONINFORMATION);

    hub6.SetLocal({7001, 7002, 7003});
    Click("connectAllLocal");
    EXPECT_EQ(boxes.LastText(), L"Connected to 2 local devices");
    EXPECT_EQ(List()->topLevelItemCount(), 3);
    Click("connectAllLocal");
    EXPECT_EQ(boxes.LastText(), L"No unconnected local devices found");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONINFORMATION);
    EXPECT_EQ(List()->topLevelItemCount(), 3);
}

TEST_F(SyncMgrDlgTest, ChoosingABoardBindsIt)
{
    auto& a = Board(5001);
    const int32_t id = mgr.AddVirtual();
    Open();
    Choose(3, 1);
    EXPECT_EQ(mgr.FindInstance(id)->GetOutputDevice(2), a.GetDeviceHandle());
    EXPECT_EQ(a.GetSyncDeviceId(), id);
    EXPECT_EQ(a.GetSyncOutputIndex(), 2);
    EXPECT_EQ(boxes.Count(), 0u);
    Choose(3, 0);
    EXPECT_EQ(mgr.FindInstance(id)->GetOutputDevice(2), nullptr);
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
}

TEST_F(SyncMgrDlgTest, BoardNotSetForExternalSyncIsRefusedAndTheListReturns)
{
    auto& a = Board(5001, 0);
    const int32_t id = mgr.AddVirtual();
    Open();
    Choose(1, 1);
    EXPECT_EQ(boxes.LastText(), kNotConfigured);
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(Output(1)->currentIndex(), 0);
    EXPECT_EQ(mgr.FindInstance(id)->GetOutputDevice(0), nullptr);
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
}

TEST_F(SyncMgrDlgTest, RefusalClearsTheOutput)
{
    auto& a = Board(5001);
    auto& b = Board(5002);
    const int32_t id = mgr.AddVirtual();
    Open();
    Choose(1, 1);
    Choose(2, 2);
    ASSERT_EQ(boxes.Count(), 0u);
    // b is on output 2 already: output 1 is refused it and left free.
    Choose(1, 2);
    EXPECT_EQ(boxes.LastText(), kBoundElsewhere);
    EXPECT_EQ(Output(1)->currentIndex(), 0);
    EXPECT_EQ(Output(1)->currentText(), QStringLiteral("<No device>"));
    EXPECT_EQ(mgr.FindInstance(id)->GetOutputDevice(0), nullptr);
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
    EXPECT_EQ(b.GetSyncOutputIndex(), 1);
    EXPECT_EQ(Output(2)->currentText(), Name(b.GetDeviceHandle()));
}

TEST_F(SyncMgrDlgTest, ResetAllOutputsAsksFirst)
{
    auto& a = Board(5001);
    const int32_t id = mgr.AddVirtual();
    ASSERT_TRUE(mgr.FindInstance(id)->SetOutputDevice(4, a.GetDeviceHandle()));
    Open();
    EXPECT_EQ(Output(5)->currentIndex(), 1);
    boxes.QueueAnswer(IDNO);
    Click("resetAllOutputs");
    EXPECT_EQ(boxes.LastText(), L"Remove all current external device associations?");
    EXPECT_EQ(boxes.Boxes().back().style, unsigned(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(mgr.FindInstance(id)->GetOutputDevice(4), a.GetDeviceHandle());
    EXPECT_EQ(Output(5)->currentIndex(), 1);
    boxes.QueueAnswer(IDYES);
    Click("resetAllOutputs");
    EXPECT_EQ(mgr.FindInstance(id)->GetOutputDevice(4), nullptr);
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
    for (int n = 1; n <= 6; ++n)
        EXPECT_EQ(Output(n)->currentIndex(), 0);
}

TEST_F(SyncMgrDlgTest, TriggerAndSyncShowTheirTextsOrTheFailure)
{
    mgr.AddVirtual();
    Open();
    Click("triggerNow");
    Click("syncNow");
    EXPECT_EQ(dlg->texts, (std::vector<std::wstring>{L"Software trigger issued to HUB3300-6",
                                                      L"HUB3300-6 synchronized external device(s)"}));
    EXPECT_EQ(dlg->timeouts, (std::vector<unsigned>{2500, 2500}));
    EXPECT_EQ(hub6.triggerCount(6000), 1u);
    EXPECT_EQ(hub6.syncCount(6000), 1u);

    ASSERT_EQ(hub6.inject("SoftwareTrigger", E_FAIL, 1), 0);
    ASSERT_EQ(hub6.inject("SynchronizeExternal", E_FAIL, 1), 0);
    Click("triggerNow");
    EXPECT_EQ(boxes.LastText(), L"HUB3300-6 #6000: Failed to issue software trigger: Simulated failure of SoftwareTrigger");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    Click("syncNow");
    EXPECT_EQ(boxes.LastText(),
              L"HUB3300-6 #6000: Failed to synchronize external devices: Simulated failure of SynchronizeExternal");
    EXPECT_EQ(dlg->texts.size(), 2u);
}

TEST_F(SyncMgrDlgTest, DisconnectRemovesTheRowAndUnbinds)
{
    auto& a = Board(5001);
    const int32_t id = mgr.AddVirtual();
    ASSERT_TRUE(mgr.FindInstance(id)->SetOutputDevice(0, a.GetDeviceHandle()));
    Open();
    Click("disconnect");
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(mgr.GetInstanceCount(), 0u);
    EXPECT_EQ(a.GetSyncDeviceId(), 0);
    EXPECT_FALSE(Find("disconnect")->isEnabled());
    EXPECT_EQ(Output(1)->currentIndex(), -1);
}

TEST_F(SyncMgrDlgTest, RefillsAfterTheWorkspaceIsClosedAndReopened)
{
    Board(5001);
    mgr.AddVirtual();
    Open();
    // The workspace closes: devices and boards go.
    mgr.RemoveAllInstances();
    docs.clear();
    devices->CloseAllDevices();
    // A stale row does nothing but show what there is now.
    Click("triggerNow");
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(dlg->texts.empty());

    auto& b = Board(5002);
    const int32_t id = mgr.AddVirtual(7777);
    dlg->RefillFromManager();
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    EXPECT_EQ(RowText(0, 0), QStringLiteral("HUB3300-6 #7777"));
    EXPECT_EQ(dlg->GetSelectedId(), id);
    ASSERT_EQ(Output(1)->count(), 2);
    EXPECT_EQ(Output(1)->itemText(1), Name(b.GetDeviceHandle()));
    Choose(1, 1);
    EXPECT_EQ(b.GetSyncDeviceId(), id);
    // The selection stays on its device across a refill.
    mgr.AddVirtual();
    dlg->SelectDevice(id);
    dlg->RefillFromManager();
    EXPECT_EQ(dlg->GetSelectedId(), id);
    EXPECT_EQ(Output(1)->currentIndex(), 1);
}

TEST_F(SyncMgrDlgTest, HardwareSettingsOpensTheDevicesPage)
{
    auto& a = Board(5001);
    const int32_t id = mgr.AddVirtual();
    ASSERT_TRUE(mgr.FindInstance(id)->SetOutputDevice(0, a.GetDeviceHandle()));
    Open();
    dlg->move(40, 30); // room on the screen for the page centred over it
    a.hints.clear();
    bool shown = false;
    QPoint offCentre;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* page = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            timer.stop();
            shown = page->windowTitle() == QStringLiteral("HUB3300-6");
            // Over its owner, like the program's other dialogs.
            offCentre = page->frameGeometry().center() - dlg->frameGeometry().center();
            page->findChild<QDoubleSpinBox*>(QStringLiteral("clockRate"))->setValue(2000.0);
            page->accept();
        }
    });
    timer.start(10);
    Click("hardwareSettings");
    EXPECT_TRUE(shown);
    EXPECT_LE(offCentre.manhattanLength(), 4) << offCentre.x() << ", " << offCentre.y();
    EXPECT_EQ(hub6.syncCount(6000), 1u);
    EXPECT_EQ(std::count(a.hints.begin(), a.hints.end(), dochint::kClock), 1);
    // The bound board runs on the new rate, and the library knows it.
    double rate = 0.0;
    ASSERT_EQ(GetExternalClockRateTQ8(a.GetDeviceHandle(), &rate, 1), TQ8_OK);
    EXPECT_EQ(rate, 2000.0);
}

// The page's rate goes through the check of the board's own clock page: a
// rate the board on the unit's clock cannot run at is refused with that
// page's text, and the unit and the board keep their rate.
TEST_F(SyncMgrDlgTest, HardwareSettingsRefusesARateTheBoardCannotRunAt)
{
    auto& a = Board(5001);
    const TQ8_HANDLE h = a.GetDeviceHandle();
    ASSERT_EQ(SetAdcClockSourceTQ8(h, TQ8_CLOCK_EXTERNAL), TQ8_OK);
    const int32_t id = mgr.AddVirtual();
    ASSERT_TRUE(mgr.FindInstance(id)->SetOutputDevice(0, h));
    IVltHUB6* unit = mgr.FindInstance(id)->GetObject();
    double before = 0.0;
    ASSERT_EQ(unit->GetDeviceClockRate(&before), S_OK);
    Open();
    double typed = 0.0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* page = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            page->findChild<QDoubleSpinBox*>(QStringLiteral("clockRate"))->setValue(typed);
            page->accept();
        }
    });
    timer.start(10);
    for (const auto& [rate, code] : {std::pair{6000.0, TQ8_ERR_RATE_TOO_HIGH}, std::pair{100.0, TQ8_ERR_RATE_TOO_LOW},
                                     std::pair{50.0, TQ8_ERR_RATE_TOO_LOW}}) {
        SCOPED_TRACE(rate);
        boxes.Clear();
        a.hints.clear();
        typed = rate;
        Click("hardwareSettings");
        std::wstring reason;
        FormatDeviceErrorText(reason, code, nullptr, h);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), L"Failed to set HUB3300 clock frequency: " + reason);
        double now = 0.0;
        ASSERT_EQ(unit->GetDeviceClockRate(&now), S_OK);
        EXPECT_EQ(now, before);
        ASSERT_EQ(GetExternalClockRateTQ8(h, &now, 1), TQ8_OK);
        EXPECT_EQ(now, before);
        EXPECT_EQ(std::count(a.hints.begin(), a.hints.end(), dochint::kClock), 0);
        EXPECT_EQ(hub6.syncCount(6000), 0u);
    }
    // A rate the board runs at is taken.
    boxes.Clear();
    typed = 1000.0;
    Click("hardwareSettings");
    EXPECT_EQ(boxes.Count(), 0u);
    double rate = 0.0;
    ASSERT_EQ(GetActualAdcAcqRateTQ8(h, &rate), TQ8_OK);
    EXPECT_EQ(rate, 1000.0);
    EXPECT_EQ(hub6.syncCount(6000), 1u);
}

TEST_F(SyncMgrDlgTest, TwoBoardsHaveTwoNamesAndAVirtualBoardCanBeBound)
{
    Board(5001);
    Board(5002);
    auto& v = NewDoc();
    const int32_t id = mgr.AddVirtual();
    Open();
    ASSERT_EQ(Output(1)->count(), 4);
    for (const char* name : {"TQ3300 #5001", "TQ3300 #5002", "TQ3300 #1600"})
        EXPECT_NE(Output(1)->findText(QString::fromLatin1(name)), -1) << name;
    const int virtualRow = Output(1)->findText(QStringLiteral("TQ3300 #1600"));
    ASSERT_EQ(Output(1)->itemData(virtualRow).toULongLong(), reinterpret_cast<uintptr_t>(v.GetDeviceHandle()));
    Choose(1, virtualRow);
    EXPECT_EQ(boxes.Count(), 0u) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(mgr.FindInstance(id)->GetOutputDevice(0), v.GetDeviceHandle());
    EXPECT_TRUE(v.HasSyncOutput());
}

TEST_F(SyncMgrDlgTest, RemoteConnectAddsTheRowsOfTheConnectedDevices)
{
    int calls = 0;
    CSyncMgrDlg::ConnectRemoteCommand() = [&](QWidget*, CVltHub6Mgr& manager) {
        ++calls;
        return std::vector<int32_t>{manager.AddVirtual(0)};
    };
    Open();
    EXPECT_TRUE(Find("connectRemote")->isEnabled());
    Click("connectRemote");
    CSyncMgrDlg::ConnectRemoteCommand() = nullptr;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(List()->topLevelItemCount(), 1);
}

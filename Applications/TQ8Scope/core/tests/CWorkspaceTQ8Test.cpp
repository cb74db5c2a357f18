#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unistd.h>
#include <initializer_list>
#include <vector>

#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTreeWidget>

#include "CChildFrame.h"
#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "CRecParamsManager.h"
#include "AtomicFile.h"
#include "CWorkspaceTQ8.h"
#include "DevMgrTestSupport.h"
#include "DocTestSupport.h"
#include "Hub6Library.h"
#include "Hub6TestHost.h"
#include "MessageBox.h"
#include "ShellFixture.h"

namespace {

class WorkspaceTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(doc_test::kFastTime);
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        TQ8Sim_Reset();
    }

    void AddLocalBoards(std::initializer_list<uint32_t> serials)
    {
        for (uint32_t serial : serials) {
            TQ8SIM_BOARD_DESC desc;
            TQ8Sim_DefaultBoardDesc(&desc, serial);
            ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        }
    }
    CWorkspaceTQ8& Ws() { return static_cast<CWorkspaceTQ8&>(app->GetWorkspace()); }
    CDeviceManagerTQ8& Devices() { return *app->GetDeviceManager(); }
    std::vector<CMainDoc*> Docs() const
    {
        std::vector<CMainDoc*> list;
        for (IBoardDocument* doc : app->GetMainFrame()->GetDocuments())
            list.push_back(dynamic_cast<CMainDoc*>(doc));
        return list;
    }
    CMainDoc* DocOf(TQ8_HANDLE device) const
    {
        for (CMainDoc* doc : Docs())
            if (doc && doc->GetDeviceHandle() == device)
                return doc;
        return nullptr;
    }
    // The user closes the document's window.
    void CloseWindowOf(CMainDoc* doc)
    {
        CChildFrame* child = app->GetMainFrame()->FindChildFrame(doc);
        ASSERT_NE(child, nullptr);
        auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
        ASSERT_NE(sub, nullptr);
        ASSERT_TRUE(sub->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static bool Connected(TQ8_HANDLE device)
    {
        uint32_t serial = 0;
        return GetSerialNumberTQ8(device, &serial) == TQ8_OK;
    }

    vlt::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(WorkspaceTest, TwoLocalBoardsGiveTwoDocumentsKnownToTheDeviceManager)
{
    AddLocalBoards({7001, 7002});
    ASSERT_TRUE(app->StartUp({}));
    std::vector<CMainDoc*> docs = Docs();
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_EQ(Ws().GetDeviceManager(), &Devices());
    EXPECT_EQ(Devices().GetDeviceCount(), 2u);
    EXPECT_EQ(Devices().GetDeviceCountWithoutDocument(), 0u);
    EXPECT_FALSE(app->CanNewLocalDevice());
    std::vector<uint32_t> serials;
    for (CMainDoc* doc : docs) {
        ASSERT_NE(doc, nullptr);
        TQ8_HANDLE device = doc->GetDeviceHandle();
        EXPECT_EQ(Devices().GetDocument(device), doc);
        EXPECT_FALSE(Ws().IsRemoteDevice(device));
        EXPECT_EQ(doc->GetStateFlags() & docstate::kHandOver, docstate::kLimitPlotData);
        serials.push_back(Devices().GetSerialNumber(device));
    }
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<uint32_t>{7001, 7002}));
    EXPECT_TRUE(Ws().IsInteractive());
    EXPECT_FALSE(Ws().IsModified());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WorkspaceTest, VirtualSwitchOpensVirtualBoard1600AndTheNextGets1601)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    ASSERT_EQ(Docs().size(), 1u);
    CMainDoc* doc = Docs()[0];
    ASSERT_NE(doc, nullptr);
    TQ8_HANDLE first = doc->GetDeviceHandle();
    EXPECT_EQ(doc->GetTitle(), L"Virtual TQ3300-4 #1600");
    EXPECT_EQ(Devices().GetDocument(first), doc);
    EXPECT_FALSE(Ws().IsRemoteDevice(first));
    // One board with a document is taken for a command-line file without asking.
    std::vector<TQ8_HANDLE> chosen;
    EXPECT_TRUE(Ws().SelectDevices(chosen, L"Please select", L"/x/board.tq8set"));
    EXPECT_EQ(chosen, std::vector<TQ8_HANDLE>{first});

    // A new virtual workspace disconnects the old board; serials only grow.
    ASSERT_TRUE(Ws().Create(3, std::wstring()));
    EXPECT_FALSE(Connected(first));
    ASSERT_EQ(Docs().size(), 1u);
    EXPECT_EQ(Devices().GetSerialNumber(Docs()[0]->GetDeviceHandle()), 1601u);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WorkspaceTest, ClosedDocumentReleasesItsBoardAndANewDocumentTakesIt)
{
    AddLocalBoards({7001, 7002});
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(Docs().size(), 2u);
    CMainDoc* closing = Docs()[0];
    TQ8_HANDLE freed = closing->GetDeviceHandle();
    CloseWindowOf(closing);
    ASSERT_EQ(Docs().size(), 1u);
    EXPECT_EQ(Devices().GetDocument(freed), nullptr);
    EXPECT_EQ(Devices().GetDeviceCountWithoutDocument(), 1u);
    // A local board stays connected for the next document.
    EXPECT_TRUE(Connected(freed));
    EXPECT_TRUE(Ws().IsModified());

    ASSERT_TRUE(app->CanNewLocalDevice());
    app->OnFileNewLocalDevice();
    ASSERT_EQ(Docs().size(), 2u);
    CMainDoc* reopened = DocOf(freed);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(Devices().GetDocument(freed), reopened);
    EXPECT_FALSE(app->CanNewLocalDevice());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WorkspaceTest, NewDocumentWithSeveralFreeBoardsAsksOnlyWhenInteractive)
{
    AddLocalBoards({7001, 7002});
    ASSERT_TRUE(app->StartUp({}));
    // An empty workspace: both local boards stay connected without a document.
    ASSERT_TRUE(Ws().Create(0, std::wstring()));
    EXPECT_TRUE(Docs().empty());
    ASSERT_EQ(Devices().GetDeviceCountWithoutDocument(), 2u);
    CDeviceManagerTQ8::HandleList free;
    Devices().GetDevices(free, CDeviceManagerTQ8::kNoDocument);

    // Cancel in the device selection opens nothing.
    {
        devmgr_test::DialogAnswer answer([](QDialog* d) { d->reject(); });
        app->OnFileNewLocalDevice();
    }
    EXPECT_TRUE(Docs().empty());

    Ws().SetInteractive(false);
    app->OnFileNewLocalDevice();
    ASSERT_EQ(Docs().size(), 1u);
    EXPECT_EQ(Docs()[0]->GetDeviceHandle(), free.front());
    Ws().SetInteractive(true);
    // One free board left: taken without asking.
    app->OnFileNewLocalDevice();
    ASSERT_EQ(Docs().size(), 2u);
    EXPECT_EQ(Devices().GetDocument(free.back()), DocOf(free.back()));
}

TEST_F(WorkspaceTest, ControllerRelationReachesTheDocumentsFlags)
{
    AddLocalBoards({7001, 7002});
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(Docs().size(), 2u);
    CMainDoc* controller = Docs()[0];
    CMainDoc* controlled = Docs()[1];
    TQ8_HANDLE a = controller->GetDeviceHandle();
    TQ8_HANDLE b = controlled->GetDeviceHandle();

    ASSERT_TRUE(Devices().SetController(b, a));
    EXPECT_TRUE(controller->GetStateFlags() & docstate::kController);
    EXPECT_FALSE(controller->GetStateFlags() & docstate::kControlled);
    EXPECT_TRUE(controlled->GetStateFlags() & docstate::kControlled);
    EXPECT_FALSE(controlled->GetStateFlags() & docstate::kController);
    EXPECT_EQ(controlled->GetControllerDocument(), controller);
    EXPECT_TRUE(Ws().IsModified());

    // Closing the controller's window frees the controlled board.
    CloseWindowOf(controller);
    EXPECT_EQ(Devices().GetController(b), nullptr);
    EXPECT_FALSE(controlled->GetStateFlags() & docstate::kControlled);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WorkspaceTest, ShutdownDisconnectsEveryBoardExactlyOnce)
{
    AddLocalBoards({7001, 7002, 7003});
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(Docs().size(), 3u);
    CloseWindowOf(Docs()[2]);
    CDeviceManagerTQ8::HandleList boards;
    Devices().GetDevices(boards, CDeviceManagerTQ8::kAllDevices);
    ASSERT_EQ(boards.size(), 3u);

    // The next three disconnections only count; a fourth would really
    // disconnect a board.
    ASSERT_EQ(TQ8Sim_InjectResult("DisconnectFromDeviceTQ8", TQ8_ERR_GENERAL, 3), TQ8_OK);
    Ws().SetModified(false);
    app->GetMainFrame()->close();
    app->ShutDown();
    EXPECT_TRUE(Docs().empty());
    EXPECT_EQ(Devices().GetDeviceCount(), 0u);
    for (TQ8_HANDLE board : boards) {
        EXPECT_TRUE(Connected(board));
        // Each of these goes through: no counted call was left over.
        EXPECT_EQ(DisconnectFromDeviceTQ8(board), TQ8_OK);
    }
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(WorkspaceTest, CloseJoinsARunningAcquisitionBeforeTheBoardGoes)
{
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    ASSERT_EQ(Docs().size(), 1u);
    CMainDoc* doc = Docs()[0];
    TQ8_HANDLE board = doc->GetDeviceHandle();
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    doc->SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc->StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::WaitUntilAcquiring(board));

    // The document is closed through the device manager, while it acquires.
    Ws().Close();
    EXPECT_TRUE(Docs().empty());
    EXPECT_EQ(Devices().GetDeviceCount(), 0u);
    EXPECT_FALSE(Connected(board));
}

TEST_F(WorkspaceTest, RecordingParametersComeAndGoWithTheWorkspace)
{
    AddLocalBoards({7001, 7002});
    ASSERT_TRUE(app->StartUp({}));
    CRecParamsManager* first = Ws().GetRecParamsManager();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetDeviceManager(), &Devices());
    for (CMainDoc* doc : Docs())
        EXPECT_NE(first->FindDeviceParams(doc->GetDeviceHandle()), nullptr);
    first->AcqSamples = 4096;

    ASSERT_TRUE(Ws().Create(0, std::wstring()));
    CRecParamsManager* second = Ws().GetRecParamsManager();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->AcqSamples, 1048576u);
    EXPECT_EQ(second->GetDeviceManager(), &Devices());
    EXPECT_TRUE(second->Devices().empty());

    // Closing is no change of the workspace.
    Ws().SetModified(true);
    Ws().Close();
    EXPECT_EQ(Ws().GetRecParamsManager(), nullptr);
    EXPECT_TRUE(Ws().IsModified());
}

TEST_F(WorkspaceTest, UnsupportedTypeLeavesTheWorkspaceAsItWas)
{
    AddLocalBoards({7001});
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(Docs().size(), 1u);
    TQ8_HANDLE board = Docs()[0]->GetDeviceHandle();
    CRecParamsManager* recParams = Ws().GetRecParamsManager();
    EXPECT_FALSE(Ws().Create(7, std::wstring()));
    ASSERT_EQ(Docs().size(), 1u);
    EXPECT_EQ(Docs()[0]->GetDeviceHandle(), board);
    EXPECT_TRUE(Connected(board));
    EXPECT_EQ(Ws().GetRecParamsManager(), recParams);
}

TEST_F(WorkspaceTest, CommandLineFirmwareGoesToOneBoardAfterTheOther)
{
    AddLocalBoards({7101, 7102});
    const std::string file = Dir().Str() + "/update.tq8fw";
    ASSERT_TRUE(vlt::AtomicWriteFile(file, "firmware"));
    const CMainDoc::ToolWindowFactories saved = CMainDoc::Factories();
    std::vector<CMainDoc*> opened;
    std::vector<std::unique_ptr<QWidget>> windows;
    CMainDoc::Factories().firmwareUpload = [&](CMainDoc& doc, const std::wstring&, QWidget*) {
        opened.push_back(&doc);
        windows.push_back(std::make_unique<QWidget>());
        return windows.back().get();
    };
    Ws().SetInteractive(true);
    devmgr_test::SelectionAnswer all([](const CDeviceManagerTQ8::HandleList& candidates) { return candidates; });
    ASSERT_TRUE(app->StartUp({vlt::Utf8ToWide(file)}));
    ASSERT_TRUE(doc_test::PumpUntil([&] { return opened.size() == 1; }));
    CMainFrame* frame = app->GetMainFrame();
    EXPECT_TRUE(frame->IsInModalState());
    // The second board waits while the first upload window is open.
    doc_test::Drain();
    EXPECT_EQ(opened.size(), 1u);
    opened[0]->OnFirmwareUploadDlgClosed();
    ASSERT_TRUE(doc_test::PumpUntil([&] { return opened.size() == 2; }));
    EXPECT_NE(opened[1], opened[0]);
    opened[1]->OnFirmwareUploadDlgClosed();
    doc_test::Drain();
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_FALSE(frame->IsInModalState());
    for (CMainDoc* doc : opened)
        EXPECT_FALSE(doc->GetStateFlags() & docstate::kFirmwareFromCommandLine);
    CMainDoc::Factories() = saved;
}

TEST_F(WorkspaceTest, ADocumentClosedWithItsUploadWindowOpenUnblocksTheMainFrame)
{
    AddLocalBoards({7201});
    const CMainDoc::ToolWindowFactories saved = CMainDoc::Factories();
    QPointer<QWidget> window;
    CMainDoc::Factories().firmwareUpload = [&](CMainDoc&, const std::wstring&, QWidget*) {
        window = new QWidget;
        return window.data();
    };
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(Docs().size(), 1u);
    CMainDoc* doc = Docs()[0];
    ASSERT_TRUE(doc->StartFirmwareUpload(L"/tmp/update.tq8fw", false));
    CMainFrame* frame = app->GetMainFrame();
    EXPECT_TRUE(frame->IsInModalState());
    CloseWindowOf(doc);
    EXPECT_TRUE(Docs().empty());
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(frame->IsInModalState());
    CMainDoc::Factories() = saved;
}

namespace {

// With the sync device's software; sync servers on a loopback address of
// this process's own, as the workspace asks for them on their fixed port.
class RemoteWorkspaceTest : public WorkspaceTest {
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(hub6.Load());
        const unsigned pid = static_cast<unsigned>(getpid());
        address = "127.86." + std::to_string((pid >> 8) & 0xFF) + "." + std::to_string(pid % 250 + 2);
    }
    void TearDown() override
    {
        hub6.Unload();
        WorkspaceTest::TearDown();
    }
    // The boxes that speak of sync devices.
    std::vector<vlt::MessageBoxRequest> SyncBoxes() const
    {
        std::vector<vlt::MessageBoxRequest> found;
        for (const vlt::MessageBoxRequest& box : boxes.Boxes())
            if (box.text.find(L"HUB3300-6") != std::wstring::npos || box.text.find(L"Remote server") == 0)
                found.push_back(box);
        return found;
    }
    // A remote workspace on the address, whose board server lists no boards.
    void CreateRemote()
    {
        ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", 0, 1), TQ8_OK);
        ASSERT_TRUE(Ws().Create(2, vlt::Utf8ToWide(address)));
    }

    doc_test::Hub6Library hub6;
    std::string address;
};

} // namespace

// A server without sync devices is worth a warning; one whose sync devices
// cannot be reached is left to the board step, which speaks for the server.
TEST_F(RemoteWorkspaceTest, WarnsOfAServerWithoutSyncDevicesOnly)
{
    AddLocalBoards({7201});
    ASSERT_TRUE(app->StartUp({}));
    {
        hub6test::Hub6TestHost host({}, address, CWorkspaceTQ8::kSyncServerPort);
        if (!host.Started())
            GTEST_SKIP() << "port " << CWorkspaceTQ8::kSyncServerPort << " is taken on " << address;
        boxes.Clear();
        ASSERT_NO_FATAL_FAILURE(CreateRemote());
        ASSERT_EQ(SyncBoxes().size(), 1u);
        EXPECT_EQ(SyncBoxes()[0].text, L"Server is running but has no HUB3300-6 devices");
        EXPECT_EQ(SyncBoxes()[0].style & MB_ICONMASK, MB_ICONWARNING);
    }
    boxes.Clear();
    ASSERT_NO_FATAL_FAILURE(CreateRemote());
    EXPECT_TRUE(SyncBoxes().empty()) << SyncBoxes()[0].text;
    EXPECT_EQ(Ws().GetSyncManager()->GetInstanceCount(), 0u);
}

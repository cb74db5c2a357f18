// A controller acquiring continuously with a controlled board, in the whole
// program: however the controller's acquisitions end, the controlled
// board's window goes back to idle.
#include <filesystem>
#include <functional>
#include <memory>

#include <QCheckBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>

#include "BoardWindowForms.h"
#include "CChildFrame.h"
#include "CDeviceManagerTQ8.h"
#include "CDocumentTabGroups.h"
#include "CForm_Action.h"
#include "CForm_Data.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "RemoteTestHost.h"
#include "ScopeTestSupport.h"
#include "TQ8Sim.h"
#include "TextConv.h"

namespace {

struct Board {
    CChildFrame* frame = nullptr;
    CMainDoc* doc = nullptr;
    CForm_Action* form = nullptr;
};

class ControllerGroupTest : public scope_test::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        TQ8Sim_SetTimeFactor(doc_test::kFastTime);
        // The save dialog lives with the tools; its command needs a maker.
        m_factories = CMainDoc::Factories();
        CMainDoc::Factories().saveBoardData = [](CMainDoc&) {};
    }
    void TearDown() override
    {
        if (app) {
            app->GetWorkspace().SetModified(false);
            app->GetMainFrame()->close();
            app->ShutDown();
        }
        app.reset();
        server.reset();
        CMainDoc::Factories() = m_factories;
        ProgramTest::TearDown();
    }

    void Start(const std::vector<std::wstring>& args) { ASSERT_TRUE(StartProgram(args)); }
    // Opens a board window for a connected board.
    void Open(TQ8_HANDLE device)
    {
        ASSERT_NE(device, nullptr);
        ASSERT_NE(app->OpenDeviceDocument(device, docstate::kLimitPlotData), nullptr);
    }
    Board BoardOf(CChildFrame* frame)
    {
        Board b;
        b.frame = frame;
        b.doc = dynamic_cast<CMainDoc*>(frame->GetDocument());
        b.form = frame->GetActionForm()->findChild<CForm_Action*>();
        if (!b.form)
            b.form = qobject_cast<CForm_Action*>(frame->GetActionForm());
        return b;
    }
    // The first two board windows become controller and controlled board;
    // the controller is set to acquire continuously.
    void MakeGroup()
    {
        const std::vector<CChildFrame*> frames = app->GetMainFrame()->GetChildFrames();
        ASSERT_EQ(frames.size(), 2u);
        controller = BoardOf(frames[0]);
        controlled = BoardOf(frames[1]);
        ASSERT_TRUE(controller.doc && controller.form && controlled.doc && controlled.form);
        ASSERT_TRUE(app->GetDeviceManager()->SetController(controlled.doc->GetDeviceHandle(),
                                                           controller.doc->GetDeviceHandle()));
        ASSERT_TRUE(controller.doc->IsController());
        ASSERT_TRUE(controlled.doc->IsControlled());
        controller.form->findChild<QCheckBox*>(QString::number(CForm_Action::kContinuousId))->setChecked(true);
    }
    // Starts the group and, from inside the main frame's continuous loop,
    // ends it with `end` once the controlled board has acquired a few times
    // and shows itself busy; then lets the loop finish. `end` is asked again
    // each millisecond until it says it has ended the group.
    void RunGroupAndEnd(std::function<bool()> end)
    {
        QTimer poll;
        poll.setInterval(1);
        bool ended = false;
        bool running = false;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            running = running || (controlled.doc->GetAcquisitionCount() >= 3 && ControlledShownBusy());
            if (ended || !running)
                return;
            ended = end();
            if (ended)
                poll.stop();
        });
        QTimer failsafe; // should the group never end, the loop must not hang the test
        failsafe.setSingleShot(true);
        QObject::connect(&failsafe, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the group did not end";
            for (const Board* b : {&controller, &controlled})
                if (b->doc && b->doc->IsContinuousMode())
                    b->doc->SetContinuousMode(false, false, false);
        });
        poll.start();
        failsafe.start(30000);
        controller.form->findChild<QPushButton*>(QString::number(CForm_Action::kStartStopId))->click();
        ASSERT_TRUE(doc_test::PumpUntil([&] { return ended; }));
        failsafe.stop();
    }
    bool ControlledShownBusy() const
    {
        return (controlled.doc->GetStateFlags() & docstate::kShownAcquiring) && controlled.doc->IsContinuousMode();
    }
    void CloseWindow(CChildFrame* frame)
    {
        auto* sub = qobject_cast<QMdiSubWindow*>(frame->parentWidget());
        ASSERT_NE(sub, nullptr);
        sub->close();
    }
    // What the controlled board's window shows once it is idle again: its
    // fields and board commands enabled, no acquisition rate.
    void ExpectControlledWindowIdle()
    {
        ASSERT_TRUE(doc_test::PumpUntil([this] { return controlled.doc->IsIdle(); }))
            << std::hex << controlled.doc->GetStateFlags();
        doc_test::Drain();
        EXPECT_FALSE(controlled.doc->GetStateFlags() & docstate::kShownAcquiring);
        auto* data = controlled.frame->findChild<CForm_Data*>();
        ASSERT_NE(data, nullptr);
        EXPECT_TRUE(data->Item(CForm_Data::kStartSampleId)->isEnabled());
        EXPECT_TRUE(data->Item(CForm_Data::kSampleCountId)->isEnabled());
        EXPECT_EQ(qobject_cast<QLabel*>(controlled.form->Item(CForm_Action::kPerSecondId))->text(), QString());
        CMainFrame* frame = app->GetMainFrame();
        frame->GetTabGroups()->SetActiveSubWindow(qobject_cast<QMdiSubWindow*>(controlled.frame->parentWidget()));
        frame->UpdateCommandUI();
        ASSERT_EQ(frame->GetActiveDocument(), controlled.doc);
        EXPECT_TRUE(frame->CommandAction(cmd::kSaveBoardData)->isEnabled());
        EXPECT_TRUE(frame->CommandAction(cmd::kSetPowerupDefaults)->isEnabled());
        EXPECT_TRUE(frame->CommandAction(cmd::kRefreshFromHardware)->isEnabled());
    }
    QPushButton* StartButton(const Board& b) const
    {
        return b.form->findChild<QPushButton*>(QString::number(CForm_Action::kStartStopId));
    }

    vlt::MessageBoxRecorder boxes; // outlives the program's shut-down
    std::unique_ptr<RemoteTestHost> server;
    Board controller;
    Board controlled;

private:
    CMainDoc::ToolWindowFactories m_factories;
};

TEST_F(ControllerGroupTest, ClosingTheControllersWindowLeavesTheControlledBoardIdle)
{
    Start({L"-virtual"});
    Open(app->GetDeviceManager()->ConnectVirtualDevice());
    MakeGroup();
    RunGroupAndEnd([this] {
        CloseWindow(controller.frame);
        return true;
    });
    controller = {};
    ExpectControlledWindowIdle();
    // On its own now: its start button is its own again.
    EXPECT_FALSE(controlled.doc->IsControlled());
    EXPECT_TRUE(StartButton(controlled)->isEnabled());
    EXPECT_EQ(StartButton(controlled)->text(), QStringLiteral("&Acquire and Display Data"));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ControllerGroupTest, StoppingTheControllerLeavesTheControlledBoardIdle)
{
    Start({L"-virtual"});
    Open(app->GetDeviceManager()->ConnectVirtualDevice());
    MakeGroup();
    RunGroupAndEnd([this] {
        StartButton(controller)->click();
        return true;
    });
    ExpectControlledWindowIdle();
    EXPECT_TRUE(controller.doc->IsIdle());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ControllerGroupTest, ControllersStandbyLeavesTheControlledBoardIdle)
{
    Start({L"-virtual"});
    Open(app->GetDeviceManager()->ConnectVirtualDevice());
    MakeGroup();
    // Standby cancels the controller's acquisition, which ends its
    // continuous mode. Once the group runs, time slows down so that a
    // controller's acquisition lasts long enough to be hit.
    controller.doc->SetSampleCount(doc_test::kSlowSamples);
    const TQ8_HANDLE device = controller.doc->GetDeviceHandle();
    bool slowed = false;
    RunGroupAndEnd([&] {
        if (!slowed) {
            TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
            slowed = true;
        }
        if (GetOperatingModeTQ8(device, 0) != TQ8_MODE_RAM_ACQ)
            return false;
        controller.form->findChild<QPushButton*>(QString::number(CForm_Action::kStandbyId))->click();
        TQ8Sim_SetTimeFactor(doc_test::kFastTime);
        return true;
    });
    ExpectControlledWindowIdle();
    EXPECT_TRUE(doc_test::PumpUntil([this] { return controller.doc->IsIdle(); }));
    EXPECT_FALSE(controller.doc->IsContinuousMode());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ControllerGroupTest, RemovedControllerBoardLeavesTheControlledBoardIdle)
{
    for (uint32_t serial : {4401u, 4402u}) {
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    }
    Start({});
    MakeGroup();
    uint32_t serial = 0;
    ASSERT_EQ(GetSerialNumberTQ8(controller.doc->GetDeviceHandle(), &serial), 0);
    RunGroupAndEnd([serial] { return TQ8Sim_SurpriseRemoveBoard(serial) == TQ8_OK; });
    ExpectControlledWindowIdle();
    // The controller's failure is reported once.
    ASSERT_TRUE(doc_test::PumpUntil([&] { return boxes.Count() > 0; }));
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"An error occurred during acquisition: ", 0), 0u);
}

TEST_F(ControllerGroupTest, LostConnectionOfTheControllerLeavesTheControlledBoardIdle)
{
    const std::filesystem::path root = m_dir / "served";
    std::filesystem::create_directories(root);
    server = std::make_unique<RemoteTestHost>(root.string());
    ASSERT_TRUE(server->Started());
    Start({L"-virtual"});
    // The remote board is the controller: the group's windows in that order.
    const std::vector<CChildFrame*> first = app->GetMainFrame()->GetChildFrames();
    ASSERT_EQ(first.size(), 1u);
    Open(app->GetDeviceManager()->ConnectRemoteDevice(L"127.0.0.1", server->Port(), 0, true, true));
    std::vector<CChildFrame*> frames = app->GetMainFrame()->GetChildFrames();
    ASSERT_EQ(frames.size(), 2u);
    controller = BoardOf(frames[1] == first[0] ? frames[0] : frames[1]);
    controlled = BoardOf(first[0]);
    ASSERT_TRUE(app->GetDeviceManager()->SetController(controlled.doc->GetDeviceHandle(),
                                                       controller.doc->GetDeviceHandle()));
    controller.form->findChild<QCheckBox*>(QString::number(CForm_Action::kContinuousId))->setChecked(true);
    RunGroupAndEnd([this] {
        server.reset();
        return true;
    });
    ExpectControlledWindowIdle();
    ASSERT_TRUE(doc_test::PumpUntil([&] { return boxes.Count() > 0; }));
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"An error occurred during acquisition: ", 0), 0u);
}

} // namespace

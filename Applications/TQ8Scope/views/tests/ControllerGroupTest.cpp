// A controller acquiring continuously with a controlled board, in the whole
// program: however the controller's acquisitions end, the controlled
// board's window goes back to idle.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>
#include <memory>

#include <QCheckBox>
#include <QComboBox>
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

constexpr wchar_t kSlaveClockQuestion[] = L"Slave devices must have one of the slave clocks selected";
constexpr wchar_t kAcquisitionError[] = L"An error occurred during acquisition: ";

size_t CountStartingWith(const std::vector<vlt::MessageBoxRequest>& boxes, const std::wstring& start)
{
    return size_t(std::count_if(boxes.begin(), boxes.end(),
                                [&](const vlt::MessageBoxRequest& box) { return box.text.rfind(start, 0) == 0; }));
}

// Answers every box with `answer`, which sees the box while it is up: what
// the user or the program does meanwhile happens there.
class AnsweredBoxes {
public:
    explicit AnsweredBoxes(std::function<int(const vlt::MessageBoxRequest&)> answer) : m_answer(std::move(answer))
    {
        m_previous = vlt::SetMessageBoxHandler([this](const vlt::MessageBoxRequest& req) {
            m_boxes.push_back(req);
            return m_answer(req);
        });
    }
    ~AnsweredBoxes() { vlt::SetMessageBoxHandler(std::move(m_previous)); }
    AnsweredBoxes(const AnsweredBoxes&) = delete;
    AnsweredBoxes& operator=(const AnsweredBoxes&) = delete;

    size_t Count(const std::wstring& start) const { return CountStartingWith(m_boxes, start); }
    // Yes to a question, the close answer to anything else.
    static int Yes(const vlt::MessageBoxRequest& req)
    {
        return (req.style & MB_TYPEMASK) == MB_YESNOCANCEL ? IDYES : vlt::DefaultCloseAnswer(req.style);
    }

private:
    std::function<int(const vlt::MessageBoxRequest&)> m_answer;
    vlt::MessageBoxHandler m_previous;
    std::vector<vlt::MessageBoxRequest> m_boxes;
};

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
    // Boards #2001 (master) and #2002 (its slave) on the bus beside the
    // virtual board #1600 the program starts with: the new workspace makes
    // the master its slave's controller while neither has a window.
    void StartWithMasterAndSlave()
    {
        for (const auto& [serial, role] : {std::pair{kMaster, 1}, std::pair{kSlave, 2}}) {
            TQ8SIM_BOARD_DESC desc;
            TQ8Sim_DefaultBoardDesc(&desc, serial);
            desc.masterSlave = role;
            ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        }
        Start({L"-virtual"});
    }
    TQ8_HANDLE Device(uint32_t serial) const { return app->GetDeviceManager()->FindDeviceBySerial(serial); }
    Board BoardOfSerial(uint32_t serial)
    {
        for (CChildFrame* frame : app->GetMainFrame()->GetChildFrames())
            if (frame->GetDocument() && frame->GetDocument()->GetDeviceHandle() == Device(serial))
                return BoardOf(frame);
        return {};
    }
    // The slave's and the virtual board's windows open after the master's
    // relations were made; the master controls both and acquires
    // continuously.
    void MakeMasterGroup()
    {
        Open(Device(kSlave));
        Open(Device(kMaster));
        ASSERT_TRUE(app->GetDeviceManager()->SetController(Device(kVirtual), Device(kMaster)));
        controller = BoardOfSerial(kMaster);
        controlled = BoardOfSerial(kSlave);
        ASSERT_TRUE(controller.doc && controlled.doc);
        controller.form->findChild<QCheckBox*>(QString::number(CForm_Action::kContinuousId))->setChecked(true);
    }

    // Runs the master's group and closes the window of one of its boards
    // from inside the loop; once the master has acquired a few times more,
    // `check` looks at its pane while it still runs, and the master is stopped.
    void RunMasterGroupAndClose(uint32_t serial, const std::function<void()>& check)
    {
        CChildFrame* closing = BoardOfSerial(serial).frame;
        ASSERT_NE(closing, nullptr);
        uint32_t countAtClose = 0;
        RunGroupAndEnd([&] {
            if (closing) {
                CloseWindow(closing);
                closing = nullptr;
                if (serial == kSlave)
                    controlled = {};
                countAtClose = controller.doc->GetAcquisitionCount();
                return false;
            }
            if (controller.doc->GetAcquisitionCount() < countAtClose + 3)
                return false;
            check();
            StartButton(controller)->click();
            return true;
        });
        EXPECT_TRUE(doc_test::PumpUntil([this] { return controller.doc->IsIdle(); }));
    }
    // The controller's pane as it shows a continuous acquisition.
    void ExpectControllerPaneRunning()
    {
        EXPECT_TRUE(controller.doc->IsContinuousMode());
        EXPECT_EQ(StartButton(controller)->text(), QStringLiteral("C&ancel Continuous Mode"));
        EXPECT_TRUE(StartButton(controller)->isEnabled());
        EXPECT_FALSE(controller.form->Item(CForm_Action::kContinuousId)->isEnabled());
        EXPECT_FALSE(controller.form->Item(CForm_Action::kControllerLinkId)->isEnabled());
    }

    static constexpr uint32_t kMaster = 2001;
    static constexpr uint32_t kSlave = 2002;
    static constexpr uint32_t kVirtual = 1600;

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
    // The plot, reading the board's memory as the connection goes, may
    // report its own failure first.
    ASSERT_TRUE(doc_test::PumpUntil([&] { return CountStartingWith(boxes.Boxes(), kAcquisitionError) > 0; }));
    EXPECT_EQ(CountStartingWith(boxes.Boxes(), kAcquisitionError), 1u);
}

} // namespace

namespace {

// The master's group starts continuously; the slave's clock question is
// answered on the screen, where a box lets waiting messages through while
// it is up. The question comes once, and the group runs until stopped: the
// slave reports each acquisition to its controller, so the controller
// restarts the group (the slave acquires again) instead of waiting for it.
TEST_F(ControllerGroupTest, MasterGroupWhoseWindowsOpenedLaterRunsContinuously)
{
    StartWithMasterAndSlave();
    MakeMasterGroup();
    AnsweredBoxes answered([](const vlt::MessageBoxRequest& req) {
        doc_test::Drain();
        return AnsweredBoxes::Yes(req);
    });
    RunGroupAndEnd([this] {
        StartButton(controller)->click();
        return true;
    });
    EXPECT_EQ(answered.Count(kSlaveClockQuestion), 1u);
    ExpectControlledWindowIdle();
    EXPECT_TRUE(doc_test::PumpUntil([this] { return controller.doc->IsIdle(); }));
    EXPECT_EQ(answered.Count(kAcquisitionError), 0u);
}

// A board of the master's group closes while the group acquires
// continuously, first the virtual board, then the slave: the master goes on
// acquiring, and its pane shows it running until it is stopped.
TEST_F(ControllerGroupTest, ControllersPaneShowsItRunningAfterABoardOfItsGroupCloses)
{
    StartWithMasterAndSlave();
    MakeMasterGroup();
    AnsweredBoxes answered([](const vlt::MessageBoxRequest& req) {
        doc_test::Drain();
        return AnsweredBoxes::Yes(req);
    });
    RunMasterGroupAndClose(kVirtual, [this] {
        ExpectControllerPaneRunning();
        EXPECT_TRUE(controller.doc->IsController());
    });
    // Idle again: the pane is the idle one.
    EXPECT_EQ(StartButton(controller)->text(), QStringLiteral("&Acquire and Display Data"));
    EXPECT_TRUE(controller.form->Item(CForm_Action::kContinuousId)->isEnabled());
    RunMasterGroupAndClose(kSlave, [this] {
        ExpectControllerPaneRunning();
        EXPECT_FALSE(controller.doc->IsController());
    });
    EXPECT_EQ(StartButton(controller)->text(), QStringLiteral("&Acquire and Display Data"));
    EXPECT_EQ(answered.Count(kAcquisitionError), 0u);
}

// The master's window closes while its start waits on the slave's clock
// question: the start ends there, without a call on the master's handle.
TEST_F(ControllerGroupTest, ClosingTheMastersWindowDuringItsStartEndsTheStart)
{
    StartWithMasterAndSlave();
    MakeMasterGroup();
    AnsweredBoxes answered([this](const vlt::MessageBoxRequest& req) {
        if (req.text.rfind(kSlaveClockQuestion, 0) == 0 && controller.frame) {
            CloseWindow(controller.frame);
            controller = {};
        }
        return AnsweredBoxes::Yes(req);
    });
    StartButton(controller)->click();
    doc_test::Drain();
    EXPECT_EQ(answered.Count(kSlaveClockQuestion), 1u);
    EXPECT_EQ(answered.Count(kAcquisitionError), 0u);
    for (uint32_t serial : {kSlave, kVirtual}) {
        const Board b = BoardOfSerial(serial);
        ASSERT_NE(b.doc, nullptr);
        EXPECT_TRUE(b.doc->IsIdle()) << serial;
        EXPECT_EQ(GetOperatingModeTQ8(b.doc->GetDeviceHandle(), 0), TQ8_MODE_STANDBY) << serial;
    }
    EXPECT_EQ(app->GetMainFrame()->GetChildFrames().size(), 2u);
}

// The slave's "Master is:" list follows the master's window as it opens,
// closes and opens again.
TEST_F(ControllerGroupTest, SlavesMasterListFollowsTheMastersWindow)
{
    StartWithMasterAndSlave();
    Open(Device(kSlave));
    auto* data = BoardOfSerial(kSlave).frame->findChild<CForm_Data*>();
    ASSERT_NE(data, nullptr);
    auto* list = qobject_cast<QComboBox*>(data->Item(CForm_Data::kMasterId));
    ASSERT_NE(list, nullptr);
    const QVariant master = QVariant::fromValue<qulonglong>(reinterpret_cast<uintptr_t>(Device(kMaster)));
    EXPECT_EQ(list->findData(master), -1);

    Open(Device(kMaster));
    EXPECT_NE(list->findData(master), -1);
    EXPECT_EQ(list->currentData(), master);

    CloseWindow(BoardOfSerial(kMaster).frame);
    doc_test::Drain();
    EXPECT_EQ(list->findData(master), -1);

    Open(Device(kMaster));
    EXPECT_NE(list->findData(master), -1);
}

// Every controlled board's action pane is that of a controlled board, also
// the slave whose window opened after it became controlled.
TEST_F(ControllerGroupTest, EveryControlledBoardShowsItselfControlled)
{
    StartWithMasterAndSlave();
    MakeMasterGroup();
    for (uint32_t serial : {kSlave, kVirtual}) {
        const Board b = BoardOfSerial(serial);
        ASSERT_NE(b.form, nullptr);
        EXPECT_TRUE(b.doc->IsControlled()) << serial;
        EXPECT_EQ(StartButton(b)->text(), QStringLiteral("Controlled Device")) << serial;
        EXPECT_FALSE(StartButton(b)->isEnabled()) << serial;
        EXPECT_FALSE(b.form->Item(CForm_Action::kContinuousId)->isEnabled()) << serial;
    }
    EXPECT_TRUE(controller.doc->IsController());
}

} // namespace

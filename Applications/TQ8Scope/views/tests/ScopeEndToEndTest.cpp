// The program on a virtual board, as a user starts it: after an acquisition
// the board's trace is in the plot.
#include <fstream>
#include <random>

#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "BoardWindowForms.h"
#include "CChildFrame.h"
#include "CForm_Action.h"
#include "CFormView_Scope.h"
#include "CMainApp.h"
#include "CRecParamsManager.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "FileDialog.h"
#include "OleColor.h"
#include "ScopeTestSupport.h"
#include "TQ8Sim.h"
#include "TextConv.h"

namespace {

class ScopeEndToEndTest : public scope_test::ProgramTest {
protected:
    // Starts the program on one virtual board and waits for its plot.
    void StartVirtual()
    {
        ASSERT_TRUE(StartProgram({L"-virtual"}));
        const std::vector<CChildFrame*> frames = app->GetMainFrame()->GetChildFrames();
        ASSERT_EQ(frames.size(), 1u);
        frame = frames[0];
        view = qobject_cast<CScopeView*>(frame->GetPlotView());
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(doc_test::PumpUntil([this] { return view->GetControl() != nullptr; }));
        doc = dynamic_cast<CMainDoc*>(frame->GetDocument());
        ASSERT_NE(doc, nullptr);
        form = frame->GetActionForm()->findChild<CForm_Action*>();
        if (!form)
            form = qobject_cast<CForm_Action*>(frame->GetActionForm());
        ASSERT_NE(form, nullptr);
    }
    QImage Grab(bool repaint = true)
    {
        if (repaint)
            view->GetControl()->RefreshScope(); // the whole picture again, traces read or kept
        return view->GetControlWindow()->grab().toImage();
    }
    // Pixels of the plot's middle, away from the labels, that match.
    template <class Match>
    static int Count(const QImage& image, Match match)
    {
        const QRect plot(image.width() / 8, image.height() / 8, image.width() * 3 / 4, image.height() * 3 / 4);
        int count = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x)
                count += match(image.pixel(x, y));
        return count;
    }
    // Pixels of the plot's middle that are not its background.
    static int Traced(const QImage& image)
    {
        return Count(image, [](QRgb pixel) { return pixel != qRgb(0x29, 0x31, 0x73); });
    }
    bool Busy() const { return doc->GetStateFlags() & docstate::kAcquiring; }
    // Pixels in the colour of the plot's first channel.
    int TracePixels(const QImage& image) const
    {
        OLE_COLOR colour = 0;
        view->GetControl()->get_ChannelColor(0, &colour);
        const QRgb trace = vlt::OleColorToQColor(colour).rgb();
        return Count(image, [trace](QRgb pixel) { return pixel == trace; });
    }
    void Click(int id) { form->findChild<QPushButton*>(QString::number(id))->click(); }

    CChildFrame* frame = nullptr;
    CScopeView* view = nullptr;
    CMainDoc* doc = nullptr;
    CForm_Action* form = nullptr;
};

TEST_F(ScopeEndToEndTest, AcquiredVirtualBoardShowsItsTrace)
{
    vlt::MessageBoxRecorder boxes;
    StartVirtual();
    const std::vector<CChildFrame*> frames{frame};
    auto* panel = dynamic_cast<CFormView_Scope*>(doc->GetScopeFormView());
    ASSERT_NE(panel, nullptr);

    auto* acquire = frames[0]->GetActionForm()->findChild<QPushButton*>(QString::number(CForm_Action::kStartStopId));
    ASSERT_NE(acquire, nullptr);
    acquire->click();
    ASSERT_TRUE(doc_test::PumpUntil([panel] { return !panel->Sources().empty(); }));
    doc_test::Drain();

    IScopeTQ8* control = view->GetControl();
    uint32_t sources = 0;
    control->GetChannelSourceCount(&sources);
    EXPECT_EQ(sources, 1u);
    const uint32_t id = panel->Sources().begin()->first;
    CComPtr<IScopeTQ8ChannelSource> source;
    ASSERT_EQ(control->GetChannelSource(id, &source), S_OK);
    uint32_t channels = 0;
    source->GetChannelCount(&channels);
    const auto boardChannels =
        uint32_t(GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(doc->GetDeviceHandle(), 1)));
    EXPECT_EQ(channels, boardChannels);
    EXPECT_EQ(panel->GetSourceList()->topLevelItemCount(), int(boardChannels));

    // The plot area is not only the dark blue background.
    const QImage image = Grab(false);
    EXPECT_GT(Traced(image), image.width() * 3 / 4);

    // "Go To..." opens the go-to window, and Ctrl+G closes it again.
    panel->findChild<QPushButton*>(QString::number(CFormView_Scope::kGoToId))->click();
    ASSERT_TRUE(doc_test::PumpUntil([&] { return frames[0]->GetGoToWindow() != nullptr; }));
    EXPECT_TRUE(frames[0]->GetGoToWindow()->isVisible());
    EXPECT_TRUE(app->GetMainFrame()->OnCommand(cmd::kGoToSample));
    EXPECT_FALSE(frames[0]->GetGoToWindow()->isVisible());
    EXPECT_EQ(boxes.Count(), 0u);
    app->GetMainFrame()->close();
    app->ShutDown();
}

TEST_F(ScopeEndToEndTest, WorkspaceGivesThePlotItsParameters)
{
    vlt::MessageBoxRecorder boxes;
    const std::filesystem::path file = m_dir / "plot.tq8ws";
    {
        std::ofstream out(file);
        out << "<?xml version=\"1.0\"?><TQ8Scope_Workspace><Devices><Device Sn=\"4711\" Virtual=\"1\" >"
               "<DocState><plot_page_width>1024</plot_page_width><plot_min_samp_val>10</plot_min_samp_val>"
               "<plot_max_samp_val>200</plot_max_samp_val></DocState>"
               "<LibSettings><TQ8Settings version=\"1\"><TriggerSource>0</TriggerSource></TQ8Settings></LibSettings>"
               "</Device></Devices>"
               "</TQ8Scope_Workspace>";
    }
    ASSERT_TRUE(StartProgram({vlt::Utf8ToWide(file.string())}));
    const std::vector<CChildFrame*> frames = app->GetMainFrame()->GetChildFrames();
    ASSERT_EQ(frames.size(), 1u);
    auto* view = qobject_cast<CScopeView*>(frames[0]->GetPlotView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(doc_test::PumpUntil([view] { return view->GetControl() != nullptr; }));
    doc_test::Drain();
    IScopeTQ8* control = view->GetControl();
    uint32_t width = 0;
    int32_t low = 0, high = 0;
    control->get_PageWidth(&width);
    control->get_MinSampleValue(&low);
    control->get_MaxSampleValue(&high);
    EXPECT_EQ(width, 1024u);
    EXPECT_EQ(low, 10);
    EXPECT_EQ(high, 200);
    // Nothing was changed, so nothing is to be saved.
    auto* doc = dynamic_cast<CMainDoc*>(frames[0]->GetDocument());
    ASSERT_NE(doc, nullptr);
    doc->UpdateAllViews(dochint::kBeforeWorkspaceSave);
    EXPECT_FALSE(app->GetWorkspace().IsModified());
    app->GetMainFrame()->close();
    app->ShutDown();
}

// Answering No to "Continue loading workspace?" keeps the boards loaded so
// far, each with all the file gave it: settings and view state.
TEST_F(ScopeEndToEndTest, AStoppedWorkspaceLoadLeavesItsLoadedBoardWhole)
{
    vlt::MessageBoxRecorder boxes;
    StartVirtual();
    const std::filesystem::path file = m_dir / "part.tq8ws";
    std::ofstream(file) << "<?xml version=\"1.0\"?><TQ8Scope_Workspace><Devices><Device Sn=\"4711\" Virtual=\"1\" >"
                           "<DocState><plot_page_width>1024</plot_page_width><doc_active_view>2</doc_active_view>"
                           "</DocState><LibSettings><TQ8Settings version=\"1\"><TriggerSource>2</TriggerSource>"
                           "</TQ8Settings></LibSettings></Device><Device Sn=\"9999\" ><LibSettings><x/></LibSettings>"
                           "</Device></Devices></TQ8Scope_Workspace>";
    boxes.QueueAnswer(IDNO);
    auto dialog = vlt::SetFileDialogHandler(
        [&](const vlt::FileDialogRequest&) { return std::optional<std::wstring>(vlt::Utf8ToWide(file.string())); });
    app->OnFileOpenWorkspace();
    vlt::SetFileDialogHandler(dialog);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().substr(boxes.LastText().size() - 28), L"\nContinue loading workspace?");

    const std::vector<CChildFrame*> frames = app->GetMainFrame()->GetChildFrames();
    ASSERT_EQ(frames.size(), 1u);
    auto* loaded = dynamic_cast<CMainDoc*>(frames[0]->GetDocument());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(GetTriggerSourceTQ8(loaded->GetDeviceHandle(), 1), 2);
    EXPECT_EQ(frames[0]->GetSelectedControlPage(), 2);
    auto* plot = qobject_cast<CScopeView*>(frames[0]->GetPlotView());
    ASSERT_NE(plot, nullptr);
    ASSERT_TRUE(doc_test::PumpUntil([plot] { return plot->GetControl() != nullptr; }));
    doc_test::Drain();
    uint32_t width = 0;
    plot->GetControl()->get_PageWidth(&width);
    EXPECT_EQ(width, 1024u);
    app->GetMainFrame()->close();
    app->ShutDown();
}

TEST_F(ScopeEndToEndTest, ZoomOrScrollWhileAcquiringDrawsNothingUntilTheNextCompletion)
{
    vlt::MessageBoxRecorder boxes;
    StartVirtual();
    const TQ8_HANDLE device = doc->GetDeviceHandle();
    ASSERT_EQ(SetActiveChannelsTQ8(device, 5), 0); // channel 1 alone
    Click(CForm_Action::kStartStopId);
    ASSERT_TRUE(doc_test::PumpUntil([this] { return doc->GetAcquisitionCount() == 1 && doc->IsIdle(); }));
    const QImage first = Grab();
    ASSERT_GT(TracePixels(first), first.width() / 2);

    // A trigger on channel 2, which is not acquired: the board waits for a software trigger.
    ASSERT_EQ(SetTriggerSourceTQ8(device, 1), 0);
    boxes.QueueAnswer(IDOK);
    Click(CForm_Action::kStartStopId);
    EXPECT_EQ(boxes.Count(), 1u); // "... the acquisition will never trigger."
    ASSERT_TRUE(Busy());
    doc_test::Drain();
    EXPECT_EQ(Grab(), first); // unchanged view: the last trace
    uint64_t start = 0;
    uint32_t width = 0;
    IScopeTQ8* control = view->GetControl();
    control->get_StartSample(&start);
    control->get_PageWidth(&width);
    ASSERT_EQ(control->put_StartSample(start + 100), S_OK); // scrolled
    EXPECT_EQ(TracePixels(Grab()), 0);
    ASSERT_EQ(control->put_PageWidth(width / 2), S_OK); // zoomed
    EXPECT_EQ(TracePixels(Grab()), 0);
    EXPECT_EQ(TracePixels(Grab(false)), 0);
    EXPECT_TRUE(Busy());
    EXPECT_EQ(doc->GetAcquisitionCount(), 0u); // started anew

    Click(CForm_Action::kForceTriggerId);
    ASSERT_TRUE(doc_test::PumpUntil([this] { return !Busy() && doc->IsIdle(); }));
    doc_test::Drain();
    const QImage next = Grab(false);
    EXPECT_GT(TracePixels(next), next.width() / 2);
    uint64_t nextStart = 0;
    uint32_t nextWidth = 0;
    control->get_StartSample(&nextStart);
    control->get_PageWidth(&nextWidth);
    EXPECT_EQ(nextStart, start + 100); // the new page
    EXPECT_EQ(nextWidth, width / 2);
    EXPECT_EQ(boxes.Count(), 1u);
    app->GetMainFrame()->close();
    app->ShutDown();
}

TEST_F(ScopeEndToEndTest, ARecordingThatFailsToStartLeavesTheBoardInThePlot)
{
    vlt::MessageBoxRecorder boxes;
    StartVirtual();
    auto* panel = dynamic_cast<CFormView_Scope*>(doc->GetScopeFormView());
    ASSERT_NE(panel, nullptr);
    Click(CForm_Action::kStartStopId);
    ASSERT_TRUE(doc_test::PumpUntil([this] { return doc->GetAcquisitionCount() == 1 && doc->IsIdle(); }));
    IScopeTQ8* control = view->GetControl();
    ASSERT_EQ(control->put_StartSample(100), S_OK);
    ASSERT_EQ(panel->Sources().size(), 1u);
    const uint32_t id = panel->Sources().begin()->first;
    const int rows = panel->GetSourceList()->topLevelItemCount();
    const auto attachedAsBefore = [&] {
        uint64_t start = 0;
        control->get_StartSample(&start);
        return panel->Sources().size() == 1 && panel->Sources().begin()->first == id &&
               panel->GetSourceList()->topLevelItemCount() == rows && start == 100;
    };

    CRecParamsManager manager;
    CRecParamsManager::CDevState& params = manager.GetDeviceParams(doc->GetDeviceHandle());
    params.RecParams.RecDurType = CRecParams::kDurSamples;
    params.RecParams.DurSamples = 1 << 20;
    params.RecParams.AcqSamples = 65536;
    params.RecParams.DestFileOpts.Pathname1 = L"rec.rd8";
    ASSERT_TRUE(params.RecParams.BuildSessionParams(doc->GetDeviceHandle(), manager, params.SessionParams,
                                                    vlt::Utf8ToWide(m_dir.string()).c_str()));
    ASSERT_EQ(TQ8Sim_InjectResult("CreateRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc->CreateRecordingSession(manager, params));
    EXPECT_TRUE(attachedAsBefore());
    ASSERT_TRUE(doc->CreateRecordingSession(manager, params));
    EXPECT_TRUE(panel->Sources().empty()); // a session takes the board from the plot
    ASSERT_EQ(TQ8Sim_InjectResult("ArmRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc->ArmRecordingSession());
    EXPECT_TRUE(attachedAsBefore());
    EXPECT_EQ(boxes.Count(), 2u);
    app->GetMainFrame()->close();
    app->ShutDown();
}

// Delivers the document's queued calls itself (the acquisition thread's
// completions among them), so that the test looks at the plot right after
// each completion, before the next acquisition starts.
class AfterCompletion : public QObject {
public:
    AfterCompletion(CMainDoc& doc, std::function<void()> onCompletion) : m_doc(doc), m_on(std::move(onCompletion)) {}
    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (event->type() != QEvent::MetaCall)
            return false;
        const uint32_t before = m_doc.GetAcquisitionCount();
        target->event(event);
        if (m_doc.GetAcquisitionCount() != before)
            m_on();
        return true;
    }

private:
    CMainDoc& m_doc;
    std::function<void()> m_on;
};

TEST_F(ScopeEndToEndTest, ContinuousModeKeepsTheLastTraceOnScreen)
{
    vlt::MessageBoxRecorder boxes;
    StartVirtual();
    QImage idle;            // the plot as drawn at the last completion, from board memory
    int completions = 0;
    int busyGrabs = 0;      // grabs while the board acquired, which cannot read it
    int otherGrabs = 0;
    int differing = 0;
    AfterCompletion filter(*doc, [&] {
        ++completions;
        ASSERT_FALSE(Busy());
        idle = Grab();
        if (Traced(idle) <= idle.width())
            ++differing;
    });
    doc->installEventFilter(&filter);

    std::mt19937 random(49);
    QTimer between;
    between.setSingleShot(true);
    between.setTimerType(Qt::PreciseTimer);
    QObject::connect(&between, &QTimer::timeout, [&] {
        if (!idle.isNull()) {
            const bool busy = Busy();
            if (Grab() != idle)
                ++differing;
            ++(busy ? busyGrabs : otherGrabs);
        }
        if (completions >= 200 && busyGrabs >= 200)
            doc->StopAcquisition();
        else
            between.start(std::uniform_int_distribution<int>(0, 3)(random));
    });
    QTimer failsafe; // a cap should the loop never end
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, [&] {
        ADD_FAILURE() << "continuous mode did not end";
        doc->StopAcquisition();
    });

    form->findChild<QCheckBox*>(QString::number(CForm_Action::kContinuousId))->setChecked(true);
    between.start(0);
    failsafe.start(120000);
    form->findChild<QPushButton*>(QString::number(CForm_Action::kStartStopId))->click();
    ASSERT_TRUE(doc_test::PumpUntil([this] { return doc->IsIdle(); }));
    failsafe.stop();
    between.stop();
    doc->removeEventFilter(&filter);

    EXPECT_GE(completions, 200);
    EXPECT_GE(busyGrabs, 200);
    EXPECT_EQ(differing, 0) << busyGrabs << " grabs while acquiring, " << otherGrabs << " others";
    EXPECT_EQ(boxes.Count(), 0u);
    app->GetMainFrame()->close();
    app->ShutDown();
}

} // namespace

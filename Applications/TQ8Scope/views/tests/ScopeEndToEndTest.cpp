// The program on a virtual board, as a user starts it: after an acquisition
// the board's trace is in the plot.
#include <fstream>

#include <QImage>
#include <QPushButton>
#include <QTreeWidget>

#include "BoardWindowForms.h"
#include "CChildFrame.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "ScopeTestSupport.h"
#include "TextConv.h"

namespace {

class ScopeEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        m_dir = std::filesystem::path(std::getenv("VLT_TEST_TMP") ? std::getenv("VLT_TEST_TMP") : "/tmp") /
                ("scope_e2e_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", (m_dir / "registry").c_str(), 1);
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        ASSERT_TRUE(scope_test::RegisterPlotLibrary());
        m_panes = CChildFrame::Panes();
        m_pages = CChildFrame::PageTable();
        RegisterBoardWindowForms();
    }
    void TearDown() override
    {
        app.reset();
        CChildFrame::Panes() = m_panes;
        CChildFrame::PageTable() = m_pages;
        TQ8Sim_Reset();
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }

    std::unique_ptr<CMainApp> app;
    std::filesystem::path m_dir;

private:
    CChildFrame::PaneFactories m_panes;
    std::array<CChildFrame::PageEntry, CChildFrame::kPageCount> m_pages;
};

TEST_F(ScopeEndToEndTest, AcquiredVirtualBoardShowsItsTrace)
{
    vlt::MessageBoxRecorder boxes;
    app = std::make_unique<CMainApp>();
    app->SetProgramFolder(vlt::Utf8ToWide(m_dir.string()));
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    const std::vector<CChildFrame*> frames = app->GetMainFrame()->GetChildFrames();
    ASSERT_EQ(frames.size(), 1u);
    auto* view = qobject_cast<CScopeView*>(frames[0]->GetPlotView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(doc_test::PumpUntil([view] { return view->GetControl() != nullptr; }));
    auto* doc = dynamic_cast<CMainDoc*>(frames[0]->GetDocument());
    auto* panel = dynamic_cast<CFormView_Scope*>(doc->GetScopeFormView());
    ASSERT_NE(panel, nullptr);

    auto* acquire = frames[0]->GetActionForm()->findChild<QPushButton*>(QStringLiteral("1002"));
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
    const QImage image = view->GetControlWindow()->grab().toImage();
    const QRect plot = control ? QRect(image.width() / 8, image.height() / 8, image.width() * 3 / 4,
                                       image.height() * 3 / 4)
                               : QRect();
    const QRgb background = qRgb(0x29, 0x31, 0x73);
    int traced = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x)
            if (image.pixel(x, y) != background)
                ++traced;
    EXPECT_GT(traced, plot.width());

    // "Go To..." opens the go-to window, and Ctrl+G closes it again.
    panel->findChild<QPushButton*>(QStringLiteral("1087"))->click();
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
    app = std::make_unique<CMainApp>();
    app->SetProgramFolder(vlt::Utf8ToWide(m_dir.string()));
    ASSERT_TRUE(app->StartUp({vlt::Utf8ToWide(file.string())}));
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

} // namespace

#include <QSplitter>
#include <QTabBar>

#include "AppMessages.h"
#include "BoardWindowForms.h"
#include "CChildFrame.h"
#include "CForm_Action.h"
#include "CMainApp.h"
#include "CVltTabView.h"
#include "FormTestSupport.h"

namespace {

using form_test::FormDoc;

// A page that records the activation messages it is posted.
class RecordingPage : public QWidget, public vlt::IAppMessageTarget {
public:
    struct Message {
        uintptr_t state;
        QWidget* other;
    };
    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override
    {
        if (msg == WM_ACTIVATE)
            messages.push_back({wParam, reinterpret_cast<QWidget*>(lParam)});
        return 0;
    }
    std::vector<Message> messages;
};

class TabViewTest : public form_test::FormTest {
protected:
    static IControlPanel::PageFactory Pages(std::vector<RecordingPage*>& made)
    {
        return [&made](IBoardDocument&) {
            made.push_back(new RecordingPage);
            return made.back();
        };
    }
    static QWidget* NoPage(IBoardDocument&) { return nullptr; }
};

TEST_F(TabViewTest, OnePageShownAtATime)
{
    FormDoc& doc = NewDoc();
    auto& view = Show(new CVltTabView);
    window->resize(500, 300);
    form_test::Drain();
    EXPECT_EQ(view.tabPosition(), QTabWidget::South);
    EXPECT_EQ(view.tabBar()->focusPolicy(), Qt::NoFocus);
    std::vector<RecordingPage*> pages;
    const int firstId = CVltTabView::PeekNextPageId();
    EXPECT_EQ(view.AddPage(0, L"Data", Pages(pages), doc), 0);
    // The first page is shown at once, in the display rectangle.
    EXPECT_TRUE(pages[0]->isVisible());
    EXPECT_FALSE(view.GetDisplayRect().isEmpty());
    EXPECT_EQ(pages[0]->size(), view.GetDisplayRect().size());
    EXPECT_EQ(view.AddPage(1, L"Trigger", Pages(pages), doc), 1);
    EXPECT_FALSE(pages[1]->isVisible());
    EXPECT_EQ(CVltTabView::GetPageId(pages[0]), firstId);
    EXPECT_EQ(CVltTabView::GetPageId(pages[1]), firstId + 1);

    // A page that cannot be made leaves no tab behind.
    EXPECT_EQ(view.AddPage(2, L"Status", NoPage, doc), -1);
    EXPECT_EQ(view.count(), 2);

    // The tab already selected, or none: nothing happens.
    EXPECT_EQ(view.SelectPage(0), 0);
    EXPECT_EQ(view.SelectPage(2), -1);
    form_test::Drain();
    EXPECT_TRUE(pages[0]->messages.empty());
    EXPECT_EQ(view.currentIndex(), 0);

    EXPECT_EQ(view.SelectPage(1), 1);
    form_test::Drain();
    EXPECT_TRUE(pages[1]->isVisible());
    EXPECT_FALSE(pages[0]->isVisible());
    EXPECT_TRUE(pages[1]->hasFocus());
    ASSERT_EQ(pages[0]->messages.size(), 1u);
    EXPECT_EQ(pages[0]->messages[0].state, WA_INACTIVE);
    EXPECT_EQ(pages[0]->messages[0].other, pages[1]);
    ASSERT_EQ(pages[1]->messages.size(), 1u);
    EXPECT_EQ(pages[1]->messages[0].state, WA_ACTIVE);
    EXPECT_EQ(pages[1]->messages[0].other, pages[0]);

    // A click on a tab switches the same way.
    view.tabBar()->setCurrentIndex(0);
    form_test::Drain();
    EXPECT_EQ(pages[0]->messages.back().state, WA_ACTIVE);
    EXPECT_EQ(pages[1]->messages.back().state, WA_INACTIVE);

    // Ids go on counting in another board's control panel.
    CVltTabView other;
    EXPECT_EQ(other.AddPage(0, L"Data", Pages(pages), doc), 0);
    EXPECT_EQ(CVltTabView::GetPageId(pages[2]), firstId + 2);
}

TEST_F(TabViewTest, NoLayoutWhileTheFrameIsMinimised)
{
    FormDoc& doc = NewDoc();
    window = std::make_unique<QWidget>();
    auto* view = new CVltTabView(window.get());
    view->setGeometry(0, 0, 400, 300);
    window->resize(600, 400);
    window->show();
    std::vector<RecordingPage*> pages;
    view->AddPage(0, L"Data", Pages(pages), doc);
    view->AddPage(1, L"Trigger", Pages(pages), doc);
    form_test::Drain();
    const QSize laidOut = pages[0]->size();

    window->showMinimized();
    form_test::Drain();
    ASSERT_TRUE(window->isMinimized());
    view->resize(500, 350);
    EXPECT_EQ(pages[0]->size(), laidOut);
    view->SelectPage(1);
    form_test::Drain();
    ASSERT_FALSE(pages[1]->messages.empty());
    EXPECT_EQ(pages[1]->messages.back().state, WA_ACTIVE | kActivateMinimized);

    window->showNormal();
    form_test::Drain();
    EXPECT_EQ(pages[1]->size(), view->GetDisplayRect().size());
    EXPECT_GT(pages[1]->width(), laidOut.width());
}

TEST_F(TabViewTest, BoardWindowTakesTheRegisteredForms)
{
    const auto savedTable = CChildFrame::PageTable();
    const auto savedPanes = CChildFrame::Panes();
    RegisterBoardWindowForms();
    CMainApp app;
    auto owned = std::make_unique<FormDoc>(nullptr, devices.get(), devices->ConnectVirtualDevice(), 0);
    FormDoc& doc = *owned;
    {
        CChildFrame frame(std::move(owned), app);
        ASSERT_TRUE(frame.AddControlPages());
        QTabWidget* panel = frame.GetControlPanel();
        ASSERT_NE(dynamic_cast<CVltTabView*>(panel), nullptr);
        QStringList tabs;
        for (int i = 0; i < panel->count(); ++i)
            tabs << panel->tabText(i);
        // A virtual board has every feature and processing block.
        EXPECT_EQ(tabs, (QStringList{"Data", "Sampling Rate", "Trigger", "DC Offset", "Status", "Timestamps", "ZAB",
                                     "FPGA Proc", "Decimation", "FFT", "FIR1", "FIR2", "Data Plotting"}));
        EXPECT_EQ(doc.GetActionForm(), dynamic_cast<IActionForm*>(frame.GetActionForm()));
        EXPECT_EQ(frame.GetBottomRowHeight(), CForm_Action::GetTemplateSize().height());

        // The workspace keeps the selected tab.
        frame.SelectControlPage(1);
        doc.BeforeWorkspaceSave();
        EXPECT_EQ(doc.GetWsData().DocActiveView, 1);
        frame.SelectControlPage(0);
        doc.AfterWorkspaceLoad();
        EXPECT_EQ(panel->currentIndex(), 1);
    }
    CChildFrame::PageTable() = savedTable;
    CChildFrame::Panes() = savedPanes;
}

} // namespace

// The board windows of the program on virtual boards, used as a user does:
// the Edit menu over a setting field, and tab groups at the main window's
// opening size.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>

#include "CChildFrame.h"
#include "CComBSTR.h"
#include "CDeviceManagerTQ8.h"
#include "CDocumentTabGroups.h"
#include "CFormView_WithEdit.h"
#include "CForm_Clocks.h"
#include "CMainApp.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CScopeView.h"
#include "CommandIds.h"
#include "DocStateFlags.h"
#include "DocTestSupport.h"
#include "MessageBox.h"
#include "ScopeTestSupport.h"
#include "TextConv.h"

namespace {

class BoardWindowUseTest : public scope_test::ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        ASSERT_TRUE(StartProgram({L"-virtual"}));
        frame = app->GetMainFrame();
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    }
    CChildFrame* Board(size_t i) const { return frame->GetChildFrames().at(i); }
    QMenu* EditMenu() const
    {
        for (QAction* a : frame->menuBar()->actions())
            if (a->text() == QStringLiteral("&Edit"))
                return a->menu();
        return nullptr;
    }
    // Waits for the menu to open, reads its Undo item and closes it.
    bool UndoEnabledInOpenMenu(QMenu* menu)
    {
        EXPECT_TRUE(doc_test::PumpUntil([menu] { return menu->isVisible(); }));
        const bool undo = frame->CommandAction(CFormView_WithEdit::ID_EDIT_UNDO)->isEnabled();
        QTest::keyClick(menu, Qt::Key_Escape);
        doc_test::PumpUntil([menu] { return !menu->isVisible(); });
        return undo;
    }

    // Board i with its settings saved to a file of its own, then changed
    // (its trigger mode) without saving.
    CMainDoc* ChangedBoardWithFile(size_t i)
    {
        auto* doc = dynamic_cast<CMainDoc*>(Board(i)->GetDocument());
        EXPECT_NE(doc, nullptr);
        if (!doc)
            return nullptr;
        const std::wstring path = vlt::Utf8ToWide((m_dir / ("board" + std::to_string(i) + ".tq8set")).string());
        EXPECT_TRUE(doc->SaveSettingsFile(path));
        doc->SetSettingsPath(path, false);
        const int32_t mode = GetTriggerModeTQ8(doc->GetDeviceHandle(), 1);
        EXPECT_EQ(SetTriggerModeTQ8(doc->GetDeviceHandle(), mode == 1 ? 0 : 1), 0);
        doc->SetModified(true);
        return doc;
    }
    static std::string FileText(const std::wstring& path)
    {
        std::ifstream in(vlt::WideToUtf8(path));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static std::wstring Question(const std::wstring& path)
    {
        return L"Save changes to modified settings file: " + std::filesystem::path(path).filename().wstring() + L"?";
    }

    CMainFrame* frame = nullptr;
    vlt::MessageBoxRecorder boxes;
};

TEST_F(BoardWindowUseTest, ClosingAChangedBoardWindowAsksToSaveItsSettingsFile)
{
    CDeviceManagerTQ8* devices = app->GetDeviceManager();
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(app->OpenDeviceDocument(devices->ConnectVirtualDevice(), docstate::kLimitPlotData), nullptr);
    // Cancel keeps the window and its changes; No closes it and leaves the
    // file alone; Yes saves the file, then closes.
    for (const int answer : {IDCANCEL, IDNO, IDYES}) {
        CMainDoc* doc = ChangedBoardWithFile(0);
        ASSERT_NE(doc, nullptr);
        const std::wstring path = doc->GetSettingsPath();
        const std::string saved = FileText(path);
        CChildFrame* board = Board(0);
        const size_t count = frame->GetChildFrames().size();
        boxes.Clear();
        boxes.QueueAnswer(answer);
        frame->GetTabGroups()->SetActiveSubWindow(qobject_cast<QMdiSubWindow*>(board->parentWidget()));
        ASSERT_TRUE(frame->OnCommand(cmd::kFileClose));
        QCoreApplication::processEvents();
        ASSERT_EQ(boxes.Count(), 1u) << answer;
        EXPECT_EQ(boxes.LastText(), Question(path));
        EXPECT_EQ(boxes.Boxes().back().style, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));
        EXPECT_EQ(frame->GetChildFrames().size(), answer == IDCANCEL ? count : count - 1) << answer;
        EXPECT_EQ(FileText(path) == saved, answer != IDYES) << answer;
        if (answer == IDCANCEL) {
            EXPECT_TRUE(doc->IsModified());
            doc->SetModified(false);
            boxes.Clear();
            ASSERT_TRUE(frame->OnCommand(cmd::kFileClose));
            QCoreApplication::processEvents();
            EXPECT_EQ(boxes.Count(), 0u);
            EXPECT_EQ(frame->GetChildFrames().size(), count - 1);
        }
    }
}

TEST_F(BoardWindowUseTest, QuittingAsksToSaveEachChangedSettingsFile)
{
    for (const int answer : {IDCANCEL, IDNO, IDYES}) {
        app->SetAppFlags(0x4, 0x4); // no question for the unnamed workspace
        CMainDoc* doc = ChangedBoardWithFile(0);
        ASSERT_NE(doc, nullptr);
        const std::wstring path = doc->GetSettingsPath();
        const std::string saved = FileText(path);
        boxes.Clear();
        boxes.QueueAnswer(answer);
        EXPECT_EQ(frame->close(), answer != IDCANCEL) << answer;
        ASSERT_EQ(boxes.Count(), 1u) << answer;
        EXPECT_EQ(boxes.LastText(), Question(path));
        EXPECT_EQ(FileText(path) == saved, answer != IDYES) << answer;
        if (answer == IDCANCEL) {
            EXPECT_TRUE(frame->isVisible());
            EXPECT_EQ(frame->GetChildFrames().size(), 1u);
            doc->SetModified(false);
            ASSERT_TRUE(frame->close());
        }
        app.reset();
        ASSERT_TRUE(StartProgram({L"-virtual"}));
        frame = app->GetMainFrame();
        frame->show();
    }
}

TEST_F(BoardWindowUseTest, EditMenuOverATypedFieldLeavesTheEditPendingAndServesIt)
{
    CChildFrame* board = Board(0);
    auto* doc = dynamic_cast<CMainDoc*>(board->GetDocument());
    ASSERT_NE(doc, nullptr);
    QTabWidget* panel = board->GetControlPanel();
    auto* clocks = panel->findChild<CForm_Clocks*>();
    ASSERT_NE(clocks, nullptr);
    panel->setCurrentWidget(clocks);
    auto* rate = clocks->ItemAs<QLineEdit>(CForm_Clocks::kInternalRateId);
    ASSERT_NE(rate, nullptr);
    ASSERT_TRUE(doc_test::PumpUntil([rate] { return rate->isVisible(); }));
    double before = 0;
    ASSERT_EQ(GetInternalAdcClockRateTQ8(doc->GetDeviceHandle(), &before, 1), 0);
    app->GetWorkspace().SetModified(false);
    const QString shown = rate->text();

    rate->setFocus(Qt::MouseFocusReason);
    rate->selectAll();
    QTest::keyClicks(rate, "1000");
    QMenu* edit = EditMenu();
    ASSERT_NE(edit, nullptr);
    QMenuBar* bar = frame->menuBar();

    // By mouse: the field keeps its edit, and Undo takes back the typing.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit->menuAction()).center());
    EXPECT_TRUE(UndoEnabledInOpenMenu(edit));
    double now = 0;
    GetInternalAdcClockRateTQ8(doc->GetDeviceHandle(), &now, 1);
    EXPECT_EQ(now, before);
    EXPECT_FALSE(app->GetWorkspace().IsModified());
    EXPECT_EQ(rate->text(), QStringLiteral("1000"));
    EXPECT_EQ(boxes.Count(), 0u);

    // By Alt+E: the same, and the menu's commands act on the field.
    QTest::keyClick(rate, Qt::Key_E, Qt::AltModifier);
    EXPECT_TRUE(UndoEnabledInOpenMenu(edit));
    rate->selectAll();
    QTest::keyClick(rate, Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(doc_test::PumpUntil([edit] { return edit->isVisible(); }));
    EXPECT_TRUE(frame->CommandAction(CFormView_WithEdit::ID_EDIT_COPY)->isEnabled());
    QTest::keyClick(edit, Qt::Key_C); // "&Copy"
    doc_test::PumpUntil([edit] { return !edit->isVisible(); });
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1000"));
    QTest::keyClick(rate, Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(doc_test::PumpUntil([edit] { return edit->isVisible(); }));
    QTest::keyClick(edit, Qt::Key_U); // "&Undo"
    doc_test::PumpUntil([edit] { return !edit->isVisible(); });
    EXPECT_EQ(rate->text(), shown);
    EXPECT_EQ(boxes.Count(), 0u);

    // An invalid entry opens no box while a menu is open. Escape leaves the
    // menu bar with the focus; when it goes on to another control, the field
    // has been left, and refuses the entry.
    rate->selectAll();
    QTest::keyClicks(rate, "abc");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit->menuAction()).center());
    EXPECT_TRUE(UndoEnabledInOpenMenu(edit));
    EXPECT_EQ(boxes.Count(), 0u);
    clocks->Item(CForm_Clocks::kClockSourceId)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(boxes.Count(), 1u);
    GetInternalAdcClockRateTQ8(doc->GetDeviceHandle(), &now, 1);
    EXPECT_EQ(now, before);
}

// The plot's trace area (inside the axes) and its Y labels, as the plot
// control's last layout placed them.
struct PlotLayout {
    QRect trace;
    QList<QRect> yLabels;
};

PlotLayout LayoutOf(CChildFrame* board)
{
    auto* view = qobject_cast<CScopeView*>(board->GetPlotView());
    QWidget* control = view ? view->GetControlWindow() : nullptr;
    if (!control)
        return {};
    control->grab(); // a paint lays the plot out
    return {control->property("plotRect").toRect(), control->property("yLabelRects").value<QList<QRect>>()};
}

// Each group's board window keeps a usable plot, at least `leastTrace`
// rows inside the axes with its Y labels apart, and its whole control
// panel, scrolling when its group is smaller.
void ExpectUsable(CDocumentTabGroups* tabs, int group, int leastTrace)
{
    QMdiArea* area = tabs->Group(group);
    QMdiSubWindow* sub = area->currentSubWindow();
    ASSERT_NE(sub, nullptr);
    auto* board = qobject_cast<CChildFrame*>(sub->widget());
    ASSERT_NE(board, nullptr);
    const PlotLayout plot = LayoutOf(board);
    EXPECT_GE(plot.trace.height(), leastTrace) << "group " << group;
    ASSERT_EQ(plot.yLabels.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(plot.yLabels[i].isEmpty()) << "group " << group << " label " << i;
        EXPECT_FALSE(plot.yLabels[i].intersects(plot.yLabels[(i + 1) % 3])) << "group " << group << " label " << i;
    }
    EXPECT_GE(board->GetControlPanel()->height(), board->GetControlPanel()->minimumSizeHint().height())
        << "group " << group;
    EXPECT_EQ(area->verticalScrollBar()->isVisible(), area->viewport()->height() < sub->height()) << "group " << group;
}

// Drags the divider between the two groups down by dy.
void DragDivider(CDocumentTabGroups* tabs, int dy)
{
    QSplitterHandle* handle = tabs->handle(1);
    const QPoint from = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, from + QPoint(0, dy));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, from + QPoint(0, dy));
    QCoreApplication::processEvents();
}

constexpr int kTraceAtOpeningSize = 150;
constexpr int kTraceAfterDrag = 100;

TEST_F(BoardWindowUseTest, HorizontalTabGroupsKeepEveryBoardWindowUsable)
{
    CDeviceManagerTQ8* devices = app->GetDeviceManager();
    ASSERT_NE(app->OpenDeviceDocument(devices->ConnectVirtualDevice(), docstate::kLimitPlotData), nullptr);
    ASSERT_EQ(frame->size(), QSize(1280, 860));
    CDocumentTabGroups* tabs = frame->GetTabGroups();
    ASSERT_TRUE(tabs->NewGroup(false));
    ASSERT_EQ(tabs->GroupCount(), 2);
    QCoreApplication::processEvents();
    ExpectUsable(tabs, 0, kTraceAtOpeningSize);
    ExpectUsable(tabs, 1, kTraceAtOpeningSize);
    // A caption, as a plotted board gets, takes no rows from the trace area:
    // the pane grows.
    auto* view = qobject_cast<CScopeView*>(Board(1)->GetPlotView());
    auto* sub = qobject_cast<QMdiSubWindow*>(Board(1)->parentWidget());
    ASSERT_TRUE(view && view->GetControl() && sub);
    const int least = sub->minimumSizeHint().height();
    ASSERT_EQ(view->GetControl()->put_Caption(CComBSTR(L"Data Source: Board")), S_OK);
    EXPECT_TRUE(doc_test::PumpUntil([sub, least] {
        const int now = sub->minimumSizeHint().height();
        return now > least && sub->height() >= now;
    }));
    ExpectUsable(tabs, tabs->GroupOf(sub), kTraceAtOpeningSize);
    // Too small for both windows: each group keeps an even share.
    for (int dy : {600, -600}) {
        DragDivider(tabs, dy);
        ExpectUsable(tabs, 0, kTraceAfterDrag);
        ExpectUsable(tabs, 1, kTraceAfterDrag);
        const int share = (tabs->sizes()[0] + tabs->sizes()[1]) / 2;
        EXPECT_GE(tabs->sizes()[1], std::min(share, tabs->GroupLeastSize(1)));
    }

    // Larger, as maximised on a large screen; then with room for both
    // windows, which each group shows whole however the divider goes.
    for (const QSize size : {QSize(1920, 1150), QSize(1280, 1400)}) {
        frame->resize(size);
        QCoreApplication::processEvents();
        ExpectUsable(tabs, 0, kTraceAtOpeningSize);
        ExpectUsable(tabs, 1, kTraceAtOpeningSize);
        for (int dy : {900, -900}) {
            DragDivider(tabs, dy);
            for (int group = 0; group < 2; ++group) {
                ExpectUsable(tabs, group, kTraceAfterDrag);
                if (size.height() < 1400)
                    continue;
                EXPECT_FALSE(tabs->Group(group)->verticalScrollBar()->isVisible()) << "group " << group;
                EXPECT_GE(tabs->sizes()[group], tabs->GroupLeastSize(group)) << "group " << group;
            }
        }
    }
}

} // namespace

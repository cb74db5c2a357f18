#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusTipEvent>
#include <QTest>
#include <QTreeWidget>

#include "CEditAccelerators.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CMainView.h"
#include "HostAppTest.h"
#include "LockKeyIndicators.h"
#include "LockKeyState.h"
#include "StatusBarPanes.h"
#include "TimedStatusText.h"
#include "TimerSet.h"
#include "WindowPlacement.h"

using namespace srvtest;

namespace {

using MainWindow = HostAppTest;

void StorePlacement(uint32_t showCmd, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    WindowPlacement placement;
    placement.showCmd = showCmd;
    placement.left = left;
    placement.top = top;
    placement.right = right;
    placement.bottom = bottom;
    ASSERT_TRUE(placement.Save());
}

QStringList Row(QTreeWidget* list, int row)
{
    QTreeWidgetItem* item = list->topLevelItem(row);
    return {item->text(0), item->text(1), item->text(2)};
}

} // namespace

TEST_F(MainWindow, TitleMenusAndInitialList)
{
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    EXPECT_EQ(frame->windowTitle(), "Veltrane Service Manager");
    EXPECT_EQ(frame->CommandAction(CMainFrame::ID_OPTIONS)->text(), "Options...");
    EXPECT_EQ(frame->CommandAction(CMainFrame::ID_OPTIONS)->statusTip(), "View or edit program options");
    EXPECT_EQ(frame->CommandAction(CMainFrame::ID_APP_ABOUT)->text(), "&About VltSrvMgr...");
    CMainView* view = frame->View();
    EXPECT_EQ(view->Button()->text(), "Startup Services");
    EXPECT_EQ(view->AddressEdit()->text(), "192.0.2.7");
    EXPECT_TRUE(view->AddressEdit()->isReadOnly());
    QTreeWidget* list = view->ServiceList();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0), "Service");
    EXPECT_EQ(list->headerItem()->text(1), "Port");
    EXPECT_EQ(list->headerItem()->text(2), "Description");
    EXPECT_EQ(list->columnWidth(0), 125);
    EXPECT_EQ(list->columnWidth(1), 100);
    // The last column at least as the form has it, and on to the list's edge.
    EXPECT_GE(list->columnWidth(2), 250);
    EXPECT_GE(125 + 100 + list->columnWidth(2), list->viewport()->width());
}

TEST_F(MainWindow, ListShowsTheServicesAfterTheButtonStartsThem)
{
    classes[2] = {"Unreadable", "never shown", 1};
    ASSERT_TRUE(Start());
    manager->unreadableId = 2;
    CMainView* view = app->MainFrame()->View();
    QTest::mouseClick(view->Button(), Qt::LeftButton);
    ASSERT_TRUE(app->Document()->IsRunning());
    EXPECT_EQ(view->Button()->text(), "Shutdown Services");
    QTreeWidget* list = view->ServiceList();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(Row(list, 0), (QStringList{"FileServerWindows", "---", "Manages Windows file services"}));
    EXPECT_EQ(Row(list, 1), (QStringList{"Board", "3494", ""}));
    EXPECT_EQ(app->MainFrame()->MessageText(), "Services loaded and started");

    QTest::mouseClick(view->Button(), Qt::LeftButton);
    EXPECT_FALSE(app->Document()->IsRunning());
    EXPECT_EQ(view->Button()->text(), "Startup Services");
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(MainWindow, NotifyIconFollowsTheStateAndComesBackAfterATrayRestart)
{
    trayAvailable = true;
    ASSERT_TRUE(Start());
    ASSERT_FALSE(icon->calls.empty());
    EXPECT_EQ(icon->calls.back().what, 'A');
    EXPECT_EQ(icon->calls.back().tip, "Services not running");
    EXPECT_TRUE(app->MainFrame()->IsNotifyIconPresent());
    app->Document()->OnToggleServices();
    EXPECT_EQ(icon->calls.back().what, 'M');
    EXPECT_EQ(icon->calls.back().tip, "Services running");
    EXPECT_EQ(icon->calls.back().state, INotifyIcon::State::Running);

    // The tray went away and came back: added again, with the running tip.
    icon->onTrayStarted();
    EXPECT_EQ(icon->calls.back().what, 'A');
    EXPECT_EQ(icon->calls.back().tip, "Services running");

    // A failed add is not reported; the next refresh adds again.
    icon->fail = true;
    icon->onTrayStarted();
    EXPECT_FALSE(app->MainFrame()->IsNotifyIconPresent());
    icon->fail = false;
    app->MainFrame()->RefreshNotifyIcon();
    EXPECT_EQ(icon->calls.back().what, 'A');
    EXPECT_TRUE(app->MainFrame()->IsNotifyIconPresent());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(MainWindow, NotifyMenuTogglesAndOpens)
{
    trayAvailable = true;
    ASSERT_TRUE(Start());
    QMenu* menu = icon->menu;
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), "Start  Services");
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "Exit Veltrane Service Manager");
    EXPECT_EQ(items[3]->text(), "Open Veltrane Service Manager");
    EXPECT_EQ(menu->defaultAction(), items[3]);
    emit menu->aboutToShow();
    EXPECT_EQ(items[0]->text(), "Start Services");
    items[0]->trigger();
    EXPECT_TRUE(app->Document()->IsRunning());
    emit menu->aboutToShow();
    EXPECT_EQ(items[0]->text(), "Stop Services");

    app->MainFrame()->showMinimized();
    icon->onDoubleClick();
    EXPECT_TRUE(app->MainFrame()->isVisible());
    EXPECT_FALSE(app->MainFrame()->isMinimized());
}

TEST_F(MainWindow, MinimisedWindowHidesOnlyWithBitFourAndATray)
{
    trayAvailable = true;
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    frame->showMinimized();
    QTest::qWait(20);
    EXPECT_TRUE(frame->isVisible()) << "bit 0x4 is clear";
    frame->showNormal();
    app->Options().Set(CProgramOptions::kMinimizeToTray, true);
    icon->available = false;
    frame->showMinimized();
    QTest::qWait(20);
    EXPECT_TRUE(frame->isVisible()) << "no tray to come back from";
    frame->showNormal();
    icon->available = true;
    frame->showMinimized();
    QTRY_VERIFY(!frame->isVisible());
}

TEST_F(MainWindow, SavedMinimisedPlacementRestoresNormally)
{
    StorePlacement(WindowPlacement::kShowMinimized, 30, 40, 730, 540);
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_EQ(frame->geometry(), QRect(30, 40, 700, 500));
    // Saved again at exit as it is now.
    app.reset();
    const auto saved = WindowPlacement::Load();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->showCmd, WindowPlacement::kShowNormal);
    EXPECT_EQ(saved->left, 30);
    EXPECT_EQ(saved->right, 730);
}

TEST_F(MainWindow, PlacementOffTheScreenOrIncompleteIsIgnored)
{
    App();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    StorePlacement(WindowPlacement::kShowNormal, screen.width(), 10, screen.width() + 600, 400);
    ASSERT_TRUE(Start());
    EXPECT_NE(app->MainFrame()->geometry().left(), screen.width());
    EXPECT_TRUE(app->MainFrame()->isVisible());
    app.reset();

    StorePlacement(WindowPlacement::kShowNormal, 10, screen.height(), 600, screen.height() + 300);
    EXPECT_TRUE(WindowPlacement::Load());
    ASSERT_TRUE(Start());
    EXPECT_FALSE(app->MainFrame()->RestoreWindowPlacement());
    app.reset();

    StorePlacement(WindowPlacement::kShowNormal, 10, 20, 600, 400);
    vlt::AppProfile::DeleteEntry(L"Settings", L"WndBottom");
    EXPECT_FALSE(WindowPlacement::Load());
    // Left of the screen's right side counts as on it.
    StorePlacement(WindowPlacement::kShowNormal, screen.width() - 1, 20, screen.width() + 500, 400);
    EXPECT_TRUE(WindowPlacement::Load()->IsOnScreen(screen.width(), screen.height()));
}

TEST_F(MainWindow, CannotBeMadeSmallerThanFittedAndTheListFollowsTheSize)
{
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    const QSize fitted = frame->minimumSize();
    EXPECT_FALSE(fitted.isEmpty());
    EXPECT_EQ(frame->size(), fitted);
    frame->resize(fitted / 2);
    EXPECT_EQ(frame->size(), fitted);

    QTreeWidget* list = frame->View()->ServiceList();
    QTest::qWait(20);
    const QRect before = list->geometry();
    const QPoint button = frame->View()->Button()->pos();
    frame->resize(fitted + QSize(120, 80));
    QTRY_COMPARE(list->geometry().size(), before.size() + QSize(120, 80));
    EXPECT_EQ(list->geometry().topLeft(), before.topLeft());
    EXPECT_EQ(frame->View()->Button()->pos(), button);
}

TEST_F(MainWindow, TimedTextReplacedByAPromptIsLeftAlone)
{
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    frame->SetTimedStatusText("Services loaded and started", 1700);
    QStatusTipEvent prompt(QStringLiteral("Start or stop services"));
    QCoreApplication::sendEvent(frame, &prompt);
    EXPECT_EQ(frame->MessageText(), "Start or stop services");
    frame->StatusText().Timers().Expire(1);
    EXPECT_EQ(frame->MessageText(), "Start or stop services");
    EXPECT_FALSE(frame->StatusText().Timers().IsActive(1));

    // Not replaced: cleared when the time is up.
    frame->SetTimedStatusText("Services loaded and started", 1700);
    frame->StatusText().Timers().Expire(1);
    EXPECT_EQ(frame->MessageText(), "");
    // The prompt ends with the idle text.
    QStatusTipEvent idle{QString()};
    QCoreApplication::sendEvent(frame, &idle);
    EXPECT_EQ(frame->MessageText(), "Ready");
}

TEST_F(MainWindow, EditCommandsActOnTheFocusedField)
{
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    frame->activateWindow();
    QLineEdit* address = frame->View()->AddressEdit();
    address->setFocus();
    QTRY_VERIFY(address->hasFocus());
    address->selectAll();
    bool enabled = false;
    ASSERT_TRUE(CFormView_WithEdit::GetEditCommandState(CFormView_WithEdit::ID_EDIT_COPY, enabled));
    EXPECT_TRUE(enabled);
    ASSERT_TRUE(CFormView_WithEdit::GetEditCommandState(CFormView_WithEdit::ID_EDIT_PASTE, enabled));
    EXPECT_FALSE(enabled) << "the address is read-only";
    EXPECT_TRUE(frame->OnCommand(CFormView_WithEdit::ID_EDIT_CUT));
    EXPECT_EQ(address->text(), "192.0.2.7");
}

TEST_F(MainWindow, StatusBarShowsTheMessageThenCapsNumAndScrl)
{
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    const std::vector<QLabel*> panes = vlt::StatusBarPanes(*frame->statusBar());
    ASSERT_EQ(panes.size(), 4u);
    EXPECT_EQ(panes[0]->text().toStdString(), frame->MessageText());
    EXPECT_EQ(panes[1]->text(), "CAP");
    EXPECT_EQ(panes[2]->text(), "NUM");
    EXPECT_EQ(panes[3]->text(), "SCRL");
    EXPECT_EQ(panes[1]->objectName(), QString::number(vlt::LockKeyIndicators::ID_INDICATOR_CAPS));
    for (size_t i = 1; i < panes.size(); ++i)
        EXPECT_FALSE(panes[i]->isEnabled()) << "no keyboard state offscreen: off";

    vlt::SetLockKeyStateForTest(vlt::LockKeyState{false, true, false});
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(frame, &activate);
    vlt::SetLockKeyStateForTest(std::nullopt);
    EXPECT_FALSE(panes[1]->isEnabled());
    EXPECT_TRUE(panes[2]->isEnabled());
    EXPECT_FALSE(panes[3]->isEnabled());
}

TEST_F(MainWindow, EditKeysActLikeTheEditCommands)
{
    using Form = CFormView_WithEdit;
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QLineEdit* address = frame->View()->AddressEdit();
    address->setFocus();
    QTRY_VERIFY(address->hasFocus());
    QGuiApplication::clipboard()->setText("kept");
    address->setSelection(0, 3);
    QTest::keyClick(address, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "192");
    // Read-only: Cut leaves the text, Paste is disabled and its keys do nothing.
    QTest::keyClick(address, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyClick(address, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(address->text(), "192.0.2.7");
    EXPECT_FALSE(CEditAccelerators::IsCommandEnabled(Form::ID_EDIT_PASTE));
    QTest::keyClick(address, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(address, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(address->text(), "192.0.2.7");
    // The menu shows the same enable rules.
    QMenu* edit = frame->menuBar()->actions()[1]->menu();
    ASSERT_NE(edit, nullptr);
    emit edit->aboutToShow();
    EXPECT_TRUE(frame->CommandAction(Form::ID_EDIT_COPY)->isEnabled());
    EXPECT_FALSE(frame->CommandAction(Form::ID_EDIT_PASTE)->isEnabled());
    EXPECT_FALSE(frame->CommandAction(Form::ID_EDIT_UNDO)->isEnabled());
    // No split window: the pane keys leave the focus where it is.
    QTest::keyClick(address, Qt::Key_F6);
    QTest::keyClick(address, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(address->hasFocus());
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTabBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTest>
#include <QTimer>

#include "CChildFrame.h"
#include "CDocumentTabGroups.h"
#include "CFormView_WithEdit.h"
#include "CVltPropertySheet.h"
#include "CommandIds.h"
#include "ErrorBeep.h"
#include "LockKeyState.h"
#include "MessageBox.h"
#include "Mnemonic.h"
#include "PopupMenu.h"
#include "ShellFixture.h"
#include "StatusBarPanes.h"
#include "TimedStatusText.h"
#include "TimerSet.h"

TEST_F(ShellTest, TimedStatusTextThroughTheMainFrame)
{
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    frame->ShowStatusText(L"FFT size updated", 2500);
    frame->ShowStatusText(L"Transfer time-out", 0);
    frame->StatusText().Timers().Expire(vlt::TimedStatusText::kTimerId);
    EXPECT_EQ(frame->GetStatusText(), L"Transfer time-out");
    frame->ShowStatusText(L"first", 2500);
    frame->ShowStatusText(L"second", 2500);
    EXPECT_EQ(frame->StatusText().Timers().Interval(vlt::TimedStatusText::kTimerId), 2500);
    frame->StatusText().Timers().Expire(vlt::TimedStatusText::kTimerId);
    EXPECT_TRUE(frame->GetStatusText().empty());
}

TEST_F(ShellTest, CommandsWhoseWindowsAreMissingAreDisabled)
{
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    frame->UpdateCommandUI();
    for (unsigned id : {cmd::kNewRemoteDevice, cmd::kRecord, cmd::kProgramOptions, cmd::kSyncManager,
                        cmd::kRecordedDataDetails}) {
        ASSERT_NE(frame->CommandAction(id), nullptr) << id;
        EXPECT_FALSE(frame->CommandAction(id)->isEnabled()) << id;
        EXPECT_FALSE(frame->OnCommand(id)) << id;
    }
    EXPECT_TRUE(frame->CommandAction(cmd::kUserFirmwareGenerator)->isEnabled());
    EXPECT_EQ(frame->CommandAction(cmd::kUserFirmwareGenerator)->text(), QStringLiteral("User Firmware File Generator..."));
    EXPECT_EQ(frame->CommandAction(cmd::kOpenWorkspace)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
    // No free board: no new local document.
    EXPECT_FALSE(frame->CommandAction(cmd::kFileNew)->isEnabled());
}

TEST_F(ShellTest, ContinuousLoopRestartsReadyBoardsUntilTheSetIsEmpty)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    FakeDoc* a = docs[0];
    FakeDoc* b = docs[1];
    a->flags = docstate::kContinuous;
    b->flags = docstate::kContinuous;
    b->onStart = [&](FakeDoc& self) {
        if (self.starts == 2)
            vlt::PostAppMessage(frame, WM_APP, 0, reinterpret_cast<intptr_t>(&self));
    };
    a->onStart = [&](FakeDoc& self) {
        if (self.starts == 1) // a second board joins the running loop
            vlt::PostAppMessage(frame, WM_APP, 1, reinterpret_cast<intptr_t>(b));
        if (self.starts == 5)
            vlt::PostAppMessage(frame, WM_APP, 0, reinterpret_cast<intptr_t>(&self));
    };
    vlt::SendAppMessage(frame, WM_APP, 1, reinterpret_cast<intptr_t>(a));
    // Back here only once the set is empty.
    EXPECT_FALSE(frame->IsInContinuousSet(a));
    EXPECT_FALSE(frame->IsInContinuousSet(b));
    EXPECT_EQ(a->starts, 5);
    EXPECT_EQ(b->starts, 2);
}

TEST_F(ShellTest, ContinuousLoopSkipsBoardsRemovedDuringAPass)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    FakeDoc* a = docs[0];
    FakeDoc* b = docs[1];
    a->flags = b->flags = docstate::kContinuous;
    // The first start brings b in; in the next pass whichever board starts
    // first turns both off at once (as a box shown during a start could
    // let other messages do), so the other must not be started.
    auto onStart = [&](FakeDoc&) {
        const int total = a->starts + b->starts;
        if (total == 1)
            vlt::SendAppMessage(frame, WM_APP, 1, reinterpret_cast<intptr_t>(b));
        if (total == 2) {
            vlt::SendAppMessage(frame, WM_APP, 0, reinterpret_cast<intptr_t>(a));
            vlt::SendAppMessage(frame, WM_APP, 0, reinterpret_cast<intptr_t>(b));
        }
    };
    a->onStart = onStart;
    b->onStart = onStart;
    vlt::SendAppMessage(frame, WM_APP, 1, reinterpret_cast<intptr_t>(a));
    EXPECT_EQ(a->starts + b->starts, 2);
    EXPECT_FALSE(frame->IsInContinuousSet(a));
    EXPECT_FALSE(frame->IsInContinuousSet(b));
}

TEST_F(ShellTest, BusyBoardsAreNotRestarted)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    FakeDoc* a = docs[0];
    FakeDoc* b = docs[1];
    a->flags = docstate::kContinuous;
    b->flags = docstate::kContinuous | docstate::kAcquiring; // previous acquisition still running
    a->onStart = [&](FakeDoc& self) {
        if (self.starts == 1)
            vlt::SendAppMessage(frame, WM_APP, 1, reinterpret_cast<intptr_t>(b));
        if (self.starts == 3) {
            vlt::SendAppMessage(frame, WM_APP, 0, reinterpret_cast<intptr_t>(b));
            vlt::SendAppMessage(frame, WM_APP, 0, reinterpret_cast<intptr_t>(&self));
        }
    };
    vlt::SendAppMessage(frame, WM_APP, 1, reinterpret_cast<intptr_t>(a));
    EXPECT_EQ(a->starts, 3);
    EXPECT_EQ(b->starts, 0);
}

namespace {

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

} // namespace

TEST_F(ShellTest, ContinuousLoopPaintsACompletedAcquisitionBeforeTheNextStart)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    PaintCounter plot;
    plot.resize(64, 64);
    plot.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
    QCoreApplication::processEvents();
    FakeDoc* a = docs[0];
    a->flags = docstate::kContinuous;
    int paintsBeforeSecondStart = -1;
    a->onStart = [&](FakeDoc& self) {
        if (self.starts == 1) {
            plot.paints = 0;
            // The completion refreshes the plot; its paint comes as a later event.
            QMetaObject::invokeMethod(frame, [&plot] { plot.update(); }, Qt::QueuedConnection);
            return;
        }
        // The board reads its memory only while idle: the paint must not wait for the next start.
        paintsBeforeSecondStart = plot.paints;
        vlt::PostAppMessage(frame, WM_APP, 0, reinterpret_cast<intptr_t>(&self));
    };
    vlt::SendAppMessage(frame, WM_APP, 1, reinterpret_cast<intptr_t>(a));
    EXPECT_GE(paintsBeforeSecondStart, 1);
}

TEST_F(ShellTest, FirmwareFileForSeveralBoardsWarnsOnceAndGoesToRemoteBoardsToo)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30), FakeHandle(0x40)};
    ws.selection = ws.boards;
    ws.remote[FakeHandle(0x40)] = true;
    FakeDoc::order.clear();
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({Folder() + L"/update.TQ8FW"}));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Firmware will be uploaded to multiple devices. If you are prompted to reboot, "
                                     L"only select Yes for the last device so all firmware gets uploaded.");
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_EQ(app->GetMainFrame()->GetCommandLineFileKind(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(FakeDoc::order.size(), size_t(4), 10000);
    EXPECT_EQ(FakeDoc::order,
              (std::vector<TQ8_HANDLE>{FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30), FakeHandle(0x40)}));
}

TEST_F(ShellTest, SampleFileInCapitalsGoesToEachChosenBoard)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x20), FakeHandle(0x10)};
    ws.selection = ws.boards;
    FakeDoc::order.clear();
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({Folder() + L"/run.RD16"}));
    EXPECT_EQ(ws.lastPrompt, L"Please select the device(s) for which to apply the acquisition data file");
    EXPECT_EQ(boxes.Count(), 0u);
    QTRY_COMPARE_WITH_TIMEOUT(FakeDoc::order.size(), size_t(2), 10000);
    // Served in handle order, one after the other.
    EXPECT_EQ(FakeDoc::order, (std::vector<TQ8_HANDLE>{FakeHandle(0x10), FakeHandle(0x20)}));
}

TEST_F(ShellTest, ChainStopsAtABoardWithoutDocument)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x30)};
    ws.selection = {FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30)};
    FakeDoc::order.clear();
    ASSERT_TRUE(app->StartUp({Folder() + L"/run.rd8"}));
    QTest::qWait(50);
    EXPECT_TRUE(FakeDoc::order.empty());
}

TEST(CommandLineFileKind, ByExtensionWithoutRegardToCase)
{
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L"/a/b.tq8set"), 1);
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L"/a/b.TQ8SET"), 1);
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L"b.tq8fw"), 2);
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L"b.Rd8"), 3);
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L"b.rd16"), 3);
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L"b.tq8ws"), 0);
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L"/a.rd8/b"), 0);
    EXPECT_EQ(CMainFrame::CommandLineFileKind(L""), 0);
}

TEST(ChildFrameLayout, RowHeightArithmetic)
{
    EXPECT_EQ(CChildFrame::PlotRowHeight(800, 300), 800 - 36 - 300);
    EXPECT_EQ(CChildFrame::PlotRowHeight(337, 300), 1);
    EXPECT_EQ(CChildFrame::PlotRowHeight(336, 300), 0);
    EXPECT_EQ(CChildFrame::PlotRowHeight(100, 300), 0);
}

TEST_F(ShellTest, ChildFrameSplitsIntoPlotAboveAndPanelsBelow)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CChildFrame* child = app->GetMainFrame()->FindChildFrame(docs[0]);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(docs[0]->frame, child);
    EXPECT_EQ(child->windowTitle(), QStringLiteral("Fake board"));
    child->resize(900, 800);
    child->RecalcLayout();
    QList<int> sizes = child->GetOuterSplitter()->sizes();
    ASSERT_EQ(sizes.size(), 2);
    const int client = child->GetOuterSplitter()->height();
    EXPECT_EQ(sizes[0], CChildFrame::PlotRowHeight(client, child->GetBottomRowHeight()));
}

namespace {
// Takes pages as the control panel does.
class FakeControlPanel : public QTabWidget, public IControlPanel {
public:
    using QTabWidget::QTabWidget;
    int AddPage(int index, const std::wstring& caption, const PageFactory& factory, IBoardDocument& doc) override
    {
        QWidget* page = factory(doc);
        return page ? insertTab(index, page, QString::fromStdWString(caption)) : -1;
    }
    int SelectPage(int index) override { return index; }
};
} // namespace

TEST_F(ShellTest, ControlPanelPagesFollowTheMaskAndSkipFormsNotRegistered)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    auto& table = CChildFrame::PageTable();
    const auto savedTable = table;
    const auto savedPanes = CChildFrame::Panes();
    CChildFrame::Panes().controlPanel = [](QWidget* parent) { return new FakeControlPanel(parent); };
    table[0].create = [](IBoardDocument&) { return new QWidget; };
    table[0].formHeight = [] { return 400; };
    table[2].create = [](IBoardDocument&) { return new QWidget; };
    table[2].formHeight = [] { return 250; };
    ASSERT_TRUE(app->StartUp({}));
    CChildFrame* child = app->GetMainFrame()->FindChildFrame(docs[0]);
    // "Sampling Rate" (bit 1) has no form yet and is left out.
    docs[0]->pageMask = 0x7;
    EXPECT_TRUE(child->AddControlPages());
    ASSERT_EQ(child->GetControlPanel()->count(), 2);
    EXPECT_EQ(child->GetControlPanel()->tabText(0), QStringLiteral("Data"));
    EXPECT_EQ(child->GetControlPanel()->tabText(1), QStringLiteral("Trigger"));
    EXPECT_EQ(child->GetBottomRowHeight(), 400); // the tallest form
    // A registered form that cannot be made ends the routine.
    table[1].create = [](IBoardDocument&) { return nullptr; };
    EXPECT_FALSE(child->AddControlPages());
    EXPECT_EQ(child->GetControlPanel()->count(), 3);
    table = savedTable;
    CChildFrame::Panes() = savedPanes;
}

TEST(VltPropertySheet, RemembersThePageLeftWithOk)
{
    App();
    auto run = [](int startPage, int choosePage, bool ok, int& shownFirst) {
        CVltPropertySheet sheet(QStringLiteral("Program Options"), nullptr, startPage);
        for (int i = 0; i < 4; ++i)
            sheet.AddPage(new QWidget, QStringLiteral("Page %1").arg(i));
        QTimer::singleShot(0, &sheet, [&] {
            shownFirst = sheet.GetActivePage();
            sheet.Tabs()->setCurrentIndex(choosePage);
            ok ? sheet.accept() : sheet.reject();
        });
        sheet.exec();
        return sheet.GetOkPageIndex();
    };
    int shown = -1;
    EXPECT_EQ(run(0, 3, true, shown), 3);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(run(3, 2, false, shown), 0);
    EXPECT_EQ(shown, 3);
}

TEST_F(ShellTest, OptionsSheetOpensOnThePageLeftWithOk)
{
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    auto run = [&](int choosePage, bool ok, int& shownFirst) {
        CVltPropertySheet sheet(QStringLiteral("Program Options"), frame, 0);
        for (int i = 0; i < 4; ++i)
            sheet.AddPage(new QWidget, QStringLiteral("Page %1").arg(i));
        QTimer::singleShot(0, &sheet, [&] {
            shownFirst = sheet.GetActivePage();
            sheet.Tabs()->setCurrentIndex(choosePage);
            ok ? sheet.accept() : sheet.reject();
        });
        frame->RunOptionsSheet(sheet);
    };
    int shown = -1;
    run(3, true, shown);
    EXPECT_EQ(shown, 0);
    run(1, false, shown);
    EXPECT_EQ(shown, 3);
    run(2, true, shown);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(frame->GetOptionsPage(), 2);
}

// ---- The board document's menu ---------------------------------------------------

namespace {

struct DocCommand {
    unsigned id;
    const char* text; // as in the menu, shortcut after the tab
};

const DocCommand kDocCommands[] = {
    {cmd::kOpenSettings, "&Open and Apply Board Settings...\tCtrl+O"},
    {cmd::kSaveSettings, "&Save Board Settings\tCtrl+S"},
    {cmd::kSaveSettingsAs, "Save Board Settings &As..."},
    {cmd::kSendSettings, "Sen&d Board Settings..."},
    {cmd::kSaveBoardData, "Save Board Data..."},
    {cmd::kPlotDataInScope, "&Plot Data in Scope...\tCtrl+Shift+P"},
    {cmd::kFrequencyDomain, "&Frequency Domain Window\tCtrl+Shift+F"},
    {cmd::kDriverStatistics, "&Device Driver Statistics Window"},
    {cmd::kSetPowerupDefaults, "Set Power Up Defaults "},
    {cmd::kRewriteHardwareSettings, "Rewrite Hardware Settings"},
    {cmd::kValidateEeprom, "Validate Configuration Eeprom"},
    {cmd::kCalibrateAdcs, "Calibrate ADCs..."},
    {cmd::kCopySettingsFrom, "Copy Settings From Other Device..."},
    {cmd::kCopySettingsToAll, "Copy Settings To All Other Devices"},
    {cmd::kCopySettingsToSelected, "Copy Settings To Selected Devices..."},
    {cmd::kRefreshFromDriver, "Refresh Local Settings From Driver"},
    {cmd::kRefreshFromHardware, "Refresh Local Settings From Hardware"},
    {cmd::kUploadFirmware, "Upload Firmware..."},
};

QMenu* TopMenu(CMainFrame* frame, const QString& title)
{
    for (QAction* a : frame->menuBar()->actions())
        if (a->menu() && a->text() == title)
            return a->menu();
    return nullptr;
}

bool InMenu(QMenu* menu, QAction* action)
{
    return menu && action && menu->actions().contains(action);
}

QWidget* DocumentArea(CMainFrame* frame)
{
    return frame->centralWidget();
}

void Activate(CMainFrame* frame, CChildFrame* child)
{
    auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
    ASSERT_NE(sub, nullptr);
    frame->GetTabGroups()->SetActiveSubWindow(sub);
}

// The recent-file entries of the File menu, as it builds them when opened.
std::vector<QAction*> RecentEntries(CMainFrame* frame)
{
    QMenu* file = TopMenu(frame, QStringLiteral("&File"));
    emit file->aboutToShow();
    std::vector<QAction*> entries;
    for (QAction* a : file->actions()) {
        const unsigned id = a->data().toUInt();
        if (id >= cmd::kFileMruFirst && id <= cmd::kFileMruLast)
            entries.push_back(a);
    }
    return entries;
}

} // namespace

TEST_F(ShellTest, DocumentMenuShownOnlyWhileABoardDocumentIsActive)
{
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    QMenu* hardware = TopMenu(frame, QStringLiteral("&Hardware"));
    ASSERT_NE(hardware, nullptr);
    frame->UpdateCommandUI();
    EXPECT_FALSE(hardware->menuAction()->isVisible());
    for (const DocCommand& c : kDocCommands) {
        QAction* a = frame->CommandAction(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        EXPECT_FALSE(a->isVisible()) << c.id;
        EXPECT_FALSE(a->isEnabled()) << c.id;
        EXPECT_FALSE(frame->OnCommand(c.id)) << c.id;
    }

    ASSERT_NE(app->OpenDeviceDocument(FakeHandle(0x10), docstate::kLimitPlotData), nullptr);
    frame->UpdateCommandUI();
    EXPECT_TRUE(hardware->menuAction()->isVisible());
    for (const DocCommand& c : kDocCommands)
        EXPECT_TRUE(frame->CommandAction(c.id)->isVisible()) << c.id;

    // Back to the menu without a document when its window goes.
    EXPECT_TRUE(frame->OnCommand(cmd::kFileClose));
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->GetDocuments().empty());
    EXPECT_FALSE(hardware->menuAction()->isVisible());
    for (const DocCommand& c : kDocCommands)
        EXPECT_FALSE(frame->CommandAction(c.id)->isVisible()) << c.id;
}

TEST_F(ShellTest, DocumentCommandsCarryTheirTextsShortcutsAndPlaces)
{
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    for (const DocCommand& c : kDocCommands) {
        const QString text = QString::fromUtf8(c.text);
        const int tab = text.indexOf(QLatin1Char('\t'));
        QAction* a = frame->CommandAction(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        EXPECT_EQ(a->text(), tab < 0 ? text : text.left(tab)) << c.id;
        EXPECT_EQ(a->shortcut(), tab < 0 ? QKeySequence() : QKeySequence(text.mid(tab + 1))) << c.id;
    }
    EXPECT_EQ(frame->CommandAction(cmd::kOpenSettings)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(frame->CommandAction(cmd::kFrequencyDomain)->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    EXPECT_TRUE(frame->CommandAction(cmd::kFrequencyDomain)->isCheckable());
    EXPECT_TRUE(frame->CommandAction(cmd::kDriverStatistics)->isCheckable());

    // No two commands of the window share a shortcut.
    std::map<QString, unsigned> owners;
    for (QAction* a : frame->findChildren<QAction*>()) {
        if (a->shortcut().isEmpty())
            continue;
        const QString key = a->shortcut().toString();
        EXPECT_EQ(owners.count(key), 0u) << key.toStdString();
        owners[key] = a->data().toUInt();
    }

    QMenu* file = TopMenu(frame, QStringLiteral("&File"));
    QMenu* view = TopMenu(frame, QStringLiteral("&View"));
    QMenu* hardware = TopMenu(frame, QStringLiteral("&Hardware"));
    for (unsigned id : {cmd::kOpenSettings, cmd::kSaveSettings, cmd::kSaveSettingsAs, cmd::kSendSettings,
                        cmd::kSaveBoardData, cmd::kPlotDataInScope})
        EXPECT_TRUE(InMenu(file, frame->CommandAction(id))) << id;
    for (unsigned id : {cmd::kFrequencyDomain, cmd::kDriverStatistics})
        EXPECT_TRUE(InMenu(view, frame->CommandAction(id))) << id;
    for (unsigned id : {cmd::kSetPowerupDefaults, cmd::kRewriteHardwareSettings, cmd::kValidateEeprom,
                        cmd::kCalibrateAdcs, cmd::kCopySettingsFrom, cmd::kCopySettingsToAll,
                        cmd::kCopySettingsToSelected, cmd::kRefreshFromDriver, cmd::kRefreshFromHardware,
                        cmd::kUploadFirmware})
        EXPECT_TRUE(InMenu(hardware, frame->CommandAction(id))) << id;
    // The Hardware menu sits between View and Tools.
    const QList<QAction*> bar = frame->menuBar()->actions();
    EXPECT_EQ(bar.indexOf(hardware->menuAction()), bar.indexOf(view->menuAction()) + 1);
    EXPECT_EQ(bar.indexOf(TopMenu(frame, QStringLiteral("&Tools"))->menuAction()),
              bar.indexOf(hardware->menuAction()) + 1);
}

TEST_F(ShellTest, DocumentCommandStatesFollowTheActiveDocument)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    ASSERT_EQ(docs.size(), 2u);
    FakeDoc* a = docs[0];
    FakeDoc* b = docs[1];
    a->commandStates = {{cmd::kFrequencyDomain, {true, true}},
                        {cmd::kDriverStatistics, {true, false}},
                        {cmd::kUploadFirmware, {true, false}},
                        {cmd::kCopySettingsToAll, {false, false}}};
    b->commandStates = {{cmd::kFrequencyDomain, {true, false}},
                        {cmd::kDriverStatistics, {true, true}},
                        {cmd::kUploadFirmware, {false, false}},
                        {cmd::kCopySettingsToAll, {true, false}}};
    QAction* freq = frame->CommandAction(cmd::kFrequencyDomain);
    QAction* stats = frame->CommandAction(cmd::kDriverStatistics);
    QAction* upload = frame->CommandAction(cmd::kUploadFirmware);
    QAction* copyAll = frame->CommandAction(cmd::kCopySettingsToAll);

    Activate(frame, frame->FindChildFrame(a));
    frame->UpdateCommandUI();
    EXPECT_EQ(frame->GetActiveDocument(), a);
    EXPECT_TRUE(freq->isChecked());
    EXPECT_FALSE(stats->isChecked());
    EXPECT_TRUE(upload->isEnabled());
    EXPECT_FALSE(copyAll->isEnabled());
    // A command the document does not serve stays disabled.
    EXPECT_FALSE(frame->CommandAction(cmd::kCalibrateAdcs)->isEnabled());

    // Switching windows updates the menu without waiting for the timer.
    Activate(frame, frame->FindChildFrame(b));
    EXPECT_EQ(frame->GetActiveDocument(), b);
    EXPECT_FALSE(freq->isChecked());
    EXPECT_TRUE(stats->isChecked());
    EXPECT_FALSE(upload->isEnabled());
    EXPECT_TRUE(copyAll->isEnabled());

    // The document's answers change: the next update shows them.
    b->commandStates[cmd::kUploadFirmware] = {true, false};
    b->commandStates[cmd::kFrequencyDomain] = {true, true};
    frame->UpdateCommandUI();
    EXPECT_TRUE(upload->isEnabled());
    EXPECT_TRUE(freq->isChecked());

    // Closing the active window hands the menu to the remaining document.
    EXPECT_TRUE(frame->OnCommand(cmd::kFileClose));
    EXPECT_EQ(b->closed, 1);
    frame->UpdateCommandUI();
    EXPECT_EQ(frame->GetActiveDocument(), a);
    EXPECT_TRUE(freq->isChecked());
    EXPECT_FALSE(copyAll->isEnabled());
}

TEST_F(ShellTest, DocumentCommandsGoToTheActiveDocumentOnlyWhenEnabled)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    FakeDoc* a = docs[0];
    FakeDoc* b = docs[1];
    a->commandStates = {{cmd::kSaveBoardData, {true, false}}, {cmd::kSetPowerupDefaults, {false, false}}};
    b->commandStates = {{cmd::kSaveBoardData, {true, false}}};

    Activate(frame, frame->FindChildFrame(a));
    EXPECT_TRUE(frame->OnCommand(cmd::kSaveBoardData));
    EXPECT_FALSE(frame->OnCommand(cmd::kSetPowerupDefaults)); // disabled
    EXPECT_FALSE(frame->OnCommand(cmd::kRefreshFromDriver));  // not served
    frame->CommandAction(cmd::kSetPowerupDefaults)->trigger();
    EXPECT_EQ(a->commands, std::vector<unsigned>{cmd::kSaveBoardData});

    Activate(frame, frame->FindChildFrame(b));
    frame->UpdateCommandUI();
    frame->CommandAction(cmd::kSaveBoardData)->trigger();
    EXPECT_EQ(b->commands, std::vector<unsigned>{cmd::kSaveBoardData});
    EXPECT_EQ(a->commands.size(), 1u);

    // A document whose close has begun serves nothing more.
    frame->FindChildFrame(b)->CloseDocument();
    EXPECT_EQ(frame->GetActiveDocument(), nullptr);
    EXPECT_FALSE(frame->OnCommand(cmd::kSaveBoardData));
    EXPECT_EQ(b->commands.size(), 1u);
}

TEST_F(ShellTest, RecentSettingsFilesRouteToTheDocumentWithTheirIds)
{
    FakeWorkspace& ws = UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    app->GetRecentFileList().Add(L"/data/c.tq8set");
    app->GetRecentFileList().Add(L"/data/b.tq8set");
    app->GetRecentFileList().Add(L"/data/a.tq8set");

    // Without a document the entries are shown but do nothing.
    std::vector<QAction*> entries = RecentEntries(frame);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("&1 /data/a.tq8set"));
    for (QAction* e : entries)
        EXPECT_FALSE(e->isEnabled());
    EXPECT_FALSE(frame->OnCommand(cmd::kFileMruFirst));

    ws.boards = {FakeHandle(0x10)};
    ASSERT_NE(app->OpenDeviceDocument(FakeHandle(0x10), docstate::kLimitPlotData), nullptr);
    FakeDoc* doc = docs.back();
    for (unsigned i = 0; i < 5; ++i)
        doc->commandStates[cmd::kFileMruFirst + i] = {true, false};
    doc->commandStates[cmd::kFileMruFirst] = {false, false};
    entries = RecentEntries(frame);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[0]->isEnabled());
    EXPECT_TRUE(entries[1]->isEnabled());
    EXPECT_TRUE(entries[2]->isEnabled());
    entries[2]->trigger();
    entries[1]->trigger();
    entries[0]->trigger(); // disabled by the document
    EXPECT_EQ(doc->commands, (std::vector<unsigned>{cmd::kFileMruFirst + 2, cmd::kFileMruFirst + 1}));
    // An entry beyond the list is not offered to the document.
    EXPECT_FALSE(frame->OnCommand(cmd::kFileMruFirst + 3));
    EXPECT_EQ(doc->commands.size(), 2u);
}

// Paths and names in menu entries and window tabs show every '&' they hold.
TEST_F(ShellTest, AmpersandsOfPathsAndTitlesAreShownAsTheyAre)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    app->GetRecentFileList().Add(L"/home/u/a b &c/my set.tq8set");
    app->GetRecentFileList().Add(L"/data/R&&D.tq8set");
    const std::vector<QAction*> entries = RecentEntries(frame);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(vlt::RemoveMnemonic(entries[0]->text()).toStdString(), "1 /data/R&&D.tq8set");
    EXPECT_EQ(vlt::RemoveMnemonic(entries[1]->text()).toStdString(), "2 /home/u/a b &c/my set.tq8set");

    ASSERT_NE(app->OpenDeviceDocument(FakeHandle(0x20), docstate::kLimitPlotData), nullptr);
    FakeDoc* doc = docs.back();
    CDocumentTabGroups* tabs = frame->GetTabGroups();
    auto shownTitle = [&] {
        QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(doc->frame->parentWidget());
        const int group = tabs->GroupOf(sub);
        const int index = int(tabs->Group(group)->subWindowList(QMdiArea::CreationOrder).indexOf(sub));
        return vlt::RemoveMnemonic(tabs->TabBar(group)->tabText(index)).toStdString();
    };
    EXPECT_EQ(shownTitle(), "Fake board");
    // A settings file loaded under a new name: the tab follows at the next idle update.
    doc->title = L"R&D board - a b &c.tq8set";
    frame->UpdateCommandUI();
    EXPECT_EQ(shownTitle(), "R&D board - a b &c.tq8set");
    ASSERT_TRUE(tabs->NewGroup(true));
    EXPECT_EQ(shownTitle(), "R&D board - a b &c.tq8set");
}

TEST_F(ShellTest, DocumentShortcutsReachTheActiveDocument)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    FakeDoc* doc = docs[0];
    doc->commandStates = {{cmd::kOpenSettings, {true, false}}, {cmd::kPlotDataInScope, {false, false}}};
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    frame->UpdateCommandUI();
    EXPECT_EQ(frame->GetActiveDocument(), doc);
    QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier); // disabled
    EXPECT_EQ(doc->commands, std::vector<unsigned>{cmd::kOpenSettings});
    frame->EnterModalState();
    QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    frame->LeaveModalState();
    EXPECT_EQ(doc->commands.size(), 1u);
}

// ---- The Edit menu -----------------------------------------------------------------

namespace {

// A setting page: an editing form with one field.
class EditPage : public CFormView_WithEdit {
public:
    EditPage() : CFormView_WithEdit(106), field(new QLineEdit(this)) {}
    QLineEdit* field;
};

// Puts the pane factories and the page table back as they were.
struct PanesRestorer {
    std::array<CChildFrame::PageEntry, CChildFrame::kPageCount> table = CChildFrame::PageTable();
    CChildFrame::PaneFactories panes = CChildFrame::Panes();
    ~PanesRestorer()
    {
        CChildFrame::PageTable() = table;
        CChildFrame::Panes() = panes;
    }
};

struct EditMenuState {
    bool undo, cut, copy, paste;
    bool operator==(const EditMenuState&) const = default;
};

// Opens the Edit menu and reads its items.
EditMenuState OpenEditMenu(CMainFrame* frame, QMenu* edit)
{
    emit edit->aboutToShow();
    auto on = [frame](unsigned id) { return frame->CommandAction(id)->isEnabled(); };
    return {on(CFormView_WithEdit::ID_EDIT_UNDO), on(CFormView_WithEdit::ID_EDIT_CUT),
            on(CFormView_WithEdit::ID_EDIT_COPY), on(CFormView_WithEdit::ID_EDIT_PASTE)};
}

} // namespace

TEST_F(ShellTest, EditMenuServesTheFocusedFormOfTheBoardWindow)
{
    FakeWorkspace& ws = UseFakes();
    PanesRestorer restore;
    QLineEdit* actionField = nullptr;
    EditPage* page = nullptr;
    CChildFrame::Panes().controlPanel = [](QWidget* parent) { return new FakeControlPanel(parent); };
    // The action form is a plain form: it serves no Edit command.
    CChildFrame::Panes().actionForm = [&](IBoardDocument&, QWidget* parent) {
        auto* form = new QWidget(parent);
        actionField = new QLineEdit(form);
        return form;
    };
    CChildFrame::PageTable()[0].create = [&](IBoardDocument&) { return page = new EditPage; };
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    QMenu* edit = TopMenu(frame, QStringLiteral("&Edit"));
    ASSERT_NE(edit, nullptr);
    OpenEditMenu(frame, edit);
    EXPECT_FALSE(edit->menuAction()->isVisible()); // the menu without a document has none

    ws.boards = {FakeHandle(0x10)};
    ASSERT_NE(app->OpenDeviceDocument(FakeHandle(0x10), docstate::kLimitPlotData), nullptr);
    docs.back()->pageMask = 1;
    ASSERT_TRUE(frame->FindChildFrame(docs.back())->AddControlPages());
    ASSERT_NE(page, nullptr);
    ASSERT_NE(actionField, nullptr);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    EXPECT_EQ(OpenEditMenu(frame, edit), (EditMenuState{false, false, false, false}));
    EXPECT_TRUE(edit->menuAction()->isVisible());
    const QList<QAction*> items = edit->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), QStringLiteral("&Undo"));
    EXPECT_EQ(items[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("Cu&t"));
    EXPECT_EQ(items[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
    EXPECT_EQ(items[3]->text(), QStringLiteral("&Copy"));
    EXPECT_EQ(items[3]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(items[4]->text(), QStringLiteral("&Paste"));
    EXPECT_EQ(items[4]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));

    QGuiApplication::clipboard()->clear();
    page->field->setText(QStringLiteral("1234"));
    page->field->setFocus();
    page->field->setSelection(0, 2);
    EXPECT_EQ(OpenEditMenu(frame, edit), (EditMenuState{false, true, true, false}));
    frame->CommandAction(CFormView_WithEdit::ID_EDIT_CUT)->trigger();
    EXPECT_EQ(page->field->text(), QStringLiteral("34"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("12"));
    EXPECT_EQ(OpenEditMenu(frame, edit), (EditMenuState{true, false, false, true}));
    page->field->setCursorPosition(2);
    frame->CommandAction(CFormView_WithEdit::ID_EDIT_PASTE)->trigger();
    EXPECT_EQ(page->field->text(), QStringLiteral("3412"));
    frame->CommandAction(CFormView_WithEdit::ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(page->field->text(), QStringLiteral("34"));
    page->field->selectAll();
    OpenEditMenu(frame, edit);
    frame->CommandAction(CFormView_WithEdit::ID_EDIT_COPY)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("34"));
    page->field->setReadOnly(true);
    EXPECT_EQ(OpenEditMenu(frame, edit), (EditMenuState{false, true, true, false}));
    page->field->setReadOnly(false);

    // The action form's field: the commands are disabled and do nothing.
    actionField->setText(QStringLiteral("ab"));
    actionField->setFocus();
    actionField->selectAll();
    EXPECT_EQ(OpenEditMenu(frame, edit), (EditMenuState{false, false, false, false}));
    EXPECT_FALSE(frame->OnCommand(CFormView_WithEdit::ID_EDIT_PASTE));
    EXPECT_FALSE(frame->OnCommand(CFormView_WithEdit::ID_EDIT_CUT));
    EXPECT_EQ(actionField->text(), QStringLiteral("ab"));
}

// ---- Tab groups ------------------------------------------------------------------

namespace {

QMdiSubWindow* SubOf(CMainFrame* frame, const IBoardDocument* doc)
{
    CChildFrame* child = frame->FindChildFrame(doc);
    return child ? qobject_cast<QMdiSubWindow*>(child->parentWidget()) : nullptr;
}

// The documents of each group, in tab order.
std::vector<std::vector<IBoardDocument*>> Groups(CMainFrame* frame)
{
    CDocumentTabGroups* tabs = frame->GetTabGroups();
    std::vector<std::vector<IBoardDocument*>> groups(size_t(tabs->GroupCount()));
    for (QMdiSubWindow* sub : tabs->SubWindows())
        groups[size_t(tabs->GroupOf(sub))].push_back(qobject_cast<CChildFrame*>(sub->widget())->GetDocument());
    return groups;
}

struct GroupCommands {
    bool newHorz, newVert, next, prev;
    bool operator==(const GroupCommands&) const = default;
};

GroupCommands WindowMenu(CMainFrame* frame)
{
    emit TopMenu(frame, QStringLiteral("&Window"))->aboutToShow();
    frame->UpdateCommandUI();
    auto on = [frame](unsigned id) { return frame->CommandAction(id)->isEnabled(); };
    return {on(cmd::kNewHorzTabGroup), on(cmd::kNewVertTabGroup), on(cmd::kMoveToNextTabGroup),
            on(cmd::kMoveToPrevTabGroup)};
}

std::vector<int> Ids(const std::vector<vlt::MenuItemInfo>& items)
{
    std::vector<int> ids;
    for (const vlt::MenuItemInfo& item : items)
        if (!item.separator)
            ids.push_back(item.id);
    return ids;
}

} // namespace

TEST_F(ShellTest, TabGroupsThroughTheWindowMenu)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    // One document: nothing to split off.
    EXPECT_EQ(WindowMenu(frame), (GroupCommands{false, false, false, false}));
    EXPECT_FALSE(frame->OnCommand(cmd::kNewVertTabGroup));

    ASSERT_NE(app->OpenDeviceDocument(FakeHandle(0x20), docstate::kLimitPlotData), nullptr);
    ASSERT_NE(app->OpenDeviceDocument(FakeHandle(0x30), docstate::kLimitPlotData), nullptr);
    FakeDoc* a = docs[0];
    FakeDoc* b = docs[1];
    FakeDoc* c = docs[2];
    CDocumentTabGroups* tabs = frame->GetTabGroups();
    EXPECT_EQ(frame->GetActiveDocument(), c);
    EXPECT_EQ(WindowMenu(frame), (GroupCommands{true, true, false, false}));

    // The active tab goes to a new group beside its own.
    frame->CommandAction(cmd::kNewVertTabGroup)->trigger();
    using Docs = std::vector<std::vector<IBoardDocument*>>;
    EXPECT_EQ(Groups(frame), (Docs{{a, b}, {c}}));
    EXPECT_EQ(tabs->orientation(), Qt::Horizontal);
    EXPECT_EQ(frame->GetActiveDocument(), c);
    // New groups stay offered while more than one document is open; c's
    // group keeps no other tab, so they change nothing.
    EXPECT_EQ(WindowMenu(frame), (GroupCommands{true, true, false, true}));
    EXPECT_FALSE(frame->OnCommand(cmd::kNewVertTabGroup));
    EXPECT_FALSE(frame->OnCommand(cmd::kNewHorzTabGroup));
    EXPECT_EQ(Groups(frame), (Docs{{a, b}, {c}}));
    EXPECT_EQ(tabs->orientation(), Qt::Horizontal);

    Activate(frame, frame->FindChildFrame(a));
    EXPECT_EQ(WindowMenu(frame), (GroupCommands{true, true, true, false}));
    frame->CommandAction(cmd::kMoveToNextTabGroup)->trigger();
    EXPECT_EQ(Groups(frame), (Docs{{b}, {c, a}}));
    EXPECT_EQ(frame->GetActiveDocument(), a);
    EXPECT_EQ(WindowMenu(frame), (GroupCommands{true, true, false, true}));
    frame->CommandAction(cmd::kMoveToPrevTabGroup)->trigger();
    EXPECT_EQ(Groups(frame), (Docs{{b, a}, {c}}));
    EXPECT_EQ(frame->GetActiveDocument(), a);

    // Moving a group's last tab away closes the group; one group may split either way again.
    Activate(frame, frame->FindChildFrame(c));
    EXPECT_TRUE(frame->OnCommand(cmd::kMoveToPrevTabGroup));
    EXPECT_EQ(Groups(frame), (Docs{{b, a, c}}));
    EXPECT_EQ(WindowMenu(frame), (GroupCommands{true, true, false, false}));
    frame->CommandAction(cmd::kNewHorzTabGroup)->trigger();
    EXPECT_EQ(tabs->orientation(), Qt::Vertical);
    EXPECT_EQ(Groups(frame), (Docs{{b, a}, {c}}));
    for (FakeDoc* d : {a, b, c})
        EXPECT_EQ(d->closed, 0);
}

TEST_F(ShellTest, TabMenuHoldsExactlyTheAllowedItems)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    vlt::PopupMenuRecorder menus;
    const std::pair<uint32_t, int> groupItems[] = {{CMainFrame::kTabNewHorzGroup, int(cmd::kNewHorzTabGroup)},
                                                   {CMainFrame::kTabNewVertGroup, int(cmd::kNewVertTabGroup)},
                                                   {CMainFrame::kTabMoveNext, int(cmd::kMoveToNextTabGroup)},
                                                   {CMainFrame::kTabMovePrev, int(cmd::kMoveToPrevTabGroup)}};
    auto expected = [&](uint32_t bits, bool drop, bool copies) {
        std::vector<int> ids;
        for (const auto& [bit, id] : groupItems)
            if (bits & bit)
                ids.push_back(id);
        if (drop)
            ids.push_back(int(cmd::kTabMenuCancel));
        if (!drop && (bits & CMainFrame::kTabToDocument))
            ids.push_back(int(cmd::kTabbedDocument));
        if (!drop && copies) {
            ids.push_back(int(cmd::kCopySettingsToAll));
            ids.push_back(int(cmd::kCopySettingsToSelected));
        }
        return ids;
    };
    for (bool copies : {false, true}) {
        if (copies) {
            ASSERT_NE(app->OpenDeviceDocument(FakeHandle(0x20), docstate::kLimitPlotData), nullptr);
        }
        for (uint32_t bits = 0; bits < 0x20; ++bits) {
            for (bool drop : {false, true}) {
                const std::vector<int> ids = expected(bits, drop, copies);
                const size_t before = menus.Count();
                EXPECT_TRUE(frame->ShowTabContextMenu(QPoint(5, 5), bits, drop));
                // A menu with nothing to offer is not shown.
                ASSERT_EQ(menus.Count(), before + (ids.empty() ? 0 : 1)) << bits;
                if (!ids.empty()) {
                    EXPECT_EQ(Ids(menus.Last()), ids) << "bits " << bits << " drop " << drop;
                }
            }
        }
    }
    EXPECT_EQ(menus.LastPosition(), QPoint(5, 5));
    // Cancel does nothing; the texts are the menus' own.
    menus.QueueChoice(int(cmd::kTabMenuCancel));
    frame->ShowTabContextMenu(QPoint(), CMainFrame::kTabNewVertGroup | CMainFrame::kTabMovePrev, true);
    const std::vector<vlt::MenuItemInfo>& items = menus.Last();
    ASSERT_EQ(Ids(items), (std::vector<int>{int(cmd::kNewVertTabGroup), int(cmd::kMoveToPrevTabGroup),
                                            int(cmd::kTabMenuCancel)}));
    EXPECT_EQ(items[0].text, QStringLiteral("New Vertical Tab Group"));
    EXPECT_EQ(items[1].text, QStringLiteral("Move to P&revious Tab Group"));
    EXPECT_EQ(items.back().text, QStringLiteral("&Cancel"));
    EXPECT_EQ(frame->GetTabGroups()->GroupCount(), 1);
}

TEST_F(ShellTest, RightClickAndDropOnATabOfferTheGroupCommands)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    CDocumentTabGroups* tabs = frame->GetTabGroups();
    FakeDoc* a = docs[0];
    FakeDoc* c = docs[2];
    c->commandStates = {{cmd::kCopySettingsToAll, {true, false}}};
    QTabBar* bar = tabs->TabBar(0);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->count(), 3);
    Activate(frame, frame->FindChildFrame(a));
    bar->moveTab(2, 0); // c's tab first
    vlt::PopupMenuRecorder menus;

    // A right click on the first tab makes it active and offers its menu.
    menus.QueueChoice(int(cmd::kNewVertTabGroup));
    const QPoint onTab = bar->tabRect(0).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, onTab, bar->mapToGlobal(onTab));
    QApplication::sendEvent(bar, &click);
    QTRY_COMPARE_WITH_TIMEOUT(menus.Count(), size_t(1), 10000);
    EXPECT_EQ(Ids(menus.Last()), (std::vector<int>{int(cmd::kNewHorzTabGroup), int(cmd::kNewVertTabGroup),
                                                   int(cmd::kCopySettingsToAll), int(cmd::kCopySettingsToSelected)}));
    EXPECT_TRUE(menus.Last()[4].enabled);   // c serves "Copy Settings To All Other Devices"
    EXPECT_FALSE(menus.Last()[5].enabled);  // but not the other
    ASSERT_EQ(tabs->GroupCount(), 2);
    EXPECT_EQ(tabs->GroupOf(SubOf(frame, c)), 1);
    EXPECT_EQ(frame->GetActiveDocument(), c);

    // A tab of the first group dragged out of its row and dropped: the drop menu.
    menus.QueueChoice(int(cmd::kMoveToNextTabGroup));
    bar = tabs->TabBar(0);
    const QPoint start = bar->tabRect(0).center();
    const QPoint drop(start.x(), bar->height() + 60);
    QTest::mousePress(bar, Qt::LeftButton, {}, start);
    QTest::mouseMove(bar, drop);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, drop);
    QTRY_COMPARE_WITH_TIMEOUT(menus.Count(), size_t(2), 10000);
    EXPECT_EQ(Ids(menus.Last()), (std::vector<int>{int(cmd::kNewVertTabGroup), int(cmd::kMoveToNextTabGroup),
                                                   int(cmd::kTabMenuCancel)}));
    EXPECT_EQ(Groups(frame), (std::vector<std::vector<IBoardDocument*>>{{docs[1]}, {c, a}}));
    // A click that stays on the row is no drop.
    bar = tabs->TabBar(0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(menus.Count(), 2u);
}

TEST_F(ShellTest, ClosingADocumentInASecondGroupLeavesTheOthersWorking)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    CDocumentTabGroups* tabs = frame->GetTabGroups();
    FakeDoc* a = docs[0];
    FakeDoc* b = docs[1];
    FakeDoc* c = docs[2];
    for (FakeDoc* d : {a, b, c})
        d->commandStates = {{cmd::kSaveBoardData, {true, false}}};
    ASSERT_TRUE(frame->OnCommand(cmd::kNewVertTabGroup)); // c
    Activate(frame, frame->FindChildFrame(b));
    ASSERT_TRUE(frame->OnCommand(cmd::kMoveToNextTabGroup));
    ASSERT_EQ(Groups(frame), (std::vector<std::vector<IBoardDocument*>>{{a}, {c, b}}));

    // b closes with its window's close button: its group keeps c.
    ASSERT_TRUE(SubOf(frame, b)->close());
    EXPECT_EQ(b->closed, 1);
    QTRY_COMPARE_WITH_TIMEOUT(frame->GetDocuments().size(), size_t(2), 10000);
    EXPECT_EQ(Groups(frame), (std::vector<std::vector<IBoardDocument*>>{{a}, {c}}));
    ASSERT_EQ(frame->GetActiveDocument(), c);
    EXPECT_TRUE(frame->OnCommand(cmd::kSaveBoardData));
    EXPECT_EQ(c->commands, std::vector<unsigned>{cmd::kSaveBoardData});

    // c closes through the menu: its group goes, a serves the menus.
    EXPECT_TRUE(frame->OnCommand(cmd::kFileClose));
    EXPECT_EQ(c->closed, 1);
    QTRY_COMPARE_WITH_TIMEOUT(tabs->GroupCount(), 1, 10000);
    EXPECT_EQ(frame->GetDocuments(), std::vector<IBoardDocument*>{a});
    frame->UpdateCommandUI();
    EXPECT_EQ(frame->GetActiveDocument(), a);
    EXPECT_TRUE(frame->CommandAction(cmd::kSaveBoardData)->isEnabled());
    frame->CommandAction(cmd::kSaveBoardData)->trigger();
    EXPECT_EQ(a->commands, std::vector<unsigned>{cmd::kSaveBoardData});
    EXPECT_EQ(a->closed, 0);
    // The close of the last one still works.
    EXPECT_TRUE(frame->OnCommand(cmd::kFileClose));
    EXPECT_EQ(a->closed, 1);
}

namespace {

// What a group shows: the window of its current tab, the one drawn on top,
// and whether the keyboard is in that one.
struct ShownWindow {
    IBoardDocument* tab;
    IBoardDocument* onTop;
    bool focused;
    bool operator==(const ShownWindow&) const = default;
};

IBoardDocument* DocOf(const QWidget* w)
{
    while (w && !qobject_cast<const QMdiSubWindow*>(w))
        w = w->parentWidget();
    auto* sub = qobject_cast<const QMdiSubWindow*>(w);
    auto* child = sub ? qobject_cast<CChildFrame*>(sub->widget()) : nullptr;
    return child ? child->GetDocument() : nullptr;
}

ShownWindow Shown(CMainFrame* frame, int group)
{
    CDocumentTabGroups* tabs = frame->GetTabGroups();
    QMdiArea* area = tabs->Group(group);
    QMdiSubWindow* tab = area->subWindowList(QMdiArea::CreationOrder).value(tabs->TabBar(group)->currentIndex());
    IBoardDocument* onTop = DocOf(area->viewport()->childAt(area->viewport()->rect().center()));
    return {DocOf(tab), onTop, tab && tab->isAncestorOf(QApplication::focusWidget())};
}

} // namespace

TEST_F(ShellTest, ABoardOpenedWithCtrlNIsTheCurrentTabOfTheGroupInUse)
{
    PanesRestorer restore;
    // A field in each window, to hold the keyboard.
    CChildFrame::Panes().plotView = [](IBoardDocument&, QWidget* parent) { return new QLineEdit(parent); };
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30)};
    ws.unopened = {FakeHandle(0x40), FakeHandle(0x50)};
    // The board is chosen in a modal dialog, as in the device selection.
    ws.onPick = [this] {
        QDialog pick(app->GetMainFrame());
        QTimer::singleShot(50, &pick, &QDialog::accept);
        pick.exec();
    };
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    FakeDoc* a = docs[0];
    FakeDoc* c = docs[2];
    ASSERT_TRUE(frame->OnCommand(cmd::kNewVertTabGroup));

    // The group in use is the one the keyboard is in, the second one first.
    std::vector<FakeDoc*> added;
    for (auto [group, inUse] : {std::pair{1, c}, std::pair{0, a}}) {
        Activate(frame, frame->FindChildFrame(inUse));
        frame->FindChildFrame(inUse)->findChild<QLineEdit*>()->setFocus();
        frame->UpdateCommandUI();
        const size_t before = docs.size();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
        ASSERT_EQ(docs.size(), before + 1);
        added.push_back(docs.back());
        // What the dialog's closing leaves queued has its turn.
        QTest::qWait(100);
        EXPECT_EQ(Groups(frame)[size_t(group)].back(), added.back());
        EXPECT_EQ(Shown(frame, group), (ShownWindow{added.back(), added.back(), true}));
        EXPECT_EQ(frame->GetActiveDocument(), added.back());
    }
    EXPECT_EQ(Groups(frame), (std::vector<std::vector<IBoardDocument*>>{{a, docs[1], added[1]}, {c, added[0]}}));
    EXPECT_EQ(Shown(frame, 1), (ShownWindow{added[0], added[0], false}));
}

// ---- Modal state -----------------------------------------------------------------

TEST_F(ShellTest, ModalStateNestsAndBlocksTheMainWindowOnly)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    FakeDoc* doc = docs[0];
    doc->commandStates = {{cmd::kSaveBoardData, {true, false}}};
    QToolBar* toolbar = frame->findChild<QToolBar*>();
    ASSERT_NE(toolbar, nullptr);
    // A tool window of the main window that is up, and one that someone
    // else disabled.
    auto* toolWindow = new QDialog(frame);
    toolWindow->show();
    auto* disabledWindow = new QDialog(frame);
    disabledWindow->show();
    disabledWindow->setEnabled(false);

    frame->EnterModalState();
    auto* blocker = new QDialog(frame); // the modeless window that blocks
    blocker->show();
    frame->EnterModalState();
    EXPECT_TRUE(frame->IsInModalState());
    EXPECT_FALSE(frame->menuBar()->isEnabled());
    EXPECT_FALSE(toolbar->isEnabled());
    EXPECT_FALSE(DocumentArea(frame)->isEnabled());
    EXPECT_FALSE(toolWindow->isEnabled());
    EXPECT_TRUE(blocker->isEnabled());
    // Commands are refused, also after the timer's update.
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->CommandAction(cmd::kSaveBoardData)->isEnabled());
    EXPECT_FALSE(frame->CommandAction(cmd::kViewStatusBar)->isEnabled());
    EXPECT_FALSE(frame->OnCommand(cmd::kSaveBoardData));
    const bool statusBarShown = frame->statusBar()->isVisible();
    EXPECT_FALSE(frame->OnCommand(cmd::kViewStatusBar));
    EXPECT_EQ(frame->statusBar()->isVisible(), statusBarShown);
    EXPECT_TRUE(doc->commands.empty());

    frame->LeaveModalState(); // still one level deep
    EXPECT_TRUE(frame->IsInModalState());
    EXPECT_FALSE(frame->menuBar()->isEnabled());
    EXPECT_FALSE(frame->OnCommand(cmd::kSaveBoardData));

    blocker->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(blocker));
    delete blocker;
    frame->LeaveModalState();
    EXPECT_FALSE(frame->IsInModalState());
    EXPECT_TRUE(frame->menuBar()->isEnabled());
    EXPECT_TRUE(toolbar->isEnabled());
    EXPECT_TRUE(DocumentArea(frame)->isEnabled());
    EXPECT_TRUE(toolWindow->isEnabled());
    EXPECT_FALSE(disabledWindow->isEnabled());
    EXPECT_TRUE(QTest::qWaitForWindowActive(frame));
    EXPECT_TRUE(frame->CommandAction(cmd::kSaveBoardData)->isEnabled());
    EXPECT_TRUE(frame->OnCommand(cmd::kSaveBoardData));
    EXPECT_EQ(doc->commands, std::vector<unsigned>{cmd::kSaveBoardData});

    // A Leave too many is ignored: the next Enter blocks again.
    frame->LeaveModalState();
    EXPECT_FALSE(frame->IsInModalState());
    frame->EnterModalState();
    EXPECT_TRUE(frame->IsInModalState());
    EXPECT_FALSE(frame->menuBar()->isEnabled());
    frame->LeaveModalState();
    EXPECT_FALSE(frame->IsInModalState());
    EXPECT_TRUE(frame->menuBar()->isEnabled());
}

TEST_F(ShellTest, MainWindowDoesNotCloseWhileModal)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    int beeps = 0;
    auto previous = vlt::SetErrorBeepHandler([&] { ++beeps; });
    vlt::MessageBoxRecorder boxes;
    frame->EnterModalState();
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(docs[0]->closed, 0);
    frame->LeaveModalState();
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(frame->GetDocuments().empty()); // closed and gone
    vlt::SetErrorBeepHandler(previous);
}

TEST_F(ShellTest, ModalStateSparesTheWindowNamedAsException)
{
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    auto* upload = new QDialog(frame);
    upload->show();
    frame->EnterModalState(upload);
    EXPECT_TRUE(upload->isEnabled());
    EXPECT_FALSE(frame->menuBar()->isEnabled());
    frame->LeaveModalState();
    EXPECT_TRUE(upload->isEnabled());
    delete upload;
}

TEST_F(ShellTest, StatusBarPanesAreMessageLockKeysThenModified)
{
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    frame->ShowStatusText(L"Ready", 0);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    const std::vector<QLabel*> panes = vlt::StatusBarPanes(*frame->statusBar());
    QStringList names;
    for (QLabel* pane : panes)
        names << pane->objectName() + QLatin1Char('=') + pane->text();
    EXPECT_EQ(names, (QStringList{"=Ready", "59137=CAP", "59138=NUM", "59139=SCRL",
                                  QString::number(cmd::kIndicatorModified) + "="}));
    ASSERT_EQ(panes.size(), 5u);
    for (size_t i = 1; i <= 3; ++i)
        EXPECT_FALSE(panes[i]->isEnabled()) << "no keyboard state offscreen: off";
    vlt::SetLockKeyStateForTest(vlt::LockKeyState{true, true, true});
    QTest::keyClick(frame, Qt::Key_NumLock);
    vlt::SetLockKeyStateForTest(std::nullopt);
    for (size_t i = 1; i <= 3; ++i)
        EXPECT_TRUE(panes[i]->isEnabled()) << i;
}

TEST_F(ShellTest, ModifiedIndicatorIsLitOnlyWhileTheWorkspaceIsModified)
{
    FakeWorkspace& ws = UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    auto* indicator = frame->statusBar()->findChild<QLabel*>(QString::number(cmd::kIndicatorModified));
    ASSERT_NE(indicator, nullptr);
    frame->UpdateCommandUI();
    EXPECT_EQ(indicator->text(), QString());
    const int width = indicator->minimumWidth();
    EXPECT_GE(width, indicator->fontMetrics().horizontalAdvance(QStringLiteral("MODIFIED")));
    ws.modified = true;
    frame->UpdateCommandUI();
    EXPECT_EQ(indicator->text(), QStringLiteral("MODIFIED"));
    EXPECT_TRUE(indicator->isEnabled());
    ws.modified = false;
    frame->UpdateCommandUI();
    EXPECT_EQ(indicator->text(), QString());
    EXPECT_EQ(indicator->minimumWidth(), width); // the pane keeps its place
}

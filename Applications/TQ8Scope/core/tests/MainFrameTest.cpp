#include <gtest/gtest.h>

#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTest>
#include <QTimer>

#include "CChildFrame.h"
#include "CVltPropertySheet.h"
#include "CommandIds.h"
#include "ErrorBeep.h"
#include "MessageBox.h"
#include "ShellFixture.h"
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

QMdiArea* DocumentArea(CMainFrame* frame)
{
    return qobject_cast<QMdiArea*>(frame->centralWidget());
}

void Activate(CMainFrame* frame, CChildFrame* child)
{
    auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
    ASSERT_NE(sub, nullptr);
    DocumentArea(frame)->setActiveSubWindow(sub);
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

#include <gtest/gtest.h>

#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "CChildFrame.h"
#include "CVltPropertySheet.h"
#include "CommandIds.h"
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

TEST_F(ShellTest, FirmwareFileForSeveralBoardsWarnsOnceAndSkipsRemoteBoards)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30), FakeHandle(0x40)};
    ws.selection = ws.boards;
    ws.remote[FakeHandle(0x40)] = true;
    FakeDoc::order.clear();
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({Folder() + L"/update.TQ8FW"}));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Remote firmware uploading is not supported");
    EXPECT_EQ(boxes.Boxes()[1].text, L"Firmware will be uploaded to multiple devices. If you are prompted to reboot, "
                                     L"only select Yes for the last device so all firmware gets uploaded.");
    EXPECT_EQ(boxes.Boxes()[1].style & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_EQ(app->GetMainFrame()->GetCommandLineFileKind(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(FakeDoc::order.size(), size_t(3), 10000);
    QTest::qWait(20);
    EXPECT_EQ(FakeDoc::order, (std::vector<TQ8_HANDLE>{FakeHandle(0x10), FakeHandle(0x20), FakeHandle(0x30)}));
    EXPECT_EQ(docs[3]->applied, 0);
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

TEST_F(ShellTest, ControlPanelPagesFollowTheMaskAndStopAtAMissingForm)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    auto& table = CChildFrame::PageTable();
    auto saved = table;
    table[0].create = [](IBoardDocument&) { return new QWidget; };
    table[0].formHeight = [] { return 400; };
    table[2].create = [](IBoardDocument&) { return new QWidget; };
    table[2].formHeight = [] { return 250; };
    ASSERT_TRUE(app->StartUp({}));
    CChildFrame* child = app->GetMainFrame()->FindChildFrame(docs[0]);
    docs[0]->pageMask = 0x5;
    EXPECT_TRUE(child->AddControlPages());
    ASSERT_EQ(child->GetControlPanel()->count(), 2);
    EXPECT_EQ(child->GetControlPanel()->tabText(0), QStringLiteral("Data"));
    EXPECT_EQ(child->GetControlPanel()->tabText(1), QStringLiteral("Trigger"));
    EXPECT_EQ(child->GetBottomRowHeight(), 400); // the tallest form
    docs[0]->pageMask = 0x3; // "Sampling Rate" has no form yet
    EXPECT_FALSE(child->AddControlPages());
    table = saved;
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

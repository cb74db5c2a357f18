#include <gtest/gtest.h>

#include "TestApp.h"
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "MessageBox.h"
#include "TimedStatusText.h"
#include "TimerSet.h"

namespace {

} // namespace

TEST(TimedStatusText, UntimedTextAfterTimedOneStays)
{
    App();
    QLabel pane;
    vlt::TimedStatusText status(&pane);
    status.Show(L"FFT size updated", 2500);
    EXPECT_TRUE(status.Timers().IsActive(1));
    status.Show(L"Transfer timed out", 0);
    EXPECT_EQ(status.TimedText(), L"FFT size updated");
    status.Timers().Expire(1);
    EXPECT_EQ(status.PaneText(), L"Transfer timed out");
    EXPECT_FALSE(status.Timers().IsActive(1));
    EXPECT_TRUE(status.TimedText().empty());
}

TEST(TimedStatusText, SecondTimedTextRestartsTheTimerAndIsCleared)
{
    App();
    QLabel pane;
    vlt::TimedStatusText status(&pane);
    status.Show(L"first", 2500);
    status.Show(L"second", 4000);
    EXPECT_EQ(status.Timers().Interval(1), 4000);
    EXPECT_EQ(status.TimedText(), L"second");
    status.Timers().Expire(1);
    EXPECT_TRUE(status.PaneText().empty());
}

TEST(TimedStatusText, RealTimerClearsThePane)
{
    App();
    QLabel pane;
    vlt::TimedStatusText status(&pane);
    status.Show(L"short", 10);
    QTRY_VERIFY_WITH_TIMEOUT(pane.text().isEmpty(), 10000);
    EXPECT_FALSE(status.Timers().IsActive(1));
}

// The user reads the text once the box in front of it is answered: a box
// that stays up longer than the time-out does not take the text away, and a
// text shown while a box is up starts its time-out only after the box.
TEST(TimedStatusText, TimeOutRunsOnceTheBoxesAreAnswered)
{
    App();
    QLabel pane;
    vlt::TimedStatusText status(&pane);
    status.Show(L"Loading device(s)...", 2500);
    bool inBox = false;
    vlt::MessageBoxHandler previous = vlt::SetMessageBoxHandler([&](const vlt::MessageBoxRequest&) {
        inBox = true;
        status.Timers().Expire(vlt::TimedStatusText::kTimerId); // the box stays up past the time-out
        EXPECT_EQ(status.PaneText(), L"Loading device(s)...");
        status.Show(L"Workspace data loaded with errors from: /a.tq8ws", 2500);
        EXPECT_FALSE(status.Timers().IsActive(vlt::TimedStatusText::kTimerId));
        status.Timers().Expire(vlt::TimedStatusText::kTimerId);
        EXPECT_EQ(status.PaneText(), L"Workspace data loaded with errors from: /a.tq8ws");
        return IDOK;
    });
    vlt::ShowMessageBox(L"An error occurred applying hardware settings to one or more devices:", MB_ICONWARNING);
    vlt::SetMessageBoxHandler(previous);
    ASSERT_TRUE(inBox);
    EXPECT_EQ(status.Timers().Interval(vlt::TimedStatusText::kTimerId), 2500);
    EXPECT_EQ(status.PaneText(), L"Workspace data loaded with errors from: /a.tq8ws");
    status.Timers().Expire(vlt::TimedStatusText::kTimerId);
    EXPECT_TRUE(status.PaneText().empty());
}

TEST(TimerSet, TimersAreKeptById)
{
    App();
    std::vector<unsigned> fired;
    vlt::TimerSet timers([&](unsigned id) { fired.push_back(id); });
    timers.SetTimer(7, 1);
    timers.SetTimer(9, 100000);
    QTRY_VERIFY_WITH_TIMEOUT(fired.size() >= 2, 10000);
    EXPECT_EQ(fired[0], 7u);
    timers.KillTimer(7);
    EXPECT_FALSE(timers.IsActive(7));
    EXPECT_TRUE(timers.IsActive(9));
    EXPECT_EQ(timers.Interval(7), -1);
    timers.KillTimer(42); // unknown id: nothing
}

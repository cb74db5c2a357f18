#include <gtest/gtest.h>

#include "TestApp.h"
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

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

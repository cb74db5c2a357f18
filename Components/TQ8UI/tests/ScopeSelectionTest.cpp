// The selection: its methods, clicks and Shift-clicks on the real window,
// the trigger mark's hot line and the arrow keys.
#include "ScopeInputCodes.h"
#include "ScopeOnScreen.h"

#include <QImage>
#include <QTest>

using namespace scopeinput;

namespace {

using Selection = std::pair<uint64_t, uint64_t>;
constexpr uint64_t kAll = ~uint64_t(0);

class ScopeSelection : public ScopeOnScreen {
protected:
    void SetUp() override
    {
        ScopeOnScreen::SetUp();
        scope->put_HScrollBar(ScrollbarNo);
        Place();
    }
    Selection Get()
    {
        Selection s{0, 0};
        EXPECT_EQ(scope->GetSelection(&s.first, &s.second), S_OK);
        return s;
    }
    // A page of 101 samples: one pixel per sample.
    void OnePixelPerSample() { scope->put_PageWidth(kPlotW + 1); }
    void Click(int plotX, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(wnd(), Qt::LeftButton, mods, InPlot(plotX, 50));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(wnd(), key, mods); }
};

TEST_F(ScopeSelection, EndsBeyondTheDataBecomeTheLastSample)
{
    AddFake(8);
    EXPECT_EQ(scope->SetSelection(10, 20), S_OK);
    EXPECT_EQ(Get(), Selection(7, 7));
    EXPECT_EQ(events->selections, std::vector<Selection>{Selection(7, 7)});
    EXPECT_EQ(scope->SetSelection(7, 9), S_OK); // the same once clamped
    EXPECT_EQ(events->selections.size(), 1u);
}

TEST_F(ScopeSelection, WithoutSourcesEverySelectionIsNone)
{
    EXPECT_EQ(scope->SetSelection(3, 4), S_OK);
    EXPECT_EQ(Get(), Selection(kAll, kAll));
    EXPECT_FALSE(ctrl()->HasSelection());
    EXPECT_TRUE(events->selections.empty());
    uint64_t start = 1;
    EXPECT_EQ(scope->GetSelection(&start, nullptr), S_OK);
    EXPECT_EQ(start, kAll);
}

TEST_F(ScopeSelection, AClickAndAShiftClickKeepTheirOrder)
{
    AddFake(1000);
    OnePixelPerSample();
    Click(50);
    EXPECT_EQ(Get(), Selection(50, 50));
    Click(20, Qt::ShiftModifier);
    EXPECT_EQ(Get(), Selection(50, 20));
    EXPECT_EQ(ctrl()->GetOrderedSelection(), Selection(20, 50));
    EXPECT_EQ(events->selections.back(), Selection(50, 20));
}

TEST_F(ScopeSelection, AClickRoundsToTheNearestSample)
{
    AddFake(1000);
    scope->put_PageWidth(51); // two pixels per sample
    scope->put_StartSample(10);
    Click(3); // 1.5 samples: a half rounds down
    EXPECT_EQ(Get().first, 11u);
    Click(5); // 2.5
    EXPECT_EQ(Get().first, 12u);
}

TEST_F(ScopeSelection, AClickRightOfTheDataSelectsTheLastSample)
{
    AddFake(20);
    OnePixelPerSample(); // wider than the data
    Click(90);
    EXPECT_EQ(Get(), Selection(19, 19));
}

TEST_F(ScopeSelection, AClickOutsideThePlotClearsTheSelection)
{
    AddFake(1000);
    QTest::mouseClick(wnd(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_TRUE(events->selections.empty()); // nothing to clear
    Click(50);
    QTest::mouseClick(wnd(), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_EQ(Get(), Selection(kAll, kAll));
    EXPECT_EQ(events->selections.back(), Selection(kAll, kAll));
}

TEST_F(ScopeSelection, PressingTheTriggerImageShowsItsLineUntilRelease)
{
    AddFake(1000);
    scope->put_MarginLeft(40);
    scope->put_TriggerMarkStyle1(TrigMarkImageHotLine);
    QImage image(kPlotW + 8, kPlotH + 8, QImage::Format_RGB32);
    ctrl()->OnDraw(&image, {0, 0, kPlotW + 8, kPlotH + 8});
    const QRect mark = ctrl()->TrigMarkImageRect(0);
    ASSERT_FALSE(mark.isEmpty());
    QTest::mousePress(wnd(), Qt::LeftButton, Qt::NoModifier, mark.center());
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::HotLine));
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::LayoutDirty));
    QTest::mouseRelease(wnd(), Qt::LeftButton, Qt::NoModifier, mark.center());
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::HotLine));
}

TEST_F(ScopeSelection, ZoomToSelectionShowsAtLeastEightSamples)
{
    AddFake(1000);
    scope->SetSelection(103, 100);
    EXPECT_EQ(scope->ZoomToSelection(), S_OK);
    EXPECT_EQ(Start(), 100u);
    EXPECT_EQ(Page(), 8u);
    EXPECT_EQ(ctrl()->RedrawSuspendCount(), 0);
}

TEST_F(ScopeSelection, ZoomToSelectionWithoutOneChangesNothing)
{
    AddFake(1000);
    auto sink = Listen();
    EXPECT_EQ(scope->ZoomToSelection(), S_FALSE);
    EXPECT_EQ(Page(), 1000u);
    EXPECT_TRUE(sink->changed.empty());
}

TEST_F(ScopeSelection, ZoomToAWideSelectionShowsTheMaximumPage)
{
    AddFake(100000);
    scope->SetSelection(10, 60000);
    EXPECT_EQ(scope->ZoomToSelection(), S_OK);
    EXPECT_EQ(Start(), 10u);
    EXPECT_EQ(Page(), 32768u);
}

TEST_F(ScopeSelection, ShiftArrowsMoveTheEnd)
{
    AddFake(1000);
    scope->SetSelection(5, 0);
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Get(), Selection(5, 0));
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Get(), Selection(5, 2));
}

TEST_F(ScopeSelection, ShiftArrowsWithoutASelectionChangeNothing)
{
    AddFake(1000);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Get(), Selection(kAll, kAll));
    EXPECT_TRUE(events->selections.empty());
}

TEST_F(ScopeSelection, ArrowsMoveAOneSampleSelection)
{
    AddFake(1000);
    scope->SetSelection(0, 7);
    Key(Qt::Key_Left);
    EXPECT_EQ(Get(), Selection(0, 0));
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_EQ(Get(), Selection(2, 2));
}

TEST_F(ScopeSelection, ThePageFollowsASelectionLeavingIt)
{
    AddFake(1000);
    scope->put_PageWidth(100);
    scope->put_StartSample(200);
    scope->SetSelection(299, 299);
    Key(Qt::Key_Right);
    EXPECT_EQ(Get(), Selection(300, 300));
    EXPECT_EQ(Start(), 299u);
    scope->SetSelection(299, 299);
    Key(Qt::Key_Left);
    EXPECT_EQ(Start(), 200u);
    scope->SetSelection(50, 50);
    scope->put_StartSample(50);
    Key(Qt::Key_Left);
    EXPECT_EQ(Start(), 0u);
}

} // namespace

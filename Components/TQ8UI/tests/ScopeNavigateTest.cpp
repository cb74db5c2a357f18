// Zoom, drag panning with the edge timer, and the scroll bar's requests.
#include "Saturating.h"
#include "ScopeInputCodes.h"
#include "ScopeOnScreen.h"
#include "TimerSet.h"

#include <QCursor>
#include <QScrollBar>
#include <cfloat>
#include <cmath>
#include <limits>

using namespace scopeinput;

namespace {

class ScopeNavigate : public ScopeOnScreen {
protected:
    void SetUp() override
    {
        ScopeOnScreen::SetUp();
        scope->put_HScrollBar(ScrollbarNo);
        Place();
    }
    // A page on which one sample is `pixels` pixels wide.
    void PixelsPerSample(int pixels)
    {
        scope->put_PageWidth(kPlotW / pixels + 1);
        ASSERT_DOUBLE_EQ(ctrl()->XScale(), double(pixels));
    }
};

TEST(Saturating, ConversionsStickToTheLimits)
{
    EXPECT_EQ(saturating::ToU64(1e300), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(saturating::ToU64(-5.5), 0u);
    EXPECT_EQ(saturating::ToU64(std::nan("")), 0u);
    EXPECT_EQ(saturating::ToU64(7.9), 7u);
    EXPECT_EQ(saturating::ToI64(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(saturating::ToI64(-7.9), -7);
    EXPECT_EQ(saturating::ToI32(int64_t(1) << 40), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(saturating::ToI32(-1e20), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(saturating::Add(~uint64_t(0) - 1, uint64_t(5)), ~uint64_t(0));
    EXPECT_EQ(saturating::Sub(uint64_t(3), uint64_t(5)), 0u);
    EXPECT_EQ(saturating::Sub(std::numeric_limits<int64_t>::min(), int64_t(1)), std::numeric_limits<int64_t>::min());
}

TEST_F(ScopeNavigate, VerticalZoomKeepsASpanOfAtLeastEight)
{
    scope->put_MaxSampleValue(10);
    ctrl()->ZoomVertical(0.1, -1);
    const auto [lo, hi] = Range();
    EXPECT_EQ(hi - lo, 8);
    EXPECT_EQ((lo + hi) / 2, 5);
}

TEST_F(ScopeNavigate, VerticalZoomThatKeepsTheSpanSendsNothing)
{
    auto sink = Listen();
    const int before = ctrl()->InvalidateCount();
    ctrl()->ZoomVertical(1.0, -1);
    ctrl()->ZoomVertical(1.001, 20); // 255 x 1.001 truncates to 255
    EXPECT_TRUE(sink->changed.empty());
    EXPECT_EQ(ctrl()->InvalidateCount(), before);
}

TEST_F(ScopeNavigate, VerticalZoomAboutAPointNotifiesMinimumThenMaximum)
{
    auto sink = Listen();
    const int32_t centre = int32_t(255 - 50 / ctrl()->YScale()); // the value at row 50
    ctrl()->ZoomVertical(0.5, 50);
    const auto [lo, hi] = Range();
    EXPECT_EQ(lo, centre - 63);
    EXPECT_EQ(hi, centre + 63);
    EXPECT_EQ(sink->changed, (std::vector<DISPID>{ScopeDispId::MinSampleValue, ScopeDispId::MaxSampleValue}));
}

TEST_F(ScopeNavigate, ExtremeVerticalFactorsSaturate)
{
    ctrl()->ZoomVertical(1e300, -1);
    EXPECT_EQ(Range(), std::make_pair(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    ctrl()->ZoomVertical(1e300, 0); // the centre of a full range, zoomed out again
    EXPECT_EQ(Range(), std::make_pair(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    ctrl()->ZoomVertical(1e-300, -1);
    const auto [lo, hi] = Range();
    EXPECT_EQ(int64_t(hi) - lo, 8);
}

TEST_F(ScopeNavigate, NoHorizontalZoomBeyondTheData)
{
    AddFake(1000);
    ASSERT_EQ(Page(), 1000u); // fitted to the first source
    auto sink = Listen();
    ctrl()->ZoomHorizontal(2.0, 10);
    ctrl()->ZoomHorizontal(1e300, -1);
    EXPECT_EQ(Page(), 1000u);
    EXPECT_TRUE(sink->changed.empty());
}

TEST_F(ScopeNavigate, NoHorizontalZoomBeyondTheMaximumPage)
{
    AddFake(100000);
    scope->put_PageWidth(30000);
    ctrl()->ZoomHorizontal(1e300, 0);
    EXPECT_EQ(Page(), 32768u);
    EXPECT_EQ(Start(), 0u);
    ctrl()->ZoomHorizontal(1e-300, -1);
    EXPECT_EQ(Page(), 8u);
}

TEST_F(ScopeNavigate, ZoomingOutNearTheEndLeavesAFullLastPage)
{
    AddFake(1000);
    scope->put_PageWidth(100);
    scope->put_StartSample(900);
    auto sink = Listen();
    ctrl()->ZoomHorizontal(2.0, kPlotW - 1);
    EXPECT_EQ(Page(), 200u);
    EXPECT_EQ(Start(), 800u);
    EXPECT_EQ(sink->changed, (std::vector<DISPID>{ScopeDispId::PageWidth, ScopeDispId::StartSample}));
}

TEST_F(ScopeNavigate, ZoomingInKeepsTheSampleUnderTheAnchor)
{
    AddFake(1000);
    scope->put_PageWidth(101); // one pixel per sample
    scope->put_StartSample(300);
    ctrl()->ZoomHorizontal(0.5, 40);
    EXPECT_EQ(Page(), 50u);
    // 40 pixels now span 40 / (100 / 49) samples.
    EXPECT_EQ(Start(), 340u - uint64_t(40 / (100.0 / 49.0)));
}

TEST_F(ScopeNavigate, APageWiderThanFewSamplesStartsAtZero)
{
    AddFake(5);
    ASSERT_EQ(Page(), 8u);
    ctrl()->ZoomHorizontal(0.5, 10);
    EXPECT_EQ(Start(), 0u);
    EXPECT_EQ(Page(), 8u);
}

TEST_F(ScopeNavigate, SlowDragsAccumulate)
{
    AddFake(1000);
    PixelsPerSample(10);
    scope->put_StartSample(500);
    ctrl()->OnRButtonDown(0, InPlot(50, 50));
    ctrl()->DragPanTo(0, InPlot(47, 50));
    EXPECT_EQ(Start(), 500u);
    EXPECT_EQ(ctrl()->LastMousePoint(), InPlot(50, 50));
    ctrl()->DragPanTo(0, InPlot(38, 50));
    EXPECT_EQ(Start(), 501u);
    EXPECT_EQ(ctrl()->LastMousePoint(), InPlot(38, 50));
    ctrl()->DragPanTo(0, InPlot(58, 50));
    EXPECT_EQ(Start(), 499u);
}

TEST_F(ScopeNavigate, DragsStopAtBothEndsOfTheData)
{
    AddFake(1000);
    PixelsPerSample(1); // a page of 101
    scope->put_StartSample(5);
    ctrl()->OnRButtonDown(0, InPlot(80, 50));
    ctrl()->DragPanTo(0, InPlot(20, 50));
    EXPECT_EQ(Start(), 65u);
    ctrl()->OnRButtonDown(0, InPlot(79, 50));
    scope->put_StartSample(890);
    ctrl()->DragPanTo(0, InPlot(20, 50));
    EXPECT_EQ(Start(), 899u);
}

TEST_F(ScopeNavigate, DragsOfAPageWiderThanTheDataStayAtZero)
{
    AddFake(5);
    ctrl()->OnRButtonDown(0, InPlot(80, 50));
    ctrl()->DragPanTo(0, InPlot(20, 50));
    EXPECT_EQ(Start(), 0u);
}

TEST_F(ScopeNavigate, ControlDragsMoveTheValueRangeWithoutChangingItsSpan)
{
    AddFake(1000);
    scope->put_MinSampleValue(std::numeric_limits<int32_t>::min() + 100);
    scope->put_MaxSampleValue(std::numeric_limits<int32_t>::min() + 1000);
    ctrl()->OnRButtonDown(0, InPlot(50, 10));
    ctrl()->DragPanTo(MK_CONTROL, InPlot(50, 90)); // down: higher values come into view
    auto [lo, hi] = Range();
    EXPECT_GT(lo, std::numeric_limits<int32_t>::min() + 100);
    EXPECT_EQ(hi - lo, 900);
    for (int i = 0; i < 3; ++i) {
        ctrl()->OnRButtonDown(0, InPlot(50, 99));
        ctrl()->DragPanTo(MK_CONTROL, InPlot(50, 0));
    }
    std::tie(lo, hi) = Range();
    EXPECT_EQ(lo, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(hi - lo, 900);
}

TEST_F(ScopeNavigate, ATinyScaleCannotOverflowADrag)
{
    AddFake(uint64_t(1) << 40);
    ctrl()->OnRButtonDown(0, InPlot(60, 60));
    scope->put_MinSampleValue(-5);
    scope->put_MaxSampleValue(std::numeric_limits<int32_t>::max());
    scope->put_MinSampleValue(std::numeric_limits<int32_t>::min());
    Place(); // the Y scale is now near its floor
    ctrl()->DragPanTo(MK_CONTROL, InPlot(40, 40));
    EXPECT_LT(Start(), uint64_t(1) << 40);
    const auto [lo, hi] = Range();
    EXPECT_LT(lo, hi);
}

TEST_F(ScopeNavigate, TheEdgeTimerRepeatsTheLastStepNearAnEdge)
{
    AddFake(10000);
    PixelsPerSample(1);
    scope->put_StartSample(5000);
    vlt::TimerSet& timers = ctrl()->Timers();
    ctrl()->OnRButtonDown(0, InPlot(50, 50));
    ctrl()->DragPanTo(0, InPlot(30, 50));
    EXPECT_FALSE(timers.IsActive(kEdgeTimerId));
    ctrl()->DragPanTo(0, InPlot(15, 50)); // within 16 pixels of the left edge
    EXPECT_EQ(Start(), 5035u);
    ASSERT_TRUE(timers.IsActive(kEdgeTimerId));
    EXPECT_EQ(timers.Interval(kEdgeTimerId), kEdgeTimerMs);
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::EdgeTimerRunning));
    // While the timer runs the point of entry stays the reference.
    const QPoint edge = InPlot(5, 50);
    ctrl()->DragPanTo(0, edge);
    EXPECT_EQ(Start(), 5045u);
    EXPECT_EQ(ctrl()->LastMousePoint(), InPlot(15, 50));
    QCursor::setPos(wnd()->mapToGlobal(edge));
    ASSERT_EQ(wnd()->mapFromGlobal(QCursor::pos()), edge);
    timers.Expire(kEdgeTimerId);
    timers.Expire(kEdgeTimerId);
    EXPECT_EQ(Start(), 5065u);
    ctrl()->DragPanTo(0, InPlot(kPlotW - 16, 50));
    EXPECT_TRUE(timers.IsActive(kEdgeTimerId)); // the right edge's zone
    ctrl()->DragPanTo(0, InPlot(50, 50));
    EXPECT_FALSE(timers.IsActive(kEdgeTimerId));
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::EdgeTimerRunning));
    const uint64_t stopped = Start();
    EXPECT_FALSE(ctrl()->OnTimer(kEdgeTimerId)); // a late tick does nothing
    EXPECT_EQ(Start(), stopped);
}

class ScopeScroll : public ScopeOnScreen {
protected:
    QScrollBar* bar() { return ctrl()->ScrollBar(); }
    bool Scroll(int code) { return ctrl()->OnHScroll(code, bar()); }
};

TEST_F(ScopeScroll, TheScrollBarComesWithMoreSamplesThanAPage)
{
    EXPECT_EQ(bar(), nullptr);
    AddFake(1000);
    EXPECT_EQ(bar(), nullptr); // the page fits the data
    scope->put_PageWidth(64);
    ASSERT_NE(bar(), nullptr);
    EXPECT_EQ(bar()->parentWidget(), wnd());
    EXPECT_EQ(ctrl()->ScrollBarSettings().maximum, 1000);
    EXPECT_EQ(ctrl()->ScrollBarSettings().page, 64);
    EXPECT_EQ(bar()->pageStep(), 64);
    EXPECT_EQ(bar()->maximum(), 1000 - 64 + 1);
    scope->put_PageWidth(2000);
    EXPECT_EQ(bar(), nullptr);
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::ScrollBarInUse));
}

TEST_F(ScopeScroll, RequestsMoveTheStart)
{
    AddFake(1000);
    scope->put_PageWidth(64);
    scope->put_StartSample(3);
    EXPECT_TRUE(Scroll(SB_LINELEFT));
    EXPECT_EQ(Start(), 0u);
    Scroll(SB_LINERIGHT);
    EXPECT_EQ(Start(), 8u);
    Scroll(SB_PAGERIGHT);
    EXPECT_EQ(Start(), 72u);
    EXPECT_EQ(bar()->sliderPosition(), 72);
    Scroll(SB_PAGELEFT);
    Scroll(SB_PAGELEFT);
    EXPECT_EQ(Start(), 0u);
    Scroll(SB_BOTTOM);
    EXPECT_EQ(Start(), 992u); // not the last full page
    Scroll(SB_PAGERIGHT);
    EXPECT_EQ(Start(), 992u);
    Scroll(SB_TOP);
    EXPECT_EQ(Start(), 0u);
}

TEST_F(ScopeScroll, ThumbTrackingLastsUntilTheEndOfTheScroll)
{
    AddFake(1000);
    scope->put_PageWidth(64);
    auto sink = Listen();
    bar()->setSliderPosition(500);
    Scroll(SB_THUMBTRACK);
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::ThumbTracking));
    EXPECT_EQ(Start(), 500u);
    EXPECT_EQ(sink->changed, std::vector<DISPID>{ScopeDispId::StartSample});
    Scroll(SB_ENDSCROLL);
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::ThumbTracking));
    EXPECT_EQ(Start(), 500u);
}

TEST_F(ScopeScroll, TheBarsActionsAreItsRequests)
{
    AddFake(1000);
    scope->put_PageWidth(64);
    bar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Start(), 64u);
    bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Start(), 72u);
    EXPECT_EQ(bar()->value(), 72);
    bar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Start(), 992u);
    bar()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(Start(), 0u);
}

TEST_F(ScopeScroll, FewerThanEightSamplesScrollNowhere)
{
    AddFake(5);
    scope->put_HScrollBar(ScrollbarYes);
    ASSERT_NE(bar(), nullptr);
    Scroll(SB_BOTTOM);
    EXPECT_EQ(Start(), 0u);
    Scroll(SB_PAGERIGHT);
    EXPECT_EQ(Start(), 0u);
}

TEST_F(ScopeScroll, AHugeRecordIsScaledOntoTheBar)
{
    const uint64_t total = uint64_t(3) << 31;
    AddFake(total);
    const ScrollBarRange& r = ctrl()->ScrollBarSettings();
    EXPECT_EQ(r.minimum, 0);
    EXPECT_EQ(r.maximum, 0x7FFFFFFE);
    EXPECT_DOUBLE_EQ(r.scale, double(total) / 2147483647.0);
    scope->put_StartSample(uint64_t(1) << 31);
    EXPECT_EQ(ctrl()->ScrollBarSettings().position, 715827882);
    EXPECT_EQ(bar()->sliderPosition(), 715827882);
    Scroll(SB_BOTTOM);
    EXPECT_EQ(Start(), total - 8);
}

} // namespace

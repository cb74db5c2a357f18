// The window's input: wheel zoom, right-button drags with the drag cursor,
// scrolling keys, mouse leave and what the window's creation makes.
#include "CSampleTipWindow.h"
#include "ScopeInputCodes.h"
#include "ScopeOnScreen.h"
#include "TimerSet.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace scopeinput;

namespace {

class ScopeInput : public ScopeOnScreen {
protected:
    void Wheel(int delta, Qt::KeyboardModifiers mods, QPoint point)
    {
        QWheelEvent e(point, wnd()->mapToGlobal(point), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(wnd(), &e);
    }
    void Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint point,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QMouseEvent e(type, point, wnd()->mapToGlobal(point), button, buttons, mods);
        QApplication::sendEvent(wnd(), &e);
    }
    void RightPress(QPoint p) { Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, p); }
    void RightMove(QPoint p, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        Mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, p, mods);
    }
    void RightRelease(QPoint p) { Mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, p); }
};

TEST_F(ScopeInput, TheWheelZoomsAboutThePointer)
{
    AddFake(100000);
    scope->put_HScrollBar(ScrollbarNo);
    Place();
    ASSERT_EQ(Page(), 8192u);
    Wheel(-120, Qt::NoModifier, InPlot(0, 50)); // towards the user: out
    EXPECT_EQ(Page(), uint32_t(8192 / 0.75));
    EXPECT_EQ(Start(), 0u);
    Wheel(120, Qt::NoModifier, InPlot(0, 50));
    EXPECT_EQ(Page(), uint32_t(uint32_t(8192 / 0.75) * 0.75));
}

TEST_F(ScopeInput, TheWheelWithControlZoomsTheValuesAboutTheirCentre)
{
    AddFake(100000);
    Wheel(-120, Qt::ControlModifier, InPlot(10, 40)); // the pointer's row plays no part
    int32_t half = int32_t(255 / 0.75) / 2;
    EXPECT_EQ(Range(), std::make_pair(127 - half, 127 + half));
    const auto [lo, hi] = Range();
    Wheel(120, Qt::ControlModifier, InPlot(10, 10));
    half = int32_t((int64_t(hi) - lo) * 0.75) / 2;
    const int32_t centre = (lo + hi) / 2;
    EXPECT_EQ(Range(), std::make_pair(centre - half, centre + half));
}

TEST_F(ScopeInput, ARightDragPansWithTheDragCursor)
{
    AddFake(10000);
    scope->put_PageWidth(101);
    scope->put_StartSample(500);
    scope->put_HScrollBar(ScrollbarNo);
    Place();
    const int d = QApplication::startDragDistance();
    RightPress(InPlot(50, 50));
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::ButtonDown));
    RightMove(InPlot(50 - d + 1, 50)); // still within the drag distance
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::Dragging));
    EXPECT_EQ(Start(), 500u);
    RightMove(InPlot(30, 50));
    EXPECT_TRUE(ctrl()->HasFlag(CScopeCtrl::Dragging));
    EXPECT_EQ(Start(), 520u);
    EXPECT_EQ(wnd()->cursor().shape(), Qt::ClosedHandCursor);
    EXPECT_TRUE(ctrl()->OnSetCursor());
    RightMove(InPlot(5, 50)); // into the edge zone
    EXPECT_TRUE(ctrl()->Timers().IsActive(kEdgeTimerId));
    RightRelease(InPlot(5, 50));
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::Dragging));
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::ButtonDown));
    EXPECT_FALSE(ctrl()->Timers().IsActive(kEdgeTimerId));
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::EdgeTimerRunning));
    EXPECT_FALSE(wnd()->testAttribute(Qt::WA_SetCursor));
    EXPECT_FALSE(ctrl()->OnSetCursor());
}

TEST_F(ScopeInput, ADragKeepsTheWindowsOwnCursor)
{
    AddFake(10000);
    wnd()->setCursor(Qt::CrossCursor);
    RightPress(InPlot(50, 50));
    RightMove(InPlot(20, 50));
    RightRelease(InPlot(20, 50));
    EXPECT_EQ(wnd()->cursor().shape(), Qt::CrossCursor);
}

TEST_F(ScopeInput, KeysScrollThroughTheScrollBar)
{
    AddFake(1000);
    scope->put_PageWidth(64);
    ASSERT_NE(ctrl()->ScrollBar(), nullptr);
    QTest::keyClick(wnd(), Qt::Key_PageDown);
    EXPECT_EQ(Start(), 64u);
    QTest::keyClick(wnd(), Qt::Key_End);
    EXPECT_EQ(Start(), 992u);
    QTest::keyClick(wnd(), Qt::Key_PageUp);
    EXPECT_EQ(Start(), 928u);
    QTest::keyClick(wnd(), Qt::Key_Home);
    EXPECT_EQ(Start(), 0u);
    QTest::keyClick(wnd(), Qt::Key_Right, Qt::ControlModifier); // not the selection's
    EXPECT_EQ(Start(), 8u);
    QTest::keyClick(wnd(), Qt::Key_Right); // no selection: the key is the selection's
    EXPECT_EQ(Start(), 8u);
    QTest::keyClick(wnd(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Start(), 0u);
    EXPECT_EQ(ctrl()->ScrollBar()->value(), 0);
}

TEST_F(ScopeInput, TheWindowsCreationMakesThePendingScrollBarAndTheTipWindow)
{
    auto other = NewScope();
    other->put_HScrollBar(ScrollbarYes);
    EXPECT_TRUE(Impl(other)->HasFlag(CScopeCtrl::ScrollBarPending));
    EXPECT_EQ(Impl(other)->SampleTipWindow(), nullptr);
    QWidget place;
    CComPtr<IOleInPlaceObject> inplace;
    other.QueryInterface(&inplace);
    inplace->InPlaceActivate(&place);
    EXPECT_NE(Impl(other)->ScrollBar(), nullptr);
    EXPECT_FALSE(Impl(other)->HasFlag(CScopeCtrl::ScrollBarPending));
    ASSERT_NE(Impl(other)->SampleTipWindow(), nullptr);
    EXPECT_FALSE(Impl(other)->SampleTipWindow()->IsActive());
    inplace->InPlaceDeactivate();
    EXPECT_EQ(Impl(other)->SampleTipWindow(), nullptr);
}

TEST_F(ScopeInput, LeavingTheWindowForgetsTheTip)
{
    AddFake(1000);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(wnd(), &leave);
    EXPECT_FALSE(ctrl()->HasFlag(CScopeCtrl::MouseTracking));
    EXPECT_EQ(ctrl()->TipChannel(), kNone);
}

} // namespace

// CScopeCtrl: the window's mouse, wheel, key, timer and creation input.
#include "CSampleTipWindow.h"
#include "CScopeCtrl.h"
#include "CScopeWnd.h"
#include "ScopeInputCodes.h"

#include <QApplication>
#include <QCursor>
#include <QScrollBar>
#include <cmath>

using namespace scopeinput;

namespace {

const QCursor& DragCursor()
{
    static const QCursor cursor(Qt::ClosedHandCursor); // made once, on the first drag
    return cursor;
}

} // namespace

bool CScopeCtrl::InPlot(const QPoint& p) const
{
    return p.x() >= m_plotRect.left && p.x() < m_plotRect.right && p.y() >= m_plotRect.top
           && p.y() < m_plotRect.bottom;
}

void CScopeCtrl::OnCreate()
{
    if (HasFlag(ScrollBarPending))
        CreateScrollBar(true);
    m_tipWindow = std::make_unique<CSampleTipWindow>(m_wnd.data());
    m_tipWindow->Activate(false);
    // The new tip window has no tool yet: the next paint registers it.
    m_flags &= ~TipToolAdded;
    Redraw();
}

bool CScopeCtrl::OnSetCursor()
{
    if (!HasFlag(Dragging) || !WindowExists())
        return false;
    m_wnd->setCursor(DragCursor());
    return true;
}

void CScopeCtrl::BeginDrag()
{
    m_flags |= Dragging;
    if (!WindowExists())
        return;
    m_wnd->grabMouse();
    m_savedCursor.reset();
    if (m_wnd->testAttribute(Qt::WA_SetCursor))
        m_savedCursor = m_wnd->cursor();
    OnSetCursor();
}

void CScopeCtrl::EndDrag()
{
    StopEdgeTimer();
    m_flags &= ~Dragging;
    if (!WindowExists())
        return;
    if (m_savedCursor)
        m_wnd->setCursor(*m_savedCursor);
    else
        m_wnd->unsetCursor();
    m_savedCursor.reset();
    m_wnd->releaseMouse();
}

void CScopeCtrl::OnMouseMove(uint32_t keys, const QPoint& point)
{
    if (HasFlag(ButtonDown)) {
        if (!HasFlag(SourcesPresent))
            return;
        // A drag begins once the pointer leaves the drag distance around the press.
        const int d = QApplication::startDragDistance();
        const QRect still(m_lastMouse.x() - d, m_lastMouse.y() - d, 2 * d, 2 * d);
        if (!HasFlag(Dragging) && !still.contains(point))
            BeginDrag();
        if (HasFlag(Dragging))
            DragPanTo(keys, point);
        return;
    }
    if (ArePointMarkersVisible(true) && HasFlag(SampleValueTipsEnabled) && m_tipWindow)
        TrackTip(point);
}

bool CScopeCtrl::OnTimer(unsigned id)
{
    if (id != kEdgeTimerId || !HasFlag(EdgeTimerRunning))
        return false;
    const QPoint point = WindowExists() ? m_wnd->mapFromGlobal(QCursor::pos()) : m_lastMouse;
    DragPanTo(0, point);
    return true;
}

bool CScopeCtrl::OnKeyDown(int key, uint32_t keys)
{
    if ((key == VK_LEFT || key == VK_RIGHT) && HasFlag(SourcesPresent) && ExtendSelectionByKey(key, keys))
        return true;
    if (!HasFlag(ScrollBarInUse))
        return false;
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_RIGHT:
        ScrollByKey(key);
        return true;
    default:
        return false;
    }
}

void CScopeCtrl::ScrollByKey(int key)
{
    int code = SB_LINERIGHT;
    switch (key) {
    case VK_PRIOR: code = SB_PAGELEFT; break;
    case VK_NEXT: code = SB_PAGERIGHT; break;
    case VK_END: code = SB_RIGHT; break;
    case VK_HOME: code = SB_LEFT; break;
    case VK_LEFT: code = SB_LINELEFT; break;
    default: break;
    }
    OnHScroll(code, m_scrollBar);
}

void CScopeCtrl::OnMouseLeave()
{
    m_flags &= ~MouseTracking;
    if (m_tipChannel == kNone)
        return;
    m_tipChannel = kNone;
    UpdateSampleTip();
    Redraw();
}

void CScopeCtrl::OnMouseWheel(uint32_t keys, int delta, const QPoint& point)
{
    if (!HasFlag(SourcesPresent) || !InPlot(point))
        return;
    const double factor = std::pow(0.75, double(delta) / 120.0);
    if (keys & MK_CONTROL)
        ZoomVertical(factor, -1);
    else
        ZoomHorizontal(factor, point.x() - m_plotRect.left);
}

void CScopeCtrl::OnRButtonDown(uint32_t, const QPoint& point)
{
    if (WindowExists())
        m_wnd->setFocus(Qt::MouseFocusReason);
    if (!InPlot(point))
        return;
    m_lastMouse = point;
    m_flags |= ButtonDown;
}

void CScopeCtrl::OnRButtonUp(uint32_t, const QPoint& point)
{
    if (!HasFlag(ButtonDown))
        return;
    m_flags &= ~ButtonDown;
    if (HasFlag(Dragging))
        EndDrag();
    else if (HasFlag(ContextMenuEnabled))
        ShowContextMenu(point);
}

void CScopeCtrl::OnLButtonUp()
{
    if (!HasFlag(HotLine))
        return;
    m_flags &= ~HotLine;
    Redraw();
}

void CScopeCtrl::OnLButtonDown(uint32_t keys, const QPoint& point)
{
    if (WindowExists())
        m_wnd->setFocus(Qt::MouseFocusReason);
    if (!HasFlag(SourcesPresent) || !HasFlag(AllowDataSelection))
        return;
    if (InPlot(point)) {
        const uint64_t sample = SampleAtClientX(point.x());
        if (!(keys & MK_SHIFT))
            m_selStart = sample;
        m_selEnd = sample;
    } else {
        for (const TrigMarkSettings& mark : m_trigMarks) {
            if (mark.style == TrigMarkImageHotLine && mark.imageRect.contains(point)) {
                m_flags |= HotLine;
                Redraw();
            }
        }
        if (!HasSelection())
            return;
        m_selStart = m_selEnd = kNoSample;
    }
    Redraw();
    FireOnSelectionChange(m_selStart, m_selEnd);
}

#include "CScopeWnd.h"

#include "CScopeCtrl.h"
#include "ScopeInputCodes.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

using namespace scopeinput;

CScopeWnd::CScopeWnd(CScopeCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl)
{
    // The control paints every pixel from its own back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves without a button show the sample tips.
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    // The right button is the control's own: its release opens the control's menu.
    setContextMenuPolicy(Qt::PreventContextMenu);
}

uint32_t CScopeWnd::KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    uint32_t keys = 0;
    if (buttons & Qt::LeftButton)
        keys |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        keys |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        keys |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier)
        keys |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        keys |= MK_CONTROL;
    return keys;
}

int CScopeWnd::VirtualKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    default: return 0;
    }
}

QRect CScopeWnd::PlotRect() const { return m_ctrl->PlotRect().ToQRect(); }

QSize CScopeWnd::minimumSizeHint() const { return m_ctrl->LeastWindowSize(); }

QList<QRect> CScopeWnd::YLabelRects() const
{
    QList<QRect> rects;
    for (int i = 0; i < 3; ++i)
        rects.append(m_ctrl->YLabelRect(i).ToQRect());
    return rects;
}

void CScopeWnd::paintEvent(QPaintEvent*)
{
    ++m_paintCount;
    m_ctrl->OnWindowPaint(this);
}

void CScopeWnd::mouseMoveEvent(QMouseEvent* event)
{
    m_ctrl->OnMouseMove(KeyState(event->buttons(), event->modifiers()), event->position().toPoint());
}

void CScopeWnd::mousePressEvent(QMouseEvent* event)
{
    const uint32_t keys = KeyState(event->buttons(), event->modifiers());
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        m_ctrl->OnLButtonDown(keys, point);
    else if (event->button() == Qt::RightButton)
        m_ctrl->OnRButtonDown(keys, point);
    else
        QWidget::mousePressEvent(event);
}

void CScopeWnd::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_ctrl->OnLButtonUp();
    else if (event->button() == Qt::RightButton)
        m_ctrl->OnRButtonUp(KeyState(event->buttons(), event->modifiers()), event->position().toPoint());
    else
        QWidget::mouseReleaseEvent(event);
}

void CScopeWnd::wheelEvent(QWheelEvent* event)
{
    m_ctrl->OnMouseWheel(KeyState(event->buttons(), event->modifiers()), event->angleDelta().y(),
                         event->position().toPoint());
    event->accept();
}

void CScopeWnd::keyPressEvent(QKeyEvent* event)
{
    const int key = VirtualKey(event->key());
    if (key == 0 || !m_ctrl->OnKeyDown(key, KeyState(Qt::NoButton, event->modifiers())))
        QWidget::keyPressEvent(event);
}

void CScopeWnd::leaveEvent(QEvent* event)
{
    m_ctrl->OnMouseLeave();
    QWidget::leaveEvent(event);
}

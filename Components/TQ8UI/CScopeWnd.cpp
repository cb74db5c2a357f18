#include "CScopeWnd.h"

#include "CScopeCtrl.h"

CScopeWnd::CScopeWnd(CScopeCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl)
{
    // The control paints every pixel from its own back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CScopeWnd::paintEvent(QPaintEvent*)
{
    ++m_paintCount;
    m_ctrl->OnWindowPaint(this);
}

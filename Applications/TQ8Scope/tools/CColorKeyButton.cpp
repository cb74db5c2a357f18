#include "CColorKeyButton.h"

#include <QPainter>
#include <QPen>

CColorKeyButton::CColorKeyButton(QWidget* parent)
    : QAbstractButton(parent)
    , m_fill(palette().color(QPalette::Button))
    , m_line(m_fill)
{
    setFocusPolicy(Qt::NoFocus);
}

void CColorKeyButton::SetFillColor(const QColor& color)
{
    if (color == m_fill)
        return;
    m_fill = color;
    update();
}

void CColorKeyButton::SetLineColor(const QColor& color)
{
    if (color == m_line)
        return;
    m_line = color;
    update();
}

void CColorKeyButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_fill);
    painter.setPen(QPen(m_line, 3, Qt::SolidLine, Qt::FlatCap));
    const int y = height() / 2;
    painter.drawLine(0, y, width(), y);
}

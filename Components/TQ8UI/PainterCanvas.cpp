#include "PainterCanvas.h"

#include "GdiDraw.h"

#include <QPainter>

void PainterCanvas::SelectPen(const QPen& pen) { m_painter.setPen(pen); }

void PainterCanvas::SelectBrush(const QBrush& brush) { m_painter.setBrush(brush); }

void PainterCanvas::LineTo(int32_t x, int32_t y)
{
    const QPoint to(x, y);
    gdidraw::Line(m_painter, m_at, to);
    m_at = to;
}

void PainterCanvas::SetPixel(int32_t x, int32_t y, QRgb colour)
{
    // The trace pen has the pixel's colour: no pen change per pixel.
    if (m_painter.pen().color().rgb() == (colour | 0xFF000000u)) {
        m_painter.drawPoint(x, y);
        return;
    }
    m_painter.fillRect(x, y, 1, 1, QColor::fromRgb(colour));
}

void PainterCanvas::Ellipse(const PixRect& box) { gdidraw::Ellipse(m_painter, box); }

void PainterCanvas::Pie(const PixRect& box, QPoint start, QPoint end) { gdidraw::Pie(m_painter, box, start, end); }

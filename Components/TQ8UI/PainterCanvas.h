#pragma once
// The trace canvas on a QPainter.
#include "TraceCanvas.h"

class QPainter;

class PainterCanvas : public TraceCanvas {
public:
    explicit PainterCanvas(QPainter& painter) : m_painter(painter) {}
    void SelectPen(const QPen& pen) override;
    void SelectBrush(const QBrush& brush) override;
    void MoveTo(int32_t x, int32_t y) override { m_at = QPoint(x, y); }
    void LineTo(int32_t x, int32_t y) override;
    void SetPixel(int32_t x, int32_t y, QRgb colour) override;
    void Ellipse(const PixRect& box) override;
    void Pie(const PixRect& box, QPoint start, QPoint end) override;

private:
    QPainter& m_painter;
    QPoint m_at;
};

#pragma once
// What the trace plotters draw with: a current position, lines from it that
// leave out their end pixel, single pixels, and the point markers by their
// bounding boxes. The paint draws through PainterCanvas; tests log the calls.
#include "PixRect.h"

#include <QPoint>
#include <QRgb>

class QBrush;
class QPen;

class TraceCanvas {
public:
    virtual ~TraceCanvas() = default;
    virtual void SelectPen(const QPen& pen) = 0;
    virtual void SelectBrush(const QBrush& brush) = 0;
    virtual void MoveTo(int32_t x, int32_t y) = 0;
    virtual void LineTo(int32_t x, int32_t y) = 0;
    virtual void SetPixel(int32_t x, int32_t y, QRgb colour) = 0;
    virtual void Ellipse(const PixRect& box) = 0;
    virtual void Pie(const PixRect& box, QPoint start, QPoint end) = 0;
};

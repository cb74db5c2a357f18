#include "GdiDraw.h"

#include "OleColor.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <numbers>

namespace gdidraw {

namespace {

Qt::PenStyle PenStyleOf(TQ8GridLineStyle style)
{
    switch (style) {
    case LineDashed: return Qt::DashLine;
    case LineDotted: return Qt::DotLine;
    case LineDashDot: return Qt::DashDotLine;
    case LineDashDotDot: return Qt::DashDotDotLine;
    case LineNone: return Qt::NoPen;
    default: return Qt::SolidLine;
    }
}

// Degrees counter-clockwise on screen from the box centre to p.
double AngleOf(const PixRect& box, QPoint p)
{
    const double cx = (box.left + box.right) / 2.0;
    const double cy = (box.top + box.bottom) / 2.0;
    return std::atan2(cy - p.y(), p.x() - cx) * 180.0 / std::numbers::pi;
}

// The box as Qt's outline covers it: one pixel less each way.
QRect OutlineRect(const PixRect& box) { return QRect(box.left, box.top, box.Width() - 1, box.Height() - 1); }

} // namespace

QPen CosmeticPen(const QColor& colour, TQ8GridLineStyle style)
{
    QPen pen(colour);
    pen.setStyle(PenStyleOf(style));
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap); // the end pixel stays out
    return pen;
}

QPen GeometricPen(const QColor& colour, int width)
{
    QPen pen(colour);
    pen.setWidth(width);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void Line(QPainter& painter, QPoint from, QPoint to)
{
    // Qt draws a line towards increasing coordinates and leaves out the pixel
    // it ends on there; a line running the other way would lose its first
    // pixel instead of its last. Such a line along an axis is moved by one
    // pixel; a diagonal one gets its first pixel back and keeps its last,
    // which in a polyline the next segment draws anyway.
    if (from == to)
        return;
    const QPoint d = to - from;
    const bool reversed = std::abs(d.x()) >= std::abs(d.y()) ? d.x() < 0 : d.y() < 0;
    if (!reversed) {
        painter.drawLine(from, to);
    } else if (d.x() == 0 || d.y() == 0) {
        const QPoint step(d.x() < 0 ? 1 : 0, d.y() < 0 ? 1 : 0);
        painter.drawLine(from + step, to + step);
    } else {
        painter.drawLine(from, to);
        painter.drawPoint(from);
    }
}

void Ellipse(QPainter& painter, const PixRect& box)
{
    if (box.Width() > 1 && box.Height() > 1)
        painter.drawEllipse(OutlineRect(box));
}

void Pie(QPainter& painter, const PixRect& box, QPoint start, QPoint end)
{
    // Pixel by pixel, in runs: Qt's own pie goes through a path, which
    // allocates, and every plotted point's mark must not.
    if (box.Width() <= 1 || box.Height() <= 1 || box.Width() > 256 || box.Height() > 256)
        return;
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    const double rx = box.Width() / 2.0, ry = box.Height() / 2.0;
    const double from = AngleOf(box, start);
    double span = AngleOf(box, end) - from;
    if (span <= 0.0)
        span += 360.0;
    auto inside = [&](int x, int y) {
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        if ((dx / rx) * (dx / rx) + (dy / ry) * (dy / ry) > 1.0)
            return false;
        if (std::abs(dx) < 0.5 && std::abs(dy) < 0.5)
            return true; // the centre belongs to every pie
        double rel = std::atan2(-dy, dx) * 180.0 / std::numbers::pi - from;
        while (rel < 0.0)
            rel += 360.0;
        return rel <= span;
    };
    // 0 outside, 1 inside, 2 on the outline (inside with a neighbour outside).
    auto kind = [&](int x, int y) {
        if (!inside(x, y))
            return 0;
        return inside(x - 1, y) && inside(x + 1, y) && inside(x, y - 1) && inside(x, y + 1) ? 1 : 2;
    };
    const QColor line = painter.pen().style() == Qt::NoPen ? QColor() : painter.pen().color();
    const QColor fill = painter.brush().style() == Qt::NoBrush ? QColor() : painter.brush().color();
    for (int y = box.top; y < box.bottom; ++y) {
        int x = box.left;
        while (x < box.right) {
            const int k = kind(x, y);
            int end = x + 1;
            while (end < box.right && kind(end, y) == k)
                ++end;
            const QColor& colour = k == 2 ? line : fill;
            if (k != 0 && colour.isValid())
                painter.fillRect(x, y, end - x, 1, colour);
            x = end;
        }
    }
}

void InvertRect(QImage& image, const PixRect& rect)
{
    const QRect r = rect.ToQRect().intersected(image.rect());
    if (r.isEmpty() || image.depth() != 32)
        return;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            line[x] ^= 0x00FFFFFFu;
    }
}

uint8_t ConstantAlpha(double alpha)
{
    if (!(alpha >= 0.0)) // NaN and negatives
        return 0;
    if (alpha >= 1.0)
        return 255;
    return static_cast<uint8_t>(static_cast<int>(std::trunc(alpha * 255.0)) & 0xFF);
}

void AlphaBlend(QPainter& painter, QPoint at, const QImage& image, uint8_t alpha)
{
    painter.save();
    painter.setOpacity(alpha / 255.0);
    painter.drawImage(at, image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_RGB32) : image);
    painter.restore();
}

void EtchedEdge(QPainter& painter, const PixRect& rect)
{
    if (rect.Width() < 2 || rect.Height() < 2)
        return;
    const QColor shadow = vlt::ColorRefToQColor(GetSysColor(16));
    const QColor light = vlt::ColorRefToQColor(GetSysColor(20));
    auto frame = [&](int inset, const QColor& topLeft, const QColor& bottomRight) {
        const int l = rect.left + inset, t = rect.top + inset;
        const int r = rect.right - 1 - inset, b = rect.bottom - 1 - inset;
        if (r <= l || b <= t)
            return;
        painter.setPen(CosmeticPen(topLeft));
        painter.drawLine(l, t, r, t);
        painter.drawLine(l, t, l, b);
        painter.setPen(CosmeticPen(bottomRight));
        painter.drawLine(l, b, r + 1, b);
        painter.drawLine(r, t, r, b + 1);
    };
    painter.save();
    frame(0, shadow, light);
    frame(1, light, shadow);
    painter.restore();
}

} // namespace gdidraw

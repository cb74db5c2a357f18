#include "ScopeText.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>

namespace scopetext {

namespace {

QSize MetricsExtent(const QFont& font, const QString& text)
{
    const QFontMetrics metrics(font);
    return QSize(metrics.horizontalAdvance(text), metrics.height());
}

MeasureFn g_measure = &MetricsExtent;

} // namespace

QSize TextExtent(const QFont& font, const QString& text) { return g_measure(font, text); }

void SetMeasureFunction(MeasureFn fn) { g_measure = fn ? fn : &MetricsExtent; }

int LeftWithin(int left, int width, int low, int high) { return std::max(low, std::min(left, high - width)); }

QRect TextOut(QPainter& painter, int x, int y, const QString& text, int align, const QColor& background)
{
    const QSize size = TextExtent(painter.font(), text);
    const int ascent = std::min(QFontMetrics(painter.font()).ascent(), size.height());
    int left = x;
    if ((align & AlignCenter) == AlignCenter)
        left = x - size.width() / 2;
    else if (align & AlignRight)
        left = x - size.width();
    int top = y;
    if ((align & AlignBaseline) == AlignBaseline)
        top = y - ascent;
    else if (align & AlignBottom)
        top = y - size.height();
    const QRect box(left, top, size.width(), size.height());
    painter.fillRect(box, background);
    painter.drawText(QPoint(left, top + ascent), text);
    return box;
}

} // namespace scopetext

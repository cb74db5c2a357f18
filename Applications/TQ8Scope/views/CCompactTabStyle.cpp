#include "CCompactTabStyle.h"

#include <QWidget>

namespace {

// Room left and right of a caption, in the font's average letter widths.
constexpr int kCaptionMarginLetters = 1;

} // namespace

CCompactTabStyle::CCompactTabStyle(const QString& baseStyleKey) : QProxyStyle(baseStyleKey) {}

int CCompactTabStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_TabBarTabHSpace && widget)
        return 2 * kCaptionMarginLetters * widget->fontMetrics().averageCharWidth();
    return QProxyStyle::pixelMetric(metric, option, widget);
}

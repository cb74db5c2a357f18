// CScopeCtrl: layout, scale factors, pixel mapping and the axis labels.
#include "AxisLabelFormat.h"
#include "CComBSTR.h"
#include "CScopeCtrl.h"
#include "CScopeWnd.h"
#include "CStdFont.h"
#include "OleColor.h"
#include "PixelMap.h"
#include "ScopeText.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using pixelmap::ToPixel;

int32_t ClampCoord(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 30), 1 << 30)); }

QString ToQString(std::wstring_view text) { return QString::fromWCharArray(text.data(), qsizetype(text.size())); }

int ScrollBarHeight()
{
    const QStyle* style = QApplication::style();
    return style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
}

// The label of the three with the most characters; on equal counts the
// earlier one.
const std::wstring& LongestText(const std::wstring& a, const std::wstring& b, const std::wstring& c)
{
    const std::wstring* best = &a;
    if (b.size() > best->size())
        best = &b;
    if (c.size() > best->size())
        best = &c;
    return *best;
}

} // namespace

QFont CScopeCtrl::CaptionFont() const { return vlt::FontToQFont(m_font); }

QFont CScopeCtrl::AxisQFont() const { return m_axisFont ? vlt::FontToQFont(m_axisFont) : CaptionFont(); }

bool CScopeCtrl::AnyLabels() const
{
    return HasFlag(XLabelTextSet) || HasFlag(YLabelTextSet) || HasFlag(Y2LabelTextSet) || HasFlag(AutoXLabels)
           || HasFlag(AutoYLabels);
}

CScopeCtrl::LabelExtents CScopeCtrl::MeasureLabels(const QPaintDevice* dc) const
{
    LabelExtents e;
    if (!dc || (!AnyLabels() && m_caption.Length() == 0))
        return e;
    if (m_caption.Length() != 0)
        e.top = scopetext::TextExtent(CaptionFont(), ToQString(m_caption.View())).height();
    if (!AnyLabels())
        return e;
    const QFont axis = AxisQFont();
    if (HasFlag(AutoXLabels) || HasFlag(XLabelTextSet))
        e.bottom = scopetext::TextExtent(axis, QStringLiteral("0X")).height();
    if (HasFlag(AutoYLabels) || HasFlag(YLabelTextSet)) {
        const std::wstring top = GetYAxisLabelText(0), mid = GetYAxisLabelText(1), bottom = GetYAxisLabelText(2);
        e.left = scopetext::TextExtent(axis, ToQString(LongestText(top, mid, bottom))).width();
    }
    if (HasFlag(Y2LabelTextSet)) {
        const std::wstring top(m_labelYT2.View()), mid(m_labelYM2.View()), bottom(m_labelYB2.View());
        e.right = scopetext::TextExtent(axis, ToQString(LongestText(top, mid, bottom))).width();
    }
    return e;
}

CScopeCtrl::LayoutRects CScopeCtrl::PlaceRects(const LabelExtents& e, const PixRect& c) const
{
    // In 64 bits: the margins' puts take any non-negative value.
    int64_t left = int64_t(c.left) + e.left + m_marginLeft;
    int64_t top = int64_t(c.top) + e.top + m_marginTop;
    int64_t right = int64_t(c.right) - m_marginRight - e.right;
    int64_t bottom = int64_t(c.bottom) - m_marginBottom - e.bottom;
    for (const TrigMarkSettings& mark : m_trigMarks) {
        if (mark.style != TrigMarkImage && mark.style != TrigMarkAll)
            continue;
        CComPtr<IPicture> picture;
        int32_t width = 0;
        if (mark.picture && SUCCEEDED(mark.picture.QueryInterface(&picture)) && SUCCEEDED(picture->get_Width(&width))
            && left < int64_t(m_marginLeft) + width + 2)
            left = int64_t(m_marginLeft) + width + 2;
    }
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    LayoutRects rects;
    rects.plot = {ClampCoord(left), ClampCoord(top), ClampCoord(right), ClampCoord(bottom)};
    if (HasFlag(ScrollBarInUse)) {
        PixRect& plot = rects.plot;
        const int s = ScrollBarHeight();
        rects.scrollBar = {plot.left, std::max(plot.bottom - s, 0), plot.right, plot.bottom};
        plot.bottom = std::max(plot.bottom - s, plot.top);
    }
    return rects;
}

QSize CScopeCtrl::LeastSizeFor(const LabelExtents& e) const
{
    // What the layout leaves of a large window is what it takes from any.
    constexpr int32_t kLarge = 1 << 20;
    const PixRect plot = PlaceRects(e, {0, 0, kLarge, kLarge}).plot;
    return QSize(kLarge - plot.Width(), kLarge - plot.Height());
}

QSize CScopeCtrl::LeastWindowSize() const
{
    const QWidget* wnd = m_wnd.data();
    return LeastSizeFor(MeasureLabels(wnd));
}

PixRect CScopeCtrl::RecalcLayout(const QPaintDevice* dc, const PixRect& c)
{
    const LabelExtents e = MeasureLabels(dc);
    const LayoutRects rects = PlaceRects(e, c);
    if (HasFlag(ScrollBarInUse)) {
        m_scrollBarRect = rects.scrollBar;
        if (m_scrollBar)
            m_scrollBar->setGeometry(m_scrollBarRect.ToQRect());
    }
    m_plotRect = rects.plot;
    // A caption, a label band or the scroll bar that came or went changes
    // the window's least size: the host's layout is told.
    const QSize least = LeastSizeFor(e);
    if (least != m_leastWindowSize) {
        m_leastWindowSize = least;
        if (m_wnd)
            m_wnd->updateGeometry();
    }
    RecalcScale();
    return m_plotRect;
}

void CScopeCtrl::RecalcScale()
{
    RecomputeXScale();
    RecomputeYScale();
}

int32_t CScopeCtrl::FrameColumn(uint64_t index) const { return pixelmap::Column(index, m_xScale); }

int32_t CScopeCtrl::ClientColumn(uint64_t sample) const
{
    return ClampCoord(int64_t(m_plotRect.left) + FrameColumn(sample - m_startSample));
}

int32_t CScopeCtrl::ValueRow(double value) const
{
    return pixelmap::Row(value, m_plotRect.Height(), m_minSampleValue, m_yScale);
}

int32_t CScopeCtrl::LevelRow(float level) const
{
    const float product = float(m_plotRect.Height()) * level;
    return m_plotRect.Height() - ToPixel(product);
}

std::wstring CScopeCtrl::GetXAxisLabelText(int index) const
{
    const uint64_t n = index == 0   ? m_startSample
                       : index == 1 ? m_startSample + m_pageWidth / 2
                                    : m_startSample + m_pageWidth - 1;
    if (m_labelProvider) {
        CComBSTR text;
        if (SUCCEEDED(m_labelProvider->GetXAxisLabel(n, &text)) && !text.IsNull())
            return std::wstring(text.View());
    }
    if (HasFlag(AutoXLabels))
        return FormatUInt64Radix(n, m_xLabelRadix);
    const CComBSTR& fixed = index == 0 ? m_labelXL : index == 1 ? m_labelXM : m_labelXR;
    return std::wstring(fixed.View());
}

std::wstring CScopeCtrl::GetYAxisLabelText(int index) const
{
    // The middle one in 64 bits: the 32-bit sum the range allows can overflow.
    const int64_t v = index == 0   ? m_maxSampleValue
                      : index == 1 ? (int64_t(m_minSampleValue) + m_maxSampleValue) / 2
                                   : m_minSampleValue;
    if (m_labelProvider) {
        CComBSTR text;
        if (SUCCEEDED(m_labelProvider->GetYAxisLabel(double(v), &text)) && !text.IsNull())
            return std::wstring(text.View());
    }
    if (HasFlag(AutoYLabels))
        return FormatInt64Radix(v, m_yLabelRadix);
    const CComBSTR& fixed = index == 0 ? m_labelYT : index == 1 ? m_labelYM : m_labelYB;
    return std::wstring(fixed.View());
}

void CScopeCtrl::DrawAxisLabels(QPainter& dc)
{
    m_rectY = {};
    if (!AnyLabels())
        return;
    dc.save();
    dc.setFont(AxisQFont());
    dc.setPen(vlt::OleColorToQColor(m_foreColor));
    const QColor back = vlt::OleColorToQColor(m_backColor);
    if (HasFlag(AutoXLabels) || HasFlag(XLabelTextSet))
        DrawXAxisLabels(dc, back);
    if (HasFlag(AutoYLabels) || HasFlag(YLabelTextSet))
        DrawYAxisLabels(dc, back);
    if (HasFlag(Y2LabelTextSet))
        DrawY2AxisLabels(dc, back);
    dc.restore();
}

void CScopeCtrl::DrawXAxisLabels(QPainter& dc, const QColor& back)
{
    const PixRect& r = HasFlag(ScrollBarInUse) ? m_scrollBarRect : m_plotRect;
    const int32_t y = r.bottom + 2;
    const int32_t m = (r.left + r.right) / 2;
    for (int i = 0; i < 3; ++i) {
        const QString text = ToQString(GetXAxisLabelText(i));
        if (text.isEmpty()) {
            m_rectX[i] = PixRect();
            continue;
        }
        const QSize ext = scopetext::TextExtent(dc.font(), text);
        const int32_t cx = ext.width(), cy = ext.height();
        const int32_t wanted = i == 0 ? r.left : i == 1 ? m - cx / 2 : r.right - cx;
        const int32_t x = scopetext::LeftWithin(wanted, cx, r.left, r.right);
        const int32_t rightEdge = (i == 1 ? m + cx / 2 + 1 : wanted + cx + 1) + (x - wanted);
        scopetext::TextOut(dc, x, y, text, scopetext::AlignLeft | scopetext::AlignTop, back);
        m_rectX[i] = {x, y, rightEdge, r.bottom + cy + 3};
    }
}

void CScopeCtrl::DrawYAxisLabels(QPainter& dc, const QColor& back)
{
    const PixRect& p = m_plotRect;
    const int aligns[3] = {scopetext::AlignRight, scopetext::AlignRight | scopetext::AlignBaseline,
                           scopetext::AlignRight | scopetext::AlignBottom};
    const int32_t rows[3] = {p.top, (p.bottom + p.top) / 2, p.bottom};
    for (int i = 0; i < 3; ++i) {
        const QString text = ToQString(GetYAxisLabelText(i));
        if (!text.isEmpty())
            m_rectY[i] = PixRect::FromQRect(scopetext::TextOut(dc, p.left - 2, rows[i], text, aligns[i], back));
    }
}

void CScopeCtrl::DrawY2AxisLabels(QPainter& dc, const QColor& back)
{
    const PixRect& p = m_plotRect;
    const CComBSTR* texts[3] = {std::addressof(m_labelYT2), std::addressof(m_labelYB2), std::addressof(m_labelYM2)};
    const int aligns[3] = {scopetext::AlignLeft | scopetext::AlignTop, scopetext::AlignBottom, scopetext::AlignBaseline};
    const int32_t rows[3] = {p.top, p.bottom, (p.bottom + p.top) / 2};
    for (int i = 0; i < 3; ++i)
        if (texts[i]->Length() != 0)
            scopetext::TextOut(dc, p.right + 2, rows[i], ToQString(texts[i]->View()), aligns[i], back);
}

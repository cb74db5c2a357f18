// CScopeCtrl: the paint (background, caption, labels, trigger marks, border,
// plot area), the selection overlay, and fitting the value range to the page.
#include "AxisLabelFormat.h"
#include "CComBSTR.h"
#include "CScopeCtrl.h"
#include "CStdFont.h"
#include "GdiDraw.h"
#include "OleColor.h"
#include "PixelMap.h"
#include "ScopeText.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cstring>
#include <cmath>
#include <limits>
#include <type_traits>

namespace {

QString ToQString(std::wstring_view text) { return QString::fromWCharArray(text.data(), qsizetype(text.size())); }

constexpr int kEmptyPlotAlpha = 64;
constexpr int kColorScrollBar = 0;

// Rows (or columns) of a grid of `count` cells over `extent` pixels: line i
// at trunc(extent x (i x (1 / count))). With more lines than pixels every
// pixel between the first and the last line carries one, so each is drawn once.
template <class DrawAt>
void GridLines(int32_t count, int32_t extent, DrawAt draw)
{
    if (count <= 1)
        return;
    const double step = 1.0 / count;
    auto at = [&](int64_t i) { return static_cast<int32_t>(std::trunc(extent * (double(i) * step))); };
    if (count - 1 > extent) {
        for (int32_t p = at(1); p <= at(count - 1); ++p)
            draw(p);
        return;
    }
    for (int32_t i = 1; i < count; ++i)
        draw(at(i));
}

} // namespace

// ---- paint ----

HRESULT CScopeCtrl::OnDraw(QPaintDevice* target, const PixRect& b)
{
    if (!target || b.Width() <= 0 || b.Height() <= 0)
        return S_OK;
    if (!(b == m_layoutRect)) {
        m_layoutRect = b;
        CreateBackBuffer(QRect(0, 0, b.Width(), b.Height()));
    } else if (!m_backBuffer.isNull() && !HasFlag(LayoutDirty)) {
        QPainter t(target);
        return DrawOverlay(t);
    }
    // A back buffer that could not be made: nothing until the bounds change.
    if (m_backBuffer.isNull())
        return S_OK;
    QPainter t(target);
    t.setClipRect(b.ToQRect());
    const PixRect oldPlot = m_plotRect;
    RecalcLayout(&m_backBuffer, b);
    // Also a tip window made after the plot got its place needs the tool.
    if (!(m_plotRect == oldPlot) || !HasFlag(TipToolAdded))
        UpdateSampleTipTool();
    if (!(m_plotRect == oldPlot))
        ReleasePlotBuffer();
    HRESULT hr = S_OK;
    {
        QPainter back(&m_backBuffer);
        DrawBackground(back);
        if (m_caption.Length() != 0)
            DrawCaption(back);
        DrawAxisLabels(back);
        for (int mark = 0; mark < 2; ++mark) {
            const TQ8ScopeTrigMark style = m_trigMarks[mark].style;
            if ((style == TrigMarkImage || style == TrigMarkAll || style == TrigMarkImageHotLine)
                && FAILED(DrawTrigMarkImage(back, mark)))
                RenderTrigMarkPicture(back, mark);
        }
        if (m_borderVisible && m_borderStyle)
            DrawBorder(back);
        hr = DrawPlotArea(back);
        if (!m_userMode && HasFlag(ScrollBarInUse) && !m_scrollBar)
            DrawScrollBarPlaceholder(back);
    }
    DrawOverlay(t);
    t.setClipping(false);
    m_flags &= ~LayoutDirty;
    return hr;
}

void CScopeCtrl::DrawBackground(QPainter& dc)
{
    const PixRect& c = m_layoutRect;
    const PixRect& p = m_plotRect;
    const QBrush& brush = ControlBackBrush();
    for (const PixRect& band : {PixRect{c.left, c.top, c.right, p.top}, PixRect{c.left, p.bottom, c.right, c.bottom},
                                PixRect{c.left, c.top, p.left, c.bottom}, PixRect{p.right, c.top, c.right, c.bottom}})
        if (!band.IsEmpty())
            dc.fillRect(band.ToQRect(), brush);
}

void CScopeCtrl::DrawCaption(QPainter& dc)
{
    dc.save();
    dc.setFont(CaptionFont());
    dc.setPen(vlt::OleColorToQColor(m_foreColor));
    scopetext::TextOut(dc, (m_plotRect.left + m_plotRect.right) / 2, m_plotRect.top - 1, ToQString(m_caption.View()),
                       scopetext::AlignCenter | scopetext::AlignBottom, vlt::OleColorToQColor(m_backColor));
    dc.restore();
}

HRESULT CScopeCtrl::DrawTrigMarkImage(QPainter& dc, int mark)
{
    TrigMarkSettings& m = m_trigMarks[mark];
    m.imageRect = QRect();
    if (!m.picture)
        return S_FALSE;
    const int32_t r = m_plotRect.bottom - (m_plotRect.Height() - LevelRow(m.level));
    if (r < m_plotRect.top)
        return S_OK;
    CComPtr<IPicture> picture;
    int16_t type = PICTYPE_NONE;
    int32_t cx = 0, cy = 0;
    QImage image;
    if (FAILED(m.picture.QueryInterface(&picture)) || FAILED(picture->get_Height(&cy)) || FAILED(picture->get_Width(&cx))
        || FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP || FAILED(picture->GetImage(&image))
        || image.isNull())
        return E_FAIL;
    const QRect rect(m_plotRect.left - cx - 2, r - cy / 2, cx, cy);
    m.imageRect = rect;
    gdidraw::AlphaBlend(dc, rect.topLeft(), image.scaled(cx, cy), gdidraw::ConstantAlpha(m.imageAlpha));
    return S_OK;
}

HRESULT CScopeCtrl::RenderTrigMarkPicture(QPainter& dc, int mark)
{
    TrigMarkSettings& m = m_trigMarks[mark];
    const int32_t r = m_plotRect.bottom - (m_plotRect.Height() - LevelRow(m.level));
    if (r < m_plotRect.top)
        return S_OK;
    CComPtr<IPicture> picture;
    int32_t cx = 0, cy = 0;
    QImage image;
    if (!m.picture || FAILED(m.picture.QueryInterface(&picture)) || FAILED(picture->get_Height(&cy))
        || FAILED(picture->get_Width(&cx)) || FAILED(picture->GetImage(&image)) || image.isNull())
        return E_FAIL;
    // Upright with its middle on the level row, without alpha.
    dc.drawImage(QRect(m_plotRect.left - cx - 2, r + cy / 2 - cy, cx, cy), image);
    return S_OK;
}

void CScopeCtrl::DrawBorder(QPainter& dc)
{
    const PixRect& c = m_layoutRect;
    if (m_borderStyle == 1) {
        dc.save();
        dc.setPen(gdidraw::CosmeticPen(vlt::OleColorToQColor(m_borderColor)));
        const QPoint corners[] = {{c.left, c.top}, {c.right - 1, c.top}, {c.right - 1, c.bottom - 1}, {c.left, c.bottom - 1}};
        for (int i = 0; i < 4; ++i)
            gdidraw::Line(dc, corners[i], corners[(i + 1) % 4]);
        dc.restore();
    } else if (m_borderStyle == 2) {
        gdidraw::EtchedEdge(dc, {c.left, c.top, c.right - 1, c.bottom - 1});
    }
}

HRESULT CScopeCtrl::DrawPlotArea(QPainter& back)
{
    const int32_t w = m_plotRect.Width(), h = m_plotRect.Height();
    if (w <= 0 || h <= 0)
        return S_OK; // no plot to draw into
    if (m_plotBuffer.isNull() || m_plotBuffer.size() != QSize(w, h)) {
        m_plotBuffer = QImage(w, h, QImage::Format_RGB32);
        if (m_plotBuffer.isNull())
            return E_OUTOFMEMORY;
    }
    HRESULT hr = S_OK;
    {
        QPainter dc(&m_plotBuffer);
        dc.fillRect(0, 0, w, h, BackgroundBrush());
        dc.setPen(ScopeForePen());
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(QRect(0, 0, w - 1, h - 1));
        // Gaps of broken line styles in the plot's background colour.
        dc.setBackgroundMode(Qt::OpaqueMode);
        dc.setBackground(BackgroundBrush());
        DrawGrid(dc, w, h);
        DrawLevelLines(dc, w);
        DrawSegmentLines(dc, h);
        dc.setBackgroundMode(Qt::TransparentMode);
        if (HasFlag(SourcesPresent)) {
            RecalcScale();
            hr = PlotAllSources(dc);
        } else if (!m_emptyPlot.isNull() && w >= m_emptyPlot.width() + 32 && h >= m_emptyPlot.height() + 32) {
            gdidraw::AlphaBlend(dc, QPoint(w - m_emptyPlot.width() - 33, 8), m_emptyPlot, kEmptyPlotAlpha);
        }
    }
    back.drawImage(m_plotRect.left, m_plotRect.top, m_plotBuffer);
    return hr;
}

void CScopeCtrl::DrawGrid(QPainter& dc, int32_t w, int32_t h)
{
    dc.setPen(GridPen());
    GridLines(m_gridRows, h, [&](int32_t y) { gdidraw::Line(dc, {1, y}, {w - 1, y}); });
    GridLines(m_gridColumns, w, [&](int32_t x) { gdidraw::Line(dc, {x, 1}, {x, h - 1}); });
}

void CScopeCtrl::DrawLevelLines(QPainter& dc, int32_t w)
{
    for (int mark = 0; mark < 2; ++mark) {
        const TQ8ScopeTrigMark style = m_trigMarks[mark].style;
        if (style != TrigMarkLine && style != TrigMarkAll && !(style == TrigMarkImageHotLine && HasFlag(HotLine)))
            continue;
        const int32_t y = LevelRow(m_trigMarks[mark].level);
        if (y < 0)
            continue;
        dc.setPen(TrigMarkPen(mark));
        gdidraw::Line(dc, {1, y}, {w - 1, y});
    }
}

void CScopeCtrl::DrawSegmentLines(QPainter& dc, int32_t h)
{
    const uint64_t s = m_segmentSize;
    const uint64_t end = m_startSample + m_pageWidth;
    if (s <= 1 || m_pageWidth / s >= 65)
        return;
    uint64_t b = m_startSample - m_startSample % s + s;
    if (b >= end)
        return;
    dc.setPen(SegmentPen());
    for (; b < end; b += s) {
        const int32_t x = FrameColumn(b - m_startSample);
        gdidraw::Line(dc, {x, 1}, {x, h - 1});
    }
}

void CScopeCtrl::DrawScrollBarPlaceholder(QPainter& dc)
{
    const PixRect& s = m_scrollBarRect;
    const QStyle* style = QApplication::style();
    const int a = style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
    dc.save();
    dc.fillRect(s.ToQRect(), vlt::ColorRefToQColor(GetSysColor(kColorScrollBar)));
    dc.setPen(gdidraw::CosmeticPen(Qt::black));
    dc.drawRect(QRect(s.left, s.top, s.Width() - 1, s.Height() - 1));
    if (s.Width() > 4 * a) {
        const int mid = (s.top + s.bottom) / 2, half = std::max(s.Height() / 4, 1);
        dc.setBrush(Qt::black);
        const QPoint leftArrow[] = {{s.left + a - half, mid}, {s.left + a + half, mid - half}, {s.left + a + half, mid + half}};
        const QPoint rightArrow[] = {{s.right - a + half, mid}, {s.right - a - half, mid - half}, {s.right - a - half, mid + half}};
        dc.drawPolygon(leftArrow, 3);
        dc.drawPolygon(rightArrow, 3);
    }
    dc.drawText(QRect(s.left + 2 * a + 1, s.top + 1, s.Width() - 4 * a - 2, s.Height() - 2),
                Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("A real scrollbar will be here at runtime."));
    dc.restore();
}

// ---- selection overlay ----

HRESULT CScopeCtrl::DrawOverlay(QPainter& target)
{
    const auto [low, high] = GetOrderedSelection();
    const QImage* picture = &m_backBuffer;
    if ((m_selStart != kNoSample || m_selEnd != kNoSample) && ComposeSelection(low, high))
        picture = &m_selBuffer;
    if (!picture->isNull())
        target.drawImage(QPoint(0, 0), *picture);
    return S_OK;
}

bool CScopeCtrl::ComposeSelection(uint64_t low, uint64_t high)
{
    // Always on a copy of the picture, so that the edges and labels of an
    // earlier selection never stay behind in the kept one.
    if (m_backBuffer.isNull())
        return false;
    if (m_selBuffer.size() != m_backBuffer.size() || m_selBuffer.format() != m_backBuffer.format()) {
        m_selBuffer = QImage(m_backBuffer.size(), m_backBuffer.format());
        if (m_selBuffer.isNull())
            return false;
    }
    std::memcpy(m_selBuffer.bits(), m_backBuffer.constBits(), size_t(m_backBuffer.sizeInBytes()));
    if (IsSelectionAllowed() && HasSelection() && low <= m_startSample + m_pageWidth && high >= m_startSample)
        InvertSelectionBand(low, high);
    QPainter dc(&m_selBuffer);
    if (IsSelectionAllowed() && m_selStart != kNoSample)
        DrawSelectionEdges(dc, low, high);
    DrawSelectionLabels(dc, low, high);
    return true;
}

void CScopeCtrl::InvertSelectionBand(uint64_t low, uint64_t high)
{
    const PixRect& p = m_plotRect;
    const int32_t x1 = low > m_startSample ? ClientColumn(low) : p.left + 1;
    const int32_t x2 = high < m_startSample + m_pageWidth ? ClientColumn(high) : p.right - 1;
    gdidraw::InvertRect(m_selBuffer, {x1, p.top + 1, x2, p.top + 1 + p.Height() - 2});
}

bool CScopeCtrl::InsidePage(uint64_t sample) const
{
    return sample != kNoSample && m_startSample < sample && sample < m_startSample + m_pageWidth;
}

HRESULT CScopeCtrl::DrawSelectionEdges(QPainter& dc, uint64_t low, uint64_t high)
{
    bool drawn = false;
    dc.save();
    dc.setPen(SelectionTracePen());
    for (uint64_t edge : {low, high}) {
        if (!InsidePage(edge))
            continue;
        const int32_t x = ClientColumn(edge);
        gdidraw::Line(dc, {x, m_plotRect.top + 1}, {x, m_plotRect.bottom - 1});
        drawn = true;
    }
    dc.restore();
    return drawn ? S_OK : S_FALSE;
}

std::wstring CScopeCtrl::SelectionLabelText(uint64_t sample) const
{
    if (m_labelProvider) {
        CComBSTR text;
        if (SUCCEEDED(m_labelProvider->GetXSelLabel(sample, &text)) && !text.IsNull())
            return std::wstring(text.View());
    }
    return FormatUInt64Radix(sample, m_xLabelRadix);
}

std::wstring CScopeCtrl::SpanLabelText(uint64_t low, uint64_t high) const
{
    if (m_labelProvider) {
        CComBSTR text;
        if (SUCCEEDED(m_labelProvider->GetXSelSpanLabel(low, high, &text)) && !text.IsNull())
            return std::wstring(text.View());
    }
    return L"(\u0394 " + FormatUInt64Radix(high - low + 1, m_xLabelRadix) + L" samples)";
}

HRESULT CScopeCtrl::DrawSelectionLabels(QPainter& dc, uint64_t low, uint64_t high)
{
    const bool showLow = InsidePage(low);
    const bool showHigh = high != low && InsidePage(high);
    if (!showLow && !showHigh)
        return S_FALSE;
    dc.save();
    dc.setFont(vlt::FontToQFont(m_emphasisFont));
    dc.setPen(vlt::OleColorToQColor(m_foreColor));
    const QColor back = vlt::OleColorToQColor(m_backColor);
    const PixRect& r = HasFlag(ScrollBarInUse) ? m_scrollBarRect : m_plotRect;
    struct Label {
        QString text;
        PixRect rect;
    };
    auto shift = [](Label& l, int32_t d) {
        l.rect.left += d;
        l.rect.right += d;
    };
    // Within the plot's columns, as the X labels are.
    auto keepInside = [&](Label& l) {
        shift(l, scopetext::LeftWithin(l.rect.left, l.rect.Width(), r.left, r.right) - l.rect.left);
    };
    auto place = [&](const std::wstring& text, double offset) {
        Label l;
        l.text = ToQString(text);
        const int32_t x = r.left + pixelmap::ToPixel(offset * m_xScale);
        const QSize ext = scopetext::TextExtent(dc.font(), l.text);
        l.rect = {x - ext.width() / 2, r.bottom + 2, x - ext.width() / 2 + ext.width(), r.bottom + ext.height() + 2};
        keepInside(l);
        return l;
    };
    bool erased[3] = {false, false, false};
    auto draw = [&](const Label& l, bool eraseAgain) {
        for (int i = 0; i < 3; ++i)
            if ((eraseAgain || !erased[i]) && l.rect.Intersects(m_rectX[i])) {
                dc.fillRect(m_rectX[i].ToQRect(), ControlBackBrush());
                erased[i] = true;
            }
        scopetext::TextOut(dc, l.rect.left, r.bottom + 2, l.text, scopetext::AlignLeft | scopetext::AlignTop, back);
    };
    Label lo, hi;
    m_selLabelRects = {};
    if (showLow)
        lo = place(SelectionLabelText(low), double(low - m_startSample));
    if (showHigh)
        hi = place(SelectionLabelText(high), double(high - m_startSample));
    if (showLow && showHigh) {
        if (lo.rect.Intersects(hi.rect)) {
            const int32_t d = std::min(lo.rect.right, hi.rect.right) - std::max(lo.rect.left, hi.rect.left);
            shift(lo, -d);
            shift(hi, d);
            keepInside(lo);
            keepInside(hi);
        }
        // One held at an edge of the plot: the other makes way.
        if (lo.rect.Intersects(hi.rect)) {
            if (hi.rect.right >= r.right)
                shift(lo, hi.rect.left - lo.rect.right);
            else
                shift(hi, lo.rect.right - hi.rect.left);
            keepInside(lo);
            keepInside(hi);
        }
        const Label span = place(SpanLabelText(low, high), (double(low) + double(high)) * 0.5 - double(m_startSample));
        if (!span.rect.Intersects(lo.rect) && !span.rect.Intersects(hi.rect)) {
            draw(span, true);
            m_selLabelRects[2] = span.rect;
        }
    }
    if (showLow) {
        draw(lo, false);
        m_selLabelRects[0] = lo.rect;
    }
    if (showHigh) {
        draw(hi, false);
        m_selLabelRects[1] = hi.rect;
    }
    dc.restore();
    return S_OK;
}

// ---- auto scaling ----

namespace {

// The extremes of the visible channels' samples; NaN is passed over.
template <class T>
bool ScanMinMax(const void* data, uint32_t frames, uint32_t channels, CLocalChanState* const* chans, double& lo,
                double& hi)
{
    const T* p = static_cast<const T*>(data);
    bool found = false;
    for (uint32_t c = 0; c < channels; ++c) {
        if (!chans[c] || chans[c]->IsHidden())
            continue;
        found = true;
        for (uint32_t f = 0; f < frames; ++f) {
            const double v = double(p[size_t(f) * channels + c]);
            if (v > hi)
                hi = v;
            else if (v < lo)
                lo = v;
        }
    }
    return found;
}

bool ScanMinMaxUI2(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<uint16_t>(d, n, c, s, lo, hi); }
bool ScanMinMaxI2(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<int16_t>(d, n, c, s, lo, hi); }
bool ScanMinMaxUI1(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<uint8_t>(d, n, c, s, lo, hi); }
bool ScanMinMaxI1(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<int8_t>(d, n, c, s, lo, hi); }
bool ScanMinMaxUI4(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<uint32_t>(d, n, c, s, lo, hi); }
bool ScanMinMaxI4(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<int32_t>(d, n, c, s, lo, hi); }
bool ScanMinMaxR4(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<float>(d, n, c, s, lo, hi); }
bool ScanMinMaxR8(const void* d, uint32_t n, uint32_t c, CLocalChanState* const* s, double& lo, double& hi) { return ScanMinMax<double>(d, n, c, s, lo, hi); }

using ScanFn = bool (*)(const void*, uint32_t, uint32_t, CLocalChanState* const*, double&, double&);

ScanFn ScanFor(VARTYPE vt)
{
    switch (vt) {
    case VT_UI2: return &ScanMinMaxUI2;
    case VT_I2: return &ScanMinMaxI2;
    case VT_UI1: return &ScanMinMaxUI1;
    case VT_I1: return &ScanMinMaxI1;
    case VT_UI4: return &ScanMinMaxUI4;
    case VT_I4: return &ScanMinMaxI4;
    case VT_R4: return &ScanMinMaxR4;
    case VT_R8: return &ScanMinMaxR8;
    default: return nullptr;
    }
}

// Within the signed 32-bit range; NaN as 0.
int32_t ToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int32_t>(std::trunc(std::clamp(v, double(INT32_MIN), double(INT32_MAX))));
}

int32_t Saturated(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

} // namespace

HRESULT CScopeCtrl::AutoSetScaling()
{
    double hi = 0.0, lo = 0.0;
    bool found = false;
    const auto& sources = m_sourceTable.Sources();
    for (auto it = sources.begin(); it != sources.end(); it = sources.upper_bound(it->first)) {
        const uint32_t id = it->first;
        // The arbiter is asked as for a paint: a board is read only when it is free.
        const HRESULT hr = FetchSourcePage(
            id, kScaleChunkFrames,
            [&](const PageSource& page, const sourcefetch::Chunk& c) {
                const ScanFn scan = ScanFor(page.sampleType);
                if (!scan)
                    return S_OK;
                if (c.done == 0) {
                    m_plotChannels.resize(page.channelCount);
                    for (uint32_t ch = 0; ch < page.channelCount; ++ch) {
                        CLocalChanState* chan = m_sourceTable.Channel(page.firstChannelId + ch);
                        m_plotChannels[ch] = chan && chan->sourceId == page.sourceId ? chan : nullptr;
                    }
                }
                if (scan(c.data, c.frames, page.channelCount, m_plotChannels.data(), lo, hi))
                    found = true;
                return S_OK;
            },
            false);
        if (hr == E_OUTOFMEMORY)
            return hr;
    }
    if (!found)
        return S_FALSE;
    const double m = (hi - lo) * 0.05;
    int32_t minValue = ToInt32(std::ceil(lo) - m);
    int32_t maxValue = ToInt32(std::ceil(hi) + m);
    if (int64_t(maxValue) - minValue > 8) {
        minValue = Saturated(int64_t(minValue) - 4);
        maxValue = Saturated(int64_t(maxValue) + 4);
    }
    StoreValueRange(minValue, maxValue);
    return S_OK;
}

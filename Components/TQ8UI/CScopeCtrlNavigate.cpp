// CScopeCtrl: zoom, drag panning with its edge timer, and the scroll bar.
// Scales go down to the smallest normal double, so every quotient of pixels
// by a scale is converted with saturation.
#include "CScopeCtrl.h"
#include "CScopeWnd.h"
#include "Saturating.h"
#include "ScopeInputCodes.h"
#include "TimerSet.h"

#include <QAbstractSlider>
#include <QScrollBar>
#include <algorithm>
#include <limits>

using namespace scopeinput;

namespace {

// Scroll-bar actions as the scroll bar's requests.
int RequestOfAction(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return SB_LINELEFT;
    case QAbstractSlider::SliderSingleStepAdd: return SB_LINERIGHT;
    case QAbstractSlider::SliderPageStepSub: return SB_PAGELEFT;
    case QAbstractSlider::SliderPageStepAdd: return SB_PAGERIGHT;
    case QAbstractSlider::SliderToMinimum: return SB_TOP;
    case QAbstractSlider::SliderToMaximum: return SB_BOTTOM;
    default: return SB_THUMBTRACK;
    }
}

} // namespace

vlt::TimerSet& CScopeCtrl::Timers()
{
    if (!m_timers)
        m_timers = std::make_unique<vlt::TimerSet>([this](unsigned id) { OnTimer(id); });
    return *m_timers;
}

// ---- zoom ----

void CScopeCtrl::ZoomHorizontal(double factor, int32_t x)
{
    uint64_t anchor = 0;
    if (x >= 0)
        anchor = saturating::Add(m_startSample, saturating::ToU64(x / m_xScale));
    const uint64_t limit = std::min<uint64_t>(m_maxPageWidth, MaxSampleCount());
    const uint64_t width = std::min(saturating::ToU64(double(m_pageWidth) * factor), limit);
    if (width == m_pageWidth)
        return;
    put_PageWidth(static_cast<uint32_t>(width));
    if (x < 0)
        return;
    const uint64_t offset = saturating::ToU64(x / m_xScale);
    uint64_t start = saturating::Sub(anchor, offset);
    // A page wider than the data starts at 0; otherwise the last page stays full.
    if (saturating::Add(start, m_pageWidth) > MaxSampleCount())
        start = saturating::Sub(MaxSampleCount(), m_pageWidth);
    m_startSample = start;
    UpdateScrollBar(true);
    NotifyChanged(ScopeDispId::StartSample);
    Redraw();
}

void CScopeCtrl::ZoomVertical(double factor, int32_t y)
{
    const int64_t centre = y < 0 ? (int64_t(m_maxSampleValue) + m_minSampleValue) / 2
                                 : saturating::ToI32(double(m_maxSampleValue) - y / m_yScale);
    const int64_t span = int64_t(m_maxSampleValue) - m_minSampleValue;
    const int64_t newSpan = std::max<int64_t>(saturating::ToI64(double(span) * factor), 8);
    if (newSpan == span)
        return;
    const int64_t half = newSpan / 2;
    StoreValueRange(saturating::ToI32(saturating::Sub(centre, half)), saturating::ToI32(saturating::Add(centre, half)));
}

void CScopeCtrl::StoreValueRange(int32_t minValue, int32_t maxValue)
{
    m_minSampleValue = minValue;
    m_maxSampleValue = maxValue;
    RecomputeYScale();
    NotifyChanged(ScopeDispId::MinSampleValue);
    NotifyChanged(ScopeDispId::MaxSampleValue);
    Redraw();
}

// ---- drag panning ----

void CScopeCtrl::DragPanTo(uint32_t keys, const QPoint& point)
{
    const int64_t dx = int64_t(m_lastMouse.x()) - point.x();
    const int64_t dy = int64_t(m_lastMouse.y()) - point.y();
    const int64_t sampleStep = saturating::ToI64(double(dx) / m_xScale);
    int64_t valueStep = saturating::ToI64(double(dy) / m_yScale);
    if (sampleStep < 0) {
        put_StartSample(saturating::Sub(m_startSample, uint64_t(0) - uint64_t(sampleStep)));
    } else if (sampleStep > 0) {
        // Never past the last full page, and 0 when the page is wider than the data.
        const uint64_t last = saturating::Sub(MaxSampleCount(), m_pageWidth);
        put_StartSample(std::min(saturating::Add(m_startSample, uint64_t(sampleStep)), last));
    }
    if (sampleStep != 0 || valueStep != 0) {
        if ((keys & MK_CONTROL) && valueStep != 0) {
            // Both ends move by the same amount, so the span is kept at the range's ends.
            const int64_t lo = m_minSampleValue, hi = m_maxSampleValue;
            valueStep = std::clamp<int64_t>(valueStep, hi - std::numeric_limits<int32_t>::max(),
                                            lo - std::numeric_limits<int32_t>::min());
            StoreValueRange(int32_t(lo - valueStep), int32_t(hi - valueStep));
        }
        if (!HasFlag(EdgeTimerRunning))
            m_lastMouse = point;
    }
    UpdateEdgeTimer(point.x());
}

void CScopeCtrl::UpdateEdgeTimer(int32_t x)
{
    if (x >= int64_t(m_plotRect.left) + kEdgeZone && x < int64_t(m_plotRect.right) - kEdgeZone) {
        StopEdgeTimer();
        return;
    }
    if (!HasFlag(EdgeTimerRunning)) {
        Timers().SetTimer(kEdgeTimerId, kEdgeTimerMs);
        m_flags |= EdgeTimerRunning;
    }
}

void CScopeCtrl::StopEdgeTimer()
{
    if (!HasFlag(EdgeTimerRunning))
        return;
    Timers().KillTimer(kEdgeTimerId);
    m_flags &= ~EdgeTimerRunning;
}

// ---- scroll bar ----

bool CScopeCtrl::OnHScroll(int code, QScrollBar* sender)
{
    if (!sender || sender != m_scrollBar)
        return false;
    const uint64_t step = std::max<uint32_t>(m_pageWidth / 8, 1);
    uint64_t start = m_startSample;
    bool redrawAtEnd = false;
    switch (code) {
    case SB_LINELEFT: start = saturating::Sub(m_startSample, step); break;
    case SB_LINERIGHT: start = saturating::Add(m_startSample, step); break;
    case SB_PAGELEFT: start = saturating::Sub(m_startSample, m_pageWidth); break;
    case SB_PAGERIGHT: start = saturating::Add(m_startSample, m_pageWidth); break;
    case SB_TOP: start = 0; break;
    case SB_BOTTOM: start = saturating::Sub(MaxSampleCount(), 8); break;
    case SB_ENDSCROLL:
        m_flags &= ~ThumbTracking;
        start = saturating::ToU64(sender->value() * m_scrollScale);
        redrawAtEnd = true;
        break;
    default:
        m_flags |= ThumbTracking;
        start = saturating::ToU64(sender->sliderPosition() * m_scrollScale);
        break;
    }
    // Below MaxSampleCount whatever the request, and 0 with fewer than 8 samples.
    if (start != m_startSample)
        start = std::min(start, saturating::Sub(MaxSampleCount(), 8));
    if (start != m_startSample) {
        m_startSample = start;
        NotifyChanged(ScopeDispId::StartSample);
        redrawAtEnd = true;
    }
    // The bar shows where the view is, also when a request was refused.
    if (!HasFlag(ThumbTracking))
        SetScrollBarPosition(m_startSample);
    if (redrawAtEnd)
        Redraw();
    return true;
}

void CScopeCtrl::SetScrollBarPosition(uint64_t start)
{
    m_scrollRange.position = ScrollBarPositionFor(start, m_scrollScale);
    if (m_scrollBar)
        SetBarValue(m_scrollRange.position);
}

void CScopeCtrl::SetBarValue(int32_t position)
{
    // The value, not the slider position: moving that counts as a user's move.
    m_scrollBar->setValue(std::clamp(position, m_scrollBar->minimum(), m_scrollBar->maximum()));
}

void CScopeCtrl::OnScrollBarAction(int action)
{
    ++m_scrollSignalDepth;
    OnHScroll(RequestOfAction(action), m_scrollBar);
    // A move without the thumb held (the wheel over the bar) has no end of its own.
    if (action == QAbstractSlider::SliderMove && m_scrollBar && !m_scrollBar->isSliderDown()) {
        m_flags &= ~ThumbTracking;
        SetScrollBarPosition(m_startSample);
    }
    --m_scrollSignalDepth;
}

HRESULT CScopeCtrl::CreateScrollBar(bool updateNow)
{
    if (WindowExists()) {
        if (!m_scrollBar) {
            QScrollBar* bar = new QScrollBar(Qt::Horizontal, m_wnd.data());
            QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [this](int action) { OnScrollBarAction(action); });
            QObject::connect(bar, &QAbstractSlider::sliderReleased, bar, [this] {
                ++m_scrollSignalDepth;
                OnHScroll(SB_ENDSCROLL, m_scrollBar);
                --m_scrollSignalDepth;
            });
            m_scrollBar = bar;
            if (!m_scrollBarRect.IsEmpty())
                bar->setGeometry(m_scrollBarRect.ToQRect());
        }
        m_scrollBar->show();
        m_flags &= ~ScrollBarPending;
    } else {
        m_flags |= ScrollBarPending;
    }
    m_flags |= ScrollBarInUse;
    if (updateNow)
        SetScrollBarRange(true);
    Redraw();
    return S_OK;
}

void CScopeCtrl::DestroyScrollBar()
{
    if (QScrollBar* bar = m_scrollBar.data()) {
        m_scrollBar.clear();
        // Not under the bar's own signal: it still uses itself after emitting.
        if (m_scrollSignalDepth > 0) {
            bar->hide();
            bar->deleteLater();
        } else {
            delete bar;
        }
    }
    if (HasFlag(ScrollBarInUse)) {
        m_flags &= ~(ScrollBarInUse | ScrollBarPending);
        Redraw();
    }
}

void CScopeCtrl::UpdateScrollBar(bool setRange)
{
    if (m_scrollBarMode == ScrollbarNo)
        return;
    if (m_scrollBarMode == ScrollbarAuto) {
        if (MaxSampleCount() <= m_pageWidth) {
            if (m_scrollBar || HasFlag(ScrollBarInUse))
                DestroyScrollBar();
        } else if (!m_scrollBar && !HasFlag(ScrollBarPending)) {
            CreateScrollBar(true);
            return;
        }
    }
    SetScrollBarRange(setRange);
}

void CScopeCtrl::SetScrollBarRange(bool setRange)
{
    if (!m_scrollBar)
        return;
    if (!setRange) {
        SetScrollBarPosition(m_startSample);
        return;
    }
    m_scrollRange = ScrollBarRangeFor(MaxSampleCount(), m_pageWidth, m_startSample);
    m_scrollScale = m_scrollRange.scale;
    // The bar's last position leaves its page on the range's last unit.
    const int32_t page = std::max(m_scrollRange.page, 1);
    const int64_t last = std::max<int64_t>(int64_t(m_scrollRange.maximum) - page + 1, m_scrollRange.minimum);
    m_scrollBar->setRange(m_scrollRange.minimum, saturating::ToI32(last));
    m_scrollBar->setPageStep(page);
    m_scrollBar->setSingleStep(std::max(page / 8, 1));
    SetBarValue(m_scrollRange.position);
}

QScrollBar* CScopeCtrl::ScrollBar() const { return m_scrollBar.data(); }

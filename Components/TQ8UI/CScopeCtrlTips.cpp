// CScopeCtrl: the sample-value tips over plotted points.
#include "CComBSTR.h"
#include "CSampleTipWindow.h"
#include "CScopeCtrl.h"
#include "CScopeWnd.h"
#include "Saturating.h"
#include "VariantText.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace {

constexpr int32_t kHitHalf = 4; // the hit box of a point is 8 x 8 pixels

uint32_t ValueWidth(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2: return 2;
    default: return 4;
    }
}

std::wstring Trimmed(std::wstring_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && std::iswspace(text[b]))
        ++b;
    while (e > b && std::iswspace(text[e - 1]))
        --e;
    return std::wstring(text.substr(b, e - b));
}

// Radix 16 as the value's two's complement in its own width; other radices
// as a signed decimal number.
HRESULT IntegerText(const VARIANT& value, int32_t radix, std::wstring* text)
{
    double number = 0.0;
    HRESULT hr = vlt::VariantToDouble(value, &number);
    if (FAILED(hr))
        return hr;
    const int64_t whole = saturating::ToI64(number);
    wchar_t buf[32];
    if (radix == 16) {
        const uint32_t width = ValueWidth(value.vt);
        const uint64_t mask = width >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * width)) - 1;
        std::swprintf(buf, 32, L"%0*llX", int(2 * width), static_cast<unsigned long long>(uint64_t(whole) & mask));
    } else {
        std::swprintf(buf, 32, L"%lld", static_cast<long long>(whole));
    }
    *text = buf;
    return S_OK;
}

} // namespace

void CScopeCtrl::UpdateSampleTipTool()
{
    if (!WindowExists() || !m_tipWindow)
        return;
    if (!HasFlag(TipToolAdded)) {
        m_tipWindow->AddTool(m_plotRect, L"Sample value");
        m_flags |= TipToolAdded;
    } else {
        m_tipWindow->NewToolRect(m_plotRect);
    }
}

void CScopeCtrl::TrackTip(const QPoint& point)
{
    m_flags |= MouseTracking;
    TipHit hit;
    if (InPlot(point) && FindTipSample(point, &hit)) {
        if (hit.channel == m_tipChannel && hit.sample == m_tipSample)
            return;
        m_tipChannel = hit.channel;
        m_tipSample = hit.sample;
        m_tipPoint = QPoint(hit.x, hit.y);
        m_tipValue = hit.value;
        UpdateSampleTip();
    } else if (m_tipChannel != kNone) {
        m_tipChannel = kNone;
        UpdateSampleTip();
    }
}

bool CScopeCtrl::FindTipSample(const QPoint& point, TipHit* hit)
{
    const uint64_t column = saturating::ToU64((double(point.x()) - m_plotRect.left) / m_xScale);
    // The point cache is in plot-buffer pixels.
    const QPoint plotPoint(point.x() - m_plotRect.left, point.y() - m_plotRect.top);
    if (m_tipsChannelId != kNone && HitTestPlottedPoint(m_tipsChannelId, column, plotPoint, hit))
        return true;
    for (const auto& entry : m_sourceTable.Channels())
        if (entry.first != m_tipsChannelId && HitTestPlottedPoint(entry.first, column, plotPoint, hit))
            return true;
    return false;
}

bool CScopeCtrl::HitTestPlottedPoint(uint32_t chanId, uint64_t column, const QPoint& p, TipHit* hit)
{
    const CLocalChanState* chan = m_sourceTable.Channel(chanId);
    if (!chan || chan->IsHidden() || saturating::Add(m_startSample, column) >= chan->totalSamples)
        return false;
    // Only what the last paint filled: later entries are points of an earlier page.
    const uint64_t end = std::min<uint64_t>({saturating::Add(column, 2), chan->points.filled, chan->points.points.size()});
    for (uint64_t i = saturating::Sub(column, 1); i < end; ++i) {
        const PlottedPoint& pt = chan->points.points[size_t(i)];
        if (pt.value.vt == VT_EMPTY)
            continue; // a sample that was not a number has no point
        if (int64_t(p.x()) >= int64_t(pt.x) - kHitHalf && int64_t(p.x()) < int64_t(pt.x) + kHitHalf
            && int64_t(p.y()) >= int64_t(pt.y) - kHitHalf && int64_t(p.y()) < int64_t(pt.y) + kHitHalf) {
            hit->channel = chanId;
            hit->sample = m_startSample + i;
            hit->x = pt.x;
            hit->y = pt.y;
            hit->value = pt.value;
            return true;
        }
    }
    return false;
}

void CScopeCtrl::UpdateSampleTip()
{
    if (!m_tipWindow)
        return;
    m_tipWindow->Pop();
    m_tipWindow->Activate(false);
    if (m_tipChannel == kNone)
        return;
    std::wstring text;
    if (FAILED(SampleTipText(&text)))
        text.clear();
    m_tipText = CComBSTR(text);
    if (text.empty())
        return;
    m_tipWindow->UpdateTipText(text);
    m_tipWindow->Activate(true);
    m_tipWindow->Popup(QPoint(m_plotRect.left + m_tipPoint.x(), m_plotRect.top + m_tipPoint.y()));
}

HRESULT CScopeCtrl::SampleTipText(std::wstring* text)
{
    if (m_labelProvider) {
        CComBSTR label;
        if (SUCCEEDED(m_labelProvider->GetSampleTipLabel(m_tipChannel, m_tipSample, m_tipValue, &label))
            && label.Length() != 0) {
            *text = std::wstring(label.View());
            return S_OK;
        }
    }
    return FormatSampleTipText(m_tipChannel, m_tipValue, text);
}

HRESULT CScopeCtrl::FormatSampleTipText(uint32_t chanId, const VARIANT& value, std::wstring* text)
{
    if (!text)
        return E_POINTER;
    const CLocalChanState* chan = m_sourceTable.Channel(chanId);
    if (!chan)
        return E_INVALIDARG;
    const bool isFloat = value.vt == VT_R4 || value.vt == VT_R8;
    std::wstring body;
    HRESULT hr = !isFloat && m_sampleTipsRadix != 10 ? IntegerText(value, m_sampleTipsRadix, &body)
                                                      : vlt::VariantToText(value, &body);
    if (FAILED(hr))
        return hr;
    if (chan->interleaved)
        body = L"Ch. " + std::to_wstring(uint64_t(chan->channelIndex) + 1) + L": " + body;
    if (m_sourceTable.Sources().size() > 1 && chan->source) {
        CComBSTR name;
        if (SUCCEEDED(chan->source->GetChannelSourceName(&name)))
            body = Trimmed(name.View()) + L": " + body;
    }
    *text = std::move(body);
    return S_OK;
}

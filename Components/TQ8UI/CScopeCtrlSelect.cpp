// CScopeCtrl: the selection, its methods and its keyboard moves.
#include "CScopeCtrl.h"
#include "Saturating.h"
#include "ScopeInputCodes.h"

#include <cmath>

using namespace scopeinput;

uint64_t CScopeCtrl::ClampToSamples(uint64_t sample) const
{
    if (sample < MaxSampleCount())
        return sample;
    return MaxSampleCount() == 0 ? kNoSample : MaxSampleCount() - 1;
}

uint64_t CScopeCtrl::SampleAtClientX(int32_t x) const
{
    // Rounded to the nearest sample; a half rounds down.
    const double offset = (double(x) - m_plotRect.left) / m_xScale;
    const double whole = std::floor(offset);
    uint64_t sample = saturating::ToU64(whole);
    if (offset - whole > 0.5)
        sample = saturating::Add(sample, 1);
    return ClampToSamples(saturating::Add(m_startSample, sample));
}

HRESULT CScopeCtrl::SetSelection(uint64_t start, uint64_t end)
{
    start = ClampToSamples(start);
    end = ClampToSamples(end);
    if (start == m_selStart && end == m_selEnd)
        return S_OK;
    m_selStart = start;
    m_selEnd = end;
    FireOnSelectionChange(start, end);
    Redraw();
    return S_OK;
}

HRESULT CScopeCtrl::GetSelection(uint64_t* pStart, uint64_t* pEnd)
{
    if (pStart)
        *pStart = m_selStart;
    if (pEnd)
        *pEnd = m_selEnd;
    return S_OK;
}

HRESULT CScopeCtrl::ZoomToSelection()
{
    if (!HasSelection())
        return S_FALSE;
    const auto [low, high] = GetOrderedSelection();
    if (low > MaxSampleCount())
        return E_UNEXPECTED;
    uint64_t width = std::max<uint64_t>(high - low, 8);
    if (high - low > m_maxPageWidth)
        width = m_maxPageWidth;
    put_Redraw(VARIANT_FALSE);
    HRESULT hr = put_StartSample(low);
    if (SUCCEEDED(hr))
        hr = put_PageWidth(static_cast<uint32_t>(width));
    put_Redraw(VARIANT_TRUE);
    return FAILED(hr) ? hr : S_OK;
}

bool CScopeCtrl::ExtendSelectionByKey(int key, uint32_t keys)
{
    const uint64_t pageEnd = saturating::Add(m_startSample, m_pageWidth);
    auto visible = [&](uint64_t s) { return s != kNoSample && s >= m_startSample && s < pageEnd; };
    const bool wasVisible = visible(m_selStart) || visible(m_selEnd);
    if (keys & MK_CONTROL)
        return false;
    uint64_t moved = kNoSample;
    if (keys & MK_SHIFT) {
        // Without a selection there is no end to move.
        if (!HasSelection())
            return true;
        if (key == VK_RIGHT)
            SetSelection(m_selStart, saturating::Add(m_selEnd, 1));
        else if (m_selEnd != 0)
            SetSelection(m_selStart, m_selEnd - 1);
        moved = m_selEnd;
    } else if (m_selStart != kNoSample) {
        const uint64_t next = key == VK_RIGHT ? saturating::Add(m_selStart, 1) : saturating::Sub(m_selStart, 1);
        SetSelection(next, next);
        moved = m_selStart;
    }
    if (wasVisible && moved != kNoSample && !visible(moved)) {
        const uint64_t step = m_pageWidth - 1;
        if (key == VK_RIGHT)
            put_StartSample(saturating::Add(m_startSample, step));
        else
            put_StartSample(moved < step ? 0 : saturating::Sub(m_startSample, step));
    }
    return true;
}

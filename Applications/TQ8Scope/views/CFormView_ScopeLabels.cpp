// The scope panel's label texts: times, volts and ADC codes for the plot.
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "Bstr.h"
#include "CFormView_Scope.h"
#include "ValueFormat.h"

namespace {

HRESULT ToLabel(bool has, const std::wstring& text, BSTR* label)
{
    if (!has || !label)
        return E_NOTIMPL;
    *label = SysAllocString(text.c_str());
    return *label ? S_OK : E_NOTIMPL;
}

std::wstring Printf(const wchar_t* format, auto... args)
{
    wchar_t text[64];
    std::swprintf(text, 64, format, args...);
    return text;
}

// The sample in its own type; false for values that are no sample.
bool SampleCode(const VARIANT& value, int64_t& code)
{
    switch (value.vt) {
    case VT_UI1: code = value.bVal; return true;
    case VT_I1: code = value.cVal; return true;
    case VT_UI2: code = value.uiVal; return true;
    case VT_I2: code = value.iVal; return true;
    case VT_UI4: code = value.ulVal; return true;
    case VT_I4: code = value.lVal; return true;
    default: return false;
    }
}

} // namespace

bool CFormView_Scope::XAxisLabel(uint64_t x, std::wstring& text) const
{
    double t = 0;
    if (m_plotAxisX != 0 || !SampleIndexToTime(x, m_labelInfo, t))
        return false;
    text = FormatTime(t, kFormatMicroSign, 1.0);
    if (x == 0 && m_labelInfo.triggerOffset != 0)
        text = (m_labelInfo.preTrigger ? L"Pre-Trigger: " : L"Trigger Delay: ") + text;
    return true;
}

bool CFormView_Scope::XSelLabel(uint64_t x, std::wstring& text) const
{
    double t = 0;
    if (m_plotAxisX != 0 || !SampleIndexToTime(x, m_labelInfo, t))
        return false;
    wchar_t sample[48];
    std::swprintf(sample, 48, L" (Sample %" PRIu64 ")", x);
    text = FormatTime(t, kFormatMicroSign, 100.0) + sample;
    return true;
}

bool CFormView_Scope::XSelSpanLabel(uint64_t x1, uint64_t x2, std::wstring& text) const
{
    double t1 = 0;
    double t2 = 0;
    if (m_plotAxisX != 0 || !SampleIndexToTime(x1, m_labelInfo, t1) || !SampleIndexToTime(x2, m_labelInfo, t2))
        return false;
    text = L"\u0394 " + FormatTime(t2 - t1, kFormatMicroSign, 1.0);
    return true;
}

bool CFormView_Scope::YAxisLabel(double y, std::wstring& text) const
{
    if (m_plotAxisY == 0) {
        double volts = 0;
        if (!SampleValueToVolts(y, m_labelInfo, volts))
            return false;
        text = FormatVoltage(volts, kFormatMicroSign);
        return true;
    }
    if (m_plotAxisY != 1 || m_plotHexAdcVal == 0)
        return false;
    double whole = 0;
    if (std::modf(y, &whole) >= 0.001)
        return false;
    text = Printf(L"0x%02X", unsigned(int64_t(whole)));
    return true;
}

bool CFormView_Scope::SampleTipLabel(uint32_t channelId, const VARIANT& value, std::wstring& text) const
{
    int64_t code = 0;
    if (!SampleCode(value, code))
        return false;
    const std::wstring codeText =
        m_plotHexAdcVal ? Printf(L"0x%02" PRIX64, uint64_t(code)) : Printf(L"%" PRId64, code);
    double volts = 0;
    const bool hasVolts = SampleValueToVolts(double(code), m_labelInfo, volts);
    text.clear();
    if (m_plotSampTips == 0) {
        text = codeText;
        if (hasVolts)
            text += L" (" + FormatVoltage(volts, kFormatMicroSign) + L")";
    } else if (m_plotSampTips == 1 && hasVolts) {
        text = FormatVoltage(volts, kFormatMicroSign);
    } else if (m_plotSampTips == 2) {
        text = codeText;
    }
    if (text.empty())
        return false;
    uint32_t sourceId = 0;
    uint32_t firstChannel = 0;
    if (GetTotalChannelCount() > 1 && m_control && SUCCEEDED(m_control->GetSourceIdFromChanId(channelId, &sourceId)) &&
        SUCCEEDED(m_control->GetFirstChannelIdForSource(sourceId, &firstChannel)))
        text = Printf(L"Ch. %u: ", channelId - firstChannel + 1) + text;
    return true;
}

uint32_t CFormView_Scope::GetTotalChannelCount() const
{
    uint32_t total = 0;
    for (const auto& [id, state] : m_sources)
        total += state.type == kFileSource ? state.info.channelCount : state.channelCount;
    return total;
}

HRESULT CFormView_Scope::XLabelProvider::GetXAxisLabel(uint64_t x, BSTR* label)
{
    std::wstring text;
    return ToLabel(self->XAxisLabel(x, text), text, label);
}

HRESULT CFormView_Scope::XLabelProvider::GetYAxisLabel(double y, BSTR* label)
{
    std::wstring text;
    return ToLabel(self->YAxisLabel(y, text), text, label);
}

HRESULT CFormView_Scope::XLabelProvider::GetXSelLabel(uint64_t x, BSTR* label)
{
    std::wstring text;
    return ToLabel(self->XSelLabel(x, text), text, label);
}

HRESULT CFormView_Scope::XLabelProvider::GetXSelSpanLabel(uint64_t x1, uint64_t x2, BSTR* label)
{
    std::wstring text;
    return ToLabel(self->XSelSpanLabel(x1, x2, text), text, label);
}

HRESULT CFormView_Scope::XLabelProvider::GetSampleTipLabel(uint32_t channelId, uint64_t, VARIANT value, BSTR* label)
{
    std::wstring text;
    return ToLabel(self->SampleTipLabel(channelId, value, text), text, label);
}

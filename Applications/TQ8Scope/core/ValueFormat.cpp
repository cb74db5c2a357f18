#include "ValueFormat.h"

#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "TextConv.h"
#include "XmlRoutines.h"

namespace {

template <class... Args>
std::wstring Printf(const char* format, Args... args)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, format, args...);
    return vlt::Utf8ToWide(buf);
}

// Shared tail of FormatVoltage and FormatTime: a whole number when the
// fraction is negligible, else two decimals; no blank before the unit.
std::wstring WithUnit(bool negative, double m, const std::wstring& unit)
{
    double whole = std::floor(m);
    double fraction = m - whole;
    std::wstring number;
    if (fraction < 0.0001 || fraction > 0.9999)
        number = Printf("%.f", fraction > 0.9999 ? whole + 1 : whole);
    else
        number = Printf("%0.2f", m);
    return (negative ? L"-" : L"") + number + unit;
}

std::wstring ScaledWithUnit(double value, const wchar_t* const units[4], double threshold, uint32_t flags,
                            const wchar_t* zero)
{
    if (value >= 0 && value < DBL_MIN)
        return zero;
    bool negative = value < 0;
    double m = std::fabs(value);
    int step = 0;
    while (step < 3 && m < threshold) {
        m *= 1000;
        ++step;
    }
    std::wstring unit = units[step];
    if (step == 2 && !(flags & kFormatMicroSign))
        unit[0] = L'u';
    return WithUnit(negative, m, unit);
}

// "%d %s" for whole values that fit, else "%0.3f %s".
std::wstring WholeOrThree(double value, const wchar_t* unit)
{
    std::string u = vlt::WideToUtf8(unit);
    if (value == std::floor(value) && value >= INT_MIN && value <= INT_MAX)
        return Printf("%d %s", static_cast<int>(value), u.c_str());
    return Printf("%0.3f %s", value, u.c_str());
}

} // namespace

std::wstring FormatVoltage(double volts, uint32_t flags)
{
    static const wchar_t* const units[4] = {L"V", L"mV", L"\u00b5V", L"nV"};
    return ScaledWithUnit(volts, units, 1.0, flags, L"0V");
}

std::wstring FormatTime(double seconds, uint32_t flags, double threshold)
{
    static const wchar_t* const units[4] = {L"s", L"ms", L"\u00b5s", L"ns"};
    return ScaledWithUnit(seconds, units, threshold, flags, L"0s");
}

std::wstring FormatSampleCount(double count)
{
    const char* unit = "samples";
    if (count > 1000) {
        if (count <= 1e6) {
            count /= 1e3;
            unit = "KS";
        } else if (count <= 1e9) {
            count /= 1e6;
            unit = "MS";
        } else if (count <= 1e12) {
            count /= 1e9;
            unit = "GS";
        } else {
            count /= 1e12;
            unit = "TS";
        }
    }
    return Printf("%0.2f %s", count, unit);
}

std::wstring FormatVoltageRange(double voltsPeakToPeak)
{
    if (voltsPeakToPeak < 1)
        return WholeOrThree(voltsPeakToPeak * 1000, L"mVp-p");
    return WholeOrThree(voltsPeakToPeak, L"Vp-p");
}

std::wstring FormatFrequencyMHz(double mhz)
{
    if (mhz > 1000)
        return WholeOrThree(mhz / 1000, L"GHz");
    if (mhz < 1) {
        double khz = mhz * 1000;
        if (khz < 1)
            return WholeOrThree(khz * 1000, L"Hz");
        return WholeOrThree(khz, L"kHz");
    }
    return WholeOrThree(mhz, L"MHz");
}

void ScaleToUnitPrefix(double& value, std::wstring& prefix, bool base1024)
{
    static const wchar_t* const decimal[] = {L"K", L"M", L"G", L"T"};
    static const wchar_t* const binary[] = {L"Ki", L"Mi", L"Gi", L"Ti"};
    const double factor = base1024 ? 1024 : 1000;
    prefix.clear();
    for (int i = 0; i < 4 && value >= factor; ++i) {
        value /= factor;
        prefix = base1024 ? binary[i] : decimal[i];
    }
}

std::wstring FormatWithThousandsSeparator(uint64_t value)
{
    const lconv* lc = std::localeconv();
    std::wstring separator = (lc && lc->thousands_sep && *lc->thousands_sep) ? vlt::Utf8ToWide(lc->thousands_sep)
                                                                             : L",";
    std::wstring digits = std::to_wstring(value);
    std::wstring out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

void FormatVersion32(uint32_t version, std::wstring& text)
{
    text = Printf("%u.%u.%u.%u", version >> 24, (version >> 16) & 0xFF, (version >> 8) & 0xFF, version & 0xFF);
}

void FormatVersion64(uint64_t version, std::wstring& text)
{
    auto part = [version](int shift) { return static_cast<unsigned long long>((version >> shift) & 0xFFFF); };
    text = Printf("%llu.%llu.%llu.%llu", part(48), part(32), part(16), part(0));
}

void FormatCustomFirmwareId(uint32_t id, std::wstring& text)
{
    if (id == 0)
        text = L"Non-custom";
    else if (id == 0xFFFF)
        text = L"Non-specific";
    else
        text = std::to_wstring(id);
}

bool SampleIndexToTime(uint64_t index, const TQ8_RECORDED_DATA_INFO& info, double& seconds)
{
    if (info.size == 0 || info.samplingRateMHz == 0)
        return false;
    const double f = 1.0 / (info.samplingRateMHz * 1e6);
    double t = static_cast<double>(index) * f;
    if (info.triggerOffset != 0 && info.channelCount != 0) {
        double d = static_cast<double>(info.triggerOffset / info.channelCount) * f;
        t = info.preTrigger ? t - d : t + d;
    }
    seconds = t;
    return true;
}

bool SampleValueToVolts(double code, const TQ8_RECORDED_DATA_INFO& info, double& volts)
{
    if (info.size == 0 || info.inputRangeVpp == 0 || info.isSigned)
        return false;
    uint64_t bits = info.bitsPerSample ? info.bitsPerSample : 8ull * info.bytesPerSample;
    // 2^32 - 1 needs 64-bit arithmetic; wider samples have no full scale here.
    if (bits == 0 || bits > 32)
        return false;
    const double fullScale = static_cast<double>((uint64_t(1) << bits) - 1);
    double v = -info.inputRangeVpp / 2 + code / fullScale * info.inputRangeVpp;
    volts = std::fabs(v) < 0.001 ? 0.0 : v;
    return true;
}

std::string RecordedBoardName(const TQ8_RECORDED_DATA_INFO& info)
{
    return std::string(info.boardName, strnlen(info.boardName, sizeof info.boardName));
}

std::string XmlEscapeWide(const wchar_t* text)
{
    if (!text)
        return {};
    std::string out = vlt::WideToUtf8(text);
    XmlEscape(out);
    return out;
}

#include "RecordedDataTexts.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "TextConv.h"
#include "ValueFormat.h"

namespace {

template <class... Args>
std::wstring Printf(const char* format, Args... args)
{
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return vlt::Utf8ToWide(text);
}

// " (%0.2f %s)" with the base-1024 prefix and the unit, above 1024.
std::wstring Scaled(uint64_t count, const wchar_t* unit)
{
    if (count <= 1024)
        return {};
    double value = double(count);
    std::wstring prefix;
    ScaleToUnitPrefix(value, prefix, true);
    return Printf(" (%0.2f %s)", value, vlt::WideToUtf8(prefix + unit).c_str());
}

} // namespace

std::wstring FormatRecordedRate(double rateMHz)
{
    double value = rateMHz;
    const char* unit = "MHz";
    if (value < 1) {
        value *= 1000;
        unit = "kHz";
        if (value != 0 && value < 1) {
            value *= 1000;
            unit = "Hz";
        }
    }
    return Printf("%0.4f %s", value, unit);
}

std::wstring FormatRecordedSampleSize(uint32_t bytesPerSample, uint32_t bitsPerSample)
{
    std::wstring text = Printf("%u byte%s", bytesPerSample, bytesPerSample == 1 ? "" : "s");
    if (uint64_t(bitsPerSample) != 8ull * bytesPerSample)
        text += Printf(" (%u bits)", bitsPerSample);
    return text;
}

std::wstring FormatRecordedDuration(double seconds)
{
    if (seconds >= 60) {
        const double whole = std::floor(std::min(seconds, double(UINT32_MAX)));
        const auto total = uint32_t(whole);
        return Printf("%u:%02u:%02u", total / 3600, (total / 60) % 60, total % 60);
    }
    if (seconds >= 1)
        return Printf("%0.3f %s", seconds, "seconds");
    if (seconds * 1000 >= 1)
        return Printf("%0.3f %s", seconds * 1000, "ms");
    return Printf("%0.3f %s", seconds * 1e6, "\xCE\xBCs");
}

std::wstring FormatRecordedDataLength(uint64_t bytes, uint32_t bytesPerSample, double rateMHz, uint32_t channels)
{
    if (bytesPerSample == 0)
        return Printf("%" PRIu64 " bytes", bytes) + Scaled(bytes, L"B");
    const uint64_t samples = bytes / bytesPerSample;
    std::wstring text = Printf("%" PRIu64 " samples", samples) + Scaled(samples, L"S");
    const uint64_t frames = channels > 1 ? samples / channels : samples;
    if (rateMHz != 0)
        text += L", " + FormatRecordedDuration(double(frames) / (rateMHz * 1e6));
    return text;
}

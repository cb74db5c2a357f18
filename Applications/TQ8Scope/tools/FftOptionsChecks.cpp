#include "FftOptionsChecks.h"

#include "NumberParse.h"
#include "TextConv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>

namespace {

constexpr int32_t kMinPeaks = 1;
constexpr int32_t kMaxPeaks = 64;

// The dialog's edits allow blanks around the number, nothing else.
std::string Trimmed(const std::wstring& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::iswspace(static_cast<wint_t>(text[first])))
        ++first;
    while (last > first && std::iswspace(static_cast<wint_t>(text[last - 1])))
        --last;
    return vlt::WideToUtf8(text.substr(first, last - first));
}

template <class T>
bool ReadNumber(const std::wstring& text, T& out)
{
    return vlt::ParseNumberExact(Trimmed(text), out);
}

// Shortest text that reads back as the same value, whatever the locale.
std::wstring FormatDouble(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    return vlt::Utf8ToWide(std::string_view(text, static_cast<size_t>(result.ptr - text)));
}

FftOptionsProblem Problem(FftOptionsField field, const wchar_t* message)
{
    return FftOptionsProblem{field, message};
}

} // namespace

std::vector<int32_t> FftSizeChoices()
{
    std::vector<int32_t> sizes;
    for (int32_t size = 256; size <= 65536; size *= 2)
        sizes.push_back(size);
    return sizes;
}

int32_t FftSizeToSelect(int32_t size)
{
    const auto sizes = FftSizeChoices();
    return std::find(sizes.begin(), sizes.end(), size) != sizes.end() ? size : 8192;
}

FftOptionsInput FftOptionsToInput(const CFFTOptions& options)
{
    FftOptionsInput input;
    input.fftSize = FftSizeToSelect(options.fftSize);
    // Values the controls cannot show fall back to the defaults.
    input.windowChoice = options.windowChoice >= CFFTOptions::kRectangular
            && options.windowChoice <= CFFTOptions::kBlackmanHarris
        ? options.windowChoice
        : CFFTOptions::kBlackmanHarris;
    input.grabMode = options.grabMode >= CFFTOptions::kGrabFromStart && options.grabMode <= CFFTOptions::kGrabFromOffset
        ? options.grabMode
        : CFFTOptions::kGrabFromSelection;
    input.offsetText = std::to_wstring(options.explicitOffset);
    input.averaging = (options.flags & CFFTOptions::kFlagAveraging) != 0;
    input.restartText = std::to_wstring(options.avgRestartCount);
    input.peakTracking = (options.flags & CFFTOptions::kFlagPeakTracking) != 0;
    input.maxPeaksText = std::to_wstring(options.maxPeaks);
    input.exclusionText = FormatDouble(options.exclusionPercent);
    return input;
}

FftOptionsProblem ApplyFftOptionsInput(const FftOptionsInput& input, CFFTOptions& options)
{
    const auto sizes = FftSizeChoices();
    if (std::find(sizes.begin(), sizes.end(), input.fftSize) == sizes.end())
        return Problem(FftOptionsField::FftSize, L"Please select an FFT size.");
    uint64_t offset = 0;
    if (!ReadNumber(input.offsetText, offset))
        return Problem(FftOptionsField::Offset, L"Please enter a positive integer.");
    int32_t restart = 0;
    if (!ReadNumber(input.restartText, restart))
        return Problem(FftOptionsField::RestartCount, L"Please enter an integer.");
    int32_t peaks = 0;
    if (!ReadNumber(input.maxPeaksText, peaks))
        return Problem(FftOptionsField::MaxPeaks, L"Please enter an integer.");
    if (peaks < kMinPeaks || peaks > kMaxPeaks)
        return Problem(FftOptionsField::MaxPeaks, L"Please enter an integer between 1 and 64.");
    double exclusion = 0.0;
    if (!ReadNumber(input.exclusionText, exclusion) || !std::isfinite(exclusion))
        return Problem(FftOptionsField::Exclusion, L"Please enter a number.");
    // A band beside the signal cannot be narrower than none.
    if (exclusion < 0.0)
        return Problem(FftOptionsField::Exclusion, L"Please enter a number of 0 or more.");

    options.fftSize = input.fftSize;
    options.windowChoice = input.windowChoice;
    options.grabMode = input.grabMode;
    options.explicitOffset = offset;
    options.flags = input.averaging ? (options.flags | CFFTOptions::kFlagAveraging)
                                    : (options.flags & ~CFFTOptions::kFlagAveraging);
    options.avgRestartCount = restart;
    options.flags = input.peakTracking ? (options.flags | CFFTOptions::kFlagPeakTracking)
                                       : (options.flags & ~CFFTOptions::kFlagPeakTracking);
    options.maxPeaks = peaks;
    options.exclusionPercent = exclusion == 0.0 ? 0.0 : exclusion; // "-0" is shown again as 0
    return {};
}

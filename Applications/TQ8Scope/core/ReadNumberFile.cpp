#include "ReadNumberFile.h"

#include <cctype>
#include <cfloat>
#include <cmath>

#include "AtomicFile.h"
#include "ErrorBox.h"
#include "NumberParse.h"
#include "TextConv.h"

namespace {

// Far above any coefficient list; a larger file is refused unread.
constexpr uint64_t kMaxNumberFileBytes = uint64_t(16) << 20;

size_t SkipSpace(const std::string& text, size_t pos)
{
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    return pos;
}

// One number at pos (blanks already skipped): the text up to the next blank
// or comma must be the whole number. false when none can be read.
template <class T>
bool ReadOne(const std::string& text, size_t& pos, T& value)
{
    size_t end = pos;
    while (end < text.size() && text[end] != ',' && !std::isspace(static_cast<unsigned char>(text[end])))
        ++end;
    if (!vlt::ParseNumberExact(std::string_view(text).substr(pos, end - pos), value))
        return false;
    pos = end;
    return true;
}

int32_t ScaleFraction(double v)
{
    double scaled = std::trunc(v * 32768);
    if (scaled > 32767)
        return 32767;
    if (scaled < -32768)
        return -32768;
    return static_cast<int32_t>(scaled);
}

} // namespace

bool ParseNumberText(const std::string& text, std::vector<int32_t>& values, size_t maxCount, uint32_t flags,
                     std::wstring& error)
{
    const bool integral = flags & kReadIntegral;
    std::vector<int32_t> integers;
    std::vector<double> fractions;
    double largest = DBL_MIN;
    size_t pos = 0;
    for (size_t count = 0; maxCount == 0 || count < maxCount; ++count) {
        while (pos < text.size() && text[pos] == ',')
            ++pos;
        pos = SkipSpace(text, pos);
        if (pos >= text.size())
            break;
        if (integral) {
            int32_t v = 0;
            if (!ReadOne(text, pos, v)) {
                error = L"Failed to parse input file: Invalid integral data";
                return false;
            }
            integers.push_back(v);
        } else {
            double v = 0;
            if (!ReadOne(text, pos, v) || !std::isfinite(v)) {
                error = L"Failed to parse input file: Invalid floating-point data";
                return false;
            }
            fractions.push_back(v);
            largest = std::max(largest, v);
        }
    }
    if (integers.empty() && fractions.empty()) {
        error = L"Input file contains no data";
        return false;
    }
    if (integral) {
        values.insert(values.end(), integers.begin(), integers.end());
        return true;
    }
    const bool normalise = (flags & kReadNormalise) && largest > 1;
    for (double v : fractions)
        values.push_back(ScaleFraction(normalise ? v / largest : v));
    return true;
}

bool ReadNumberFile(const std::wstring& path, std::vector<int32_t>& values, size_t maxCount, uint32_t flags)
{
    std::string text, reason;
    if (!vlt::ReadWholeFile(vlt::WideToUtf8(path), text, &reason, kMaxNumberFileBytes)) {
        vlt::ShowMessageBox(L"Failed to open input file: " + vlt::Utf8ToWide(reason), MB_ICONERROR);
        return false;
    }
    std::wstring error;
    if (!ParseNumberText(text, values, maxCount, flags, error)) {
        vlt::ShowMessageBox(error, MB_ICONERROR);
        return false;
    }
    return true;
}

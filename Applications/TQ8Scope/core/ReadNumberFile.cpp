#include "ReadNumberFile.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "ErrorBox.h"
#include "NumberParse.h"
#include "TextConv.h"

namespace {

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
    std::FILE* file = std::fopen(vlt::WideToUtf8(path).c_str(), "rb");
    if (!file) {
        ShowSystemErrorBox(errno, L"Failed to open input file: ");
        return false;
    }
    std::string text;
    char buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, file)) > 0)
        text.append(buf, n);
    const bool readError = std::ferror(file);
    const int readErrno = errno;
    std::fclose(file);
    if (readError) {
        ShowSystemErrorBox(readErrno, L"Failed to open input file: ");
        return false;
    }
    std::wstring error;
    if (!ParseNumberText(text, values, maxCount, flags, error)) {
        vlt::ShowMessageBox(error, MB_ICONERROR);
        return false;
    }
    return true;
}

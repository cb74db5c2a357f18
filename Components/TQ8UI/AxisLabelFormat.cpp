#include "AxisLabelFormat.h"

#include "TextConv.h"

#include <algorithm>
#include <clocale>

namespace {

std::wstring Digits(uint64_t value, int radix)
{
    if (radix < 2 || radix > 36)
        radix = 10;
    std::wstring text;
    do {
        const auto digit = static_cast<int>(value % static_cast<uint64_t>(radix));
        text.push_back(static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'A' + digit - 10));
        value /= static_cast<uint64_t>(radix);
    } while (value != 0);
    std::reverse(text.begin(), text.end());
    return text;
}

std::wstring ThousandsSeparator()
{
    const std::lconv* conv = std::localeconv();
    if (conv && conv->thousands_sep && *conv->thousands_sep)
        return vlt::Utf8ToWide(conv->thousands_sep);
    return L",";
}

std::wstring Grouped(const std::wstring& digits)
{
    const std::wstring sep = ThousandsSeparator();
    std::wstring out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            out += sep;
        out.push_back(digits[i]);
    }
    return out;
}

} // namespace

std::wstring FormatUInt64Radix(uint64_t value, int radix)
{
    const std::wstring digits = Digits(value, radix);
    return radix == 10 && value >= 1000 ? Grouped(digits) : digits;
}

std::wstring FormatInt64Radix(int64_t value, int radix)
{
    if (radix != 10)
        return Digits(static_cast<uint64_t>(value), radix);
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const std::wstring digits = magnitude >= 1000 ? Grouped(Digits(magnitude, 10)) : Digits(magnitude, 10);
    return value < 0 ? L"-" + digits : digits;
}

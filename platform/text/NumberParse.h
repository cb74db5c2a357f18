#pragma once
// Checked number parsing for text from files, the wire and the user.
// A minus sign before an unsigned number, a value outside the target's range
// or text without digits fails, and the target is left untouched.
#include <charconv>
#include <cctype>
#include <string>
#include <string_view>
#include <type_traits>

namespace vlt {

enum class Trailing {
    Ignore, // "12 dB" reads as 12
    Refuse  // the whole text must be the number
};

struct ParseRules {
    bool skipLeadingSpace = true;
    bool allowPlus = true;
    Trailing trailing = Trailing::Refuse;
    int base = 10;
};

template <class T>
bool ParseNumber(std::string_view text, T& out, const ParseRules& rules = {})
{
    static_assert(std::is_arithmetic_v<T>);
    size_t pos = 0;
    if (rules.skipLeadingSpace)
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
    if (rules.allowPlus && pos < text.size() && text[pos] == '+'
        && pos + 1 < text.size() && text[pos + 1] != '-' && text[pos + 1] != '+')
        ++pos;
    if constexpr (std::is_unsigned_v<T>) {
        if (pos < text.size() && text[pos] == '-')
            return false;
    }
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    T value{};
    std::from_chars_result r;
    if constexpr (std::is_floating_point_v<T>)
        r = std::from_chars(first, last, value);
    else
        r = std::from_chars(first, last, value, rules.base);
    if (r.ec != std::errc())
        return false;
    if (rules.trailing == Trailing::Refuse && r.ptr != last)
        return false;
    out = value;
    return true;
}

// "12 dB" -> 12: leading blanks skipped, whatever follows the number ignored.
template <class T>
bool ParseNumberPrefix(std::string_view text, T& out)
{
    return ParseNumber(text, out, ParseRules{true, true, Trailing::Ignore, 10});
}

// The whole text is the number (leading blanks allowed, nothing after it).
template <class T>
bool ParseNumberExact(std::string_view text, T& out)
{
    return ParseNumber(text, out, ParseRules{true, true, Trailing::Refuse, 10});
}

} // namespace vlt

#include "RegNames.h"

#include <cstdint>
#include <locale.h>
#include <wctype.h>

namespace vlt {
namespace {

// The "C" locale maps case for ASCII only; C.UTF-8 knows all of Unicode and
// does not depend on the locale the program runs in.
locale_t CaseLocale()
{
    static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    return loc;
}

wchar_t FoldCase(wchar_t c)
{
    if (c < 0x80)
        return (c >= L'a' && c <= L'z') ? wchar_t(c - L'a' + L'A') : c;
    const locale_t loc = CaseLocale();
    return loc ? wchar_t(towupper_l(wint_t(c), loc)) : c;
}

} // namespace

bool SameRegName(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

std::vector<std::wstring> SplitKeyPath(std::wstring_view path)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsXmlText(std::wstring_view text)
{
    for (const wchar_t wc : text) {
        const auto c = static_cast<uint32_t>(wc);
        const bool ok = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
            || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!ok)
            return false;
    }
    return true;
}

} // namespace vlt

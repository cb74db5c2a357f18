#include "Guid.h"

#include <cstdio>

namespace vlt {

std::wstring GuidToString(const GUID& g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                  static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2],
                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return std::wstring(buf, buf + 38);
}

bool GuidFromString(std::wstring_view text, GUID& out)
{
    std::string narrow;
    for (wchar_t c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    GUID g;
    if (!detail::ParseGuidText(narrow, g))
        return false;
    out = g;
    return true;
}

} // namespace vlt

#pragma once
// Class and interface identifiers.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    friend constexpr bool operator==(const GUID& a, const GUID& b)
    {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return false;
        return true;
    }
    friend constexpr bool operator<(const GUID& a, const GUID& b)
    {
        if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
        if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
        if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return a.Data4[i] < b.Data4[i];
        return false;
    }
};
using IID = GUID;
using CLSID = GUID;

inline constexpr GUID GUID_NULL{};

namespace vlt {

namespace detail {
constexpr int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", braces optional. false when malformed.
constexpr bool ParseGuidText(std::string_view s, GUID& g)
{
    if (s.size() == 38) {
        if (s.front() != '{' || s.back() != '}')
            return false;
        s = s.substr(1, 36);
    }
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
        return false;
    uint8_t bytes[16] = {};
    int n = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            continue;
        int hi = HexDigit(s[i]);
        int lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[n++] = static_cast<uint8_t>(hi * 16 + lo);
        ++i;
    }
    g.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = bytes[8 + i];
    return true;
}
} // namespace detail

// For identifiers written in the source: a malformed literal does not compile.
consteval GUID MakeGuid(std::string_view text)
{
    GUID g;
    if (!detail::ParseGuidText(text, g))
        throw std::invalid_argument("malformed GUID literal");
    return g;
}

// "{3D599856-84E9-42EA-8ABE-BB88809A80C6}" (upper case, with braces).
std::wstring GuidToString(const GUID& g);
// Accepts the form above with or without braces, any case.
bool GuidFromString(std::wstring_view text, GUID& out);

} // namespace vlt

#include "VersionText.h"

#include <cctype>
#include <cwctype>

#include "NumberParse.h"

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

template <class T>
bool PackParts(std::string_view text, int64_t maxPart, int shift, T& version)
{
    std::array<int64_t, 4> parts{};
    if (!ParseVersionParts(text, parts))
        return false;
    T packed = 0;
    for (int64_t part : parts) {
        if (part < 0 || part > maxPart)
            return false;
        packed = static_cast<T>((packed << shift) | static_cast<T>(part));
    }
    version = packed;
    return true;
}

} // namespace

std::string FormatVersion32(uint32_t version)
{
    return std::to_string(version >> 24) + '.' + std::to_string((version >> 16) & 0xFF) + '.'
        + std::to_string((version >> 8) & 0xFF) + '.' + std::to_string(version & 0xFF);
}

std::string FormatVersion64(uint64_t version)
{
    return std::to_string(version >> 48) + '.' + std::to_string((version >> 32) & 0xFFFF) + '.'
        + std::to_string((version >> 16) & 0xFFFF) + '.' + std::to_string(version & 0xFFFF);
}

bool ParseVersionParts(std::string_view text, std::array<int64_t, 4>& parts)
{
    text = Trim(text);
    std::array<int64_t, 4> result{};
    for (size_t i = 0; i < 4; ++i) {
        const size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (!part.empty() && !vlt::ParseNumberExact(part, result[i]))
            return false;
        if (dot == std::string_view::npos)
            break;
        text.remove_prefix(dot + 1);
    }
    parts = result;
    return true;
}

bool ParseVersion32(std::string_view text, uint32_t& version)
{
    return PackParts(text, 255, 8, version);
}

bool ParseVersion64(std::string_view text, uint64_t& version)
{
    return PackParts(text, 65535, 16, version);
}

bool ParseFirmwareVersionText(std::wstring_view text, uint32_t& version)
{
    uint32_t packed = 0;
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        while (pos < text.size() && std::iswspace(text[pos]))
            ++pos;
        uint32_t number = 0;
        while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
            number = number * 10 + static_cast<uint32_t>(text[pos] - L'0');
            if (number > 255)
                return false;
            ++pos;
        }
        packed = (packed << 8) | number;
        if (pos == text.size()) {
            version = packed << (8 * (3 - part));
            return true;
        }
        if (text[pos] != L'.' || part == 3)
            return false;
        ++pos;
    }
    return false;
}

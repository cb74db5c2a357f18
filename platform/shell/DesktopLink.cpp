#include "DesktopLink.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "NumberParse.h"

namespace fs = std::filesystem;

namespace vlt {

namespace {

constexpr std::streamsize kMaxLinkFileBytes = 64 * 1024;

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// "%20" and the like back to bytes; false on a broken escape or a NUL.
bool PercentDecode(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        uint8_t value = 0;
        if (i + 2 >= text.size())
            return false;
        const ParseRules hex{false, false, Trailing::Refuse, 16};
        if (!ParseNumber(std::string_view(text).substr(i + 1, 2), value, hex) || value == 0)
            return false;
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

bool ReadSmallFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.resize(static_cast<size_t>(kMaxLinkFileBytes) + 1);
    in.read(text.data(), kMaxLinkFileBytes + 1);
    text.resize(static_cast<size_t>(in.gcount()));
    return text.size() <= static_cast<size_t>(kMaxLinkFileBytes);
}

} // namespace

bool IsDesktopLinkName(const std::string& name)
{
    static const std::string suffix = ".desktop";
    if (name.size() <= suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

bool ReadDesktopLinkTarget(const std::string& linkFile, std::string& target)
{
    std::string text;
    if (!ReadSmallFile(linkFile, text))
        return false;
    std::istringstream lines(text);
    std::string line;
    bool inEntry = false;
    bool isLink = false;
    std::string url;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        if (line.rfind("Type=", 0) == 0)
            isLink = Trim(line.substr(5)) == "Link";
        else if (line.rfind("URL=", 0) == 0)
            url = Trim(line.substr(4));
    }
    static const std::string scheme = "file://";
    if (!isLink || url.rfind(scheme, 0) != 0)
        return false;
    std::string path;
    if (!PercentDecode(url.substr(scheme.size()), path) || path.empty() || path.front() != '/')
        return false;
    target = path;
    return true;
}

bool ResolveLinkTarget(const std::string& path, std::string& target)
{
    std::error_code ec;
    fs::path raw;
    if (fs::is_symlink(path, ec)) {
        raw = fs::read_symlink(path, ec);
        if (ec || raw.empty())
            return false;
        if (raw.is_relative())
            raw = fs::path(path).parent_path() / raw;
    } else {
        std::string linked;
        if (!IsDesktopLinkName(fs::path(path).filename().string()) || !ReadDesktopLinkTarget(path, linked))
            return false;
        raw = linked;
    }
    fs::path resolved = fs::weakly_canonical(raw, ec);
    if (ec)
        resolved = raw.lexically_normal();
    target = resolved.string();
    return !target.empty();
}

} // namespace vlt

#include "DesktopLink.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <system_error>

#include "AtomicFile.h"
#include "NumberParse.h"
#include "ShellFile.h"

namespace fs = std::filesystem;

namespace vlt {

namespace {

constexpr size_t kMaxLinkFileBytes = 64 * 1024;
constexpr const char* kFileScheme = "file://";
// Characters that make an Exec argument need quotes.
constexpr const char* kExecReserved = " \t\n\"'\\><~|&;$*?#()`";

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

// A value as a desktop-entry string: \s (leading blank), \n, \t, \r, \\.
std::string EscapeValue(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == ' ' && i == 0)
            out += "\\s";
        else
            out += c;
    }
    return out;
}

std::string UnescapeValue(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char c = value[++i];
        out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    return out;
}

// The program of an Exec value (already unescaped as a string): its first
// argument with quoting undone and "%%" made '%'.
std::string ExecProgram(const std::string& exec)
{
    std::string program;
    size_t i = 0;
    if (!exec.empty() && exec.front() == '"') {
        for (i = 1; i < exec.size() && exec[i] != '"'; ++i) {
            if (exec[i] == '\\' && i + 1 < exec.size())
                ++i;
            program += exec[i];
        }
        if (i == exec.size())
            return {}; // unterminated quote
    } else {
        program = exec.substr(0, exec.find_first_of(" \t"));
    }
    std::string out;
    for (size_t k = 0; k < program.size(); ++k) {
        out += program[k];
        if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%')
            ++k;
    }
    return out;
}

void AddLine(std::string& text, const char* key, const std::string& value)
{
    if (!value.empty())
        text += std::string(key) + "=" + EscapeValue(value) + "\n";
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

std::string FileUrl(const std::string& absolutePath)
{
    static const char* hex = "0123456789ABCDEF";
    std::string url = kFileScheme;
    for (unsigned char c : absolutePath) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    return url;
}

std::string ExecArgument(const std::string& program)
{
    std::string arg;
    const bool quoted = program.empty() || program.find_first_of(kExecReserved) != std::string::npos;
    if (quoted)
        arg += '"';
    for (char c : program) {
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\'))
            arg += '\\';
        if (c == '%')
            arg += '%';
        arg += c;
    }
    if (quoted)
        arg += '"';
    return arg;
}

std::string FormatDesktopEntry(const DesktopEntry& entry)
{
    const bool application = entry.type == DesktopEntry::Type::Application;
    std::string text = "[Desktop Entry]\n";
    text += application ? "Type=Application\n" : "Type=Link\n";
    AddLine(text, "Name", entry.name);
    AddLine(text, "Comment", entry.comment);
    if (application) {
        std::string exec = ExecArgument(entry.program);
        for (const std::string& argument : entry.arguments)
            exec += " " + ExecArgument(argument);
        AddLine(text, "Exec", exec);
        AddLine(text, "Path", entry.folder);
    } else {
        AddLine(text, "URL", entry.url);
    }
    return text;
}

bool WriteDesktopEntry(const std::string& file, const DesktopEntry& entry, bool executable, std::string* error)
{
    if (!AtomicWriteFile(file, FormatDesktopEntry(entry), error))
        return false;
    struct stat info {};
    if (!executable || ::stat(file.c_str(), &info) != 0)
        return true;
    const mode_t mode = info.st_mode & 07777;
    // Read bits 0444 shifted onto the execute bits 0111.
    if (::chmod(file.c_str(), mode | ((mode & 0444) >> 2)) != 0) {
        if (error)
            *error = "Cannot make '" + file + "' executable";
        return false;
    }
    return true;
}

bool ReadDesktopLinkTarget(const std::string& linkFile, std::string& target)
{
    std::string text;
    if (!ReadRegularFile(linkFile, kMaxLinkFileBytes, text))
        return false;
    std::istringstream lines(text);
    std::string line;
    bool inEntry = false;
    std::string type;
    std::string url;
    std::string exec;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry)
            continue;
        if (line.rfind("Type=", 0) == 0)
            type = Trim(line.substr(5));
        else if (line.rfind("URL=", 0) == 0)
            url = UnescapeValue(Trim(line.substr(4)));
        else if (line.rfind("Exec=", 0) == 0)
            exec = UnescapeValue(Trim(line.substr(5)));
    }
    std::string path;
    if (type == "Application") {
        path = ExecProgram(exec);
    } else {
        const std::string scheme = kFileScheme;
        if (type != "Link" || url.rfind(scheme, 0) != 0 || !PercentDecode(url.substr(scheme.size()), path))
            return false;
    }
    if (path.empty() || path.front() != '/')
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

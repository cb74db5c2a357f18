#include "EnvironmentFile.h"

namespace vlt {

namespace {

constexpr const char* kKey = "PATH=";

// Where the last PATH= line begins and ends (without its line break).
bool LastPathLine(const std::string& text, size_t& begin, size_t& end)
{
    bool found = false;
    for (size_t start = 0; start < text.size();) {
        size_t stop = text.find('\n', start);
        if (stop == std::string::npos)
            stop = text.size();
        const size_t key = text.find_first_not_of(" \t", start);
        if (key < stop && text.compare(key, 5, kKey) == 0) {
            begin = start;
            end = stop;
            found = true;
        }
        start = stop + 1;
    }
    return found;
}

} // namespace

bool FindPathLine(const std::string& text, std::string& value)
{
    size_t begin = 0;
    size_t end = 0;
    if (!LastPathLine(text, begin, end))
        return false;
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    value = line.substr(line.find(kKey) + 5);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return true;
}

std::string WithPathLine(const std::string& text, const std::string& value)
{
    const std::string line = std::string(kKey) + "\"" + value + "\"";
    size_t begin = 0;
    size_t end = 0;
    if (LastPathLine(text, begin, end))
        return text.substr(0, begin) + line + text.substr(end);
    const bool needsBreak = !text.empty() && text.back() != '\n';
    return text + (needsBreak ? "\n" : "") + line + "\n";
}

} // namespace vlt

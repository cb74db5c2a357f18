#include "RemoteFileFilter.h"

#include <cwctype>

namespace {

std::wstring Trim(const std::wstring& text)
{
    const size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(L" \t") - begin + 1);
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return parts;
        start = end + 1;
    }
}

bool MatchFrom(const std::wstring& name, size_t n, const std::wstring& pattern, size_t p)
{
    while (p < pattern.size()) {
        if (pattern[p] == L'*') {
            for (size_t k = n; k <= name.size(); ++k) {
                if (MatchFrom(name, k, pattern, p + 1))
                    return true;
            }
            return false;
        }
        if (n >= name.size())
            return false;
        if (pattern[p] != L'?' && std::towlower(pattern[p]) != std::towlower(name[n]))
            return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

// Shortcut files pass every filter: ".lnk", and ".desktop" links here.
bool IsShortcutName(const std::wstring& name)
{
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring ext = name.substr(dot);
    return MatchFrom(ext, 0, L".lnk", 0) || MatchFrom(ext, 0, L".desktop", 0);
}

} // namespace

void RemoteFileFilter::Parse(const std::wstring& filterText, wchar_t separator)
{
    m_entries.clear();
    const std::vector<std::wstring> parts = Split(filterText, separator);
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        Entry entry;
        entry.description = Trim(parts[i]);
        if (entry.description.empty())
            break;
        for (const std::wstring& pattern : Split(parts[i + 1], L';')) {
            std::wstring trimmed = Trim(pattern);
            if (!trimmed.empty())
                entry.patterns.push_back(trimmed);
        }
        m_entries.push_back(std::move(entry));
    }
}

int RemoteFileFilter::InitialIndex(int filterIndex) const
{
    if (filterIndex >= 1 && filterIndex <= static_cast<int>(m_entries.size()))
        return filterIndex - 1;
    return 0;
}

bool RemoteFileFilter::Matches(const std::wstring& name, int selected) const
{
    if (selected < 0 || IsShortcutName(name))
        return true;
    if (selected >= static_cast<int>(m_entries.size()) || m_entries[selected].patterns.empty())
        return true;
    for (const std::wstring& pattern : m_entries[selected].patterns) {
        if (MatchPattern(name, pattern))
            return true;
    }
    return false;
}

bool RemoteFileFilter::MatchPattern(const std::wstring& name, const std::wstring& pattern)
{
    // As with the shell, "*.*" takes names without an extension too.
    if (pattern == L"*.*")
        return true;
    return MatchFrom(name, 0, pattern, 0);
}

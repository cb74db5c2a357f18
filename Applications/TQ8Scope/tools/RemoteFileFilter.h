#pragma once
// The file-type list of the remote file dialog: descriptions and their
// patterns from a filter text, and which names a selected entry lets through.
#include <string>
#include <vector>

class RemoteFileFilter {
public:
    struct Entry {
        std::wstring description;
        std::vector<std::wstring> patterns;
    };

    // The framework's filter text: pairs "description|patterns|" ending in
    // an empty text ("|" standing for the null of the system's record).
    // Texts and patterns are trimmed; patterns are split at ";".
    void Parse(const std::wstring& filterText, wchar_t separator = L'|');
    const std::vector<Entry>& Entries() const { return m_entries; }
    // The one-based filter index as the first selection, else 0.
    int InitialIndex(int filterIndex) const;

    // Nothing selected (-1), a ".lnk" or ".desktop" name, an entry without
    // patterns or a matching pattern.
    bool Matches(const std::wstring& name, int selected) const;
    // "*" and "?" wildcards, letter case ignored; "*.*" matches every name.
    static bool MatchPattern(const std::wstring& name, const std::wstring& pattern);

private:
    std::vector<Entry> m_entries;
};

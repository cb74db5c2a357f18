#pragma once
// A most-recently-used list kept in one profile section as numbered entries
// (prefix + 1..size): the recent settings files ("Recent File List",
// "File%d", 5) and the recent servers ("Recent Servers", "Server%d", 10).
#include <string>
#include <vector>

class CRecentFileList {
public:
    CRecentFileList(std::wstring section, std::wstring entryPrefix, size_t maxSize);

    // Puts the item first; an equal item further down is dropped, and the
    // list keeps at most its size. Empty items are ignored.
    void Add(const std::wstring& item);
    void Remove(size_t index);
    size_t GetSize() const { return m_items.size(); }
    size_t GetMaxSize() const { return m_maxSize; }
    const std::wstring& operator[](size_t index) const { return m_items.at(index); }
    const std::vector<std::wstring>& Items() const { return m_items; }

    // Reads the entries in order, skipping missing and empty ones.
    void ReadList();
    // Rewrites the section: entry n holds the n-th item; former entries
    // beyond the list are removed. false when the store refused a write.
    bool WriteList() const;

private:
    std::wstring EntryName(size_t index) const;

    std::wstring m_section;
    std::wstring m_prefix;
    size_t m_maxSize;
    std::vector<std::wstring> m_items;
};

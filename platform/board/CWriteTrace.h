#pragma once
// The newest writes a chip model received, in order, for tests and for a
// look at a running card. Bounded: a card that runs for days (a host with
// local boards) keeps at least the last kKept entries and never more than
// twice that; the older half is dropped in one go, so a write stays cheap.
#include <cstddef>
#include <vector>

namespace tq8 {

template <class T>
class CWriteTrace {
public:
    // Far above the longest sequence a test looks at (a board's whole
    // initialisation is a few hundred writes).
    static constexpr size_t kKept = 4096;

    void Add(const T& entry)
    {
        // All the room at the first entry: a board used for days keeps a flat
        // heap, and an unused record costs nothing.
        if (m_entries.capacity() < 2 * kKept)
            m_entries.reserve(2 * kKept);
        if (m_entries.size() >= 2 * kKept)
            m_entries.erase(m_entries.begin(), m_entries.end() - kKept);
        m_entries.push_back(entry);
    }
    const std::vector<T>& Entries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

private:
    std::vector<T> m_entries;
};

} // namespace tq8

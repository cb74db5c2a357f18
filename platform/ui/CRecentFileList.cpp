#include "CRecentFileList.h"

#include <algorithm>

#include "AppProfile.h"

CRecentFileList::CRecentFileList(std::wstring section, std::wstring entryPrefix, size_t maxSize)
    : m_section(std::move(section)), m_prefix(std::move(entryPrefix)), m_maxSize(maxSize)
{
}

void CRecentFileList::Add(const std::wstring& item)
{
    if (item.empty() || m_maxSize == 0)
        return;
    m_items.erase(std::remove(m_items.begin(), m_items.end(), item), m_items.end());
    m_items.insert(m_items.begin(), item);
    if (m_items.size() > m_maxSize)
        m_items.resize(m_maxSize);
}

void CRecentFileList::Remove(size_t index)
{
    if (index < m_items.size())
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
}

std::wstring CRecentFileList::EntryName(size_t index) const
{
    return m_prefix + std::to_wstring(index + 1);
}

void CRecentFileList::ReadList()
{
    m_items.clear();
    for (size_t i = 0; i < m_maxSize; ++i) {
        std::wstring item = vlt::AppProfile::GetString(m_section, EntryName(i));
        if (!item.empty() && std::find(m_items.begin(), m_items.end(), item) == m_items.end())
            m_items.push_back(item);
    }
}

bool CRecentFileList::WriteList() const
{
    bool ok = true;
    for (size_t i = 0; i < m_maxSize; ++i) {
        if (i < m_items.size())
            ok = vlt::AppProfile::WriteString(m_section, EntryName(i), m_items[i]) && ok;
        else
            ok = vlt::AppProfile::DeleteEntry(m_section, EntryName(i)) && ok;
    }
    return ok;
}

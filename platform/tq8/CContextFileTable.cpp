#include "CContextFileTable.h"

#include <stdexcept>

namespace tq8 {

uint64_t CContextFileTable::Add(ContextItems items)
{
    auto shared = std::make_shared<const ContextItems>(std::move(items));
    std::lock_guard lock(m_mutex);
    if (m_next >= (1ull << 48))
        throw std::length_error("context file ids exhausted");
    const uint64_t id = kTag | m_next++;
    m_table.emplace(id, std::move(shared));
    return id;
}

std::shared_ptr<const ContextItems> CContextFileTable::Find(uint64_t id) const
{
    if ((id & kTagMask) != kTag)
        return nullptr;
    std::lock_guard lock(m_mutex);
    auto it = m_table.find(id);
    return it == m_table.end() ? nullptr : it->second;
}

bool CContextFileTable::Remove(uint64_t id)
{
    if ((id & kTagMask) != kTag)
        return false;
    std::lock_guard lock(m_mutex);
    return m_table.erase(id) != 0;
}

void CContextFileTable::Clear()
{
    std::lock_guard lock(m_mutex);
    m_table.clear();
}

} // namespace tq8

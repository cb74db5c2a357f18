#include "CHandleTable.h"

#include <mutex>
#include <stdexcept>

namespace tq8 {

uint64_t CHandleTable::Add(std::shared_ptr<CConnection> connection)
{
    std::unique_lock lock(m_mutex);
    if (m_next >= (1ull << 48))
        throw std::length_error("handle ids exhausted");
    uint64_t id = kTag | m_next++;
    m_table.emplace(id, std::move(connection));
    return id;
}

std::shared_ptr<CConnection> CHandleTable::Find(uint64_t id) const
{
    if ((id & kTagMask) != kTag)
        return nullptr;
    std::shared_lock lock(m_mutex);
    auto it = m_table.find(id);
    return it == m_table.end() ? nullptr : it->second;
}

bool CHandleTable::Remove(uint64_t id)
{
    std::unique_lock lock(m_mutex);
    return m_table.erase(id) != 0;
}

size_t CHandleTable::CountFor(const IBoardBackend* backend) const
{
    std::shared_lock lock(m_mutex);
    size_t n = 0;
    for (const auto& [id, c] : m_table)
        if (c->backend->BoardIdentity() == backend->BoardIdentity())
            ++n;
    return n;
}

std::vector<uint64_t> CHandleTable::Ids() const
{
    std::shared_lock lock(m_mutex);
    std::vector<uint64_t> ids;
    for (const auto& [id, c] : m_table)
        ids.push_back(id);
    return ids;
}

void CHandleTable::Clear()
{
    std::unique_lock lock(m_mutex);
    m_table.clear();
}

} // namespace tq8

#include "CRecordingTable.h"

#include <stdexcept>

#include "TQ8_64.h"

namespace tq8 {

int32_t CRecordingTable::Add(std::shared_ptr<CRecordingSession> session, uint64_t& id)
{
    std::lock_guard lock(m_mutex);
    for (const auto& [key, s] : m_table)
        if (s->Board()->BoardIdentity() == session->Board()->BoardIdentity())
            return TQ8_ERR_BUSY;
    if (m_next >= (1ull << 48))
        throw std::length_error("session ids exhausted");
    id = kTag | m_next++;
    m_table.emplace(id, std::move(session));
    return TQ8_OK;
}

std::shared_ptr<CRecordingSession> CRecordingTable::Find(uint64_t id) const
{
    if ((id & kTagMask) != kTag)
        return nullptr;
    std::lock_guard lock(m_mutex);
    auto it = m_table.find(id);
    return it == m_table.end() ? nullptr : it->second;
}

std::shared_ptr<CRecordingSession> CRecordingTable::Remove(uint64_t id)
{
    if ((id & kTagMask) != kTag)
        return nullptr;
    std::lock_guard lock(m_mutex);
    auto it = m_table.find(id);
    if (it == m_table.end())
        return nullptr;
    auto session = std::move(it->second);
    m_table.erase(it);
    return session;
}

std::vector<std::shared_ptr<CRecordingSession>> CRecordingTable::RemoveOwnedBy(uint64_t handle)
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<CRecordingSession>> owned;
    for (auto it = m_table.begin(); it != m_table.end();) {
        if (it->second->Owner() == handle) {
            owned.push_back(std::move(it->second));
            it = m_table.erase(it);
        } else {
            ++it;
        }
    }
    return owned;
}

std::vector<std::shared_ptr<CRecordingSession>> CRecordingTable::RemoveAll()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::shared_ptr<CRecordingSession>> all;
    for (auto& [id, s] : m_table)
        all.push_back(std::move(s));
    m_table.clear();
    return all;
}

bool CRecordingTable::IsRecording(const IBoardBackend* board) const
{
    std::lock_guard lock(m_mutex);
    for (const auto& [id, s] : m_table)
        if (s->Board()->BoardIdentity() == board->BoardIdentity() && s->IsRunning())
            return true;
    return false;
}

} // namespace tq8

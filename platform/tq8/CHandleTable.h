#pragma once
// Handles as tagged 64-bit ids: a tag in the top bits and a sequence number
// that is never reused, looked up in a table. A stale or made-up value is
// simply not found; nothing is ever dereferenced from a handle.
// Threads: every caller of the library; look-ups share the lock, changes hold it alone.
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "CConnection.h"

namespace tq8 {

class CHandleTable {
public:
    static constexpr uint64_t kTag = 0x7E51ull << 48;
    static constexpr uint64_t kTagMask = 0xFFFFull << 48;

    uint64_t Add(std::shared_ptr<CConnection> connection);
    std::shared_ptr<CConnection> Find(uint64_t id) const;
    bool Remove(uint64_t id);
    // Every connection that reaches the given backend.
    size_t CountFor(const IBoardBackend* backend) const;
    std::vector<uint64_t> Ids() const;
    void Clear();

private:
    mutable std::shared_mutex m_mutex;
    std::unordered_map<uint64_t, std::shared_ptr<CConnection>> m_table;
    uint64_t m_next = 1;
};

} // namespace tq8

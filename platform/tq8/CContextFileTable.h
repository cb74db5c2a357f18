#pragma once
// Open context files by tagged id, like device handles: the items are read
// once at open, so a value is looked up, never dereferenced, and a closed or
// made-up value is simply not found.
// Threads: every caller of the library; the mutex guards the table.
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "RecordingContextFile.h"

namespace tq8 {

class CContextFileTable {
public:
    static constexpr uint64_t kTag = 0x7E53ull << 48;
    static constexpr uint64_t kTagMask = 0xFFFFull << 48;

    uint64_t Add(ContextItems items);
    std::shared_ptr<const ContextItems> Find(uint64_t id) const;
    bool Remove(uint64_t id);
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::unordered_map<uint64_t, std::shared_ptr<const ContextItems>> m_table;
    uint64_t m_next = 1;
};

} // namespace tq8

#pragma once
// Recording sessions by tagged id, like device handles: a session value is
// looked up, never dereferenced, and a deleted or made-up value is simply
// not found. A board has at most one session, from its creation to its
// deletion.
// Threads: every caller of the library; the mutex guards the table.
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "CRecordingSession.h"

namespace tq8 {

class CRecordingTable {
public:
    static constexpr uint64_t kTag = 0x7E52ull << 48;
    static constexpr uint64_t kTagMask = 0xFFFFull << 48;

    // TQ8_ERR_BUSY when the session's board already has one.
    int32_t Add(std::shared_ptr<CRecordingSession> session, uint64_t& id);
    std::shared_ptr<CRecordingSession> Find(uint64_t id) const;
    // The session, no longer in the table; nullptr when unknown.
    std::shared_ptr<CRecordingSession> Remove(uint64_t id);
    // Every session created through the handle, taken out of the table.
    std::vector<std::shared_ptr<CRecordingSession>> RemoveOwnedBy(uint64_t handle);
    std::vector<std::shared_ptr<CRecordingSession>> RemoveAll();
    // True while a session of the board is recording.
    bool IsRecording(const IBoardBackend* board) const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<uint64_t, std::shared_ptr<CRecordingSession>> m_table;
    uint64_t m_next = 1;
};

} // namespace tq8

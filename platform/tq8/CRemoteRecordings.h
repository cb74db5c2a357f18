#pragma once
// Recording sessions of remote boards: they run and write on the server;
// here each is a tagged id (apart from the library's own sessions) that
// names the handle's connection and the server's session.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "CConnection.h"
#include "TQ8_64.h"

namespace tq8 {

class CRemoteRecordings {
public:
    static constexpr uint64_t kTag = 0x7E53ull << 48;
    static constexpr uint64_t kTagMask = 0xFFFFull << 48;

    static CRemoteRecordings& Instance();
    static bool IsRemote(uint64_t id) { return (id & kTagMask) == kTag; }

    // The server's answer to why it would refuse the recording (params) or,
    // without one, the save into the files; reason its text, if any.
    static int32_t Check(const CConnection& connection, const TQ8_REC_SESSION_PARAMS* params,
                         const TQ8_FILE_WRITE_PARAMS* files, std::wstring& reason);
    int32_t Create(const CConnection& connection, uint64_t handle, const TQ8_REC_SESSION_PARAMS* params,
                   uint64_t& id);
    int32_t Arm(uint64_t id);
    int32_t Snapshot(uint64_t id, uint8_t* buffer, uint32_t maxSamples, uint32_t* samples, uint32_t* counter);
    int32_t Progress(uint64_t id, TQ8_REC_SESSION_PROGRESS* progress);
    int32_t Abort(uint64_t id);
    int32_t OutFlags(uint64_t id, uint32_t* flags);
    int32_t Delete(uint64_t id);
    // The server ends the sessions of a connection that ends.
    void ForgetOwnedBy(uint64_t handle);

private:
    struct Entry {
        std::shared_ptr<CRemoteLink> link;
        uint32_t serverId;
        uint64_t handle;
    };
    CRemoteRecordings() = default;
    bool Find(uint64_t id, Entry& entry);

    std::mutex m_mutex;
    std::unordered_map<uint64_t, Entry> m_sessions;
    uint64_t m_next = 1;
};

} // namespace tq8

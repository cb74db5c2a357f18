#pragma once
// Every board the library knows: local boards declared by the simulator's
// configuration, in ordinal order, and virtual boards created on first
// connection by serial.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "CSimBoard.h"
#include "IBoardBackend.h"

namespace tq8 {

class CBoardRegistry {
public:
    // False for an implausible description or a serial already declared.
    bool AddLocal(const BoardDescription& desc);
    size_t LocalCount() const;
    std::shared_ptr<IBoardBackend> LocalBySerial(uint32_t serial) const;
    // 1-based.
    std::shared_ptr<IBoardBackend> LocalByOrdinal(uint32_t ordinal) const;
    // Creates the virtual board on first use.
    std::shared_ptr<IBoardBackend> Virtual(uint32_t serial);
    // The board model behind a serial (local first, then virtual).
    std::shared_ptr<CSimBoard> Model(uint32_t serial) const;
    void Clear();

private:
    struct Entry {
        std::shared_ptr<CSimBoard> model;
        std::shared_ptr<IBoardBackend> backend;
    };
    static Entry MakeEntry(const BoardDescription& desc);

    mutable std::mutex m_mutex;
    std::vector<Entry> m_local;
    std::map<uint32_t, Entry> m_virtual;
};

} // namespace tq8

#pragma once
// Every board the library knows: local boards declared by the simulator's
// configuration, which arrive as cards on the simulated bus and are reached
// through the board driver (in the driver's ordinal order), and virtual
// boards created on first connection by serial.
// Threads: every caller of the library; the mutex guards the tables and the bus.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "CDriverBoardBackend.h"
#include "CLocalBus.h"
#include "CSimBoard.h"
#include "IBoardBackend.h"

namespace tq8 {

class CBoardRegistry {
public:
    // False for an implausible description, a serial already declared or a
    // card the bus could not start.
    bool AddLocal(const BoardDescription& desc);
    bool IsDeclared(uint32_t serial) const;
    // The enabled board interfaces of the driver.
    size_t LocalCount() const;
    // Each call opens a handle of its own on the driver; rc (when given)
    // tells why none could be had.
    std::shared_ptr<IBoardBackend> LocalBySerial(uint32_t serial, int32_t* rc = nullptr);
    // 1-based.
    std::shared_ptr<IBoardBackend> LocalByOrdinal(uint32_t ordinal, int32_t* rc = nullptr);
    // Creates the virtual board on first use.
    std::shared_ptr<IBoardBackend> Virtual(uint32_t serial);
    // Forgets a virtual board that nothing holds any more (its threads end
    // and its memory goes); TQ8_ERR_BUSY while a handle or a call holds it,
    // TQ8_ERR_DEVICE_NOT_FOUND when there is none.
    int32_t ReleaseVirtual(uint32_t serial);
    // The board model behind a serial (local first, then virtual).
    std::shared_ptr<CSimBoard> Model(uint32_t serial) const;
    // Simulator control: pulls a local board's card out of the bus.
    int32_t SurpriseRemoveLocal(uint32_t serial);
    void Clear();

private:
    struct Entry {
        std::shared_ptr<CSimBoard> model;
        std::shared_ptr<IBoardBackend> backend;
    };
    std::shared_ptr<CLocalBus> Bus() const;
    std::shared_ptr<IBoardBackend> OpenLocal(const std::shared_ptr<CLocalBus>& bus, const kern::KernelString& link,
                                             int32_t* rc);
    std::shared_ptr<LocalBoardShared> SharedFor(const BoardDescription& desc);

    mutable std::mutex m_mutex;
    std::shared_ptr<CLocalBus> m_bus;
    std::vector<uint32_t> m_declared;
    std::map<uint32_t, std::shared_ptr<LocalBoardShared>> m_shared;
    std::map<uint32_t, Entry> m_virtual;
};

} // namespace tq8

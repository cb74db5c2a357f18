#pragma once
// The simulated PCI bus of this process with the board driver loaded on it:
// local boards arrive on it as cards, and the library reaches them only
// through the driver, from one user process whose handles its links use.
// The board models behind the cards stay reachable for simulator control.
//
// The kernel's clock is virtual while the bus is there: the driver's sleeps
// and stalls pass at once (its start-up alone sleeps for seconds), and a
// mover keeps the clock going at the pace of real time, so waits with
// time-outs end as the caller expects. The boards' own durations follow
// the simulator's time factor.
// Threads: every caller of the library and the clock mover; the mutex guards the bus and its slots.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BoardDescription.h"
#include "CSimBoard.h"

namespace kern {
class CSimBus;
class CUserProcess;
} // namespace kern

namespace tq8 {

class CLocalBus {
public:
    // Loads the driver named by TQ8_SIM_DRIVER (else the one built beside
    // the library); nullptr and a reason when it cannot be loaded.
    static std::shared_ptr<CLocalBus> Load(std::string* error);
    ~CLocalBus();
    CLocalBus(const CLocalBus&) = delete;
    CLocalBus& operator=(const CLocalBus&) = delete;

    kern::CUserProcess& Process() { return *m_process; }
    // Plugs and starts a card built from the declaration.
    int32_t Arrive(const BoardDescription& desc);
    // The model behind a card still plugged; it keeps the card alive.
    std::shared_ptr<CSimBoard> Model(uint32_t serial);
    // A surprise removal of the card; the removal ends with the last handle.
    int32_t SurpriseRemove(uint32_t serial);

private:
    CLocalBus() = default;
    void MoveClock();
    // Slot of a plugged card, or -1.
    long SlotOf(uint32_t serial) const;

    mutable std::mutex m_mutex;
    std::unique_ptr<kern::CSimBus> m_bus;
    std::unique_ptr<kern::CUserProcess> m_process;
    std::vector<uint32_t> m_serials; // by slot
    bool m_wasVirtual = false;
    std::mutex m_moverMutex;
    std::condition_variable m_moverWake;
    bool m_stopMover = false;
    std::thread m_mover;
};

} // namespace tq8

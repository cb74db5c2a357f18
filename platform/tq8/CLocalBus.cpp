#include "CLocalBus.h"

#include <cstdlib>

#include "CSimBus.h"
#include "CSimClock.h"
#include <chrono>
#include "Clock.h"
#include "CUserProcess.h"
#include "TQ8_64.h"

namespace tq8 {

namespace {
std::string DriverPath()
{
    const char* path = std::getenv("TQ8_SIM_DRIVER");
    return path != nullptr && *path != '\0' ? std::string(path) : std::string(TQ8_DEFAULT_DRIVER);
}

constexpr auto kMoverPeriod = std::chrono::milliseconds(1);
constexpr double k100nsPerSecond = 1e7;
} // namespace

std::shared_ptr<CLocalBus> CLocalBus::Load(std::string* error)
{
    std::shared_ptr<CLocalBus> bus(new CLocalBus());
    bus->m_wasVirtual = kern::SimIsVirtualClock();
    kern::SimUseVirtualClock(true);
    bus->m_mover = std::thread([raw = bus.get()] { raw->MoveClock(); });
    bus->m_bus = kern::CSimBus::Load(DriverPath(), error);
    if (!bus->m_bus)
        return nullptr;
    bus->m_process = std::make_unique<kern::CUserProcess>();
    return bus;
}

CLocalBus::~CLocalBus()
{
    // Handles first: the bus removes its cards when it goes.
    m_process.reset();
    m_bus.reset();
    {
        std::lock_guard lock(m_moverMutex);
        m_stopMover = true;
    }
    m_moverWake.notify_all();
    m_mover.join();
    kern::SimUseVirtualClock(m_wasVirtual);
}

void CLocalBus::MoveClock()
{
    auto last = CSimClock::Clock::now();
    std::unique_lock lock(m_moverMutex);
    while (!m_moverWake.wait_for(lock, kMoverPeriod, [this] { return m_stopMover; })) {
        const auto now = CSimClock::Clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        last = now;
        kern::SimAdvanceClock(static_cast<int64_t>(seconds * k100nsPerSecond));
    }
}

int32_t CLocalBus::Arrive(const BoardDescription& desc)
{
    std::lock_guard lock(m_mutex);
    kern::CardSpec card;
    card.desc = desc;
    card.desc.kind = BoardKind::Local;
    size_t slot = 0;
    const kern::NTSTATUS status = m_bus->Arrive(card, &slot);
    if (m_serials.size() <= slot)
        m_serials.resize(slot + 1, 0);
    m_serials[slot] = desc.serial;
    return kern::NT_SUCCESS(status) ? TQ8_OK : TQ8_ERR_DEVICE_NOT_FOUND;
}

long CLocalBus::SlotOf(uint32_t serial) const
{
    for (size_t slot = 0; slot < m_serials.size(); ++slot)
        if (m_serials[slot] == serial && m_bus->IsPlugged(slot))
            return static_cast<long>(slot);
    return -1;
}

std::shared_ptr<CSimBoard> CLocalBus::Model(uint32_t serial)
{
    std::lock_guard lock(m_mutex);
    const long slot = SlotOf(serial);
    // The card itself is held: a surprise removal ends when the last handle
    // closes, on whatever thread, and must not take the model from a caller.
    const auto card = slot < 0 ? nullptr : m_bus->SharedCard(static_cast<size_t>(slot));
    return card ? std::shared_ptr<CSimBoard>(card, &card->Board()) : nullptr;
}

int32_t CLocalBus::SurpriseRemove(uint32_t serial)
{
    std::lock_guard lock(m_mutex);
    const long slot = SlotOf(serial);
    if (slot < 0)
        return TQ8_ERR_DEVICE_NOT_FOUND;
    return kern::NT_SUCCESS(m_bus->SurpriseRemove(static_cast<size_t>(slot))) ? TQ8_OK : TQ8_ERR_DEVICE_NOT_FOUND;
}

} // namespace tq8

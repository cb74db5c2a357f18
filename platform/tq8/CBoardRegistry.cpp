#include "CBoardRegistry.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "CSimBoardBackend.h"
#include "CUserProcess.h"

namespace tq8 {

namespace {
void Report(int32_t* rc, int32_t value)
{
    if (rc != nullptr)
        *rc = value;
}
} // namespace

bool CBoardRegistry::AddLocal(const BoardDescription& desc)
{
    if (!IsPlausible(desc))
        return false;
    std::lock_guard lock(m_mutex);
    if (std::find(m_declared.begin(), m_declared.end(), desc.serial) != m_declared.end())
        return false;
    if (!m_bus) {
        std::string error;
        m_bus = CLocalBus::Load(&error);
        if (!m_bus) {
            std::fprintf(stderr, "TQ8_64: the board driver cannot be loaded: %s\n", error.c_str());
            return false;
        }
    }
    if (m_bus->Arrive(desc) != TQ8_OK)
        return false;
    m_declared.push_back(desc.serial);
    return true;
}

bool CBoardRegistry::IsDeclared(uint32_t serial) const
{
    std::lock_guard lock(m_mutex);
    return std::find(m_declared.begin(), m_declared.end(), serial) != m_declared.end();
}

std::shared_ptr<CLocalBus> CBoardRegistry::Bus() const
{
    std::lock_guard lock(m_mutex);
    return m_bus;
}

size_t CBoardRegistry::LocalCount() const { return Bus() ? CDriverLink::Boards().size() : 0; }

std::shared_ptr<LocalBoardShared> CBoardRegistry::SharedFor(const BoardDescription& desc)
{
    std::lock_guard lock(m_mutex);
    auto& shared = m_shared[desc.serial];
    if (!shared)
        shared = std::make_shared<LocalBoardShared>(desc);
    return shared;
}

std::shared_ptr<IBoardBackend> CBoardRegistry::OpenLocal(const std::shared_ptr<CLocalBus>& bus,
                                                         const kern::KernelString& link, int32_t* rc)
{
    int32_t result = TQ8_OK;
    auto backend = CDriverBoardBackend::Open(
        bus, link, [this](const BoardDescription& desc) { return SharedFor(desc); }, &result);
    Report(rc, result);
    return backend;
}

std::shared_ptr<IBoardBackend> CBoardRegistry::LocalBySerial(uint32_t serial, int32_t* rc)
{
    Report(rc, TQ8_ERR_DEVICE_NOT_FOUND);
    const auto bus = Bus();
    if (!bus || serial == 0)
        return nullptr;
    // Each board's serial comes from its driver.
    for (const kern::KernelString& link : CDriverLink::Boards()) {
        CDriverLink probe(bus->Process());
        if (probe.Open(link) == TQ8_OK && probe.Serial() == serial) {
            probe.Close();
            return OpenLocal(bus, link, rc);
        }
    }
    return nullptr;
}

std::shared_ptr<IBoardBackend> CBoardRegistry::LocalByOrdinal(uint32_t ordinal, int32_t* rc)
{
    Report(rc, TQ8_ERR_DEVICE_NOT_FOUND);
    const auto bus = Bus();
    if (!bus || ordinal == 0)
        return nullptr;
    const auto links = CDriverLink::Boards();
    if (ordinal > links.size())
        return nullptr;
    return OpenLocal(bus, links[ordinal - 1], rc);
}

std::shared_ptr<IBoardBackend> CBoardRegistry::Virtual(uint32_t serial)
{
    std::lock_guard lock(m_mutex);
    auto it = m_virtual.find(serial);
    if (it == m_virtual.end()) {
        BoardDescription desc;
        desc.kind = BoardKind::Virtual;
        desc.serial = serial;
        // A virtual board has every option, the sync device's input included.
        desc.syncConfig = 1;
        auto model = std::make_shared<CSimBoard>(desc);
        it = m_virtual.emplace(serial, Entry{model, std::make_shared<CSimBoardBackend>(model)}).first;
    }
    return it->second.backend;
}

int32_t CBoardRegistry::ReleaseVirtual(uint32_t serial)
{
    Entry released;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_virtual.find(serial);
        if (it == m_virtual.end())
            return TQ8_ERR_DEVICE_NOT_FOUND;
        // Every holder's copy comes from this entry, taken under this lock
        // or from another holder: one owner left means no handle has it.
        if (it->second.backend.use_count() > 1)
            return TQ8_ERR_BUSY;
        released = std::move(it->second);
        m_virtual.erase(it);
    }
    // Outside the lock: the board joins its threads as it goes.
    return TQ8_OK;
}

std::shared_ptr<CSimBoard> CBoardRegistry::Model(uint32_t serial) const
{
    if (const auto bus = Bus())
        if (auto model = bus->Model(serial))
            return model;
    std::lock_guard lock(m_mutex);
    auto it = m_virtual.find(serial);
    return it == m_virtual.end() ? nullptr : it->second.model;
}

int32_t CBoardRegistry::SurpriseRemoveLocal(uint32_t serial)
{
    const auto bus = Bus();
    return bus ? bus->SurpriseRemove(serial) : TQ8_ERR_DEVICE_NOT_FOUND;
}

void CBoardRegistry::Clear()
{
    std::shared_ptr<CLocalBus> bus;
    {
        std::lock_guard lock(m_mutex);
        bus = std::move(m_bus);
        m_declared.clear();
        m_shared.clear();
        m_virtual.clear();
    }
    // Outside the lock: removing the cards runs the driver.
    bus.reset();
}

} // namespace tq8

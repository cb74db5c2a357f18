#include "CBoardRegistry.h"

#include "CSimBoardBackend.h"

namespace tq8 {

CBoardRegistry::Entry CBoardRegistry::MakeEntry(const BoardDescription& desc)
{
    auto model = std::make_shared<CSimBoard>(desc);
    // Local boards reach the model directly until they go through the driver.
    return Entry{model, std::make_shared<CSimBoardBackend>(model)};
}

bool CBoardRegistry::AddLocal(const BoardDescription& desc)
{
    if (!IsPlausible(desc))
        return false;
    std::lock_guard lock(m_mutex);
    for (const Entry& e : m_local)
        if (e.model->Desc().serial == desc.serial)
            return false;
    BoardDescription local = desc;
    local.kind = BoardKind::Local;
    m_local.push_back(MakeEntry(local));
    return true;
}

size_t CBoardRegistry::LocalCount() const
{
    std::lock_guard lock(m_mutex);
    return m_local.size();
}

std::shared_ptr<IBoardBackend> CBoardRegistry::LocalBySerial(uint32_t serial) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry& e : m_local)
        if (e.model->Desc().serial == serial)
            return e.backend;
    return nullptr;
}

std::shared_ptr<IBoardBackend> CBoardRegistry::LocalByOrdinal(uint32_t ordinal) const
{
    std::lock_guard lock(m_mutex);
    if (ordinal == 0 || ordinal > m_local.size())
        return nullptr;
    return m_local[ordinal - 1].backend;
}

std::shared_ptr<IBoardBackend> CBoardRegistry::Virtual(uint32_t serial)
{
    std::lock_guard lock(m_mutex);
    auto it = m_virtual.find(serial);
    if (it == m_virtual.end()) {
        BoardDescription desc;
        desc.kind = BoardKind::Virtual;
        desc.serial = serial;
        it = m_virtual.emplace(serial, MakeEntry(desc)).first;
    }
    return it->second.backend;
}

std::shared_ptr<CSimBoard> CBoardRegistry::Model(uint32_t serial) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry& e : m_local)
        if (e.model->Desc().serial == serial)
            return e.model;
    auto it = m_virtual.find(serial);
    return it == m_virtual.end() ? nullptr : it->second.model;
}

void CBoardRegistry::Clear()
{
    std::lock_guard lock(m_mutex);
    m_local.clear();
    m_virtual.clear();
}

} // namespace tq8

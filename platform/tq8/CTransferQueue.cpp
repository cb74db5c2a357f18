#include "CTransferQueue.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace tq8 {

void CTransferQueue::AlignedFree::operator()(uint8_t* p) const
{
    std::free(p);
}

CTransferQueue::CTransferQueue(size_t slots, size_t slotBytes) : m_slotBytes(slotBytes), m_sizes(slots, 0)
{
    constexpr size_t kPage = 4096;
    const size_t rounded = (std::max<size_t>(slotBytes, 1) + kPage - 1) / kPage * kPage;
    for (size_t i = 0; i < slots; ++i) {
        void* p = nullptr;
        if (::posix_memalign(&p, kPage, rounded) != 0)
            throw std::bad_alloc();
        m_slots.emplace_back(static_cast<uint8_t*>(p));
    }
}

uint8_t* CTransferQueue::BeginFill()
{
    std::unique_lock lock(m_mutex);
    m_spaceCv.wait(lock, [&] { return m_cancelled || m_count < m_slots.size(); });
    if (m_cancelled)
        return nullptr;
    return m_slots[(m_head + m_count) % m_slots.size()].get();
}

uint8_t* CTransferQueue::TryBeginFill()
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled || m_count == m_slots.size())
        return nullptr;
    return m_slots[(m_head + m_count) % m_slots.size()].get();
}

bool CTransferQueue::Cancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void CTransferQueue::EndFill(size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return;
        m_sizes[(m_head + m_count) % m_slots.size()] = bytes;
        ++m_count;
    }
    m_dataCv.notify_one();
}

void CTransferQueue::Close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_dataCv.notify_all();
}

bool CTransferQueue::BeginDrain(const uint8_t*& data, size_t& bytes)
{
    std::unique_lock lock(m_mutex);
    m_dataCv.wait(lock, [&] { return m_cancelled || m_closed || m_count != 0; });
    if (m_cancelled || m_count == 0)
        return false;
    data = m_slots[m_head].get();
    bytes = m_sizes[m_head];
    return true;
}

void CTransferQueue::EndDrain()
{
    {
        std::lock_guard lock(m_mutex);
        m_head = (m_head + 1) % m_slots.size();
        --m_count;
    }
    m_spaceCv.notify_one();
}

void CTransferQueue::Cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_spaceCv.notify_all();
    m_dataCv.notify_all();
}

uint32_t CTransferQueue::FillPermille() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<uint32_t>(m_count * 1000 / m_slots.size());
}

} // namespace tq8

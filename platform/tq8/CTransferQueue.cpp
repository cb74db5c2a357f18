#include "CTransferQueue.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>
#include <mutex>
#include <new>
#include <utility>

namespace tq8 {

namespace {
// The blocks of the last recording, kept for the next one: mapping and
// first touching them again costs a short recording a tenth of its time.
class CSpareBlocks {
public:
    ~CSpareBlocks()
    {
        if (m_base != nullptr)
            ::munmap(m_base, m_bytes);
    }

    void* Take(size_t bytes)
    {
        std::lock_guard lock(m_mutex);
        if (m_base == nullptr || m_bytes != bytes)
            return nullptr;
        return std::exchange(m_base, nullptr);
    }

    void Keep(void* base, size_t bytes)
    {
        std::lock_guard lock(m_mutex);
        if (m_base != nullptr)
            ::munmap(m_base, m_bytes);
        m_base = base;
        m_bytes = bytes;
    }

private:
    std::mutex m_mutex;
    void* m_base = nullptr;
    size_t m_bytes = 0;
};

CSpareBlocks& Spare()
{
    static CSpareBlocks spare;
    return spare;
}

// Blocks on huge pages where the system has them: a direct write pins every
// page of its buffer, and one huge page stands for 512 small ones. Aligned to
// the huge page size, with the rest of the reservation given back.
void* MapBlocks(size_t bytes)
{
    constexpr size_t kHugePage = 2u << 20;
    const size_t reserved = bytes + kHugePage;
    void* p = ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned != start)
        ::munmap(p, aligned - start);
    const size_t tail = start + reserved - (aligned + bytes);
    if (tail != 0)
        ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    auto* base = reinterpret_cast<void*>(aligned);
    ::madvise(base, bytes, MADV_HUGEPAGE); // a hint: without huge pages the blocks work as they are
    return base;
}
} // namespace

CTransferQueue::Mapping::~Mapping()
{
    if (base != nullptr)
        Spare().Keep(base, bytes);
}

CTransferQueue::CTransferQueue(size_t slots, size_t slotBytes)
    : m_slotBytes(slotBytes), m_stride(BlockStride(slotBytes)), m_sizes(slots, 0)
{
    m_mapping.bytes = m_stride * slots;
    void* p = Spare().Take(m_mapping.bytes);
    if (p == nullptr)
        p = MapBlocks(m_mapping.bytes);
    if (p == nullptr)
        throw std::bad_alloc();
    m_mapping.base = p;
    for (size_t i = 0; i < slots; ++i)
        m_slots.push_back(static_cast<uint8_t*>(p) + i * m_stride);
}

bool CTransferQueue::WaitStarted()
{
    std::unique_lock lock(m_mutex);
    m_spaceCv.wait(lock, [&] { return m_cancelled || m_started; });
    return !m_cancelled;
}

void CTransferQueue::Start()
{
    {
        std::lock_guard lock(m_mutex);
        m_started = true;
    }
    m_spaceCv.notify_all();
}

uint8_t* CTransferQueue::BeginFill()
{
    std::unique_lock lock(m_mutex);
    m_spaceCv.wait(lock, [&] { return m_cancelled || m_count < m_slots.size(); });
    if (m_cancelled)
        return nullptr;
    return m_slots[(m_head + m_count) % m_slots.size()];
}

uint8_t* CTransferQueue::TryBeginFill()
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled || m_count == m_slots.size())
        return nullptr;
    return m_slots[(m_head + m_count) % m_slots.size()];
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

size_t CTransferQueue::BlockStride(size_t bytes)
{
    constexpr size_t kPage = 4096;
    return (std::max<size_t>(bytes, 1) + kPage - 1) / kPage * kPage;
}

bool CTransferQueue::BeginDrain(const uint8_t*& data, size_t& bytes)
{
    std::unique_lock lock(m_mutex);
    m_dataCv.wait(lock, [&] { return m_cancelled || m_closed || m_count != 0; });
    if (m_cancelled || m_count == 0)
        return false;
    data = m_slots[m_head];
    bytes = m_sizes[m_head];
    // Full blocks that follow in memory go along: fewer, larger writes. At
    // most a quarter of the queue, so the producer keeps room.
    const size_t most = std::max<size_t>(1, m_slots.size() / 4);
    m_draining = 1;
    while (m_draining < std::min(most, m_count) && bytes == m_draining * m_stride
           && m_head + m_draining < m_slots.size()) {
        bytes += m_sizes[m_head + m_draining];
        ++m_draining;
    }
    return true;
}

void CTransferQueue::EndDrain()
{
    {
        std::lock_guard lock(m_mutex);
        m_head = (m_head + m_draining) % m_slots.size();
        m_count -= m_draining;
        m_draining = 0;
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

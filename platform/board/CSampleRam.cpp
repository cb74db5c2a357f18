#include "CSampleRam.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace tq8 {

CSampleRam::CSampleRam(uint32_t size) : m_size(size), m_pages((static_cast<uint64_t>(size) + kPageSize - 1) / kPageSize)
{
}

bool CSampleRam::InRange(uint32_t first, uint32_t count) const
{
    return static_cast<uint64_t>(first) + count <= m_size;
}

bool CSampleRam::Write(uint32_t first, const uint8_t* src, uint32_t count)
{
    if (!InRange(first, count))
        return false;
    std::unique_lock lock(m_mutex);
    while (count > 0) {
        uint32_t page = first / kPageSize;
        uint32_t offset = first % kPageSize;
        uint32_t n = std::min(count, kPageSize - offset);
        auto& p = m_pages[page];
        if (!p) {
            p = std::make_unique<uint8_t[]>(kPageSize);
            std::memset(p.get(), 0, kPageSize);
        }
        std::memcpy(p.get() + offset, src, n);
        first += n;
        src += n;
        count -= n;
    }
    return true;
}

bool CSampleRam::Read(uint32_t first, uint8_t* dst, uint32_t count) const
{
    if (!InRange(first, count))
        return false;
    std::shared_lock lock(m_mutex);
    while (count > 0) {
        uint32_t page = first / kPageSize;
        uint32_t offset = first % kPageSize;
        uint32_t n = std::min(count, kPageSize - offset);
        const auto& p = m_pages[page];
        if (p)
            std::memcpy(dst, p.get() + offset, n);
        else
            std::memset(dst, 0, n);
        first += n;
        dst += n;
        count -= n;
    }
    return true;
}

size_t CSampleRam::AllocatedPages() const
{
    std::shared_lock lock(m_mutex);
    return static_cast<size_t>(std::count_if(m_pages.begin(), m_pages.end(), [](const auto& p) { return p != nullptr; }));
}

void CSampleRam::Clear()
{
    std::unique_lock lock(m_mutex);
    for (auto& p : m_pages)
        p.reset();
}

} // namespace tq8

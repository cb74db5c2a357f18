#pragma once
// Board sample memory. Pages are allocated on first write, so a 2 GiB board
// costs host memory only where samples were acquired. Unwritten memory reads
// as zero.
// Threads: the acquiring, render and calling threads; reads share the lock, writes hold it alone.
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <vector>

namespace tq8 {

class CSampleRam {
public:
    static constexpr uint32_t kPageSize = 1u << 20;

    explicit CSampleRam(uint32_t size);

    uint32_t Size() const { return m_size; }
    bool InRange(uint32_t first, uint32_t count) const;
    // False when the range does not lie inside memory.
    bool Write(uint32_t first, const uint8_t* src, uint32_t count);
    bool Read(uint32_t first, uint8_t* dst, uint32_t count) const;
    size_t AllocatedPages() const;
    void Clear();

private:
    uint32_t m_size;
    mutable std::shared_mutex m_mutex;
    std::vector<std::unique_ptr<uint8_t[]>> m_pages;
};

} // namespace tq8

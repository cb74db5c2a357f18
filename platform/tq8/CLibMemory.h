#pragma once
// Memory the library hands out (texts, lists, DMA buffers) is recorded, so
// that freeing refuses pointers the library never gave and frees nothing
// twice.
// Threads: every caller of the library; the mutex guards the blocks.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tq8 {

class CLibMemory {
public:
    CLibMemory() = default;
    CLibMemory(const CLibMemory&) = delete;
    CLibMemory& operator=(const CLibMemory&) = delete;
    ~CLibMemory();

    // nullptr when out of memory. owner 0 = plain memory for FreeMemoryTQ8.
    void* Allocate(size_t bytes, uint64_t owner = 0);
    wchar_t* CopyWide(std::wstring_view text);
    char* CopyNarrow(std::string_view text);
    // True when p starts a block of the owner holding at least bytes.
    bool Owns(const void* p, uint64_t owner, size_t bytes) const;
    // False for a pointer not handed out with that owner.
    bool Free(void* p, uint64_t owner = 0);
    // Frees every block of the owner (a handle being disconnected).
    void FreeAllOf(uint64_t owner);
    void FreeAll();

private:
    struct Block {
        uint64_t owner;
        size_t bytes;
    };
    mutable std::mutex m_mutex;
    std::unordered_map<void*, Block> m_blocks;
};

} // namespace tq8

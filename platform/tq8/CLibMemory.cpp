#include "CLibMemory.h"

#include <cstdlib>
#include <cstring>

namespace tq8 {

CLibMemory::~CLibMemory()
{
    FreeAll();
}

void* CLibMemory::Allocate(size_t bytes, uint64_t owner)
{
    void* p = std::malloc(bytes == 0 ? 1 : bytes);
    if (p == nullptr)
        return nullptr;
    std::lock_guard lock(m_mutex);
    m_blocks.emplace(p, Block{owner, bytes});
    return p;
}

wchar_t* CLibMemory::CopyWide(std::wstring_view text)
{
    auto* p = static_cast<wchar_t*>(Allocate((text.size() + 1) * sizeof(wchar_t)));
    if (p != nullptr) {
        std::wmemcpy(p, text.data(), text.size());
        p[text.size()] = L'\0';
    }
    return p;
}

char* CLibMemory::CopyNarrow(std::string_view text)
{
    auto* p = static_cast<char*>(Allocate(text.size() + 1));
    if (p != nullptr) {
        std::memcpy(p, text.data(), text.size());
        p[text.size()] = '\0';
    }
    return p;
}

bool CLibMemory::Owns(const void* p, uint64_t owner, size_t bytes) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_blocks.find(const_cast<void*>(p));
    return it != m_blocks.end() && it->second.owner == owner && it->second.bytes >= bytes;
}

bool CLibMemory::Free(void* p, uint64_t owner)
{
    {
        std::lock_guard lock(m_mutex);
        auto it = m_blocks.find(p);
        if (it == m_blocks.end() || it->second.owner != owner)
            return false;
        m_blocks.erase(it);
    }
    std::free(p);
    return true;
}

void CLibMemory::FreeAllOf(uint64_t owner)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_blocks.begin(); it != m_blocks.end();) {
        if (it->second.owner == owner) {
            std::free(it->first);
            it = m_blocks.erase(it);
        } else {
            ++it;
        }
    }
}

void CLibMemory::FreeAll()
{
    std::lock_guard lock(m_mutex);
    for (auto& [p, block] : m_blocks)
        std::free(p);
    m_blocks.clear();
}

} // namespace tq8

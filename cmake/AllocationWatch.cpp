#include "AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<allocwatch::Hook> g_hook{nullptr};

void* Allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t))
{
    if (const allocwatch::Hook hook = g_hook.load())
        hook(size);
    void* p = nullptr;
    const std::size_t bytes = size ? size : 1;
    if (alignment <= alignof(std::max_align_t))
        p = std::malloc(bytes);
    else if (posix_memalign(&p, alignment, bytes) != 0)
        p = nullptr;
    if (!p)
        throw std::bad_alloc();
    return p;
}

void* AllocateNoThrow(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) noexcept
{
    try {
        return Allocate(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

} // namespace

void allocwatch::SetHook(Hook hook)
{
    g_hook = hook;
}

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return Allocate(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return Allocate(size, std::size_t(a)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return AllocateNoThrow(size, std::size_t(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return AllocateNoThrow(size, std::size_t(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

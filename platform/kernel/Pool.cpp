#include "Pool.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>

namespace kern {

namespace {

constexpr uint32_t kBlockMagic = 0x4C4F4F50; // "POOL"

struct alignas(16) BlockHead {
    uint32_t tag;
    uint32_t magic;
    size_t bytes;
};

struct PoolState {
    std::mutex mutex;
    std::map<uint32_t, PoolUsage> usage;
};

PoolState& Pool()
{
    static PoolState state;
    return state;
}

std::array<std::atomic<uint32_t>, static_cast<size_t>(SimFault::Count)>& Faults()
{
    static std::array<std::atomic<uint32_t>, static_cast<size_t>(SimFault::Count)> faults{};
    return faults;
}

} // namespace

void* ExAllocatePoolWithTag(PoolType, size_t bytes, uint32_t tag)
{
    if (SimShouldFail(SimFault::Pool) || bytes > (size_t{1} << 40))
        return nullptr;
    auto* head = static_cast<BlockHead*>(std::malloc(sizeof(BlockHead) + bytes));
    if (head == nullptr)
        return nullptr;
    head->tag = tag;
    head->magic = kBlockMagic;
    head->bytes = bytes;
    PoolState& p = Pool();
    std::lock_guard lock(p.mutex);
    PoolUsage& u = p.usage[tag];
    ++u.blocks;
    u.bytes += static_cast<int64_t>(bytes);
    return head + 1;
}

void ExFreePoolWithTag(void* block, uint32_t tag)
{
    if (block == nullptr)
        KeBugCheck("pool: free of a null block");
    BlockHead* head = static_cast<BlockHead*>(block) - 1;
    if (head->magic != kBlockMagic)
        KeBugCheck("pool: free of a block that is not from the pool");
    if (head->tag != tag)
        KeBugCheck("pool: block freed with another tag");
    head->magic = 0;
    {
        PoolState& p = Pool();
        std::lock_guard lock(p.mutex);
        PoolUsage& u = p.usage[tag];
        --u.blocks;
        u.bytes -= static_cast<int64_t>(head->bytes);
        if (u.blocks == 0 && u.bytes == 0)
            p.usage.erase(tag);
    }
    std::free(head);
}

std::map<uint32_t, PoolUsage> SimPoolOutstanding()
{
    PoolState& p = Pool();
    std::lock_guard lock(p.mutex);
    return p.usage;
}

void SimFailNext(SimFault fault, uint32_t count) { Faults()[static_cast<size_t>(fault)].store(count); }

void SimClearFaults()
{
    for (auto& f : Faults())
        f.store(0);
}

bool SimShouldFail(SimFault fault)
{
    auto& f = Faults()[static_cast<size_t>(fault)];
    uint32_t left = f.load();
    while (left > 0) {
        if (f.compare_exchange_weak(left, left - 1))
            return true;
    }
    return false;
}

} // namespace kern

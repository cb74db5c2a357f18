#include "Hal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "CUserProcess.h"
#include "Clock.h"
#include "Irp.h"
#include "KernelCheck.h"
#include "Pool.h"
#include "Sync.h"

namespace kern {

namespace {

constexpr uint32_t kAdapterTag = PoolTag("DmaA");
constexpr uint32_t kMdlTag = PoolTag("Mdl ");
constexpr size_t kPage = 4096;
// Bus addresses of common buffers: below 4 GiB, for 32-bit bus masters.
constexpr uint64_t kBusSpaceStart = 0x10000000;
constexpr uint64_t kBusSpaceEnd = 0xF0000000;

size_t PageRound(size_t n) { return (n + kPage - 1) / kPage * kPage; }

struct IoRange {
    uint32_t length;
    IIoWindow* window;
};

struct IoMapping {
    size_t length;
    uint64_t physical;
};

struct CommonBuffer {
    int fd;
    uint8_t* address;
    uint32_t length;
    size_t mappedLength;
};

struct HalState {
    std::shared_mutex ioMutex;
    std::map<uint64_t, IoRange> ranges;
    std::map<uintptr_t, IoMapping> mappings;

    std::mutex interruptMutex;
    std::map<uint32_t, IInterruptSource*> sources;
    std::vector<KInterrupt*> interrupts;

    std::mutex dmaMutex;
    std::map<uint64_t, CommonBuffer> buffers; // by bus address
    std::map<uint64_t, uint64_t> freeBus{{kBusSpaceStart, kBusSpaceEnd - kBusSpaceStart}};

    std::mutex probeMutex;
    std::vector<std::pair<uintptr_t, uintptr_t>> probeFaults;

    std::atomic<RegisterReadHook> readHook{nullptr};
    std::atomic<void*> readHookContext{nullptr};
};

HalState& Hal()
{
    static HalState state;
    return state;
}

// Under the I/O lock, shared.
IIoWindow* WindowAt(HalState& h, uint64_t physical, uint32_t* offset)
{
    auto r = h.ranges.upper_bound(physical);
    if (r == h.ranges.begin())
        return nullptr;
    --r;
    if (physical - r->first >= r->second.length)
        return nullptr;
    *offset = static_cast<uint32_t>(physical - r->first);
    return r->second.window;
}

// The physical address behind a register address; stops the system for an
// address no mapping covers.
uint64_t PhysicalOf(HalState& h, volatile uint32_t* reg)
{
    const auto va = reinterpret_cast<uintptr_t>(reg);
    auto m = h.mappings.upper_bound(va);
    if (m == h.mappings.begin())
        KeBugCheck("register access outside every mapped window");
    --m;
    if (va - m->first >= m->second.length)
        KeBugCheck("register access outside every mapped window");
    KernelCheck((va - m->first) % 4 == 0, "unaligned register access");
    return m->second.physical + (va - m->first);
}

uint64_t TakeBusRange(HalState& h, size_t length)
{
    for (auto it = h.freeBus.begin(); it != h.freeBus.end(); ++it) {
        if (it->second < length)
            continue;
        uint64_t start = it->first;
        uint64_t rest = it->second - length;
        h.freeBus.erase(it);
        if (rest != 0)
            h.freeBus[start + length] = rest;
        return start;
    }
    return 0;
}

void GiveBusRange(HalState& h, uint64_t start, size_t length)
{
    auto it = h.freeBus.emplace(start, length).first;
    auto next = std::next(it);
    if (next != h.freeBus.end() && it->first + it->second == next->first) {
        it->second += next->second;
        h.freeBus.erase(next);
    }
    if (it != h.freeBus.begin()) {
        auto prev = std::prev(it);
        if (prev->first + prev->second == it->first) {
            prev->second += it->second;
            h.freeBus.erase(it);
        }
    }
}

// Under the DMA lock: the buffer that holds [logical, logical + length).
CommonBuffer* BufferHolding(HalState& h, uint64_t logical, size_t length, uint64_t* offset)
{
    auto b = h.buffers.upper_bound(logical);
    if (b == h.buffers.begin())
        return nullptr;
    --b;
    uint64_t off = logical - b->first;
    if (off >= b->second.length || length > b->second.length - off)
        return nullptr;
    *offset = off;
    return &b->second;
}

void* AllocateCommonBuffer(DmaAdapter*, uint32_t length, uint64_t* logical, bool)
{
    if (length == 0 || SimShouldFail(SimFault::CommonBuffer))
        return nullptr;
    const size_t mapped = PageRound(length);
    int fd = memfd_create("tq8-common-buffer", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* address = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(mapped)) == 0)
        address = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    HalState& h = Hal();
    std::lock_guard lock(h.dmaMutex);
    uint64_t bus = TakeBusRange(h, mapped);
    if (bus == 0) {
        munmap(address, mapped);
        close(fd);
        return nullptr;
    }
    h.buffers[bus] = {fd, static_cast<uint8_t*>(address), length, mapped};
    *logical = bus;
    return address;
}

void FreeCommonBuffer(DmaAdapter*, uint32_t, uint64_t logical, void* address, bool)
{
    HalState& h = Hal();
    std::lock_guard lock(h.dmaMutex);
    auto b = h.buffers.find(logical);
    if (b == h.buffers.end() || b->second.address != address)
        KeBugCheck("common buffer freed that was not allocated");
    munmap(b->second.address, b->second.mappedLength);
    close(b->second.fd);
    GiveBusRange(h, b->first, b->second.mappedLength);
    h.buffers.erase(b);
}

void PutDmaAdapter(DmaAdapter* adapter) { ExFreePoolWithTag(adapter, kAdapterTag); }

const DmaOperations kDmaOperations{PutDmaAdapter, AllocateCommonBuffer, FreeCommonBuffer};

// Whether [address, address + length) is mapped with the access, from the
// process's own memory map.
bool RangeMapped(uintptr_t address, size_t length, bool write)
{
    int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string maps;
    char chunk[8192];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
        maps.append(chunk, static_cast<size_t>(n));
    close(fd);
    uintptr_t covered = address;
    const uintptr_t end = address + length;
    size_t pos = 0;
    while (pos < maps.size() && covered < end) {
        size_t eol = maps.find('\n', pos);
        std::string line = maps.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        pos = eol == std::string::npos ? maps.size() : eol + 1;
        unsigned long lo = 0, hi = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &lo, &hi, perms) != 3)
            continue;
        if (covered < lo || covered >= hi)
            continue;
        if (perms[0] != 'r' || (write && perms[1] != 'w'))
            return false;
        covered = hi;
    }
    return covered >= end;
}

NTSTATUS Probe(const void* address, size_t length, bool write)
{
    if (length == 0)
        return STATUS_SUCCESS;
    const auto start = reinterpret_cast<uintptr_t>(address);
    if (address == nullptr || start + length < start)
        return STATUS_ACCESS_VIOLATION;
    {
        HalState& h = Hal();
        std::lock_guard lock(h.probeMutex);
        for (auto [lo, hi] : h.probeFaults)
            if (start < hi && lo < start + length)
                return STATUS_ACCESS_VIOLATION;
    }
    return RangeMapped(start, length, write) ? STATUS_SUCCESS : STATUS_ACCESS_VIOLATION;
}

} // namespace

struct KInterrupt {
    KServiceRoutine service;
    void* context;
    KIRQL irql;
    uint32_t vector;
    IInterruptSource* source;
};

void SimAttachIoRange(uint64_t physical, uint32_t length, IIoWindow* window)
{
    HalState& h = Hal();
    std::unique_lock lock(h.ioMutex);
    h.ranges[physical] = {length, window};
}

void SimDetachIoRange(uint64_t physical)
{
    HalState& h = Hal();
    std::unique_lock lock(h.ioMutex);
    h.ranges.erase(physical);
}

void SimAttachInterrupt(uint32_t vector, IInterruptSource* source)
{
    HalState& h = Hal();
    std::lock_guard lock(h.interruptMutex);
    h.sources[vector] = source;
}

void SimDetachInterrupt(uint32_t vector)
{
    HalState& h = Hal();
    std::lock_guard lock(h.interruptMutex);
    auto s = h.sources.find(vector);
    if (s == h.sources.end())
        return;
    // An interrupt still connected loses its line with the card.
    for (KInterrupt* k : h.interrupts)
        if (k->vector == vector && k->source != nullptr) {
            k->source->Disconnect();
            k->source = nullptr;
        }
    h.sources.erase(s);
}

void* MmMapIoSpace(uint64_t physical, size_t length, CacheType)
{
    if (length == 0 || SimShouldFail(SimFault::MapIoSpace))
        return nullptr;
    HalState& h = Hal();
    std::unique_lock lock(h.ioMutex);
    uint32_t offset = 0;
    IIoWindow* first = WindowAt(h, physical, &offset);
    uint32_t lastOffset = 0;
    if (first == nullptr || WindowAt(h, physical + length - 1, &lastOffset) != first)
        return nullptr;
    // An address range of its own: touching it directly faults.
    void* va = mmap(nullptr, PageRound(length), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (va == MAP_FAILED)
        return nullptr;
    h.mappings[reinterpret_cast<uintptr_t>(va)] = {length, physical};
    return va;
}

void MmUnmapIoSpace(void* address, size_t)
{
    HalState& h = Hal();
    std::unique_lock lock(h.ioMutex);
    auto m = h.mappings.find(reinterpret_cast<uintptr_t>(address));
    if (m == h.mappings.end())
        KeBugCheck("unmapping an I/O range that is not mapped");
    munmap(address, PageRound(m->second.length));
    h.mappings.erase(m);
}

uint32_t READ_REGISTER_ULONG(volatile uint32_t* reg)
{
    SimCountRegisterAccess();
    HalState& h = Hal();
    uint32_t value = 0xFFFFFFFFu;
    {
        std::shared_lock lock(h.ioMutex);
        uint32_t offset = 0;
        IIoWindow* window = WindowAt(h, PhysicalOf(h, reg), &offset);
        if (window != nullptr)
            value = window->Read32(offset);
    }
    if (RegisterReadHook hook = h.readHook.load())
        hook(h.readHookContext.load(), reg, value);
    return value;
}

void SimSetRegisterReadHook(RegisterReadHook hook, void* context)
{
    HalState& h = Hal();
    h.readHookContext.store(context);
    h.readHook.store(hook);
}

void WRITE_REGISTER_ULONG(volatile uint32_t* reg, uint32_t value)
{
    SimCountRegisterAccess();
    HalState& h = Hal();
    std::shared_lock lock(h.ioMutex);
    uint32_t offset = 0;
    IIoWindow* window = WindowAt(h, PhysicalOf(h, reg), &offset);
    if (window != nullptr)
        window->Write32(offset, value);
}

NTSTATUS IoConnectInterrupt(KInterrupt** interrupt, KServiceRoutine service, void* context, uint32_t vector,
                            KIRQL irql, KIRQL, InterruptMode, bool, uint64_t, bool)
{
    *interrupt = nullptr;
    if (SimShouldFail(SimFault::ConnectInterrupt))
        return STATUS_INSUFFICIENT_RESOURCES;
    HalState& h = Hal();
    std::lock_guard lock(h.interruptMutex);
    auto s = h.sources.find(vector);
    if (s == h.sources.end())
        return STATUS_INVALID_PARAMETER;
    auto* k = new KInterrupt{service, context, irql, vector, s->second};
    h.interrupts.push_back(k);
    k->source->Connect([k] {
        KIRQL old = KeRaiseIrql(k->irql);
        bool claimed = k->service(k, k->context);
        KeLowerIrql(old);
        return claimed;
    });
    *interrupt = k;
    return STATUS_SUCCESS;
}

void IoDisconnectInterrupt(KInterrupt* interrupt)
{
    HalState& h = Hal();
    std::lock_guard lock(h.interruptMutex);
    if (interrupt->source != nullptr)
        interrupt->source->Disconnect();
    std::erase(h.interrupts, interrupt);
    delete interrupt;
}

DmaAdapter* IoGetDmaAdapter(DeviceObject* physicalDevice, const DeviceDescription* description,
                            uint32_t* numberOfMapRegisters)
{
    if (physicalDevice == nullptr || !physicalDevice->dmaCapable || description == nullptr || !description->master
        || SimShouldFail(SimFault::DmaAdapter))
        return nullptr;
    void* block = ExAllocatePoolWithTag(PoolType::NonPaged, sizeof(DmaAdapter), kAdapterTag);
    if (block == nullptr)
        return nullptr;
    auto* adapter = new (block) DmaAdapter;
    adapter->dmaOperations = &kDmaOperations;
    adapter->maximumLength = description->maximumLength;
    if (numberOfMapRegisters != nullptr)
        *numberOfMapRegisters = description->maximumLength / kPage + 1;
    return adapter;
}

uint8_t* SimPhysicalAccess(uint64_t logical, size_t length)
{
    HalState& h = Hal();
    std::lock_guard lock(h.dmaMutex);
    uint64_t offset = 0;
    CommonBuffer* b = BufferHolding(h, logical, length, &offset);
    return b != nullptr ? b->address + offset : nullptr;
}

int64_t SimCommonBuffersOutstanding()
{
    HalState& h = Hal();
    std::lock_guard lock(h.dmaMutex);
    return static_cast<int64_t>(h.buffers.size());
}

NTSTATUS MmMapCommonBufferView(CUserProcess* process, uint64_t logical, uint32_t length, void** userAddress)
{
    *userAddress = nullptr;
    HalState& h = Hal();
    std::lock_guard lock(h.dmaMutex);
    uint64_t offset = 0;
    CommonBuffer* b = BufferHolding(h, logical, length, &offset);
    if (b == nullptr || length == 0)
        return STATUS_INVALID_PARAMETER;
    const uint64_t pageOffset = offset / kPage * kPage;
    const size_t viewLength = PageRound(offset - pageOffset + length);
    void* base = mmap(nullptr, viewLength, PROT_READ | PROT_WRITE, MAP_SHARED, b->fd, static_cast<off_t>(pageOffset));
    if (base == MAP_FAILED)
        return STATUS_INSUFFICIENT_RESOURCES;
    *userAddress = static_cast<uint8_t*>(base) + (offset - pageOffset);
    process->AddView(*userAddress, {base, viewLength});
    return STATUS_SUCCESS;
}

NTSTATUS MmUnmapCommonBufferView(CUserProcess* process, void* userAddress)
{
    CUserProcess::View view{};
    if (!process->RemoveView(userAddress, &view))
        return STATUS_INVALID_PARAMETER;
    munmap(view.base, view.length);
    return STATUS_SUCCESS;
}

NTSTATUS ProbeForRead(const void* address, size_t length, uint32_t alignment)
{
    if (alignment > 1 && reinterpret_cast<uintptr_t>(address) % alignment != 0)
        return STATUS_ACCESS_VIOLATION;
    return Probe(address, length, false);
}

NTSTATUS ProbeForWrite(void* address, size_t length, uint32_t alignment)
{
    if (alignment > 1 && reinterpret_cast<uintptr_t>(address) % alignment != 0)
        return STATUS_ACCESS_VIOLATION;
    return Probe(address, length, true);
}

Mdl* IoAllocateMdl(void* address, uint32_t length, bool, bool, Irp* irp)
{
    void* block = ExAllocatePoolWithTag(PoolType::NonPaged, sizeof(Mdl), kMdlTag);
    if (block == nullptr)
        return nullptr;
    auto* mdl = new (block) Mdl;
    mdl->startVa = address;
    mdl->byteCount = length;
    if (irp != nullptr) {
        Mdl** tail = &irp->mdlAddress;
        while (*tail != nullptr)
            tail = &(*tail)->next;
        *tail = mdl;
    }
    return mdl;
}

void IoFreeMdl(Mdl* mdl)
{
    KernelCheck(!mdl->locked, "memory descriptor freed while its pages are locked");
    ExFreePoolWithTag(mdl, kMdlTag);
}

NTSTATUS MmProbeAndLockPages(Mdl* mdl, LockOperation operation)
{
    NTSTATUS status = Probe(mdl->startVa, mdl->byteCount, operation == LockOperation::IoWriteAccess);
    if (NT_SUCCESS(status))
        mdl->locked = true;
    return status;
}

void MmUnlockPages(Mdl* mdl)
{
    KernelCheck(mdl->locked, "unlocking pages that are not locked");
    mdl->locked = false;
}

void* MmMapLockedPagesSpecifyCache(Mdl* mdl, CacheType) { return mdl->locked ? mdl->startVa : nullptr; }

void SimFailProbe(const void* address, size_t length)
{
    HalState& h = Hal();
    std::lock_guard lock(h.probeMutex);
    const auto start = reinterpret_cast<uintptr_t>(address);
    h.probeFaults.emplace_back(start, start + length);
}

void SimClearProbeFaults()
{
    HalState& h = Hal();
    std::lock_guard lock(h.probeMutex);
    h.probeFaults.clear();
}

} // namespace kern

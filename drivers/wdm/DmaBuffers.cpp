// DMA common buffers mapped into processes, transfers into them, sample-RAM
// reads through the utility buffer into caller buffers, and the time-stamp
// queue. A buffer's view is always revoked before its memory goes, whatever
// process holds it.
#include <algorithm>
#include <cstring>

#include "CMutexHolder.h"
#include "CSpinLockHolder.h"
#include "CUserProcess.h"
#include "Pool.h"
#include "TQ8Driver.h"

using namespace kern;

namespace {

constexpr uint32_t kEngineReset = 0x00;
constexpr uint32_t kEngineStart = 0x04;
constexpr uint32_t kEngineBusAddress = 0x08;
constexpr uint32_t kEngineBurst = 0x0C;
constexpr uint32_t kEngineLength = 0x10;
constexpr uint32_t kDmaUnit = 128;
constexpr uint32_t kInterruptStatus = 0x04;
constexpr uint32_t kInterruptAcknowledge = 0x48;
constexpr uint32_t kDmaCompleteBit = 1u << 8;
constexpr uint32_t kSamplesCompleteBit = 1u << 9;
constexpr uint32_t kChunkBytes = 65536;
constexpr uint32_t kWindowGrain = 16384;
constexpr uint32_t kMaxReadCount = 33529344;
constexpr uint32_t kMaxTimestamps = 4191168;
constexpr uint32_t kKeepMode = 0xFFFF;
constexpr uint64_t kHalfMemory = uint64_t{TQ8_MEMORY_SIZE_VALUE} / 2; // 2^30
constexpr uint32_t kTimestampOverflow = 1u << 8;
constexpr uint32_t kTimestampEmpty = 1u << 20;
constexpr uint32_t kEntriesRemain = 1u << 24;
constexpr uint32_t kOverflowed = 1u << 25;

TQ8_DMA_BUFFER_ENTRY* EntryOf(ListEntry* link) { return reinterpret_cast<TQ8_DMA_BUFFER_ENTRY*>(link); }

bool Holds(const TQ8_DMA_BUFFER_ENTRY* e, uint64_t address, bool exact)
{
    if (exact)
        return address == e->userAddress;
    return address >= e->userAddress && address - e->userAddress < e->size;
}

// Spin lock held.
TQ8_DMA_BUFFER_ENTRY* FindDmaBufferLocked(TQ8_DEVICE_EXTENSION* ext, uint64_t address, bool exact, bool unlink)
{
    CUserProcess* process = IoGetCurrentProcess();
    for (ListEntry* l = ext->dmaBuffers.flink; l != &ext->dmaBuffers; l = l->flink) {
        TQ8_DMA_BUFFER_ENTRY* e = EntryOf(l);
        if (e->process != process || !Holds(e, address, exact))
            continue;
        if (unlink)
            RemoveEntryList(l);
        return e;
    }
    return nullptr;
}

// A transfer still running into the buffer is ended first (spin lock held).
void StopTransferInto(TQ8_DEVICE_EXTENSION* ext, const TQ8_DMA_BUFFER_ENTRY* e)
{
    if (ext->operationState.load() != TQ8_STATE_DMA_TRANSFER)
        return;
    if (ext->transferBusAddress >= e->busAddress && ext->transferBusAddress - e->busAddress < e->size)
        AbortActiveOperation(ext, false, nullptr);
}

// The entry is unlinked already: revoke its view, then free its memory.
void FreeDmaBuffer(TQ8_DEVICE_EXTENSION* ext, TQ8_DMA_BUFFER_ENTRY* e)
{
    if (e->process != nullptr)
        MmUnmapCommonBufferView(e->process, reinterpret_cast<void*>(e->userAddress));
    if (ext->dmaAdapter != nullptr)
        ext->dmaAdapter->dmaOperations->freeCommonBuffer(ext->dmaAdapter, e->size, e->busAddress, e->kernelAddress,
                                                         false);
    ExFreePoolWithTag(e, TQ8_POOL_TAG);
}

// Unlinks and frees every entry that matches, one at a time.
template <class Match>
void FreeMatching(TQ8_DEVICE_EXTENSION* ext, Match match)
{
    for (;;) {
        TQ8_DMA_BUFFER_ENTRY* found = nullptr;
        {
            CSpinLockHolder lock(ext);
            for (ListEntry* l = ext->dmaBuffers.flink; l != &ext->dmaBuffers && found == nullptr; l = l->flink)
                if (match(EntryOf(l)))
                    found = EntryOf(l);
            if (found == nullptr)
                return;
            RemoveEntryList(&found->link);
            StopTransferInto(ext, found);
        }
        FreeDmaBuffer(ext, found);
    }
}

NTSTATUS MapDmaBufferToUser(TQ8_DMA_BUFFER_ENTRY* e)
{
    void* user = nullptr;
    const NTSTATUS status = MmMapCommonBufferView(e->process, e->busAddress, e->size, &user);
    e->userAddress = reinterpret_cast<uint64_t>(user);
    return status;
}

// A completion that the interrupt service has not read yet belongs to the
// transfer the reset just stopped: acknowledged here, it cannot be taken for
// the next one (spin lock held, engine stopped).
void DropStaleCompletion(TQ8_DEVICE_EXTENSION* ext)
{
    const uint32_t status = ReadDmaRegister(ext, kInterruptStatus);
    if (status == 0xFFFFFFFFu || (status & kDmaCompleteBit) == 0)
        return;
    if ((status & kSamplesCompleteBit) != 0)
        ext->stats.samplesCompleteInterrupts.fetch_add(1);
    WriteDmaRegister(ext, kInterruptAcknowledge, 1);
}

// Every transfer and every chunk of a read gets a new tag once the engine is
// stopped and its last completion dropped, so that a completion read before
// can be told from this one's.
void ProgramEngine(TQ8_DEVICE_EXTENSION* ext, uint64_t busAddress, uint32_t bytes)
{
    ext->stats.dmaTransfersStarted.fetch_add(1);
    ext->dmaBytesInFlight = bytes;
    StopDmaEngine(ext);
    DropStaleCompletion(ext);
    ext->transferTag.fetch_add(1);
    WriteDmaRegister(ext, kEngineBurst, 32);
    WriteDmaRegister(ext, kEngineLength, bytes / kDmaUnit);
    WriteDmaRegister(ext, kEngineBusAddress, static_cast<uint32_t>(busAddress));
    FlushControlRegisters(ext);
    WriteDmaRegister(ext, kEngineStart, 1);
}

uint32_t UnitFactor(uint32_t converterControl)
{
    switch ((converterControl >> 12) & 0xF) {
    case 2: case 3: case 8: case 9: case 10: case 11: return 1;
    default: return 2;
    }
}

uint32_t SplitFactor(const TQ8_SAMPLE_RAM_REQUEST& q)
{
    if ((q.flags & TQ8_READ_SPLIT) == 0)
        return 1;
    switch (q.arrangement) {
    case 0: return 4;
    case 1: case 3: case 9: return 2;
    case 4: return 3;
    default: return 1;
    }
}

NTSTATUS LockOne(TQ8_SAMPLE_READ_CONTEXT& c, size_t k, uint64_t address, uint32_t bytes, bool toBoard)
{
    void* user = reinterpret_cast<void*>(address);
    NTSTATUS status = toBoard ? ProbeForRead(user, bytes, 1) : ProbeForWrite(user, bytes, 1);
    if (!NT_SUCCESS(status))
        return STATUS_ACCESS_VIOLATION;
    Mdl* mdl = IoAllocateMdl(user, bytes, false, false, nullptr);
    if (mdl == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    if (!NT_SUCCESS(MmProbeAndLockPages(mdl, toBoard ? LockOperation::IoReadAccess : LockOperation::IoWriteAccess))) {
        IoFreeMdl(mdl);
        return STATUS_ACCESS_VIOLATION;
    }
    c.mdls[k] = mdl;
    c.buffers[k] = static_cast<uint8_t*>(MmMapLockedPagesSpecifyCache(mdl, CacheType::Cached));
    if (c.buffers[k] == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    c.room[k] = bytes;
    return STATUS_SUCCESS;
}

// Each present buffer below the factor takes count / factor bytes.
NTSTATUS LockUserBuffers(TQ8_DEVICE_EXTENSION* ext, const TQ8_SAMPLE_RAM_REQUEST& q, uint32_t factor, bool toBoard)
{
    TQ8_SAMPLE_READ_CONTEXT& c = ext->ramRead;
    c = {};
    c.factor = factor;
    c.toBoard = toBoard;
    const uint32_t bytes = q.count / factor;
    for (size_t k = 0; k < factor; ++k) {
        if (q.buffers[k] == 0 || bytes == 0)
            continue;
        const NTSTATUS status = LockOne(c, k, q.buffers[k], bytes, toBoard);
        if (!NT_SUCCESS(status)) {
            ReleaseUserBuffers(ext);
            return status;
        }
    }
    return STATUS_SUCCESS;
}

void SetReadWindow(TQ8_DEVICE_EXTENSION* ext, uint32_t start, uint32_t length)
{
    auto& s = ext->controlShadow;
    s[2] = (s[2] & 0xFC000000u) | ((start >> 4) & 0x3FFFFFFu);
    WriteControlRegister(ext, 2, s[2]);
    if (length == 0)
        s[1] = (s[1] & 0xF8080001u) | 0x80000001u;
    else
        s[1] = (s[1] & 0x78080000u) | ((length >> 13) & 0x7FFFFu) | ((length >> 7) & 0x3Fu) << 20;
    WriteControlRegister(ext, 1, s[1]);
    if (ext->configCache.variant == 1)
        return;
    auto secondary = [ext](uint32_t address, uint32_t data) {
        WriteControlRegister(ext, 10, (data << 16) | address);
        FlushControlRegisters(ext);
        KeStallExecutionProcessor(50);
    };
    secondary(0x8000, s[2] & 0xFFFF);
    secondary(0x8001, s[2] >> 16);
    const uint32_t length19 = (s[1] & 0x7FFFFu) | (s[1] & 0x80000000u);
    secondary(0x8002, length19 & 0xFFFF);
    secondary(0x8003, length19 >> 16);
    secondary(0x8004, (s[1] >> 20) & 0x7F);
}

// Whole frames of `factor` bytes from src go byte j to buffer j; a frame
// begun at the end of a chunk is carried into the next one.
void SplitFrames(TQ8_SAMPLE_READ_CONTEXT& c, const uint8_t* src, uint32_t n);

void TakeFrame(TQ8_SAMPLE_READ_CONTEXT& c, const uint8_t* frame)
{
    for (uint32_t j = 0; j < c.factor; ++j)
        if (c.buffers[j] != nullptr && c.room[j] > 0) {
            *c.buffers[j]++ = frame[j];
            --c.room[j];
        }
}

bool AllPresent(const TQ8_SAMPLE_READ_CONTEXT& c, uint32_t frames)
{
    for (uint32_t j = 0; j < c.factor; ++j)
        if (c.buffers[j] == nullptr || c.room[j] < frames)
            return false;
    return true;
}

template <uint32_t F>
void SplitAllPresent(TQ8_SAMPLE_READ_CONTEXT& c, const uint8_t* src, uint32_t frames)
{
    uint8_t* out[F];
    for (uint32_t j = 0; j < F; ++j)
        out[j] = c.buffers[j];
    for (uint32_t i = 0; i < frames; ++i, src += F)
        for (uint32_t j = 0; j < F; ++j)
            out[j][i] = src[j];
    for (uint32_t j = 0; j < F; ++j) {
        c.buffers[j] += frames;
        c.room[j] -= frames;
    }
}

void SplitFrames(TQ8_SAMPLE_READ_CONTEXT& c, const uint8_t* src, uint32_t n)
{
    const uint32_t f = c.factor;
    if (c.carried > 0) {
        const uint32_t take = std::min(f - c.carried, n);
        std::memcpy(c.carry.data() + c.carried, src, take);
        c.carried += take;
        src += take;
        n -= take;
        if (c.carried < f)
            return;
        TakeFrame(c, c.carry.data());
        c.carried = 0;
    }
    const uint32_t frames = n / f;
    if (AllPresent(c, frames)) {
        switch (f) {
        case 2: SplitAllPresent<2>(c, src, frames); break;
        case 3: SplitAllPresent<3>(c, src, frames); break;
        default: SplitAllPresent<4>(c, src, frames); break;
        }
    } else {
        for (uint32_t i = 0; i < frames; ++i)
            TakeFrame(c, src + i * f);
    }
    c.carried = n - frames * f;
    std::memcpy(c.carry.data(), src + frames * f, c.carried);
}

void CopyChunk(TQ8_SAMPLE_READ_CONTEXT& c, const uint8_t* src, uint32_t n)
{
    if (c.factor > 1) {
        SplitFrames(c, src, n);
        return;
    }
    if (c.buffers[0] == nullptr)
        return;
    const uint32_t bytes = std::min(n, c.room[0]);
    std::memcpy(c.buffers[0], src, bytes);
    c.buffers[0] += bytes;
    c.room[0] -= bytes;
}

uint32_t ChunkBytes(const TQ8_SAMPLE_READ_CONTEXT& c)
{
    const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{c.remaining} + c.skip, kChunkBytes));
    return (chunk + kDmaUnit - 1) / kDmaUnit * kDmaUnit;
}

// Checks of the request that need no lock, in their order.
NTSTATUS CheckReadRequest(TQ8_DEVICE_EXTENSION* ext, const TQ8_SAMPLE_RAM_REQUEST& q, uint32_t* factorOut)
{
    if (q.count > kMaxReadCount)
        return TQ8_STATUS_BAD_COUNT;
    uint32_t f = 0;
    {
        CSpinLockHolder lock(ext);
        f = UnitFactor(ext->controlShadow[6]);
    }
    const uint64_t capacity = f * kHalfMemory;
    if (q.firstSample / f > kHalfMemory)
        return TQ8_STATUS_BAD_GROUP_OR_START;
    if (uint64_t{q.firstSample} + q.count > capacity)
        return TQ8_STATUS_BAD_COUNT;
    const uint32_t mode = q.flags & 0xFFFF;
    if ((q.flags & TQ8_READ_SPLIT) == 0 && q.buffers[0] == 0)
        return TQ8_STATUS_NO_BUFFER0;
    if (mode != kKeepMode && mode > TQ8_OPMODE_PCI_WRITE_TO_RAM)
        return TQ8_STATUS_BAD_KIND;
    *factorOut = f;
    return STATUS_SUCCESS;
}

// Programs the read window for a read with a mode: the window starts on a
// 16384 boundary and the first chunk skips up to the first sample.
NTSTATUS PlaceReadWindow(TQ8_DEVICE_EXTENSION* ext, const TQ8_SAMPLE_RAM_REQUEST& q, uint32_t f)
{
    const uint64_t capacity = f * kHalfMemory;
    const uint64_t c = std::min<uint64_t>(q.firstSample / kWindowGrain * kWindowGrain, capacity - kDmaUnit);
    const uint64_t skip = q.firstSample - c;
    const uint64_t start = c / f;
    const uint64_t length = (q.count + skip + kWindowGrain - 1) / kWindowGrain * kWindowGrain;
    if (start > kHalfMemory || length > TQ8_MEMORY_SIZE_VALUE)
        return STATUS_INVALID_PARAMETER;
    ext->ramRead.skip = static_cast<uint32_t>(skip);
    CSpinLockHolder lock(ext);
    SetReadWindow(ext, static_cast<uint32_t>(start), static_cast<uint32_t>(length + kWindowGrain));
    return STATUS_SUCCESS;
}

bool BuffersAbsent(const TQ8_SAMPLE_RAM_REQUEST& q)
{
    return std::all_of(std::begin(q.buffers), std::end(q.buffers), [](uint64_t b) { return b == 0; });
}

NTSTATUS StartRead(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r, const TQ8_SAMPLE_RAM_REQUEST& q, bool withMode)
{
    CSpinLockHolder lock(ext);
    TQ8_SAMPLE_READ_CONTEXT& c = ext->ramRead;
    c.remaining = q.count;
    c.flags = (q.flags & ~0x00FF0000u) | (withMode ? uint32_t{TQ8_READ_BACK_TO_MODE_1} : 0u);
    const bool wait = (q.flags & TQ8_READ_NO_WAIT) == 0;
    if (wait && !PendRequest(r.irp)) {
        ReleaseUserBuffers(ext);
        return STATUS_CANCELLED;
    }
    ext->operationState = TQ8_STATE_SAMPLE_RAM_READ;
    ext->operationFile = r.file;
    ext->pendingIrp = wait ? r.irp : nullptr;
    if (withMode)
        SetModeNibble(ext, q.flags & 0xFFFF);
    StartRamChunk(ext);
    return wait ? STATUS_PENDING : STATUS_SUCCESS;
}

} // namespace

void WriteDmaRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t offset, uint32_t value)
{
    const TQ8_MEMORY_WINDOW& w = ext->windows[0];
    if (w.address == nullptr || offset + sizeof(uint32_t) > w.length)
        return;
    WRITE_REGISTER_ULONG(w.address + offset / 4, value);
}

uint32_t ReadDmaRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t offset)
{
    const TQ8_MEMORY_WINDOW& w = ext->windows[0];
    if (w.address == nullptr || offset + sizeof(uint32_t) > w.length)
        return 0xFFFFFFFFu;
    return READ_REGISTER_ULONG(w.address + offset / 4);
}

void StopDmaEngine(TQ8_DEVICE_EXTENSION* ext)
{
    WriteDmaRegister(ext, kEngineReset, 1);
    WriteDmaRegister(ext, kEngineReset, 0);
}

NTSTATUS IoctlAllocDmaBuffer(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_DMA_BUFFER_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    DmaAdapter* adapter = ext->dmaAdapter;
    if (adapter == nullptr || adapter->dmaOperations == nullptr || adapter->dmaOperations->allocateCommonBuffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    // Nothing is allocated for a size the adapter cannot serve.
    if (q.bytes == 0 || q.bytes > adapter->maximumLength)
        return STATUS_INVALID_PARAMETER;
    auto* e = static_cast<TQ8_DMA_BUFFER_ENTRY*>(ExAllocatePoolWithTag(PoolType::NonPaged, sizeof(TQ8_DMA_BUFFER_ENTRY), TQ8_POOL_TAG));
    if (e == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    std::memset(static_cast<void*>(e), 0, sizeof *e);
    e->process = IoGetCurrentProcess();
    e->owner = r.file;
    e->size = q.bytes;
    e->kernelAddress = adapter->dmaOperations->allocateCommonBuffer(adapter, q.bytes, &e->busAddress, false);
    if (e->kernelAddress == nullptr) {
        ExFreePoolWithTag(e, TQ8_POOL_TAG);
        return TQ8_STATUS_NO_COMMON_BUFFER;
    }
    const NTSTATUS status = MapDmaBufferToUser(e);
    if (!NT_SUCCESS(status)) {
        adapter->dmaOperations->freeCommonBuffer(adapter, e->size, e->busAddress, e->kernelAddress, false);
        ExFreePoolWithTag(e, TQ8_POOL_TAG);
        return status;
    }
    q.userAddress = e->userAddress;
    std::memcpy(r.buffer, &q, sizeof q);
    r.information = sizeof q;
    CMutexHolder mutex(ext);
    CSpinLockHolder lock(ext);
    InsertTailList(&ext->dmaBuffers, &e->link);
    return STATUS_SUCCESS;
}

NTSTATUS IoctlFreeDmaBuffer(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_DMA_BUFFER_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    CMutexHolder mutex(ext);
    if (q.bytes == TQ8_FREE_ALL_MARKER) {
        // Only the caller's own: another process's buffers stay usable.
        CUserProcess* process = IoGetCurrentProcess();
        FreeMatching(ext, [process](const TQ8_DMA_BUFFER_ENTRY* e) { return e->process == process; });
        return STATUS_SUCCESS;
    }
    TQ8_DMA_BUFFER_ENTRY* e = nullptr;
    {
        CSpinLockHolder lock(ext);
        e = FindDmaBufferLocked(ext, q.userAddress, true, true);
        if (e != nullptr)
            StopTransferInto(ext, e);
    }
    if (e == nullptr)
        return TQ8_STATUS_NO_SUCH_BUFFER;
    FreeDmaBuffer(ext, e);
    return STATUS_SUCCESS;
}

void FreeDmaBuffersOfOwner(TQ8_DEVICE_EXTENSION* ext, FileObject* owner)
{
    FreeMatching(ext, [owner](const TQ8_DMA_BUFFER_ENTRY* e) { return owner == nullptr || e->owner == owner; });
}

NTSTATUS IoctlStartDmaXfer(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_DMA_XFER_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    CSpinLockHolder lock(ext);
    // Neither a waiting request nor a running read or acquisition is taken over.
    if (ext->pendingIrp != nullptr || ext->operationState.load() != TQ8_STATE_IDLE)
        return TQ8_STATUS_BUSY;
    const uint32_t mode = ext->controlShadow[11] & 0xF;
    const bool modeFits = q.direction != 0 ? mode == TQ8_OPMODE_PCI_BUFFERED_ACQ || mode == TQ8_OPMODE_RAM_READ_TO_PCI
                                         : mode == TQ8_OPMODE_PCI_WRITE_TO_RAM;
    if (!modeFits)
        return TQ8_STATUS_WRONG_MODE;
    const TQ8_DMA_BUFFER_ENTRY* e = FindDmaBufferLocked(ext, q.address, false, false);
    if (e == nullptr)
        return TQ8_STATUS_NO_SUCH_BUFFER;
    const uint64_t offset = q.address - e->userAddress;
    if (e->size - offset < q.bytes)
        return TQ8_STATUS_TRANSFER_TOO_LONG;
    // Below one unit the engine would be given length 0.
    if (q.bytes < kDmaUnit)
        return STATUS_INVALID_PARAMETER;
    const bool wait = q.noWait == 0;
    if (wait && !PendRequest(r.irp))
        return STATUS_CANCELLED;
    ext->operationFile = r.file;
    ext->pendingIrp = wait ? r.irp : nullptr;
    ext->operationState = TQ8_STATE_DMA_TRANSFER;
    ext->transferBusAddress = e->busAddress + offset;
    ProgramEngine(ext, ext->transferBusAddress, q.bytes / kDmaUnit * kDmaUnit);
    return wait ? STATUS_PENDING : STATUS_SUCCESS;
}

NTSTATUS IoctlReadSampleRam(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_SAMPLE_RAM_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    uint32_t f = 0;
    NTSTATUS status = CheckReadRequest(ext, q, &f);
    if (!NT_SUCCESS(status))
        return status;
    if (q.count == 0 || ((q.flags & TQ8_READ_SPLIT) != 0 && BuffersAbsent(q)))
        return STATUS_SUCCESS;
    const uint32_t mode = q.flags & 0xFFFF;
    const bool withMode = mode != kKeepMode;
    CMutexHolder mutex(ext);
    if (ext->utilityBuffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    {
        CSpinLockHolder lock(ext);
        if (ext->operationState.load() != TQ8_STATE_IDLE)
            return TQ8_STATUS_BUSY;
        if (!withMode && (ext->controlShadow[11] & 0xF) != TQ8_OPMODE_STANDBY)
            return TQ8_STATUS_WRONG_MODE;
    }
    status = LockUserBuffers(ext, q, SplitFactor(q), mode == TQ8_OPMODE_PCI_WRITE_TO_RAM);
    if (!NT_SUCCESS(status))
        return status;
    if (withMode) {
        status = PlaceReadWindow(ext, q, f);
    } else {
        ext->ramRead.skip = 0;
        if (q.count % kDmaUnit != 0)
            status = STATUS_INVALID_PARAMETER;
    }
    if (!NT_SUCCESS(status)) {
        CSpinLockHolder lock(ext);
        ReleaseUserBuffers(ext);
        return status;
    }
    return StartRead(ext, r, q, withMode);
}

void ReleaseUserBuffers(TQ8_DEVICE_EXTENSION* ext)
{
    TQ8_SAMPLE_READ_CONTEXT& c = ext->ramRead;
    for (Mdl*& mdl : c.mdls) {
        if (mdl == nullptr)
            continue;
        if (mdl->locked)
            MmUnlockPages(mdl);
        IoFreeMdl(mdl);
        mdl = nullptr;
    }
    c.buffers = {};
    c.room = {};
}

void StartRamChunk(TQ8_DEVICE_EXTENSION* ext)
{
    TQ8_SAMPLE_READ_CONTEXT& c = ext->ramRead;
    const uint32_t chunk = ChunkBytes(c);
    if (c.toBoard && c.buffers[0] != nullptr) {
        // Mode 9: the caller's bytes go out through the utility buffer.
        const uint32_t n = std::min({chunk - c.skip, c.remaining, c.room[0]});
        std::memcpy(static_cast<uint8_t*>(ext->utilityBuffer) + c.skip, c.buffers[0], n);
    }
    ProgramEngine(ext, ext->utilityBusAddress, chunk);
}

bool ProcessRamChunk(TQ8_DEVICE_EXTENSION* ext)
{
    TQ8_SAMPLE_READ_CONTEXT& c = ext->ramRead;
    const uint32_t chunk = ChunkBytes(c);
    const uint32_t n = std::min(chunk - c.skip, c.remaining);
    const uint8_t* src = static_cast<const uint8_t*>(ext->utilityBuffer) + c.skip;
    if (c.toBoard) {
        const uint32_t sent = std::min(n, c.room[0]);
        if (c.buffers[0] != nullptr) {
            c.buffers[0] += sent;
            c.room[0] -= sent;
        }
    } else {
        CopyChunk(c, src, n);
    }
    c.skip = 0;
    c.remaining -= n;
    if (c.remaining > 0) {
        StartRamChunk(ext);
        return false;
    }
    if ((c.flags & TQ8_READ_BACK_TO_MODE_1) != 0)
        SetModeNibble(ext, 1);
    ReleaseUserBuffers(ext);
    return true;
}

NTSTATUS IoctlReadTimestamps(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& r)
{
    TQ8_TIMESTAMP_REQUEST q;
    std::memcpy(&q, r.buffer, sizeof q);
    if (q.count == 0 || q.count > kMaxTimestamps)
        return STATUS_INVALID_PARAMETER;
    void* user = reinterpret_cast<void*>(q.buffer);
    const uint32_t bytes = q.count * 8;
    if (!NT_SUCCESS(ProbeForWrite(user, bytes, 1)))
        return STATUS_ACCESS_VIOLATION;
    Mdl* mdl = IoAllocateMdl(user, bytes, false, false, r.irp);
    if (mdl == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    if (!NT_SUCCESS(MmProbeAndLockPages(mdl, LockOperation::IoWriteAccess)))
        return STATUS_ACCESS_VIOLATION;
    auto* entries = static_cast<uint8_t*>(MmMapLockedPagesSpecifyCache(mdl, CacheType::Cached));
    if (entries == nullptr) {
        MmUnlockPages(mdl);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    uint32_t flags = q.flags & 0xFFFFF;
    uint32_t read = 0;
    {
        CMutexHolder mutex(ext);
        const bool overflow = (ReadControlRegister(ext, TQ8_STATUS_REGISTER) & kTimestampOverflow) != 0;
        if (overflow)
            flags |= kEntriesRemain | kOverflowed;
        if (!overflow || (flags & 1) != 0) {
            while (read < q.count && (ReadControlRegister(ext, TQ8_STATUS_REGISTER) & kTimestampEmpty) == 0) {
                CSpinLockHolder lock(ext);
                const uint64_t high = ReadControlRegister(ext, 14);
                const uint64_t value = high << 32 | ReadControlRegister(ext, 15);
                std::memcpy(entries + size_t{read} * 8, &value, sizeof value);
                ++read;
            }
            if (read == q.count && (ReadControlRegister(ext, TQ8_STATUS_REGISTER) & kTimestampEmpty) == 0)
                flags |= kEntriesRemain;
        }
    }
    MmUnlockPages(mdl);
    q.count = read;
    q.flags = flags;
    std::memcpy(r.buffer, &q, 12);
    r.information = 12;
    return STATUS_SUCCESS;
}

#pragma once
// Hardware access of the kernel stand-in: memory-mapped register windows,
// interrupt objects, the DMA adapter with its common buffers, views of a
// common buffer in a process, and probing and locking of caller buffers.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "IoObjects.h"
#include "KernelTypes.h"

namespace kern {

class CUserProcess;
struct Irp;

// A card's register window as the bus presents it at a physical address.
class IIoWindow {
public:
    virtual ~IIoWindow() = default;
    virtual uint32_t Read32(uint32_t byteOffset) = 0;
    virtual void Write32(uint32_t byteOffset, uint32_t value) = 0;
};

// A card's interrupt line: Connect starts calling `service` (on the card's
// interrupt thread) while the line is asserted; it returns whether it
// claimed the interrupt.
class IInterruptSource {
public:
    virtual ~IInterruptSource() = default;
    virtual void Connect(std::function<bool()> service) = 0;
    virtual void Disconnect() = 0;
};

void SimAttachIoRange(uint64_t physical, uint32_t length, IIoWindow* window);
// Later accesses through a mapping of the range read all ones and write nothing.
void SimDetachIoRange(uint64_t physical);
void SimAttachInterrupt(uint32_t vector, IInterruptSource* source);
void SimDetachInterrupt(uint32_t vector);

enum class CacheType { NonCached, Cached };

// An address range of its own that stands for the window; reach it only
// through READ_REGISTER_ULONG and WRITE_REGISTER_ULONG. Nullptr when no
// window lies at the address.
void* MmMapIoSpace(uint64_t physical, size_t length, CacheType cache);
void MmUnmapIoSpace(void* address, size_t length);
uint32_t READ_REGISTER_ULONG(volatile uint32_t* reg);
void WRITE_REGISTER_ULONG(volatile uint32_t* reg, uint32_t value);

// Test seam: called on the reading thread after every register read, with
// the mapped address and the value read, so that a test can act at a known
// point between a read and what the reader does with it (nullptr: none).
using RegisterReadHook = void (*)(void* context, volatile uint32_t* reg, uint32_t value);
void SimSetRegisterReadHook(RegisterReadHook hook, void* context);

struct KInterrupt;
using KServiceRoutine = bool (*)(KInterrupt* interrupt, void* context);
enum class InterruptMode { LevelSensitive, Latched };

NTSTATUS IoConnectInterrupt(KInterrupt** interrupt, KServiceRoutine service, void* context, uint32_t vector,
                            KIRQL irql, KIRQL synchronizeIrql, InterruptMode mode, bool shareVector,
                            uint64_t affinity, bool floatingSave);
void IoDisconnectInterrupt(KInterrupt* interrupt);

enum class InterfaceType { Internal, Pci };

struct DeviceDescription {
    uint32_t version = 0;
    bool master = false;
    bool scatterGather = false;
    bool dma32BitAddresses = false;
    bool dma64BitAddresses = false;
    InterfaceType interfaceType = InterfaceType::Internal;
    uint32_t maximumLength = 0;
};

struct DmaAdapter;
using PPutDmaAdapter = void (*)(DmaAdapter* adapter);
// Kernel address of the buffer, its bus address in *logical; nullptr on failure.
using PAllocateCommonBuffer = void* (*)(DmaAdapter* adapter, uint32_t length, uint64_t* logical, bool cacheEnabled);
using PFreeCommonBuffer = void (*)(DmaAdapter* adapter, uint32_t length, uint64_t logical, void* address,
                                   bool cacheEnabled);

struct DmaOperations {
    PPutDmaAdapter putDmaAdapter = nullptr;
    PAllocateCommonBuffer allocateCommonBuffer = nullptr;
    PFreeCommonBuffer freeCommonBuffer = nullptr;
};

struct DmaAdapter {
    uint16_t version = 1;
    const DmaOperations* dmaOperations = nullptr;
    uint32_t maximumLength = 0; // kernel's own
};

// Nullptr when the physical device cannot master the bus.
DmaAdapter* IoGetDmaAdapter(DeviceObject* physicalDevice, const DeviceDescription* description,
                            uint32_t* numberOfMapRegisters);

// Stand-in: what a bus-mastering card reaches at a bus address; nullptr
// unless [logical, logical + length) lies inside one common buffer.
uint8_t* SimPhysicalAccess(uint64_t logical, size_t length);
int64_t SimCommonBuffersOutstanding();

// A second mapping of a common buffer's memory in a process, so that a view
// can be unmapped (revoked) on its own, whichever process holds it.
NTSTATUS MmMapCommonBufferView(CUserProcess* process, uint64_t logical, uint32_t length, void** userAddress);
NTSTATUS MmUnmapCommonBufferView(CUserProcess* process, void* userAddress);

// Memory descriptor of a caller buffer.
struct Mdl {
    Mdl* next = nullptr;
    void* startVa = nullptr;
    uint32_t byteCount = 0;
    bool locked = false;
};
enum class LockOperation { IoReadAccess, IoWriteAccess };

// STATUS_ACCESS_VIOLATION when the range is not all mapped with the access,
// or a test made it fail.
NTSTATUS ProbeForRead(const void* address, size_t length, uint32_t alignment);
NTSTATUS ProbeForWrite(void* address, size_t length, uint32_t alignment);
// With an request, the descriptor is attached to it and freed with it.
Mdl* IoAllocateMdl(void* address, uint32_t length, bool secondary, bool chargeQuota, Irp* irp);
void IoFreeMdl(Mdl* mdl);
NTSTATUS MmProbeAndLockPages(Mdl* mdl, LockOperation operation);
void MmUnlockPages(Mdl* mdl);
// The system address of a locked buffer; nullptr when it is not locked.
void* MmMapLockedPagesSpecifyCache(Mdl* mdl, CacheType cache);

// Test hook: probes and locks that touch the range fail with 0xC0000005.
void SimFailProbe(const void* address, size_t length);
void SimClearProbeFaults();

} // namespace kern

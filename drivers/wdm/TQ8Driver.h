#pragma once
// The board driver's per-card record and the routines its files share.
#include <array>
#include <atomic>
#include <cstdint>

#include "Clock.h"
#include "Hal.h"
#include "IoObjects.h"
#include "Irp.h"
#include "Sync.h"
#include "TQ8Ioctl.h"

inline constexpr uint32_t TQ8_POOL_TAG = kern::PoolTag("TQ8!");
inline constexpr uint32_t TQ8_MAX_WINDOWS = 4;
inline constexpr uint32_t TQ8_UTILITY_BUFFER_BYTES = 64 * 1024;
inline constexpr uint64_t TQ8_COMPLETION_SEEN = uint64_t{1} << 32;

// Operating modes (register 11, bits 0-3), as the device library numbers them.
enum : uint32_t {
    TQ8_OPMODE_POWER_DOWN = 0,
    TQ8_OPMODE_STANDBY = 1,
    TQ8_OPMODE_RAM_ACQ = 2,
    TQ8_OPMODE_RESERVED = 3,
    TQ8_OPMODE_PCI_BUFFERED_ACQ = 4,
    TQ8_OPMODE_ZAB_ACQ = 5,
    TQ8_OPMODE_ZAB_BUFFERED_ACQ = 6,
    TQ8_OPMODE_RAM_READ_TO_PCI = 7,
    TQ8_OPMODE_RAM_READ_TO_ZAB = 8,
    TQ8_OPMODE_PCI_WRITE_TO_RAM = 9,
};

// PnP states.
enum : int32_t {
    TQ8_PNP_NOT_STARTED = 0,
    TQ8_PNP_STARTED = 1,
    TQ8_PNP_REMOVE_PENDING = 2,
    TQ8_PNP_SURPRISE_REMOVED = 3,
    TQ8_PNP_STOP_PENDING = 4,
    TQ8_PNP_STOPPED = 5,
};

// Device flags.
enum : uint32_t {
    TQ8_FLAG_STARTED = 1u << 0,
    TQ8_FLAG_TIMER_ARMED = 1u << 1,
    TQ8_FLAG_DCM_RESET_PENDING = 1u << 2,
    TQ8_FLAG_INTERFACE_ENABLED = 1u << 3,
};

struct TQ8_MEMORY_WINDOW {
    volatile uint32_t* address;
    uint32_t length; // bytes
};

// Counted with atomic increments from any level; read and reset by the
// statistics request.
struct TQ8_STATS_COUNTERS {
    std::atomic<uint32_t> openHandles{0};
    std::atomic<uint32_t> interrupts{0};
    std::atomic<uint32_t> dmaCompleteInterrupts{0};
    std::atomic<uint32_t> dmaTransfersStarted{0};
    std::atomic<uint32_t> acquisitionsStarted{0};
    std::atomic<uint32_t> samplesCompleteInterrupts{0};
    std::atomic<uint32_t> clockManagerResets{0};
    std::atomic<uint64_t> bytesMoved{0};
};

namespace kern {
class CUserProcess;
}

// Read flags of a sample-RAM read (the request's flags without bits 16-23).
enum : uint32_t {
    TQ8_READ_BACK_TO_MODE_1 = 1u << 21,
    TQ8_READ_NO_WAIT = 1u << 30,
    TQ8_READ_SPLIT = 1u << 31,
};

struct TQ8_SAMPLE_READ_CONTEXT {
    std::array<uint8_t*, 4> buffers{}; // system addresses, advanced as data lands
    std::array<kern::Mdl*, 4> mdls{};
    std::array<uint32_t, 4> room{};   // bytes each buffer may still take
    uint32_t factor = 0;
    uint32_t skip = 0;
    uint32_t remaining = 0;
    uint32_t flags = 0;
    bool toBoard = false; // mode 9: the caller's buffer 0 goes to sample RAM
    // The start of a frame that the chunk ended inside.
    std::array<uint8_t, 4> carry{};
    uint32_t carried = 0;
};

// One DMA common buffer handed out and mapped into its process.
struct TQ8_DMA_BUFFER_ENTRY {
    kern::ListEntry link;
    uint64_t busAddress;
    uint64_t userAddress;
    void* kernelAddress;
    kern::FileObject* owner;
    kern::CUserProcess* process;
    uint32_t size;
};

// Placed in the device object's zero-filled extension at AddDevice and never
// destroyed: its memory stays readable until the last file object lets the
// device go, so a late request still finds the remove lock removed.
// Threads: dispatch routines under the device mutex; the interrupt service, DPCs and timer under the
// spin lock, which guards the register copies and the operation; the atomics are read without it.
struct TQ8_DEVICE_EXTENSION {
    kern::DeviceObject* lowerDevice = nullptr;
    kern::DeviceObject* self = nullptr;
    kern::DeviceObject* physicalDevice = nullptr;
    kern::KernelString interfaceName;
    uint32_t serialNumber = 0;
    uint32_t ordinal = 0;
    TQ8_CONFIG_CACHE configCache{};
    int32_t pnpState = TQ8_PNP_NOT_STARTED;
    int32_t savedPnpState = TQ8_PNP_NOT_STARTED;
    uint32_t deviceFlags = 0;
    std::array<TQ8_MEMORY_WINDOW, TQ8_MAX_WINDOWS> windows{};
    uint32_t memoryResourceCount = 0;
    TQ8_STATS_COUNTERS stats;
    kern::RemoveLock removeLock;
    kern::DmaAdapter* dmaAdapter = nullptr;
    kern::KInterrupt* interrupt = nullptr;
    uint32_t mapRegisters = 0;
    kern::FastMutex deviceMutex;
    kern::SpinLock spinLock;
    kern::ListEntry dmaBuffers;
    std::atomic<uint32_t> dmaBytesInFlight{0};
    // Tag of the engine's job in flight, one more for every transfer and
    // sample-RAM chunk it starts (under the spin lock); the interrupt
    // service reads it with the status.
    std::atomic<uint32_t> transferTag{0};
    // A DMA completion the interrupt service saw, not yet taken by the DPC:
    // TQ8_COMPLETION_SEEN with the tag the status was read under, or 0.
    std::atomic<uint64_t> completedTransfer{0};
    uint64_t transferBusAddress = 0; // target of a transfer into a mapped buffer
    uint64_t utilityBusAddress = 0;
    void* utilityBuffer = nullptr;
    TQ8_SAMPLE_READ_CONTEXT ramRead;
    // Read by the interrupt service without the lock.
    std::atomic<uint32_t> operationState{TQ8_STATE_IDLE};
    // Samples-complete seen by the service and not yet handled by the DPC.
    std::atomic<uint32_t> interruptBits{0};
    kern::Irp* pendingIrp = nullptr;
    kern::FileObject* operationFile = nullptr;
    kern::KTimer timeoutTimer;
    kern::Dpc timeoutDpc;
    int64_t timeoutDue = 0; // interrupt time at which an armed wait times out
    kern::FileObject* scanPortOwner = nullptr;
    void* scanBuffer = nullptr;
    uint32_t scanBufferSize = 0;
    std::array<uint32_t, 16> controlShadow{};
    uint32_t eepromLineShadow = 0;
    uint32_t scanLineShadow = 0;
    std::array<std::array<uint8_t, 80>, 2> clockGenImage{};
    std::array<std::array<uint16_t, 10>, 2> adcShadow{};
    std::array<uint32_t, 7> driverWords{};

    // Requests inside the dispatch; stop and removal wait for them to leave
    // before the windows go.
    std::atomic<uint32_t> requestsInside{0};
    kern::KEvent requestsLeft;
};

inline TQ8_DEVICE_EXTENSION* Extension(kern::DeviceObject* device)
{
    return static_cast<TQ8_DEVICE_EXTENSION*>(device->deviceExtension);
}

// What the driver library exports to its loader.
#define TQ8_DRIVER_EXPORT __attribute__((visibility("default")))

// Driver entry, devices, PnP and power.
extern "C" TQ8_DRIVER_EXPORT kern::NTSTATUS DriverEntry(kern::DriverObject* driver, const kern::KernelString& registryPath);
void DriverUnload(kern::DriverObject* driver);
kern::NTSTATUS AddDevice(kern::DriverObject* driver, kern::DeviceObject* physicalDevice);
kern::KernelString BuildSymbolicLinkName(uint32_t ordinal);
kern::NTSTATUS DispatchPnp(kern::DeviceObject* device, kern::Irp* irp);
kern::NTSTATUS DispatchPower(kern::DeviceObject* device, kern::Irp* irp);
kern::NTSTATUS DispatchSystemControl(kern::DeviceObject* device, kern::Irp* irp);
// Passes the request down with its location skipped (STATUS_NOT_IMPLEMENTED
// without a lower device).
kern::NTSTATUS PassDown(TQ8_DEVICE_EXTENSION* ext, kern::Irp* irp);
kern::NTSTATUS CompleteRequest(kern::Irp* irp, kern::NTSTATUS status, uint64_t information = 0);
// Completes a request that the dispatch held pending (STATUS_PENDING), and
// gives back the remove lock it kept.
void CompleteHeldRequest(TQ8_DEVICE_EXTENSION* ext, kern::Irp* irp, kern::NTSTATUS status);

// Event log.
kern::NTSTATUS LogEvent(kern::DeviceObject* device, const char16_t* text);
kern::NTSTATUS LogEvent(kern::DriverObject* driver, const char16_t* text);
kern::NTSTATUS LogEventFormat(TQ8_DEVICE_EXTENSION* ext, const char16_t* format, ...);

// I/O control.
kern::NTSTATUS DispatchDeviceIo(kern::DeviceObject* device, kern::Irp* irp);
void CleanupFileObject(TQ8_DEVICE_EXTENSION* ext, kern::FileObject* file);

// What a handler sees of its request.
struct TQ8_IOCTL {
    kern::Irp* irp;
    kern::FileObject* file;
    uint8_t* buffer; // system buffer: the input, then the output
    uint32_t inputLength;
    uint32_t outputLength;
    uint64_t information;
};
using Tq8IoctlHandler = kern::NTSTATUS (*)(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);

kern::NTSTATUS IoctlGetDriverInfo(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlGetConfigCache(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlRawRegAccess(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlDelayUs(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlGetDriverStats(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlGetDriverState(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlSetDcmResetPending(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);

// Registers and board programming.
kern::NTSTATUS IoctlResetAdc(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlWriteReg(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlReadReg(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlResetDcms(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlSetOperatingMode(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
inline constexpr uint32_t TQ8_STATUS_REGISTER = 13;
// Control registers of window 1; an index outside the window writes nothing
// and reads all ones.
void WriteControlRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t index, uint32_t value);
uint32_t ReadControlRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t index);
// Reads the status register, so that posted writes have landed.
void FlushControlRegisters(TQ8_DEVICE_EXTENSION* ext);
// Busy-waits up to 7000 us (or at dispatch level), sleeps above.
void DelayMicroseconds(uint32_t us);
// Writes the operating mode (0 is written as 1); called with the spin lock held.
void SetModeNibble(TQ8_DEVICE_EXTENSION* ext, uint32_t mode);
// Clock-manager reset; 0xC00000C8 when the lock does not come.
kern::NTSTATUS ResetDcms(TQ8_DEVICE_EXTENSION* ext);
void PulseAdcReset(TQ8_DEVICE_EXTENSION* ext, int chip);
bool IsAcquisitionComplete(TQ8_DEVICE_EXTENSION* ext);
// Programs the whole board after a start, from the configuration block.
void InitBoard(TQ8_DEVICE_EXTENSION* ext);

// Configuration EEPROM, configuration block and scan port.
kern::NTSTATUS IoctlEepromAccess(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlRefreshConfigCache(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlJtagControl(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlJtagShift(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
enum : uint32_t {
    TQ8_EEPROM_WRITE = 1,
    TQ8_EEPROM_READ = 2,
    TQ8_EEPROM_WRITE_ENABLE = 0x10,
    TQ8_EEPROM_WRITE_DISABLE = 0x20,
};
inline constexpr uint32_t TQ8_EEPROM_SDRAM_DELAY_WORD = 0x3D;
// One Microwire command; the word read for TQ8_EEPROM_READ, else 0.
uint16_t EepromCommand(TQ8_DEVICE_EXTENSION* ext, uint32_t command, uint32_t address, uint32_t data);
// 0xC00000C8 when the part does not signal ready within 1000 ms.
kern::NTSTATUS EepromWriteWord(TQ8_DEVICE_EXTENSION* ext, uint32_t address, uint16_t value);
// Reads the check word, writes it back and reads it again: STATUS_UNSUCCESSFUL
// when the write fails or the reads differ.
kern::NTSTATUS CheckEeprom(TQ8_DEVICE_EXTENSION* ext);
// Refills the configuration block and the serial number (the failure
// pattern when the EEPROM failed).
void RefreshConfigCache(TQ8_DEVICE_EXTENSION* ext, bool eepromFailed);

// DMA buffers, transfers, sample-RAM reads and time-stamps.
kern::NTSTATUS IoctlAllocDmaBuffer(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlFreeDmaBuffer(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlStartDmaXfer(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlReadSampleRam(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
kern::NTSTATUS IoctlReadTimestamps(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
// Stops the board's DMA engine.
void StopDmaEngine(TQ8_DEVICE_EXTENSION* ext);
// DMA engine registers of window 0 (byte offsets).
void WriteDmaRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t offset, uint32_t value);
uint32_t ReadDmaRegister(TQ8_DEVICE_EXTENSION* ext, uint32_t offset);
// Sample-RAM read chunks; called with the spin lock held. ProcessRamChunk
// returns true when the read has finished (buffers released).
void StartRamChunk(TQ8_DEVICE_EXTENSION* ext);
bool ProcessRamChunk(TQ8_DEVICE_EXTENSION* ext);
void ReleaseUserBuffers(TQ8_DEVICE_EXTENSION* ext);
// Frees the DMA buffers of one file object, or every one with nullptr.
void FreeDmaBuffersOfOwner(TQ8_DEVICE_EXTENSION* ext, kern::FileObject* owner);

// Interrupts, completion, waiting and cancel.
bool InterruptService(kern::KInterrupt* interrupt, void* context);
void InterruptDpc(kern::Dpc* dpc, void* context, void* argument1, void* argument2);
void TimeoutDpc(kern::Dpc* dpc, void* context, void* argument1, void* argument2);
kern::NTSTATUS IoctlWaitComplete(TQ8_DEVICE_EXTENSION* ext, TQ8_IOCTL& request);
// Ends the active operation; called with the spin lock held. The pending
// request is handed to the caller in *request when it asks, else completed.
void AbortActiveOperation(TQ8_DEVICE_EXTENSION* ext, bool timedOut, kern::Irp** request);
void CancelPendingIrp(kern::DeviceObject* device, kern::Irp* irp);
// Sets the cancel routine and marks the request pending; false when it was
// cancelled already (it is then not pending and the caller completes it).
bool PendRequest(kern::Irp* irp);
// Takes the pending request for completion (spin lock held) and disarms the
// time-out; nullptr when none is, or its cancel routine already runs (it
// completes the request then). *cancelTimer tells to cancel the timer once
// the lock is released.
kern::Irp* TakePendingRequest(TQ8_DEVICE_EXTENSION* ext, bool* cancelTimer);
// Takes the pending request when it belongs to the file object (under the
// spin lock); nullptr when none does, or its cancel routine already runs.
kern::Irp* TakePendingRequestOf(TQ8_DEVICE_EXTENSION* ext, kern::FileObject* file);
// Ends the operation the file object started (engine stopped, buffers
// released, state word 0); called with the spin lock held. Returns the
// request that waited for it, to be completed with STATUS_CANCELLED.
kern::Irp* ReleaseOperationOf(TQ8_DEVICE_EXTENSION* ext, kern::FileObject* file);

// The driver's message table, for the loader: "%1 : %2" under 0x60070001-3.
extern "C" TQ8_DRIVER_EXPORT const kern::MessageTableEntry* DriverMessageTable(size_t* count);
inline constexpr uint32_t TQ8_EVENT_MESSAGE = 0x60070001;

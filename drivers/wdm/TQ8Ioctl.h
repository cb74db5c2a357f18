#pragma once
// The board driver's boundary with the device library: the device interface,
// the I/O-control codes, every record that crosses in a request's system
// buffer (input and output share it; little-endian, offsets in bytes) and
// the statuses the driver answers.
#include <cstddef>
#include <cstdint>

#include "KernelTypes.h"

inline constexpr uint32_t TQ8_DEVICE_TYPE = 0x9C40;

// {85EBEEDE-159B-40BF-9F99-83DE839ACA61}
inline constexpr kern::Guid GUID_DEVINTERFACE_TQ8 = {
    0x85EBEEDE, 0x159B, 0x40BF, {0x9F, 0x99, 0x83, 0xDE, 0x83, 0x9A, 0xCA, 0x61}};

// Method buffered, any access.
constexpr uint32_t Tq8IoctlCode(uint32_t function) { return TQ8_DEVICE_TYPE << 16 | function << 2; }

inline constexpr uint32_t IOCTL_TQ8_GET_DRIVER_INFO = Tq8IoctlCode(0x806);
inline constexpr uint32_t IOCTL_TQ8_GET_CONFIG_CACHE = Tq8IoctlCode(0x807);
inline constexpr uint32_t IOCTL_TQ8_ALLOC_DMA_BUFFER = Tq8IoctlCode(0x808);
inline constexpr uint32_t IOCTL_TQ8_FREE_DMA_BUFFER = Tq8IoctlCode(0x809);
inline constexpr uint32_t IOCTL_TQ8_EEPROM_ACCESS = Tq8IoctlCode(0x80A);
inline constexpr uint32_t IOCTL_TQ8_RESET_ADC = Tq8IoctlCode(0x80B);
inline constexpr uint32_t IOCTL_TQ8_WRITE_REG = Tq8IoctlCode(0x80C);
inline constexpr uint32_t IOCTL_TQ8_READ_REG = Tq8IoctlCode(0x80D);
inline constexpr uint32_t IOCTL_TQ8_RESET_DCMS = Tq8IoctlCode(0x80E);
inline constexpr uint32_t IOCTL_TQ8_START_DMA_XFER = Tq8IoctlCode(0x80F);
inline constexpr uint32_t IOCTL_TQ8_REFRESH_CONFIG_CACHE = Tq8IoctlCode(0x810);
inline constexpr uint32_t IOCTL_TQ8_RAW_REG_ACCESS = Tq8IoctlCode(0x811);
inline constexpr uint32_t IOCTL_TQ8_READ_SAMPLE_RAM = Tq8IoctlCode(0x812);
inline constexpr uint32_t IOCTL_TQ8_JTAG_CONTROL = Tq8IoctlCode(0x813);
inline constexpr uint32_t IOCTL_TQ8_DELAY_US = Tq8IoctlCode(0x814);
inline constexpr uint32_t IOCTL_TQ8_JTAG_SHIFT = Tq8IoctlCode(0x815);
inline constexpr uint32_t IOCTL_TQ8_GET_DRIVER_STATS = Tq8IoctlCode(0x816);
inline constexpr uint32_t IOCTL_TQ8_SET_OPERATING_MODE = Tq8IoctlCode(0x817);
inline constexpr uint32_t IOCTL_TQ8_GET_DRIVER_STATE = Tq8IoctlCode(0x818);
inline constexpr uint32_t IOCTL_TQ8_WAIT_COMPLETE = Tq8IoctlCode(0x819);
inline constexpr uint32_t IOCTL_TQ8_SET_DCM_RESET_PENDING = Tq8IoctlCode(0x81A);
inline constexpr uint32_t IOCTL_TQ8_READ_TIMESTAMPS = Tq8IoctlCode(0x81B);
static_assert(IOCTL_TQ8_GET_DRIVER_INFO == 0x9C402018 && IOCTL_TQ8_READ_TIMESTAMPS == 0x9C40206C, "codes");

// Major 2, minor 8, revision 6, build 27.
inline constexpr uint64_t TQ8_DRIVER_VERSION = 0x000200080006001Bull;

struct TQ8_DRIVER_INFO {
    uint32_t recordSize; // set to 24
    uint32_t serialNumber;
    uint32_t ordinal;
    uint32_t notWritten;
    uint64_t driverVersion;
};
static_assert(sizeof(TQ8_DRIVER_INFO) == 24 && offsetof(TQ8_DRIVER_INFO, ordinal) == 8
              && offsetof(TQ8_DRIVER_INFO, driverVersion) == 16);

// Configuration-EEPROM words by their address.
struct TQ8_CONFIG_CACHE {
    uint32_t size; // 84; in a reply, the number of bytes copied
    uint16_t word70;
    uint16_t word4D;
    uint16_t word4C;
    uint16_t word5B;
    uint16_t word5A;
    uint16_t word5C;
    uint16_t word5D;
    uint16_t variant; // word 0x74
    uint16_t word4A;
    uint16_t word4F;
    uint16_t word4E;
    uint16_t word7B;
    uint32_t identification; // window 2, byte offset 16
    uint32_t zero32;
    uint32_t zero36;
    uint32_t word77;
    uint32_t memorySize; // always 0x80000000
    uint16_t boardType;  // word 0x71
    uint16_t word49;
    uint32_t zero52;
    uint16_t phaseSteps; // from word 0x5E
    uint16_t word78;
    uint16_t word48;
    uint16_t word47;
    uint16_t optionFlags; // word 0x46
    uint16_t zero66;
    uint16_t adcAdjustments[4]; // words 0x45..0x42
    uint16_t adcGainDefaults[4];
};
static_assert(sizeof(TQ8_CONFIG_CACHE) == 84 && offsetof(TQ8_CONFIG_CACHE, variant) == 18
              && offsetof(TQ8_CONFIG_CACHE, identification) == 28 && offsetof(TQ8_CONFIG_CACHE, memorySize) == 44
              && offsetof(TQ8_CONFIG_CACHE, boardType) == 48 && offsetof(TQ8_CONFIG_CACHE, zero52) == 52
              && offsetof(TQ8_CONFIG_CACHE, phaseSteps) == 56 && offsetof(TQ8_CONFIG_CACHE, optionFlags) == 64
              && offsetof(TQ8_CONFIG_CACHE, adcAdjustments) == 68 && offsetof(TQ8_CONFIG_CACHE, adcGainDefaults) == 76);
inline constexpr uint32_t TQ8_CONFIG_CACHE_MIN_REQUEST = 52;
inline constexpr uint32_t TQ8_MEMORY_SIZE_VALUE = 0x80000000u;

inline constexpr uint32_t TQ8_FREE_ALL_MARKER = 0xFEEA77BF;
struct TQ8_DMA_BUFFER_REQUEST {
    uint32_t recordSize;
    uint32_t bytes; // or TQ8_FREE_ALL_MARKER
    uint64_t userAddress;
};
static_assert(sizeof(TQ8_DMA_BUFFER_REQUEST) == 16 && offsetof(TQ8_DMA_BUFFER_REQUEST, userAddress) == 8);

struct TQ8_EEPROM_REQUEST {
    uint32_t recordSize;
    uint32_t read;
    uint32_t address;
    uint32_t value;
};
static_assert(sizeof(TQ8_EEPROM_REQUEST) == 16 && offsetof(TQ8_EEPROM_REQUEST, value) == 12);

struct TQ8_REG_WRITE_REQUEST {
    uint32_t recordSize;
    uint32_t kind;
    uint32_t index;
    uint32_t mask;
    uint32_t value;
    uint32_t delayBeforeUs;
    uint32_t delayAfterUs;
    uint32_t group;
    uint32_t byte;
    uint32_t chipRegister;
};
static_assert(sizeof(TQ8_REG_WRITE_REQUEST) == 40 && offsetof(TQ8_REG_WRITE_REQUEST, delayBeforeUs) == 20
              && offsetof(TQ8_REG_WRITE_REQUEST, chipRegister) == 36);

struct TQ8_REG_READ_REQUEST {
    uint32_t value; // out
    uint32_t kind;
    uint32_t index;
    uint32_t delayBeforeUs;
    uint32_t delayAfterUs;
    uint32_t source; // 2 reads the hardware
    uint32_t group;
    uint32_t byte;
    uint32_t chipRegister;
    uint32_t notUsed;
};
static_assert(sizeof(TQ8_REG_READ_REQUEST) == 40 && offsetof(TQ8_REG_READ_REQUEST, source) == 20
              && offsetof(TQ8_REG_READ_REQUEST, chipRegister) == 32);

struct TQ8_RAW_REG_REQUEST {
    uint32_t recordSize;
    uint32_t read;
    int32_t window;
    int32_t index; // of a u32 register
    uint32_t value;
};
static_assert(sizeof(TQ8_RAW_REG_REQUEST) == 20 && offsetof(TQ8_RAW_REG_REQUEST, value) == 16);

struct TQ8_DMA_XFER_REQUEST {
    uint32_t recordSize;
    uint32_t bytes;
    uint64_t address;
    uint32_t direction;
    uint32_t noWait;
};
static_assert(sizeof(TQ8_DMA_XFER_REQUEST) == 24 && offsetof(TQ8_DMA_XFER_REQUEST, direction) == 16);

struct TQ8_SAMPLE_RAM_REQUEST {
    uint32_t recordSize;
    uint32_t flags;
    uint32_t firstSample;
    uint32_t count;
    uint32_t arrangement;
    uint32_t notUsed;
    uint64_t buffers[4];
};
static_assert(sizeof(TQ8_SAMPLE_RAM_REQUEST) == 56 && offsetof(TQ8_SAMPLE_RAM_REQUEST, buffers) == 24);

struct TQ8_WAIT_REQUEST {
    uint32_t recordSize;
    int32_t kind;
    uint32_t timeoutMs;
    uint32_t notUsed;
};
static_assert(sizeof(TQ8_WAIT_REQUEST) == 16 && offsetof(TQ8_WAIT_REQUEST, timeoutMs) == 8);

struct TQ8_JTAG_CONTROL_REQUEST {
    uint32_t recordSize;
    uint32_t lines;
    uint32_t mask;
    uint32_t result;
    uint32_t flags;
};
static_assert(sizeof(TQ8_JTAG_CONTROL_REQUEST) == 20 && offsetof(TQ8_JTAG_CONTROL_REQUEST, flags) == 16);
inline constexpr uint32_t TQ8_JTAG_CLAIM = 1u << 31;
inline constexpr uint32_t TQ8_JTAG_RELEASE = 1u << 30;
inline constexpr uint32_t TQ8_JTAG_READ_BACK = 1u << 1;

// The data bytes follow the head.
struct TQ8_JTAG_SHIFT_REQUEST {
    uint32_t recordSize;
    uint32_t flags;
    uint32_t bitCount;
};
static_assert(sizeof(TQ8_JTAG_SHIFT_REQUEST) == 12);
inline constexpr uint32_t TQ8_JTAG_SHIFT_OUT = 1u << 0;
inline constexpr uint32_t TQ8_JTAG_SHIFT_IN = 1u << 1;

struct TQ8_DRIVER_STATS {
    uint32_t zero;
    uint32_t openHandles; // in the request: nonzero resets the counters
    uint32_t interrupts;
    uint32_t dmaCompleteInterrupts;
    uint32_t dmaTransfersStarted;
    uint32_t acquisitionsStarted;
    uint32_t samplesCompleteInterrupts;
    uint32_t clockManagerResets;
    uint64_t bytesMoved;
};
static_assert(sizeof(TQ8_DRIVER_STATS) == 40 && offsetof(TQ8_DRIVER_STATS, clockManagerResets) == 28
              && offsetof(TQ8_DRIVER_STATS, bytesMoved) == 32);

struct TQ8_TIMESTAMP_REQUEST {
    uint32_t recordSize;
    uint32_t count;
    uint32_t flags;
    uint32_t notUsed;
    uint64_t buffer;
};
static_assert(sizeof(TQ8_TIMESTAMP_REQUEST) == 24 && offsetof(TQ8_TIMESTAMP_REQUEST, buffer) == 16);

enum TQ8_OPERATION_STATE : uint32_t {
    TQ8_STATE_IDLE = 0,
    TQ8_STATE_DMA_TRANSFER = 1,
    TQ8_STATE_SAMPLE_RAM_READ = 2,
    TQ8_STATE_ACQUISITION = 3,
};

// Statuses of the driver beside the system's own (kern::STATUS_*).
inline constexpr kern::NTSTATUS TQ8_STATUS_NO_WINDOW = kern::MakeStatus(0xC0000095);
inline constexpr kern::NTSTATUS TQ8_STATUS_TIMED_OUT = kern::MakeStatus(0xC00000C8);
inline constexpr kern::NTSTATUS TQ8_STATUS_WRONG_MODE = kern::MakeStatus(0xC00000DD);
inline constexpr kern::NTSTATUS TQ8_STATUS_BAD_WAIT_KIND_OR_MODE = kern::MakeStatus(0xC00000EF);
inline constexpr kern::NTSTATUS TQ8_STATUS_BAD_KIND = kern::MakeStatus(0xC00000F0);
inline constexpr kern::NTSTATUS TQ8_STATUS_BAD_GROUP_OR_START = kern::MakeStatus(0xC00000F1);
inline constexpr kern::NTSTATUS TQ8_STATUS_BAD_COUNT = kern::MakeStatus(0xC00000F2);
inline constexpr kern::NTSTATUS TQ8_STATUS_NO_BUFFER0 = kern::MakeStatus(0xC00000F3);
inline constexpr kern::NTSTATUS TQ8_STATUS_BAD_DELAY_BEFORE = kern::MakeStatus(0xC00000F4);
inline constexpr kern::NTSTATUS TQ8_STATUS_BAD_DELAY_AFTER = kern::MakeStatus(0xC00000F5);
inline constexpr kern::NTSTATUS TQ8_STATUS_ACQUISITION_UNFINISHED = kern::MakeStatus(0xC00000FD);
inline constexpr kern::NTSTATUS TQ8_STATUS_BUSY = kern::MakeStatus(0xC000012B);
inline constexpr kern::NTSTATUS TQ8_STATUS_NO_CLOCK_LOCK = kern::MakeStatus(0xC0000158);
inline constexpr kern::NTSTATUS TQ8_STATUS_NO_COMMON_BUFFER = kern::MakeStatus(0xC0000168);
inline constexpr kern::NTSTATUS TQ8_STATUS_TRANSFER_TOO_LONG = kern::MakeStatus(0xC0000173);
inline constexpr kern::NTSTATUS TQ8_STATUS_BAD_REGISTER_INDEX = kern::MakeStatus(0xC000017A);
inline constexpr kern::NTSTATUS TQ8_STATUS_NO_SUCH_BUFFER = kern::MakeStatus(0xC0000239);

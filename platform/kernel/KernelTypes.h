#pragma once
// Basic types of the kernel stand-in: status values, interrupt request
// levels, request codes, power states, device-interface GUIDs and the
// kernel's counted wide strings (UTF-16, as the event log stores them).
#include <cstdint>
#include <string>

namespace kern {

using NTSTATUS = int32_t;
using KIRQL = uint8_t;
using KernelString = std::u16string;

constexpr NTSTATUS MakeStatus(uint32_t value) { return static_cast<NTSTATUS>(value); }
constexpr bool NT_SUCCESS(NTSTATUS status) { return status >= 0; }

inline constexpr NTSTATUS STATUS_SUCCESS = 0;
inline constexpr NTSTATUS STATUS_TIMEOUT = 0x102;
inline constexpr NTSTATUS STATUS_PENDING = 0x103;
inline constexpr NTSTATUS STATUS_DEVICE_BUSY = MakeStatus(0x80000011);
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = MakeStatus(0xC0000001);
inline constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = MakeStatus(0xC0000002);
inline constexpr NTSTATUS STATUS_INFO_LENGTH_MISMATCH = MakeStatus(0xC0000004);
inline constexpr NTSTATUS STATUS_ACCESS_VIOLATION = MakeStatus(0xC0000005);
inline constexpr NTSTATUS STATUS_INVALID_HANDLE = MakeStatus(0xC0000008);
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = MakeStatus(0xC000000D);
inline constexpr NTSTATUS STATUS_NO_SUCH_DEVICE = MakeStatus(0xC000000E);
inline constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = MakeStatus(0xC0000010);
inline constexpr NTSTATUS STATUS_MORE_PROCESSING_REQUIRED = MakeStatus(0xC0000016);
inline constexpr NTSTATUS STATUS_NO_MEMORY = MakeStatus(0xC0000017);
inline constexpr NTSTATUS STATUS_ACCESS_DENIED = MakeStatus(0xC0000022);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = MakeStatus(0xC0000034);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = MakeStatus(0xC0000035);
inline constexpr NTSTATUS STATUS_DELETE_PENDING = MakeStatus(0xC0000056);
inline constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = MakeStatus(0xC000009A);
inline constexpr NTSTATUS STATUS_DEVICE_NOT_READY = MakeStatus(0xC00000A3);
inline constexpr NTSTATUS STATUS_NOT_SUPPORTED = MakeStatus(0xC00000BB);
inline constexpr NTSTATUS STATUS_CANCELLED = MakeStatus(0xC0000120);

inline constexpr KIRQL PASSIVE_LEVEL = 0;
inline constexpr KIRQL APC_LEVEL = 1;
inline constexpr KIRQL DISPATCH_LEVEL = 2;
inline constexpr KIRQL DEVICE_LEVEL = 5; // the simulated cards' interrupt level

// Major function codes of requests.
enum : uint8_t {
    IRP_MJ_CREATE,
    IRP_MJ_CLOSE,
    IRP_MJ_DEVICE_CONTROL,
    IRP_MJ_CLEANUP,
    IRP_MJ_POWER,
    IRP_MJ_SYSTEM_CONTROL,
    IRP_MJ_PNP,
    IRP_MJ_COUNT
};

// Minor codes of IRP_MJ_PNP.
enum : uint8_t {
    IRP_MN_START_DEVICE,
    IRP_MN_QUERY_REMOVE_DEVICE,
    IRP_MN_REMOVE_DEVICE,
    IRP_MN_CANCEL_REMOVE_DEVICE,
    IRP_MN_STOP_DEVICE,
    IRP_MN_QUERY_STOP_DEVICE,
    IRP_MN_CANCEL_STOP_DEVICE,
    IRP_MN_QUERY_CAPABILITIES,
    IRP_MN_SURPRISE_REMOVAL
};

// Minor codes of IRP_MJ_POWER.
enum : uint8_t { IRP_MN_WAIT_WAKE, IRP_MN_POWER_SEQUENCE, IRP_MN_SET_POWER, IRP_MN_QUERY_POWER };

enum class PowerStateType : uint8_t { System, Device };

// System power states: 1 working, 2 to 4 sleeping, 5 hibernation, 6 shutdown.
enum : uint32_t {
    PowerSystemWorking = 1,
    PowerSystemSleeping1,
    PowerSystemSleeping2,
    PowerSystemSleeping3,
    PowerSystemHibernate,
    PowerSystemShutdown
};

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
bool operator==(const Guid& a, const Guid& b);
// "{85EBEEDE-159B-40BF-9F99-83DE839ACA61}"
KernelString GuidText(const Guid& guid);

// Pool tags read as their four characters in memory ("TQ8!").
constexpr uint32_t PoolTag(const char (&text)[5])
{
    return static_cast<uint32_t>(static_cast<unsigned char>(text[0]))
           | static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 8
           | static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 16
           | static_cast<uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

// Stops the process with a message: a broken kernel rule, as a real system
// would stop with a bug check.
[[noreturn]] void KeBugCheck(const char* what);

} // namespace kern

#pragma once
// The system event log: entries allocated for a device or driver object,
// rendered with the writing driver's message table ("%1" the object's name,
// "%2" the first insertion string), kept in memory and appended to a file.
#include <cstdint>
#include <string>
#include <vector>

#include "IoObjects.h"
#include "KernelTypes.h"

namespace kern {

inline constexpr uint32_t ERROR_LOG_MAXIMUM_SIZE = 255;

// The fixed head of an entry; insertion strings (UTF-16, each ended by a
// zero) follow at stringOffset.
struct ErrorLogHeader {
    uint32_t errorCode;
    uint16_t stringCount;
    uint16_t stringOffset;
    uint8_t reserved[32];
};
static_assert(sizeof(ErrorLogHeader) == 40, "entry head");

// Zero-filled entry of entrySize bytes (at least the head, at most
// ERROR_LOG_MAXIMUM_SIZE); nullptr when none can be had.
void* IoAllocateErrorLogEntry(DeviceObject* device, uint32_t entrySize);
void* IoAllocateErrorLogEntry(DriverObject* driver, uint32_t entrySize);
// Records the entry and frees it.
void IoWriteErrorLogEntry(void* entry);

struct LoggedEvent {
    uint32_t errorCode = 0;
    KernelString source;            // name of the logging object
    KernelString insertion;         // first insertion string
    std::vector<uint8_t> entry;     // the entry as written
    std::string message;            // rendered, UTF-8, line end removed
};
std::vector<LoggedEvent> SimLoggedEvents();
void SimClearEventLog();
// Empty: memory only. Until set, entries go to DefaultEventLogPath().
void SimSetEventLogFile(const std::string& path);
// "$XDG_DATA_HOME/Veltrane/EventLog.txt" (~/.local/share when unset).
std::string DefaultEventLogPath();

} // namespace kern

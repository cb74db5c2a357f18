#include "EventLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "KernelCheck.h"
#include "Pool.h"
#include "TextConv.h"

namespace kern {

namespace {

constexpr uint32_t kEntryTag = PoolTag("ELog");

struct EntrySource {
    KernelString name;
    std::span<const MessageTableEntry> messages;
    uint32_t size;
};

struct LogState {
    std::mutex mutex;
    std::map<void*, EntrySource> allocated;
    std::vector<LoggedEvent> events;
    std::optional<std::string> file;
};

LogState& Log()
{
    static LogState state;
    return state;
}

void* Allocate(const KernelString& name, std::span<const MessageTableEntry> messages, uint32_t size)
{
    if (size < sizeof(ErrorLogHeader) || size > ERROR_LOG_MAXIMUM_SIZE || SimShouldFail(SimFault::ErrorLogEntry))
        return nullptr;
    void* entry = ExAllocatePoolWithTag(PoolType::NonPaged, size, kEntryTag);
    if (entry == nullptr)
        return nullptr;
    std::memset(entry, 0, size);
    LogState& s = Log();
    std::lock_guard lock(s.mutex);
    s.allocated[entry] = {name, messages, size};
    return entry;
}

KernelString FirstString(const uint8_t* entry, uint32_t size, const ErrorLogHeader& head)
{
    KernelString text;
    if (head.stringCount == 0)
        return text;
    for (uint32_t at = head.stringOffset; at + 1 < size; at += 2) {
        char16_t c = static_cast<char16_t>(entry[at] | entry[at + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return text;
}

KernelString Render(const EntrySource& source, uint32_t code, const KernelString& insertion)
{
    KernelString format = u"%1 : %2";
    for (const MessageTableEntry& m : source.messages)
        if (m.id == code && m.text != nullptr)
            format = m.text;
    KernelString out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size() && (format[i + 1] == u'1' || format[i + 1] == u'2')) {
            out += format[i + 1] == u'1' ? source.name : insertion;
            ++i;
        } else {
            out += format[i];
        }
    }
    while (!out.empty() && (out.back() == u'\n' || out.back() == u'\r'))
        out.pop_back();
    return out;
}

void AppendToFile(const std::string& path, const std::string& line)
{
    if (path.empty())
        return;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    if (std::FILE* f = std::fopen(path.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

} // namespace

void* IoAllocateErrorLogEntry(DeviceObject* device, uint32_t entrySize)
{
    if (device == nullptr)
        return nullptr;
    return Allocate(device->name, device->driverObject->messages, entrySize);
}

void* IoAllocateErrorLogEntry(DriverObject* driver, uint32_t entrySize)
{
    if (driver == nullptr)
        return nullptr;
    return Allocate(driver->name, driver->messages, entrySize);
}

void IoWriteErrorLogEntry(void* entry)
{
    LogState& s = Log();
    std::unique_lock lock(s.mutex);
    auto it = s.allocated.find(entry);
    if (it == s.allocated.end())
        KeBugCheck("event-log entry written that was not allocated");
    const EntrySource source = it->second;
    s.allocated.erase(it);
    const auto* bytes = static_cast<const uint8_t*>(entry);
    ErrorLogHeader head{};
    std::memcpy(&head, bytes, sizeof head);
    LoggedEvent e;
    e.errorCode = head.errorCode;
    e.source = source.name;
    e.insertion = FirstString(bytes, source.size, head);
    e.entry.assign(bytes, bytes + source.size);
    e.message = vlt::Utf16ToUtf8(Render(source, head.errorCode, e.insertion));
    if (!s.file)
        s.file = DefaultEventLogPath();
    const std::string path = *s.file;
    const std::string line = e.message;
    s.events.push_back(std::move(e));
    lock.unlock();
    ExFreePoolWithTag(entry, kEntryTag);
    AppendToFile(path, line);
}

std::vector<LoggedEvent> SimLoggedEvents()
{
    LogState& s = Log();
    std::lock_guard lock(s.mutex);
    return s.events;
}

void SimClearEventLog()
{
    LogState& s = Log();
    std::lock_guard lock(s.mutex);
    s.events.clear();
}

void SimSetEventLogFile(const std::string& path)
{
    LogState& s = Log();
    std::lock_guard lock(s.mutex);
    s.file = path;
}

std::string DefaultEventLogPath()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data != nullptr && *data != '\0')
        base = data;
    else if (const char* home = std::getenv("HOME"))
        base = std::string(home) + "/.local/share";
    else
        return {};
    return base + "/Veltrane/EventLog.txt";
}

} // namespace kern

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "EventLog.h"
#include "Pool.h"
#include "TQ8Driver.h"
#include "TextConv.h"

using namespace kern;

namespace {

constexpr uint32_t kEntryBase = 50;
constexpr uint32_t kTextOffset = 40;
constexpr uint32_t kFormatChars = 128;
// At most 102 UTF-16 units of text fit an entry; cutting at an odd byte
// would split a unit.
constexpr size_t kMaxTextUnits = (ERROR_LOG_MAXIMUM_SIZE - kEntryBase) / 2;

size_t UnitsToCopy(const char16_t* text, size_t units)
{
    if (units <= kMaxTextUnits)
        return units;
    size_t n = kMaxTextUnits;
    // Nor leave half of a surrogate pair.
    if (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF)
        --n;
    return n;
}

NTSTATUS WriteEntry(void* entry, uint32_t size, const char16_t* text, size_t units)
{
    if (entry == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    auto* bytes = static_cast<uint8_t*>(entry);
    std::memset(bytes, 0, size);
    ErrorLogHeader head{};
    head.errorCode = TQ8_EVENT_MESSAGE;
    head.stringCount = 1;
    head.stringOffset = kTextOffset;
    std::memcpy(bytes, &head, sizeof head);
    // The zeroed tail ends the text.
    std::memcpy(bytes + kTextOffset, text, units * sizeof(char16_t));
    IoWriteErrorLogEntry(entry);
    return STATUS_SUCCESS;
}

template <class Object>
NTSTATUS Log(Object* object, const char16_t* text)
{
    if (text == nullptr)
        text = u"<No message provided>";
    const size_t length = std::char_traits<char16_t>::length(text);
    const size_t units = UnitsToCopy(text, length);
    const size_t wanted = kEntryBase + 2 * length;
    const auto size = static_cast<uint32_t>(wanted > ERROR_LOG_MAXIMUM_SIZE ? ERROR_LOG_MAXIMUM_SIZE : wanted);
    return WriteEntry(IoAllocateErrorLogEntry(object, size), size, text, units);
}

} // namespace

NTSTATUS LogEvent(DeviceObject* device, const char16_t* text) { return Log(device, text); }

NTSTATUS LogEvent(DriverObject* driver, const char16_t* text) { return Log(driver, text); }

NTSTATUS LogEventFormat(TQ8_DEVICE_EXTENSION* ext, const char16_t* format, ...)
{
    if (ext == nullptr || format == nullptr)
        return STATUS_INVALID_PARAMETER;
    auto* buffer = static_cast<char*>(ExAllocatePoolWithTag(PoolType::Paged, kFormatChars, TQ8_POOL_TAG));
    if (buffer == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    const std::string narrowFormat = vlt::Utf16ToUtf8(format);
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, kFormatChars, narrowFormat.c_str(), args);
    va_end(args);
    const KernelString text = vlt::Utf8ToUtf16(buffer);
    ExFreePoolWithTag(buffer, TQ8_POOL_TAG);
    return LogEvent(ext->self, text.c_str());
}

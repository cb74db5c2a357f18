// Acquisition, operating mode, settings as a whole and time-stamps.
#include <cerrno>
#include <strings.h>

#include <string>

#include "ApiCommon.h"
#include "AtomicFile.h"
#include "CAutoXmlDoc.h"
#include "SettingsXml.h"
#include "TextConv.h"
#include "XmlRoutines.h"

using namespace tq8;

namespace {
int32_t LoadXml(IBoardBackend& b, std::string_view xml)
{
    CBoardSettings loaded = b.Settings();
    int32_t rc = SettingsFromXml(xml, b.Settings(), loaded);
    return rc == TQ8_OK ? b.ApplySettings(loaded) : rc;
}

// Why the board would refuse the settings text (named so in the parser's
// reason): the parser's or the value's reason; empty when there is nothing
// to add to the code.
int32_t SettingsTextProblem(IBoardBackend& b, const std::string& text, const std::string& name, std::string& reason)
{
    if (!CAutoXmlDoc(XmlReadMemory(text, name, nullptr, XML_PARSE_NONET, &reason)))
        return TQ8_ERR_BAD_SETTINGS;
    CBoardSettings loaded = b.Settings();
    return SettingsFromXml(text, b.Settings(), loaded, &reason);
}

int32_t SettingsFileProblem(IBoardBackend& b, const std::string& path, std::string& reason)
{
    std::string text;
    if (!vlt::ReadWholeFile(path, text, &reason, kMaxSettingsXmlBytes))
        return TQ8_ERR_FILE_UNREADABLE;
    return SettingsTextProblem(b, text, path, reason);
}

// The reason handed out, or none when the code says all.
int32_t HandOutReason(int32_t rc, const std::string& why, wchar_t** reason)
{
    if (rc == TQ8_OK || why.empty())
        return rc;
    *reason = Lib().Memory().CopyWide(vlt::Utf8ToWide(why));
    return *reason != nullptr ? rc : TQ8_ERR_NO_MEMORY;
}

// Blocking acquisitions watch their own handle: disconnecting it ends them.
int32_t AcquireOn(const char* function, TQ8_HANDLE h, AcqTarget target, uint32_t start, uint32_t count)
{
    return Guard(function, [&]() -> int32_t {
        auto connection = Lib().Find(HandleId(h));
        if (!connection)
            return TQ8_ERR_INVALID_HANDLE;
        IBoardBackend& b = *connection->backend;
        CConnectionScope scope(connection.get());
        return IsRecording(b) ? TQ8_ERR_BUSY : b.Acquire(target, start, count, &connection->closed);
    });
}
} // namespace

extern "C" {

int32_t AcquireToBoardRamTQ8(TQ8_HANDLE h, uint32_t start, uint32_t count, uint32_t, uint32_t)
{
    return AcquireOn(__func__, h, AcqTarget::Ram, start, count);
}

int32_t AcquireToZabTQ8(TQ8_HANDLE h, uint32_t count, uint32_t, uint32_t, uint32_t)
{
    return AcquireOn(__func__, h, AcqTarget::Zab, 0, count);
}

int32_t TransferSampleRamToZabTQ8(TQ8_HANDLE h, uint32_t start, uint32_t count, uint32_t, uint32_t)
{
    return AcquireOn(__func__, h, AcqTarget::RamToZab, start, count);
}

int32_t SetOperatingModeTQ8(TQ8_HANDLE h, int32_t mode)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) {
        return mode != TQ8_MODE_STANDBY && IsRecording(b) ? TQ8_ERR_BUSY : b.SetMode(mode);
    });
}

int32_t GetSamplesCompleteFlagTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) -> int32_t { return b.SamplesComplete() ? 1 : 0; });
}

int32_t GetFifoFullFlagTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) -> int32_t { return b.FifoFull() ? 1 : 0; });
}

int32_t SetPowerupDefaultsTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) {
        b.SetDefaults();
        return TQ8_OK;
    });
}

int32_t RewriteHardwareSettingsTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) { return b.RewriteSettings(); });
}

int32_t CopyHardwareSettingsTQ8(TQ8_HANDLE destination, TQ8_HANDLE source)
{
    return Guard(__func__, [&]() -> int32_t {
        auto dst = Lib().Find(HandleId(destination));
        auto src = Lib().Find(HandleId(source));
        if (!dst || !src)
            return TQ8_ERR_INVALID_HANDLE;
        return dst->backend->ApplySettings(src->backend->Settings());
    });
}

int32_t LoadSettingsFromFileXmlWTQ8(TQ8_HANDLE h, uint32_t, const wchar_t* path)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (path == nullptr || *path == L'\0')
            return TQ8_ERR_INVALID_ARG;
        std::string text;
        if (!vlt::ReadWholeFile(vlt::WideToUtf8(path), text, nullptr, kMaxSettingsXmlBytes))
            return TQ8_ERR_FILE_UNREADABLE;
        return LoadXml(b, text);
    });
}

int32_t GetSettingsFileErrorWTQ8(TQ8_HANDLE h, const wchar_t* path, wchar_t** reason)
{
    if (reason != nullptr)
        *reason = nullptr;
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (reason == nullptr || path == nullptr || *path == L'\0')
            return TQ8_ERR_INVALID_ARG;
        std::string why;
        const int32_t rc = SettingsFileProblem(b, vlt::WideToUtf8(path), why);
        return HandOutReason(rc, why, reason);
    });
}

int32_t GetSettingsStringErrorATQ8(TQ8_HANDLE h, const char* text, wchar_t** reason)
{
    if (reason != nullptr)
        *reason = nullptr;
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (reason == nullptr || text == nullptr)
            return TQ8_ERR_INVALID_ARG;
        std::string why;
        const int32_t rc = SettingsTextProblem(b, text, "settings", why);
        return HandOutReason(rc, why, reason);
    });
}

int32_t SaveSettingsToFileXmlWTQ8(TQ8_HANDLE h, uint32_t, const wchar_t* path, const char* encoding)
{
    int error = 0;
    const int32_t rc = WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (path == nullptr || *path == L'\0')
            return TQ8_ERR_INVALID_ARG;
        if (encoding != nullptr && strcasecmp(encoding, "UTF-8") != 0 && strcasecmp(encoding, "UTF8") != 0)
            return TQ8_ERR_NOT_SUPPORTED;
        if (vlt::AtomicWriteFile(vlt::WideToUtf8(path), SettingsToXmlFile(b.Settings())))
            return TQ8_OK;
        error = errno;
        return TQ8_ERR_FILE_WRITE;
    });
    // Set last, so nothing on the way out changes it.
    errno = error;
    return rc;
}

int32_t SaveSettingsToStringXmlATQ8(TQ8_HANDLE h, uint32_t, char** text)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (text == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *text = Lib().Memory().CopyNarrow(SettingsToXmlElement(b.Settings()));
        return *text != nullptr ? TQ8_OK : TQ8_ERR_NO_MEMORY;
    });
}

int32_t LoadSettingsFromStringXmlATQ8(TQ8_HANDLE h, uint32_t, const char* text)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (text == nullptr)
            return TQ8_ERR_INVALID_ARG;
        return LoadXml(b, text);
    });
}

// ---- Time-stamps
int32_t GetTimestampFifoDepthTQ8(TQ8_HANDLE h, uint32_t* depth)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (depth == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *depth = b.TimestampDepth();
        return TQ8_OK;
    });
}

int32_t GetTimestampAvailabilityTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) { return static_cast<int32_t>(b.TimestampsAvailable()); });
}

int32_t GetTimestampOverflowFlagTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) -> int32_t {
        if (!b.Desc().timestampOverflowFlag)
            return TQ8_ERR_TS_OVERFLOW_UNSUPPORTED;
        return b.TimestampOverflow() ? 1 : 0;
    });
}

int32_t ReadTimestampDataTQ8(TQ8_HANDLE h, uint64_t* values, uint32_t maxCount, uint32_t* count, uint32_t flags,
                             uint32_t, void*)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (count != nullptr)
            *count = 0;
        return b.ReadTimestamps(values, maxCount, count, (flags & 1u) != 0);
    });
}

int32_t ResetTimestampFifoTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) {
        b.ResetTimestampFifo();
        return TQ8_OK;
    });
}

int32_t ResetTimestampCounterTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) {
        b.ResetTimestampCounter();
        return TQ8_OK;
    });
}

} // extern "C"

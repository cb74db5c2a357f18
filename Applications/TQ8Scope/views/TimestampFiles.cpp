#include "TimestampFiles.h"

#include <algorithm>
#include <cerrno>
#include <cwctype>

#include "CFileWriter.h"

TimestampFifo DeviceTimestampFifo(TQ8_HANDLE device)
{
    return {[device] { return GetTimestampAvailabilityTQ8(device); },
            [device](uint64_t* values, uint32_t max, uint32_t* count) {
                // Values that came after an overflow are read too.
                return ReadTimestampDataTQ8(device, values, max, count, 1, 0, nullptr);
            }};
}

std::wstring TimestampSavePath(std::wstring_view typed, bool asText)
{
    while (!typed.empty() && std::iswspace(typed.front()))
        typed.remove_prefix(1);
    while (!typed.empty() && std::iswspace(typed.back()))
        typed.remove_suffix(1);
    std::wstring path(typed);
    if (path.empty())
        return path;
    // Only the file name counts: a folder "run.1" gives no extension.
    const size_t slash = path.find_last_of(L'/');
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    if (path.find(L'.', nameStart) == std::wstring::npos) {
        path += L".tq8ts";
        if (asText)
            path += L".txt";
    }
    return path;
}

void AppendRawTimestamps(std::string& out, std::span<const uint64_t> values)
{
    for (uint64_t v : values)
        for (int byte = 0; byte < 8; ++byte)
            out.push_back(char((v >> (8 * byte)) & 0xFFu));
}

void AppendTextTimestamps(std::string& out, std::span<const uint64_t> values)
{
    for (uint64_t v : values) {
        out += std::to_string(v);
        out += "\r\n";
    }
}

TimestampSaveResult SaveTimestamps(const std::string& path, bool asText, const TimestampFifo& fifo,
                                   std::span<uint64_t> buffer)
{
    TimestampSaveResult result;
    vlt::CFileWriter file;
    // Opened first, so that a file that cannot be written empties no FIFO.
    if (!file.Open(path)) {
        result.status = TimestampSaveResult::OpenFailed;
        result.systemError = errno;
        return result;
    }
    const auto max = uint32_t(std::min<size_t>(buffer.size(), UINT32_MAX));
    std::string block;
    while (max > 0 && fifo.available() >= 1) {
        uint32_t got = 0;
        const int32_t code = fifo.read(buffer.data(), max, &got);
        if (code != 0) {
            result.status = TimestampSaveResult::ReadFailed;
            result.readCode = code;
            break;
        }
        got = std::min(got, max);
        if (got == 0)
            break;
        block.clear();
        if (asText)
            AppendTextTimestamps(block, buffer.first(got));
        else
            AppendRawTimestamps(block, buffer.first(got));
        if (!file.Write(block)) {
            result.status = TimestampSaveResult::WriteFailed;
            result.systemError = errno;
            return result;
        }
        result.count += got;
    }
    if (!file.Commit() && result.status == TimestampSaveResult::Saved) {
        result.status = TimestampSaveResult::WriteFailed;
        result.systemError = errno;
    }
    return result;
}

TimestampDrainResult DrainTimestamps(const TimestampFifo& fifo, uint32_t depth)
{
    TimestampDrainResult result;
    const uint64_t limit = uint64_t(depth) + kDrainMargin;
    while (result.count < limit && fifo.available() >= 1) {
        uint64_t value = 0;
        uint32_t got = 0;
        result.readCode = fifo.read(&value, 1, &got);
        if (result.readCode != 0 || got == 0)
            break;
        ++result.count;
    }
    return result;
}

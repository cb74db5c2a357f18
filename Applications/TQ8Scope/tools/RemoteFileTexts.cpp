#include "RemoteFileTexts.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace remote_files {

namespace {

constexpr uint64_t kKB = 1ull << 10;
constexpr uint64_t kMB = 1ull << 20;
constexpr uint64_t kGB = 1ull << 30;
constexpr uint64_t kTB = 1ull << 40;
// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifference = 116444736000000000ull;
constexpr uint64_t kTicksPerSecond = 10000000ull;

std::wstring Widen(const char* text)
{
    std::wstring out;
    for (const char* p = text; *p; ++p)
        out += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return out;
}

} // namespace

std::wstring FormatFileSize(uint64_t bytes)
{
    uint64_t unit = kKB;
    const char* name = "KB";
    if (bytes >= kTB) {
        unit = kTB;
        name = "TB";
    } else if (bytes >= kGB) {
        unit = kGB;
        name = "GB";
    } else if (bytes >= kMB) {
        unit = kMB;
        name = "MB";
    }
    // Whole units rounded up, in integers so that large counts stay exact.
    const uint64_t whole = bytes / unit + (bytes % unit != 0 ? 1 : 0);
    return std::to_wstring(whole) + L" " + Widen(name);
}

std::wstring FormatDriveSize(uint64_t total, uint64_t free)
{
    if (total == 0)
        return {};
    std::wstring text = FormatFileSize(total);
    if (free != 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, " (%0.1f%% free)", static_cast<double>(free) / static_cast<double>(total) * 100.0);
        text += Widen(buf);
    }
    return text;
}

std::wstring DriveTypeText(uint32_t driveType)
{
    switch (driveType) {
    case 2: return L"Removable";
    case 3: return L"Local Disk";
    case 4: return L"Network Drive";
    case 5: return L"CD Drive";
    case 6: return L"RAM Disk";
    default: return L"Unknown";
    }
}

std::wstring FormatFileTime(uint64_t fileTime)
{
    if (fileTime < kEpochDifference)
        return {};
    const uint64_t seconds = (fileTime - kEpochDifference) / kTicksPerSecond;
    if (seconds > static_cast<uint64_t>(INT64_MAX / 2))
        return {};
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local) || local.tm_year + 1900 > 9999)
        return {};
    const int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d %s", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900, hour,
                  local.tm_min, local.tm_hour < 12 ? "AM" : "PM");
    return Widen(buf);
}

bool HasInvalidNameCharacters(const std::wstring& name)
{
    return name.find_first_of(L"/?:&\\*\"<>|#%") != std::wstring::npos;
}

std::wstring InvalidNameMessage(const std::wstring& name)
{
    return name + L"\n\nThe above file name contains invalid characters";
}

bool IsValidNewName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && !HasInvalidNameCharacters(name);
}

std::wstring NewFolderCandidate(const std::wstring& folder, int n)
{
    std::wstring path = folder + L"\\New Folder";
    if (n >= 2)
        path += L" (" + std::to_wstring(n) + L")";
    return path;
}

} // namespace remote_files

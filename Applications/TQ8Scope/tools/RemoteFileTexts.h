#pragma once
// Texts and name rules of the remote file dialog, apart from its widgets:
// the Size and Date Modified columns, drive rows, file-name checks and the
// names tried for a new folder.
#include <cstdint>
#include <string>

namespace remote_files {

// Rounded up to whole KB, MB, GB or TB: 0 bytes "0 KB", 1 byte "1 KB".
std::wstring FormatFileSize(uint64_t bytes);
// A drive's total size with " (x.y% free)" when anything is free; empty
// for a total of 0.
std::wstring FormatDriveSize(uint64_t total, uint64_t free);
// "Removable", "Local Disk", ... "Unknown".
std::wstring DriveTypeText(uint32_t driveType);

// A file time (100 ns since 1601, UTC) in local time as "m/d/yyyy h:mm AM"
// without leading zeros; empty for 0 or a time that cannot be converted.
std::wstring FormatFileTime(uint64_t fileTime);

// One of / ? : & \ * " < > | # % in the name.
bool HasInvalidNameCharacters(const std::wstring& name);
// "The above file name contains invalid characters" after the name.
std::wstring InvalidNameMessage(const std::wstring& name);
// A name a rename may send: not empty, not "." or "..", none of the twelve.
bool IsValidNewName(const std::wstring& name);

// The n-th name tried for a new folder of the folder: n 1 "\New Folder",
// 2..99 "\New Folder (n)".
std::wstring NewFolderCandidate(const std::wstring& folder, int n);
inline constexpr int kMaxNewFolderCandidate = 99;

} // namespace remote_files

#pragma once
// Writes a firmware update package: a ZIP archive of the given files, each
// deflated at the default level, in list order.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// (source file path, name inside the archive); an empty name takes the
// source's last path component.
using FwPackagePairs = std::vector<std::pair<std::string, std::string>>;

// Sources above this size are refused (the archive is built in memory).
inline constexpr uint64_t kMaxPackageSourceBytes = uint64_t(64) << 20;

// The archive is built in memory and then written through a temporary file
// and a rename: on any failure the file at path is left as it was.
// Returns 0, -1 (archive or source cannot be created or opened, a ZIP call
// fails, two entries share a name), -5 (no memory) or -554 (a source cannot
// be read: also one that is not a regular file or is above the limit).
// reason, when given, gets the system's reason of a failure where there is
// one ("No space left on device"), else stays empty.
int WriteFirmwarePackage(const std::string& path, const FwPackagePairs& pairs, std::string* reason = nullptr);

// The entry name a pair gets.
std::string PackageEntryName(const std::pair<std::string, std::string>& pair);

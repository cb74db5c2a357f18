#pragma once
// Whole files in and out. Writes go through a temporary file beside the
// target and a rename, so a failed or interrupted write leaves the previous
// file intact. Reads never block on a FIFO or a device, refuse anything but
// a regular file, and refuse a file larger than the caller's limit before a
// byte is read.
#include <cstdint>
#include <string>
#include <string_view>

namespace vlt {

// On failure returns false, leaves any existing file unchanged and, when
// error is given, sets it to a readable reason (with the system's text).
bool AtomicWriteFile(const std::string& path, std::string_view data, std::string* error = nullptr);

// What every writer here refuses before it writes: a name that exists and
// is not a regular file (a FIFO, a device, a folder). false with the reason
// ("not a regular file") and errno EINVAL; a free name is fine.
bool CheckWriteTarget(const std::string& path, std::string* error = nullptr);

// Limit of readers that name none; every reader of a known kind of file
// passes its own.
inline constexpr uint64_t kDefaultReadLimit = uint64_t(64) << 20;

// Opens path read-only (close-on-exec) and checks the open descriptor: the
// descriptor of a regular file of at most maxBytes, or -1 with a readable
// reason naming the path ("not a regular file", "larger than ..."); errno
// is then the open's error, EINVAL for a file that is not a regular one or
// EFBIG for one above the limit. size gets the file's size when given.
int OpenRegularFile(const std::string& path, uint64_t maxBytes, uint64_t* size = nullptr,
                    std::string* error = nullptr);

// Reads a whole file through OpenRegularFile; false with a reason when it
// cannot be read, data then unchanged, and errno as OpenRegularFile sets it
// (or the read's error). A file that grows past the limit while it is read
// is refused as well (EFBIG).
bool ReadWholeFile(const std::string& path, std::string& data, std::string* error = nullptr,
                   uint64_t maxBytes = kDefaultReadLimit);

} // namespace vlt

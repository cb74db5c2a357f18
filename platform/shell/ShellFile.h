#pragma once
// Reading the small text files of the shell stand-ins (desktop entries, the
// user-dirs list, context and environment files): opened without blocking,
// refused unless a regular file within the caller's size limit, so that a
// FIFO or a device named where a file is expected fails at once. A front of
// ReadWholeFile, the programs' one file reader.
#include <cstddef>
#include <string>

namespace vlt {

// false with a readable reason and the errno-style code (ENOENT for a
// missing file, EINVAL when not a regular file, EFBIG when too large).
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data,
                     std::string* reason = nullptr, int* code = nullptr);

} // namespace vlt

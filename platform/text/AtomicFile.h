#pragma once
// Writes a whole file through a temporary file beside it and a rename, so a
// failed or interrupted write leaves the previous file intact.
#include <string>
#include <string_view>

namespace vlt {

// On failure returns false, leaves any existing file unchanged and, when
// error is given, sets it to a readable reason (with the system's text).
bool AtomicWriteFile(const std::string& path, std::string_view data, std::string* error = nullptr);

// Reads a whole file; false with a reason when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& data, std::string* error = nullptr);

} // namespace vlt

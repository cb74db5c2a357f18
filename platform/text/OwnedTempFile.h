#pragma once
// Temporary files that name the process that made them:
// "<prefix><pid>.XXXXXX", the prefix being a path up to the start of the
// file name. A process killed before it removed its temporary file leaves
// it behind; the next run that uses the same prefix removes it, while a
// writer that still runs keeps its own.
#include <string>

namespace vlt {

// Creates a new, empty, uniquely named file (mode 0600) and returns its
// open descriptor (close-on-exec) with its path, or -1 with errno set.
int CreateOwnedTempFile(const std::string& prefix, std::string& path);

// Removes the files of the prefix whose process has ended.
void RemoveOrphanedTempFiles(const std::string& prefix);

} // namespace vlt

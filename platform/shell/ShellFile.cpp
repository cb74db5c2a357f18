#include "ShellFile.h"

#include <cerrno>

#include "AtomicFile.h"

namespace vlt {

// The programs' one file reader, with its errno handed out as the code.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data, std::string* reason, int* code)
{
    const bool read = ReadWholeFile(path, data, reason, maxBytes);
    if (code)
        *code = read ? 0 : errno;
    return read;
}

} // namespace vlt

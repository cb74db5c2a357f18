#include "AtomicFile.h"

#include "CFileWriter.h"
#include "SystemErrorText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vlt {
namespace {

// Leaves errno at err for the caller.
void SetError(std::string* error, const std::string& what, const std::string& path, int err)
{
    if (error)
        *error = what + " '" + path + "': " + SystemErrorText(err);
    errno = err;
}

void SetTooLarge(std::string* error, const std::string& path, uint64_t maxBytes)
{
    if (error)
        *error = "Cannot read '" + path + "': the file is larger than " + std::to_string(maxBytes) + " bytes";
}

} // namespace

bool AtomicWriteFile(const std::string& path, std::string_view data, std::string* error)
{
    CFileWriter writer;
    return writer.Open(path, error) && writer.Write(data, error) && writer.Commit(error);
}

bool CheckWriteTarget(const std::string& path, std::string* error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    if (error)
        *error = "Cannot write '" + path + "': not a regular file";
    errno = EINVAL;
    return false;
}

int OpenRegularFile(const std::string& path, uint64_t maxBytes, uint64_t* size, std::string* error)
{
    // Non-blocking so that opening a FIFO or a device cannot hang; such
    // files are refused before anything is read from them.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        SetError(error, "Cannot open", path, err);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        SetError(error, "Cannot read", path, err);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = "Cannot read '" + path + "': not a regular file";
        errno = EINVAL;
        return -1;
    }
    if (uint64_t(st.st_size) > maxBytes) {
        ::close(fd);
        SetTooLarge(error, path, maxBytes);
        errno = EFBIG;
        return -1;
    }
    if (size)
        *size = uint64_t(st.st_size);
    return fd;
}

bool ReadWholeFile(const std::string& path, std::string& data, std::string* error, uint64_t maxBytes)
{
    uint64_t size = 0;
    const int fd = OpenRegularFile(path, maxBytes, &size, error);
    if (fd < 0)
        return false;
    std::string out;
    out.reserve(static_cast<size_t>(size));
    char buf[65536];
    for (;;) {
        // Near the limit one byte more is asked for, to tell a file that grew.
        const uint64_t left = maxBytes - out.size();
        const size_t ask = left >= sizeof buf ? sizeof buf : static_cast<size_t>(left) + 1;
        const ssize_t n = ::read(fd, buf, ask);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            SetError(error, "Cannot read", path, err);
            return false;
        }
        if (n == 0)
            break;
        if (out.size() + uint64_t(n) > maxBytes) {
            ::close(fd);
            SetTooLarge(error, path, maxBytes);
            errno = EFBIG;
            return false;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    data = std::move(out);
    return true;
}

} // namespace vlt

#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vlt {
namespace {

std::string SystemText(int err)
{
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return text ? text : "unknown error";
}

// Leaves errno at err for the caller.
void SetError(std::string* error, const std::string& what, const std::string& path, int err)
{
    if (error)
        *error = what + " '" + path + "': " + SystemText(err);
    errno = err;
}

void SetTooLarge(std::string* error, const std::string& path, uint64_t maxBytes)
{
    if (error)
        *error = "Cannot read '" + path + "': the file is larger than " + std::to_string(maxBytes) + " bytes";
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

bool AtomicWriteFile(const std::string& path, std::string_view data, std::string* error)
{
    if (path.empty()) {
        if (error)
            *error = "No file name given";
        return false;
    }
    std::string tmp = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        SetError(error, "Cannot create a file in the folder of", path, errno);
        return false;
    }
    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask rather than mkstemp's 0600.
    struct stat st {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);

    if (!WriteAll(fd, data) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        SetError(error, "Cannot write", path, err);
        return false;
    }
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        SetError(error, "Cannot write", path, err);
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        SetError(error, "Cannot replace", path, err);
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
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

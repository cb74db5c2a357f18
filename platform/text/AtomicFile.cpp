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

void SetError(std::string* error, const std::string& what, const std::string& path, int err)
{
    if (error)
        *error = what + " '" + path + "': " + SystemText(err);
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

bool ReadWholeFile(const std::string& path, std::string& data, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "Cannot open", path, errno);
        return false;
    }
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
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
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    data = std::move(out);
    return true;
}

} // namespace vlt

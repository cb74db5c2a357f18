#include "ShellFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vlt {

namespace {

std::string ErrnoText(int err)
{
    return std::generic_category().message(err);
}

bool Fail(std::string* reason, int* code, int err, const std::string& text)
{
    if (reason)
        *reason = text;
    if (code)
        *code = err;
    return false;
}

} // namespace

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data, std::string* reason, int* code)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        return Fail(reason, code, err, "Cannot open '" + path + "': " + ErrnoText(err));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Fail(reason, code, EINVAL, "'" + path + "' is not a regular file");
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        ::close(fd);
        return Fail(reason, code, EFBIG, "'" + path + "' is larger than " + std::to_string(maxBytes) + " bytes");
    }
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return Fail(reason, code, err, "Cannot read '" + path + "': " + ErrnoText(err));
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (out.size() > maxBytes) { // grew while being read
            ::close(fd);
            return Fail(reason, code, EFBIG, "'" + path + "' is larger than " + std::to_string(maxBytes) + " bytes");
        }
    }
    ::close(fd);
    data = std::move(out);
    return true;
}

} // namespace vlt

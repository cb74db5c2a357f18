#include "HiveLock.h"

#include "SystemErrorText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vlt {

HiveLock::~HiveLock()
{
    Release();
}

bool HiveLock::Acquire(const std::string& lockFile, Mode mode, std::string& error)
{
    Release();
    int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // A reader may lack the right to create or write the lock file (the
    // machine hive read by a user); a read-only descriptor still locks.
    if (fd < 0 && mode == Mode::Shared && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "Cannot open the lock file '" + lockFile + "': " + SystemErrorText(errno);
        return false;
    }
    const int op = mode == Mode::Shared ? LOCK_SH : LOCK_EX;
    while (::flock(fd, op) != 0) {
        if (errno == EINTR)
            continue;
        error = "Cannot lock '" + lockFile + "': " + SystemErrorText(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void HiveLock::Release()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace vlt

#include "HiveLock.h"

#include "SystemErrorText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace vlt {
namespace {

// Between two tries while another program holds the lock.
constexpr std::chrono::milliseconds kRetryInterval{10};
// The wait for a holder that outlasted a whole wait before: long enough for
// a sound writer's whole write, short enough for the many reads of a start.
constexpr std::chrono::milliseconds kStuckWait{100};

std::atomic<int64_t>& WaitLimitMs()
{
    static std::atomic<int64_t> limit{HiveLock::kDefaultWaitLimit.count()};
    return limit;
}

// Lock files whose holder kept them through a whole wait of this process.
std::mutex& StuckMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::set<std::string>& StuckLocks()
{
    static std::set<std::string> files;
    return files;
}

bool IsStuck(const std::string& lockFile)
{
    std::lock_guard<std::mutex> hold(StuckMutex());
    return StuckLocks().count(lockFile) != 0;
}

void SetStuck(const std::string& lockFile, bool stuck)
{
    std::lock_guard<std::mutex> hold(StuckMutex());
    if (stuck)
        StuckLocks().insert(lockFile);
    else
        StuckLocks().erase(lockFile);
}

std::string DurationText(std::chrono::milliseconds d)
{
    return d.count() % 1000 == 0 ? std::to_string(d.count() / 1000) + " s" : std::to_string(d.count()) + " ms";
}

} // namespace

HiveLock::~HiveLock()
{
    Release();
}

void HiveLock::SetWaitLimit(std::chrono::milliseconds limit)
{
    WaitLimitMs() = limit.count();
}

std::chrono::milliseconds HiveLock::WaitLimit()
{
    return std::chrono::milliseconds(WaitLimitMs().load());
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
    const int op = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    // A holder that outlasted a whole wait is not waited for as long again
    // (nor announced again).
    const bool stuck = IsStuck(lockFile);
    const std::chrono::milliseconds limit = stuck ? std::min(kStuckWait, WaitLimit()) : WaitLimit();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool told = stuck;
    while (::flock(fd, op) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            error = "Cannot lock '" + lockFile + "': " + SystemErrorText(errno);
            ::close(fd);
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = stuck ? "The registry lock '" + lockFile + "' is still held by another program, which kept it "
                                "through an earlier wait"
                          : "Gave up after " + DurationText(limit) + " waiting for the registry lock '" + lockFile
                                + "', which another program holds";
            SetStuck(lockFile, true);
            ::close(fd);
            errno = ETIMEDOUT;
            return false;
        }
        if (!told) {
            std::fprintf(stderr, "Waiting up to %s for the registry lock '%s', which another program holds\n",
                         DurationText(limit).c_str(), lockFile.c_str());
            told = true;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    if (stuck)
        SetStuck(lockFile, false);
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

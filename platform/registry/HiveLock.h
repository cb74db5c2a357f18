#pragma once
// An flock on the lock file beside a hive, held for the life of the object.
// flock belongs to the open file description, so two objects conflict even
// inside one process. A lock another program keeps (one that hangs, or is
// stopped, while it writes) is waited for only up to a limit, so that a
// program never hangs at start-up on the registry; once a wait has reached
// the limit, later ones of the process on that lock file give up after a
// short wait until the lock is had again (a start reads the registry many
// times).
// Threads: any; the process's record of such lock files has its own mutex.
#include <chrono>
#include <string>

namespace vlt {

class HiveLock {
public:
    enum class Mode { Shared, Exclusive };
    static constexpr std::chrono::milliseconds kDefaultWaitLimit{10000};

    HiveLock() = default;
    ~HiveLock();
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    // Opens the lock file, creating it when it is missing, and waits for the
    // lock, saying on standard error what it waits for. false with a reason
    // when the lock file cannot be opened or locked, or (errno ETIMEDOUT)
    // when the wait reached its limit or an earlier one did.
    bool Acquire(const std::string& lockFile, Mode mode, std::string& error);
    void Release();

    // For every lock of the process from now on; tests set a short one.
    static void SetWaitLimit(std::chrono::milliseconds limit);
    static std::chrono::milliseconds WaitLimit();

private:
    int m_fd = -1;
};

} // namespace vlt

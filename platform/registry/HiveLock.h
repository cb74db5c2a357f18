#pragma once
// An flock on the lock file beside a hive, held for the life of the object.
// flock belongs to the open file description, so two objects conflict even
// inside one process.
#include <string>

namespace vlt {

class HiveLock {
public:
    enum class Mode { Shared, Exclusive };

    HiveLock() = default;
    ~HiveLock();
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    // Opens the lock file, creating it when it is missing, and waits for the
    // lock. false with a reason (the lock file cannot be opened or locked).
    bool Acquire(const std::string& lockFile, Mode mode, std::string& error);
    void Release();

private:
    int m_fd = -1;
};

} // namespace vlt

#pragma once
// Holds the file-write functions before each progress call-back while set,
// so that callers can be tested against a library slow to call back.
// Threads: a test holds and releases, the writing threads wait; the mutex guards the hold and the waiters.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tq8 {

class CCallbackHold {
public:
    void Set(bool hold);
    // Returns at once unless held; then when released.
    void Wait();
    uint32_t Waiting() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_hold = false;
    uint32_t m_waiting = 0;
};

} // namespace tq8

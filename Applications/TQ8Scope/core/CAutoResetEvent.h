#pragma once
// An auto-reset event: Set wakes one waiter, or the next Wait when nobody
// waits; a successful Wait resets it.
// Threads: the UI thread sets, the acquisition thread waits; the mutex guards the signalled state.
#include <condition_variable>
#include <mutex>

class CAutoResetEvent {
public:
    void Set();
    void Reset();
    void Wait();

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_signalled = false;
};

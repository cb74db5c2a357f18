#pragma once
// An asynchronous sample-memory read of a remote handle: a thread fetches
// the chunks and writes them into the caller's buffer, each under a lock
// that cancelling takes too, so that once a wait has timed out or a standby
// has cancelled it nothing more is written there.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tq8 {

class CRemoteAsyncRead {
public:
    CRemoteAsyncRead() = default;
    ~CRemoteAsyncRead();
    CRemoteAsyncRead(const CRemoteAsyncRead&) = delete;
    CRemoteAsyncRead& operator=(const CRemoteAsyncRead&) = delete;

    // Runs job on a thread of its own. The job writes into the caller's
    // buffer only through Deliver. TQ8_ERR_BUSY while one is pending.
    int32_t Start(std::function<int32_t(CRemoteAsyncRead&)> job);
    // write runs under the lock unless the read was cancelled; false then.
    bool Deliver(const std::function<bool()>& write);
    // 0 when done or nothing was pending, the job's failure, or
    // TQ8_ERR_TIMEOUT (the read is then cancelled; abort ends its call).
    int32_t Wait(uint32_t timeoutMs, const std::function<void()>& abort);
    // Stops a pending read and waits for its thread; abort ends its call.
    void Cancel(const std::function<void()>& abort);

private:
    void Join();

    std::mutex m_mutex;
    std::mutex m_joinMutex; // waits and cancels may come from two threads
    std::condition_variable m_doneChanged;
    std::thread m_thread;
    bool m_running = false;
    bool m_cancelled = false;
    int32_t m_result = 0;
};

} // namespace tq8

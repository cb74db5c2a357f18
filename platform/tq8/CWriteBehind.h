#pragma once
// Writes to a file on a thread of its own, in the order they were queued,
// so that the caller fills its next buffer while the disk takes the ones
// before; with more than one queued, the disk goes from one to the next
// without waiting for the caller. The caller leaves a queued buffer and the
// descriptor alone until a wait has seen its write done. Start and Wait are
// called from one thread (the file's owner); the thread started at the
// first write is the only other one, and the mutex guards what they share.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace tq8 {

class CWriteBehind {
public:
    CWriteBehind() = default;
    // Finishes the queued writes.
    ~CWriteBehind();
    CWriteBehind(const CWriteBehind&) = delete;
    CWriteBehind& operator=(const CWriteBehind&) = delete;

    // Queues a write of all of data to fd. A descriptor opened with
    // O_DIRECT that refuses a write is switched to plain writes.
    void Start(int fd, const uint8_t* data, size_t bytes);
    // Waits until at most `left` writes are queued or in progress. 0, or
    // the system's error number of a write that failed: every write after
    // it is dropped, and every wait reports it.
    int Wait(size_t left);
    // Queued or in progress, as the caller last knew it.
    size_t Queued() const { return m_queued; }

private:
    struct Job {
        int fd;
        const uint8_t* data;
        size_t bytes;
    };

    void Run();
    static int WriteFully(const Job& job);

    size_t m_queued = 0; // the owner's own count
    std::mutex m_mutex;  // everything below
    std::condition_variable m_changed;
    std::thread m_thread;
    std::deque<Job> m_jobs; // the front one is being written
    bool m_quit = false;
    int m_error = 0;
};

} // namespace tq8

#pragma once
// A helper thread for a board's signal rendering: while the acquiring
// thread renders one chunk, each worker renders one of the next. One job at
// a time; the thread starts with the first job and ends with the object.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tq8 {

class CRenderWorker {
public:
    CRenderWorker() = default;
    ~CRenderWorker();
    CRenderWorker(const CRenderWorker&) = delete;
    CRenderWorker& operator=(const CRenderWorker&) = delete;

    // Runs job on the worker; the caller must Wait before the next Start.
    // False when no thread could be had: the caller runs the job itself.
    bool Start(std::function<void()> job);
    void Wait();

private:
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::function<void()> m_job;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace tq8

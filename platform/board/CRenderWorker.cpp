#include "CRenderWorker.h"

#include <system_error>

namespace tq8 {

CRenderWorker::~CRenderWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CRenderWorker::Start(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread([this] { Loop(); });
            } catch (const std::system_error&) {
                return false;
            }
        }
        m_job = std::move(job);
        m_busy = true;
    }
    m_cv.notify_all();
    return true;
}

void CRenderWorker::Wait()
{
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return !m_busy; });
}

void CRenderWorker::Loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [&] { return m_quit || (m_busy && m_job); });
        if (m_quit)
            return;
        std::function<void()> job = std::move(m_job);
        m_job = nullptr;
        lock.unlock();
        job(); // rendering jobs do not throw
        lock.lock();
        m_busy = false;
        m_cv.notify_all();
    }
}

} // namespace tq8

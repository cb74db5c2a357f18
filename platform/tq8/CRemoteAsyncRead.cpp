#include "CRemoteAsyncRead.h"

#include <chrono>

#include "TQ8_64.h"

namespace tq8 {

CRemoteAsyncRead::~CRemoteAsyncRead()
{
    Cancel([] {});
}

int32_t CRemoteAsyncRead::Start(std::function<int32_t(CRemoteAsyncRead&)> job)
{
    std::unique_lock lock(m_mutex);
    if (m_running)
        return TQ8_ERR_BUSY;
    lock.unlock();
    Join(); // a finished read whose result nobody waited for
    lock.lock();
    m_running = true;
    m_cancelled = false;
    m_result = TQ8_OK;
    m_thread = std::thread([this, job = std::move(job)] {
        const int32_t rc = job(*this);
        std::lock_guard done(m_mutex);
        m_result = rc;
        m_running = false;
        m_doneChanged.notify_all();
    });
    return TQ8_OK;
}

bool CRemoteAsyncRead::Deliver(const std::function<bool()>& write)
{
    std::lock_guard lock(m_mutex);
    return !m_cancelled && write();
}

int32_t CRemoteAsyncRead::Wait(uint32_t timeoutMs, const std::function<void()>& abort)
{
    std::unique_lock lock(m_mutex);
    const bool done = m_doneChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_running; });
    if (!done) {
        lock.unlock();
        Cancel(abort);
        return TQ8_ERR_TIMEOUT;
    }
    const int32_t rc = m_result;
    m_result = TQ8_OK;
    lock.unlock();
    Join();
    return rc;
}

void CRemoteAsyncRead::Cancel(const std::function<void()>& abort)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running && !m_thread.joinable())
            return;
        m_cancelled = true;
    }
    abort();
    Join();
    std::lock_guard lock(m_mutex);
    m_result = TQ8_OK;
}

void CRemoteAsyncRead::Join()
{
    std::lock_guard lock(m_joinMutex);
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

} // namespace tq8

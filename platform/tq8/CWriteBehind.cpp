#include "CWriteBehind.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tq8 {

CWriteBehind::~CWriteBehind()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

int CWriteBehind::WriteFully(const Job& job)
{
    size_t written = 0;
    while (written < job.bytes) {
        const ssize_t n = ::write(job.fd, job.data + written, job.bytes - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EINVAL) {
            // O_DIRECT refused only now: the rest goes the plain way.
            const int flags = ::fcntl(job.fd, F_GETFL);
            if (flags >= 0 && (flags & O_DIRECT) != 0 && ::fcntl(job.fd, F_SETFL, flags & ~O_DIRECT) == 0)
                continue;
            return EINVAL;
        }
        if (n <= 0)
            return n < 0 ? errno : EIO;
        written += static_cast<size_t>(n);
    }
    return 0;
}

void CWriteBehind::Start(int fd, const uint8_t* data, size_t bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(Job{fd, data, bytes});
    }
    ++m_queued;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to spare: the write is made here.
            std::lock_guard lock(m_mutex);
            if (m_error == 0)
                m_error = WriteFully(m_jobs.front());
            m_jobs.pop_front();
            return;
        }
    }
    m_changed.notify_all();
}

int CWriteBehind::Wait(size_t left)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_jobs.size() <= left; });
    m_queued = m_jobs.size();
    return m_error;
}

void CWriteBehind::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_jobs.empty() || m_quit; });
        if (m_jobs.empty())
            return;
        const Job job = m_jobs.front();
        const bool dropped = m_error != 0;
        lock.unlock();
        const int error = dropped ? 0 : WriteFully(job);
        lock.lock();
        if (error != 0)
            m_error = error;
        m_jobs.pop_front();
        m_changed.notify_all();
    }
}

} // namespace tq8

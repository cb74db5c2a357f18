#include "CInterruptLine.h"

namespace tq8 {

CInterruptLine::~CInterruptLine() { Disconnect(); }

void CInterruptLine::Assert()
{
    std::lock_guard lock(m_mutex);
    if (!m_asserted) {
        m_asserted = true;
        ++m_edges;
    }
    m_cv.notify_all();
}

void CInterruptLine::Deassert()
{
    std::lock_guard lock(m_mutex);
    m_asserted = false;
}

bool CInterruptLine::IsAsserted() const
{
    std::lock_guard lock(m_mutex);
    return m_asserted;
}

void CInterruptLine::Connect(Service service)
{
    Disconnect();
    std::lock_guard lock(m_mutex);
    m_service = std::move(service);
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void CInterruptLine::Disconnect()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_stop = true;
    }
    m_cv.notify_all();
    m_thread.join();
    std::lock_guard lock(m_mutex);
    m_service = nullptr;
}

bool CInterruptLine::IsConnected() const
{
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && !m_stop;
}

uint64_t CInterruptLine::Unclaimed() const
{
    std::lock_guard lock(m_mutex);
    return m_unclaimed;
}

void CInterruptLine::Run()
{
    std::unique_lock lock(m_mutex);
    uint64_t unclaimedEdge = ~uint64_t{0};
    while (true) {
        m_cv.wait(lock, [&] { return m_stop || (m_asserted && m_edges != unclaimedEdge); });
        if (m_stop)
            return;
        const uint64_t edge = m_edges;
        lock.unlock();
        const bool claimed = m_service();
        lock.lock();
        if (!claimed) {
            ++m_unclaimed;
            unclaimedEdge = edge;
        }
    }
}

} // namespace tq8

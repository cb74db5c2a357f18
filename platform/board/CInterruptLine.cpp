#include "CInterruptLine.h"

namespace tq8 {

CInterruptLine::~CInterruptLine() { Disconnect(); }

void CInterruptLine::Assert()
{
    {
        std::lock_guard lock(m_mutex);
        AssertLocked();
        // A call running elsewhere may end unclaimed: the thread looks again then.
        m_wakeWhenServed = m_wakeWhenServed || m_serving;
    }
    m_cv.notify_all();
}

void CInterruptLine::AssertForCaller()
{
    std::lock_guard lock(m_mutex);
    AssertLocked();
}

void CInterruptLine::AssertLocked()
{
    if (!m_asserted) {
        m_asserted = true;
        ++m_edges;
    }
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

void CInterruptLine::Serve()
{
    std::unique_lock lock(m_mutex);
    if (!m_serving)
        ServeLocked(lock);
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
    std::unique_lock lock(m_mutex);
    m_wakeWhenServed = true;
    m_cv.wait(lock, [this] { return !m_serving; });
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

bool CInterruptLine::DueLocked() const { return !m_stop && m_asserted && m_edges != m_unclaimedEdge && !m_serving; }

void CInterruptLine::ServeLocked(std::unique_lock<std::mutex>& lock)
{
    while (DueLocked()) {
        m_serving = true;
        const uint64_t edge = m_edges;
        lock.unlock();
        const bool claimed = m_service();
        lock.lock();
        m_serving = false;
        if (!claimed) {
            ++m_unclaimed;
            m_unclaimedEdge = edge;
        }
    }
    // Only a waiter asks for the wake-up: none per interrupt.
    if (m_wakeWhenServed) {
        m_wakeWhenServed = false;
        m_cv.notify_all();
    }
}

void CInterruptLine::Run()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_cv.wait(lock, [this] { return m_stop || DueLocked(); });
        if (m_stop)
            return;
        ServeLocked(lock);
    }
}

} // namespace tq8

#include "CDmaEngine.h"

#include "CInterruptLine.h"
#include "CSimClock.h"

namespace tq8 {

namespace {
// Pacing sleeps only once the schedule runs this far ahead.
constexpr auto kLeastSleep = std::chrono::milliseconds(1);
constexpr auto kLookBeforeSleep = std::chrono::microseconds(200);
} // namespace

CDmaEngine::CDmaEngine(CInterruptLine& line, Mover mover) : m_line(line), m_mover(std::move(mover))
{
    m_thread = std::thread([this] { Run(); });
}

CDmaEngine::~CDmaEngine()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

uint32_t CDmaEngine::Read(uint32_t index, uint32_t stored)
{
    if (index * 4 != kStart)
        return stored;
    std::lock_guard lock(m_mutex);
    m_reported = m_status;
    m_fresh = 0;
    return m_status;
}

void CDmaEngine::Write(uint32_t index, uint32_t value)
{
    std::unique_lock lock(m_mutex);
    switch (index * 4) {
    case kReset:
        // The transfer in flight is dropped, and once the reset has landed
        // no byte moves any more: its target may be freed next.
        if ((value & 1) != 0) {
            ++m_generation;
            m_job.reset();
            m_cv.notify_all();
            m_cv.wait(lock, [this] { return !m_moving; });
        }
        break;
    case kStart:
        if ((value & 1) != 0) {
            m_job = Job{m_busAddress, m_length * kUnit, m_generation};
            m_cv.notify_all();
        }
        break;
    case kBusAddress:
        m_busAddress = value;
        break;
    case kLength:
        m_length = value;
        break;
    case kAcknowledge:
        if ((value & 1) != 0) {
            // A bit raised again after the read stays for the next one.
            m_status &= ~(m_reported & ~m_fresh);
            m_reported = 0;
            UpdateLineLocked();
        }
        break;
    default:
        break;
    }
}

void CDmaEngine::Raise(uint32_t bits)
{
    std::lock_guard lock(m_mutex);
    m_status |= bits;
    m_fresh |= bits;
    UpdateLineLocked();
}

uint32_t CDmaEngine::Status() const
{
    std::lock_guard lock(m_mutex);
    return m_status;
}

bool CDmaEngine::Busy() const
{
    std::lock_guard lock(m_mutex);
    return m_job.has_value() || (m_active && m_activeGeneration == m_generation);
}

uint64_t CDmaEngine::Transfers() const
{
    std::lock_guard lock(m_mutex);
    return m_transfers;
}

void CDmaEngine::UpdateLineLocked()
{
    if (m_status != 0)
        m_line.Assert();
    else
        m_line.Deassert();
}

// Waits out the bus time of the bytes; a reset or the end cuts it short.
void CDmaEngine::Pace(std::unique_lock<std::mutex>& lock, const Job& job)
{
    const auto now = std::chrono::steady_clock::now();
    if (m_schedule < now)
        m_schedule = now;
    m_schedule += CSimClock::ToWall(job.bytes / kBytesPerSecond);
    if (m_schedule - now >= kLeastSleep)
        m_cv.wait_until(lock, m_schedule, [&] { return m_stop || job.generation != m_generation; });
}

void CDmaEngine::WaitForJob(std::unique_lock<std::mutex>& lock)
{
    // Chunked reads start the next transfer right after the last one ends:
    // a short look before sleeping saves a wake-up per chunk.
    const auto until = std::chrono::steady_clock::now() + kLookBeforeSleep;
    while (!m_stop && !m_job.has_value() && std::chrono::steady_clock::now() < until) {
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
    }
    m_cv.wait(lock, [this] { return m_stop || m_job.has_value(); });
}

void CDmaEngine::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        WaitForJob(lock);
        if (m_stop)
            return;
        const Job job = *m_job;
        m_job.reset();
        m_active = true;
        m_activeGeneration = job.generation;
        Pace(lock, job);
        // A reset while it waited: the transfer never happens.
        if (job.generation != m_generation || m_stop) {
            m_active = m_job.has_value();
            continue;
        }
        m_moving = true;
        lock.unlock();
        m_mover(job.busAddress, job.bytes);
        lock.lock();
        m_moving = false;
        m_active = m_job.has_value();
        m_cv.notify_all();
        if (job.generation != m_generation)
            continue;
        ++m_transfers;
        m_status |= kDmaComplete;
        m_fresh |= kDmaComplete;
        // The engine's thread takes its own interrupt: no hand-over to the
        // line's thread per transfer.
        m_line.AssertForCaller();
        lock.unlock();
        m_line.Serve();
        lock.lock();
    }
}

} // namespace tq8

#pragma once
// The card's level-held interrupt line. A connected service runs on the
// line's own interrupt thread as long as the line is asserted: a claiming
// service that leaves the line asserted runs again at once; a service that
// does not claim it is not called again before the line is asserted anew.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tq8 {

class CInterruptLine {
public:
    // Returns whether it claimed the interrupt.
    using Service = std::function<bool()>;

    CInterruptLine() = default;
    ~CInterruptLine();
    CInterruptLine(const CInterruptLine&) = delete;
    CInterruptLine& operator=(const CInterruptLine&) = delete;

    void Assert();
    void Deassert();
    bool IsAsserted() const;

    // One service at a time; Disconnect waits for a running call to end.
    void Connect(Service service);
    void Disconnect();
    bool IsConnected() const;
    uint64_t Unclaimed() const;

private:
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_asserted = false;
    uint64_t m_edges = 0;
    uint64_t m_unclaimed = 0;
    bool m_stop = false;
    Service m_service;
    std::thread m_thread;
};

} // namespace tq8

#pragma once
// The card's level-held interrupt line. A connected service runs as long as
// the line is asserted: a claiming service that leaves the line asserted
// runs again at once; a service that does not claim it is not called again
// before the line is asserted anew. Assert hands the service to the line's
// own interrupt thread; a card thread that asserts with AssertForCaller and
// then calls Serve runs it itself, as an interrupt runs on whichever
// processor takes it, which saves a thread hand-over per interrupt. One
// service call runs at a time.
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
    // Asserts without waking the interrupt thread: the caller calls Serve next.
    void AssertForCaller();
    void Deassert();
    bool IsAsserted() const;
    // Runs the service on the calling thread while the line is held and
    // claimed; returns at once when a call runs elsewhere (that one goes on
    // while the line is held). Call it holding no lock the service takes.
    void Serve();

    // One service at a time; Disconnect waits for a running call to end.
    void Connect(Service service);
    void Disconnect();
    bool IsConnected() const;
    uint64_t Unclaimed() const;

private:
    void Run();
    void AssertLocked();
    bool DueLocked() const;
    void ServeLocked(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_asserted = false;
    uint64_t m_edges = 0;
    uint64_t m_unclaimedEdge = ~uint64_t{0};
    uint64_t m_unclaimed = 0;
    bool m_serving = false;
    bool m_wakeWhenServed = false;
    bool m_stop = true;
    Service m_service;
    std::thread m_thread;
};

} // namespace tq8

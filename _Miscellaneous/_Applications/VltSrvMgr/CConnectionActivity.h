#pragma once
// What the host knows of one connection's traffic, so that a full host can
// make room for another computer: whether the connection waits for its
// client's next message with nothing of it received (idle), and since when,
// or is exchanging a message; and whether the host has taken it out of
// service.
// Threads: the connection's own thread marks it idle or busy; the accept
// thread reads it and drops an idle one. The state is one atomic word, so a
// connection whose message begins is never dropped from under it.
#include <atomic>
#include <chrono>

class CConnectionActivity {
public:
    using Clock = std::chrono::steady_clock;

    // A new connection is idle from its accept until its first bytes come.
    CConnectionActivity();

    // Connection thread: waits for the client's next message.
    void WaitsForMessage();
    // Connection thread: the first bytes of a message have come; false when
    // the host dropped the connection before, which then ends.
    bool MessageBegins();

    // Accept thread: takes an idle connection out of service; false when it
    // is exchanging a message or was dropped already.
    bool Drop();
    bool IsIdle() const { return m_state.load() == kIdle; }
    bool IsDropped() const { return m_state.load() == kDropped; }
    Clock::time_point IdleSince() const;

private:
    static constexpr int kBusy = 0;
    static constexpr int kIdle = 1;
    static constexpr int kDropped = 2;

    std::atomic<int> m_state{kIdle};
    std::atomic<Clock::rep> m_idleSince;
};

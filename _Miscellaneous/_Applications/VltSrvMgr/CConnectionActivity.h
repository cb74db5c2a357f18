#pragma once
// What the host knows of one connection's traffic, so that a full host can
// make room for another computer: whether the connection waits for its
// client's next message with nothing of it received (idle), and since when,
// or is exchanging a message; whether one of its services has taken a call
// (from then on the connection holds that service's work: an open board or
// sync device, its recording sessions, an upload); and whether the host has
// taken it out of service.
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
    // Connection thread, while exchanging a message: a service took the
    // call. Ending the connection would end that service's work, so it is
    // never dropped from now on.
    void HoldsWork();

    // Accept thread: takes an idle connection that holds no work out of
    // service; false when it is exchanging a message, holds work or was
    // dropped already.
    bool Drop();
    // Idle and holding no work: one that Drop may take.
    bool MayBeDropped() const { return m_state.load() == kIdle; }
    bool IsDropped() const { return m_state.load() == kDropped; }
    Clock::time_point IdleSince() const;

private:
    static constexpr int kBusy = 0;
    static constexpr int kIdle = 1;
    static constexpr int kDropped = 2;
    // Idle, holding a service's work.
    static constexpr int kIdleHolding = 3;

    std::atomic<int> m_state{kIdle};
    std::atomic<Clock::rep> m_idleSince;
    bool m_holdsWork = false; // the connection thread's alone
};

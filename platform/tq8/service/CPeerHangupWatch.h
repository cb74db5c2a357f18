#pragma once
// Watches a client socket while the connection's thread is blocked in a
// board call: when the client goes away, onHangup runs (once) so that the
// call can be ended and the connection's board handle released.
#include <functional>
#include <thread>

class CPeerHangupWatch {
public:
    CPeerHangupWatch(int socket, std::function<void()> onHangup);
    // Stops watching and waits for the watcher.
    ~CPeerHangupWatch();
    CPeerHangupWatch(const CPeerHangupWatch&) = delete;
    CPeerHangupWatch& operator=(const CPeerHangupWatch&) = delete;

private:
    void Watch(int socket);

    int m_stop[2] = {-1, -1};
    std::function<void()> m_onHangup;
    std::thread m_thread;
};

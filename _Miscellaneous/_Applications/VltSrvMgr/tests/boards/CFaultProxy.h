#pragma once
// Sits between a client and a service host on loopback and lets a test
// replace the host's replies with bytes of its own (framing included), to
// see how the client takes broken, huge or truncated replies. After a
// replaced reply it closes the connection, as a broken server would,
// unless told to go on.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFaultProxy {
public:
    // (request text, the host's reply text) -> the bytes the client gets.
    using Rewrite = std::function<std::string(const std::string&, const std::string&)>;

    CFaultProxy(uint16_t hostPort, Rewrite rewrite, bool closeAfterRewrite = true);
    ~CFaultProxy();
    CFaultProxy(const CFaultProxy&) = delete;
    CFaultProxy& operator=(const CFaultProxy&) = delete;

    uint16_t Port() const { return m_port; }

private:
    void Accept();
    void Relay(int client);

    uint16_t m_hostPort;
    Rewrite m_rewrite;
    bool m_closeAfterRewrite;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::mutex m_mutex;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_relays;
    std::thread m_acceptor;
};

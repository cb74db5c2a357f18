#include "CFaultProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport.h"

CFaultProxy::CFaultProxy(uint16_t hostPort, Rewrite rewrite, bool closeAfterRewrite)
    : m_hostPort(hostPort), m_rewrite(std::move(rewrite)), m_closeAfterRewrite(closeAfterRewrite)
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(m_listen, 8) == 0
        && getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { Accept(); });
}

CFaultProxy::~CFaultProxy()
{
    shutdown(m_listen, SHUT_RDWR);
    m_acceptor.join();
    close(m_listen);
    {
        std::lock_guard lock(m_mutex);
        for (int fd : m_sockets)
            shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& t : m_relays)
        t.join();
    for (int fd : m_sockets)
        close(fd);
}

void CFaultProxy::Accept()
{
    for (;;) {
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        std::lock_guard lock(m_mutex);
        m_sockets.push_back(client);
        m_relays.emplace_back([this, client] { Relay(client); });
    }
}

void CFaultProxy::Relay(int client)
{
    const int host = srvtest::ConnectLoopback(m_hostPort);
    {
        std::lock_guard lock(m_mutex);
        m_sockets.push_back(host);
    }
    std::string request, reply;
    while (host >= 0 && srvtest::ReadFrame(client, request) && srvtest::WriteAll(host, srvtest::Frame(request))
           && srvtest::ReadFrame(host, reply)) {
        const std::string bytes = m_rewrite(request, reply);
        // A server that sent something else than its reply says no more.
        if (!srvtest::WriteAll(client, bytes) || (m_closeAfterRewrite && bytes != srvtest::Frame(reply)))
            break;
    }
    // The client sees the end of the conversation as the host would show it.
    shutdown(client, SHUT_RDWR);
    if (host >= 0)
        shutdown(host, SHUT_RDWR);
}

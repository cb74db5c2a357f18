#include "ServiceClientSocket.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ServiceProtocol.h"

namespace {

int ConnectWithin(const addrinfo* address, int timeoutMs)
{
    const int fd = socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int rc = connect(fd, address->ai_addr, address->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
        pollfd wait{fd, POLLOUT, 0};
        int soError = 0;
        socklen_t size = sizeof soError;
        rc = poll(&wait, 1, timeoutMs) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &size) == 0
                && soError == 0
            ? 0
            : -1;
    }
    if (rc != 0) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SetSocketTimeouts(fd, timeoutMs, timeoutMs);
    return fd;
}

} // namespace

int ConnectServiceSocket(const std::string& server, uint16_t port, int timeoutMs)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (server.empty() || getaddrinfo(server.c_str(), service.c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (const addrinfo* a = found; a && fd < 0; a = a->ai_next)
        fd = ConnectWithin(a, timeoutMs);
    freeaddrinfo(found);
    return fd;
}

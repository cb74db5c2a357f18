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

// The connect's error: SO_ERROR once the socket is writable, ETIMEDOUT
// when it did not become so in time.
int ConnectError(int fd, int timeoutMs)
{
    pollfd wait{fd, POLLOUT, 0};
    const int ready = poll(&wait, 1, timeoutMs);
    if (ready == 0)
        return ETIMEDOUT;
    if (ready < 0)
        return errno;
    int soError = 0;
    socklen_t size = sizeof soError;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &size) != 0)
        return errno;
    return soError;
}

// The connected socket, or -1 with errno set to the connect's error.
int ConnectWithin(const addrinfo* address, int timeoutMs)
{
    const int fd = socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    int error = 0;
    if (connect(fd, address->ai_addr, address->ai_addrlen) != 0)
        error = errno == EINPROGRESS ? ConnectError(fd, timeoutMs) : errno;
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SetSocketTimeouts(fd, timeoutMs, timeoutMs);
    return fd;
}

void Report(ServiceConnectFailure* failure, ServiceConnectFailure why)
{
    if (failure)
        *failure = why;
}

} // namespace

bool IsMalformedNumericAddress(const std::string& server)
{
    if (server.empty() || server.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0)
        return true;
    freeaddrinfo(found);
    return false;
}

int ConnectServiceSocket(const std::string& server, uint16_t port, int timeoutMs, ServiceConnectFailure* failure)
{
    Report(failure, ServiceConnectFailure::None);
    if (IsMalformedNumericAddress(server)) {
        Report(failure, ServiceConnectFailure::MalformedAddress);
        return -1;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (server.empty() || getaddrinfo(server.c_str(), service.c_str(), &hints, &found) != 0) {
        Report(failure, ServiceConnectFailure::UnknownName);
        return -1;
    }
    int fd = -1;
    int error = 0;
    for (const addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ConnectWithin(a, timeoutMs);
        error = errno;
    }
    freeaddrinfo(found);
    if (fd < 0) {
        Report(failure, ServiceConnectFailure::NoConnection);
        errno = error;
    }
    return fd;
}

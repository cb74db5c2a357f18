#include "CPeerHangupWatch.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

CPeerHangupWatch::CPeerHangupWatch(int socket, std::function<void()> onHangup) : m_onHangup(std::move(onHangup))
{
    if (pipe2(m_stop, O_CLOEXEC) == 0)
        m_thread = std::thread([this, socket] { Watch(socket); });
}

CPeerHangupWatch::~CPeerHangupWatch()
{
    if (m_thread.joinable()) {
        const char stop = 0;
        while (write(m_stop[1], &stop, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    for (int fd : m_stop)
        if (fd >= 0)
            close(fd);
}

void CPeerHangupWatch::Watch(int socket)
{
    // Only the hang-up counts: a client may well have sent its next request.
    pollfd fds[2] = {{socket, POLLRDHUP, 0}, {m_stop[0], POLLIN, 0}};
    for (;;) {
        const int ready = poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return;
        if (fds[0].revents & (POLLRDHUP | POLLHUP | POLLERR)) {
            m_onHangup();
            return;
        }
    }
}

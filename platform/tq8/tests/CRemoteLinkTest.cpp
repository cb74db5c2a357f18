// A remote link's socket against two threads: Abort on one while the link
// is closed on the other, round after round, with a fresh socket opened at
// once after the close (it usually takes the number the link just gave up).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <barrier>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "CRemoteLink.h"
#include "ServiceProtocol.h"
#include "TQ8_64.h"
#include "TestSupport.h"

using namespace tq8;

namespace {

// Answers each connection's hello with the host's success reply, then
// closes it: enough of a board service for a link to connect.
class HelloServer {
public:
    HelloServer()
    {
        m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_port = srvtest::FreePort();
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(m_port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_listening = bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
                   && listen(m_listener, 64) == 0;
        if (m_listening)
            m_thread = std::thread([this] { Serve(); });
    }
    ~HelloServer()
    {
        shutdown(m_listener, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        close(m_listener);
    }
    bool Listening() const { return m_listening; }
    uint16_t Port() const { return m_port; }

private:
    void Serve()
    {
        for (;;) {
            const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            std::string hello;
            if (srvtest::ReadFrame(fd, hello))
                SendFramedMessage(fd, kReplySuccess, sizeof kReplySuccess - 1);
            close(fd);
        }
    }

    int m_listener = -1;
    uint16_t m_port = 0;
    bool m_listening = false;
    std::thread m_thread;
};

bool ShutDown(int fd)
{
    pollfd check{fd, POLLRDHUP, 0};
    return poll(&check, 1, 0) != 0;
}

} // namespace

TEST(CRemoteLinkTest, AbortAgainstCloseNeverShutsDownAnotherConnectionsSocket)
{
    constexpr int kRounds = 10000;
    HelloServer server;
    ASSERT_TRUE(server.Listening());
    RemoteTarget target;
    target.server = L"127.0.0.1";
    target.port = server.Port();
    // Each round: the main thread connects a link, then both threads start
    // together and the main thread looks at the bystander once both are done.
    std::barrier sync(3);
    std::unique_ptr<CRemoteLink> link;
    int bystander[2] = {-1, -1};
    std::thread closer([&] {
        for (int round = 0; round < kRounds; ++round) {
            sync.arrive_and_wait();
            link->Close();
            if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, bystander) != 0)
                bystander[0] = bystander[1] = -1;
            sync.arrive_and_wait();
        }
    });
    std::thread aborter([&] {
        for (int round = 0; round < kRounds; ++round) {
            sync.arrive_and_wait();
            link->Abort();
            sync.arrive_and_wait();
        }
    });
    int harmed = 0;
    int failed = 0;
    for (int round = 0; round < kRounds; ++round) {
        link = std::make_unique<CRemoteLink>(target);
        failed += link->Connect() != TQ8_OK;
        sync.arrive_and_wait();
        sync.arrive_and_wait();
        failed += bystander[0] < 0;
        harmed += ShutDown(bystander[0]) || ShutDown(bystander[1]);
        close(bystander[0]);
        close(bystander[1]);
    }
    closer.join();
    aborter.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(harmed, 0);
}

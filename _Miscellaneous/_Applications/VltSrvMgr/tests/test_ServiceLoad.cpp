// Load and fault suite: many clients at once, hostile input, slow clients,
// and the host's threads, descriptors and memory afterwards. Loopback only.
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "CTestServiceClass.h"
#include "CTestServiceInstance.h"
#include "CVltServiceClass.h"
#include "CVltServiceMgr.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

using namespace srvtest;

namespace {

constexpr uint32_t kMessageCap = 1024 * 1024;

std::string Prefix(uint32_t length)
{
    const uint32_t be = htonl(length);
    return std::string(reinterpret_cast<const char*>(&be), 4);
}

class Load : public ::testing::Test {
protected:
    static ServiceHostOptions Roomy()
    {
        ServiceHostOptions options;
        options.bindAddress = "127.0.0.1";
        options.maxMessageBytes = kMessageCap;
        options.maxConnections = 1000;
        options.maxConnectionsPerPeer = 1000;
        return options;
    }
    void StartHost(const ServiceHostOptions& options = Roomy())
    {
        manager = std::make_unique<CVltServiceMgr>(options);
        port = FreePort();
        manager->SetBuiltInServices({[] { return new CTestServiceClass("Board", 1); }});
        ASSERT_EQ(manager->LoadConfig("/nonexistent/VltSvcCfg.xml", false), kSvcInvalidContextFile);
        board = manager->FindClass(1);
        ASSERT_NE(board, nullptr);
        board->SetPort(port);
        ASSERT_EQ(board->StartListening(), 0);
    }
    void TearDown() override
    {
        if (manager)
            manager->UnloadAll();
        if (m_limitRaised)
            setrlimit(RLIMIT_NOFILE, &m_limit);
    }
    // Both ends of every connection are in this process: raises the soft
    // limit of descriptors to needed for the test; false when the hard
    // limit is lower.
    bool HaveDescriptors(rlim_t needed)
    {
        if (getrlimit(RLIMIT_NOFILE, &m_limit) != 0 || m_limit.rlim_max < needed)
            return false;
        if (m_limit.rlim_cur >= needed)
            return true;
        rlimit raised = m_limit;
        raised.rlim_cur = needed;
        m_limitRaised = setrlimit(RLIMIT_NOFILE, &raised) == 0;
        return m_limitRaised;
    }
    int Client()
    {
        return ConnectLoopback(port);
    }
    static bool Ask(int fd, const std::string& request, const std::string& expected)
    {
        std::string reply;
        return WriteAll(fd, Frame(request)) && ReadFrame(fd, reply) && reply == expected;
    }
    // Connects and opens the conversation; -1 on any failure.
    int Connected()
    {
        int fd = Client();
        if (fd >= 0 && !Ask(fd, ConnectRequest(), kReplySuccess)) {
            close(fd);
            fd = -1;
        }
        return fd;
    }

    // One well-behaved client: the number of replies that were exactly right.
    int GoodClient(int id, int calls)
    {
        int fd = Connected();
        if (fd < 0)
            return 0;
        int good = 1;
        for (int i = 0; i < calls; ++i) {
            const std::string text = "c" + std::to_string(id) + "&amp;" + std::to_string(i);
            good += (i % 10 == 9) ? Ask(fd, kPing, kReplySuccess)
                                  : Ask(fd, CallRequest("Echo", "<Text>" + text + "</Text>"), EchoReply(text, "Board"));
        }
        good += WriteAll(fd, Frame(kDisconnect)) && PeerClosed(fd);
        close(fd);
        return good;
    }

    // A hostile client: true when the host behaved (closed on bad input).
    bool HostileClient(int kind)
    {
        int fd = Connected();
        if (fd < 0)
            return false;
        bool ok = true;
        const std::string ping = Frame(kPing);
        switch (kind % 9) {
        case 0: ok = WriteAll(fd, Frame("\x01\x02 not xml at all <<<")) && PeerClosed(fd); break;
        case 1: ok = WriteAll(fd, Prefix(0)) && PeerClosed(fd); break;
        case 2: ok = WriteAll(fd, Prefix(0x80000000u) + "<a/>") && PeerClosed(fd); break;
        case 3: ok = WriteAll(fd, Prefix(0x7FFFFFFFu) + "<Vlt"); break; // then close
        case 4: ok = WriteAll(fd, Prefix(kMessageCap + 1) + "<VltServiceRequest>") && PeerClosed(fd); break;
        case 5: ok = WriteAll(fd, ping.substr(0, 2)); break;                 // gone mid-prefix
        case 6: ok = WriteAll(fd, ping.substr(0, ping.size() / 2)); break;   // gone mid-body
        case 7: ok = WriteAll(fd, Frame(CallRequest("Big", "<Size>200000</Size>"))); break; // gone before the reply
        case 8: // slow: one byte every 10 ms, then a full answer
            for (char byte : ping) {
                ok = ok && WriteAll(fd, std::string(1, byte));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            {
                std::string reply;
                ok = ok && ReadFrame(fd, reply) && reply == kReplySuccess;
            }
            break;
        }
        close(fd);
        return ok;
    }

    // The full mix once: every good reply and every hostile client checked.
    void RunMix(int goodClients, int calls, int hostileClients)
    {
        std::vector<std::future<int>> good;
        std::vector<std::future<bool>> hostile;
        for (int c = 0; c < goodClients; ++c)
            good.push_back(std::async(std::launch::async, [this, c, calls] { return GoodClient(c, calls); }));
        for (int h = 0; h < hostileClients; ++h)
            hostile.push_back(std::async(std::launch::async, [this, h] { return HostileClient(h); }));
        int exact = 0;
        for (auto& client : good)
            exact += client.get();
        int behaved = 0;
        for (auto& client : hostile)
            behaved += client.get();
        EXPECT_EQ(exact, goodClients * (calls + 2));
        EXPECT_EQ(behaved, hostileClients);
    }

    // Waits (bounded) until the host has ended every connection thread.
    void WaitForConnectionsToEnd()
    {
        for (int i = 0; i < 500 && board->GetConnectionCount() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(board->GetConnectionCount(), 0u);
    }

    std::unique_ptr<CVltServiceMgr> manager;
    CVltServiceClass* board = nullptr;
    uint16_t port = 0;

private:
    rlimit m_limit{};
    bool m_limitRaised = false;
};

} // namespace

TEST_F(Load, ManyClientsWithHostileOnesMixedIn)
{
    const int threadsBefore = ThreadBaseline();
    const int fdsBefore = CountOpenFds();
    StartHost();
    RunMix(200, 100, 45);
    WaitForConnectionsToEnd();
    const long residentAfterFirst = ResidentKiB();
    RunMix(200, 100, 45);
    WaitForConnectionsToEnd();
    // A second round must not need much more memory than the first did.
    if (!kAddressSanitizer) {
        EXPECT_LT(ResidentKiB() - residentAfterFirst, 64 * 1024);
    }
    EXPECT_EQ(CTestServiceInstance::s_alive, 0);
    manager->UnloadAll();
    EXPECT_EQ(CountThreads(), threadsBefore);
    EXPECT_EQ(CountOpenFds(), fdsBefore);
}

TEST_F(Load, StopWithFiftyClientsMidMessage)
{
    const int threadsBefore = ThreadBaseline();
    const int fdsBefore = CountOpenFds();
    StartHost();
    std::vector<int> fds;
    const std::string frame = Frame(CallRequest("Echo", "<Text>never finished</Text>"));
    for (int i = 0; i < 50; ++i) {
        int fd = Connected();
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(WriteAll(fd, frame.substr(0, 4 + static_cast<size_t>(i % 20))));
        fds.push_back(fd);
    }
    const auto start = std::chrono::steady_clock::now();
    manager->UnloadAll();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_EQ(CTestServiceInstance::s_alive, 0);
    for (int fd : fds) {
        EXPECT_TRUE(PeerClosed(fd));
        close(fd);
    }
    EXPECT_EQ(CountThreads(), threadsBefore);
    EXPECT_EQ(CountOpenFds(), fdsBefore);
}

TEST_F(Load, ListenerOutlivesRunningOutOfDescriptors)
{
    StartHost();
    int served = Connected();
    ASSERT_GE(served, 0);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(CountOpenFds() + 64);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    // Take every free descriptor but one, which the next client gets, so that
    // the host's accept fails with EMFILE.
    std::vector<int> fillers;
    for (int i = 0; i < 4096; ++i) {
        int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        fillers.push_back(fd);
    }
    ASSERT_FALSE(fillers.empty());
    close(fillers.back());
    fillers.pop_back();
    int starved = Client();
    ASSERT_GE(starved, 0);
    ASSERT_TRUE(WriteAll(starved, Frame(ConnectRequest())));
    SetClientTimeout(starved, 1);
    std::string reply;
    EXPECT_FALSE(ReadFrame(starved, reply)); // not accepted while descriptors are out
    for (int fd : fillers)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &old);
    SetClientTimeout(starved, 20);
    // The listener retried instead of giving up: the queued client is served.
    ASSERT_TRUE(ReadFrame(starved, reply));
    EXPECT_EQ(reply, kReplySuccess);
    EXPECT_TRUE(Ask(served, kPing, kReplySuccess));
    EXPECT_EQ(board->GetExitInfo().exitCode, 0);
    close(starved);
    close(served);
}

TEST_F(Load, IdleAndTricklingClientsLeaveRoomForAnotherComputer)
{
    using namespace std::chrono;
    constexpr int kIdle = 1000;
    constexpr int kTrickling = 50;
    const rlim_t needed = 2 * (kIdle + kTrickling) + 256;
    if (!HaveDescriptors(needed))
        GTEST_SKIP() << "needs " << needed << " descriptors";
    // The host's own limits, as shipped.
    ServiceHostOptions options;
    options.bindAddress = "127.0.0.1";
    StartHost(options);
    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i) {
        const int fd = ConnectLoopbackFrom("127.0.0.2", port);
        ASSERT_GE(fd, 0);
        idle.push_back(fd);
    }
    // The others each begin a message and then send one byte now and then.
    std::vector<int> trickling;
    const std::string connect = Frame(ConnectRequest());
    for (int i = 0; i < kTrickling; ++i) {
        const int fd = ConnectLoopbackFrom("127.0.0.3", port);
        ASSERT_GE(fd, 0);
        WriteAll(fd, connect.substr(0, 5));
        trickling.push_back(fd);
    }
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        for (size_t next = 5; !done && next < connect.size(); ++next) {
            for (int fd : trickling)
                WriteAll(fd, connect.substr(next, 1));
            std::this_thread::sleep_for(milliseconds(200));
        }
    });
    // A correctness check with a generous bound, not a benchmark.
    const auto start = steady_clock::now();
    int fd = ConnectLoopbackFrom("127.0.0.4", port);
    ASSERT_GE(fd, 0);
    SetClientTimeout(fd, 1);
    EXPECT_TRUE(Ask(fd, ConnectRequest(), kReplySuccess));
    EXPECT_TRUE(Ask(fd, kPing, kReplySuccess));
    EXPECT_LT(steady_clock::now() - start, seconds(1));
    done = true;
    trickle.join();
    close(fd);
    for (int held : idle)
        close(held);
    for (int held : trickling)
        close(held);
}

TEST_F(Load, TwoAddressesFillingTheHostLeaveRoomForAThird)
{
    // The host's own limits, as shipped: two addresses, each with its full
    // share, fill it.
    ServiceHostOptions options;
    options.bindAddress = "127.0.0.1";
    const int share = options.maxConnectionsPerPeer;
    ASSERT_EQ(2 * share, options.maxConnections);
    const rlim_t needed = 4 * static_cast<rlim_t>(share) + 256;
    if (!HaveDescriptors(needed))
        GTEST_SKIP() << "needs " << needed << " descriptors";
    StartHost(options);
    const auto connectedFrom = [this](const char* address) {
        const int fd = ConnectLoopbackFrom(address, port);
        EXPECT_TRUE(fd >= 0 && Ask(fd, ConnectRequest(), kReplySuccess)) << address;
        return fd;
    };
    // The first client of 127.0.0.2 is in the middle of a message; the
    // others of both addresses are idle.
    const int exchanging = connectedFrom("127.0.0.2");
    const std::string ping = Frame(kPing);
    ASSERT_TRUE(WriteAll(exchanging, ping.substr(0, 6)));
    std::vector<int> idle;
    for (int i = 1; i < 2 * share; ++i)
        idle.push_back(connectedFrom(i < share ? "127.0.0.2" : "127.0.0.3"));
    // All but the first idle one have spoken since: it is the longest idle.
    for (size_t i = 1; i < idle.size(); ++i)
        ASSERT_TRUE(Ask(idle[i], kPing, kReplySuccess));

    const int third = ConnectLoopbackFrom("127.0.0.4", port);
    ASSERT_GE(third, 0);
    SetClientTimeout(third, 1); // what the newcomer waits at most
    EXPECT_TRUE(Ask(third, ConnectRequest(), kReplySuccess));
    EXPECT_TRUE(Ask(third, kPing, kReplySuccess));
    EXPECT_TRUE(PeerClosed(idle[0]));
    // The client exchanging a message was not the one dropped.
    std::string reply;
    ASSERT_TRUE(WriteAll(exchanging, ping.substr(6)));
    EXPECT_TRUE(ReadFrame(exchanging, reply) && reply == kReplySuccess);
    EXPECT_TRUE(Ask(idle[1], kPing, kReplySuccess));

    for (int fd : idle)
        close(fd);
    close(exchanging);
    close(third);
}

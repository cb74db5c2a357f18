#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "CTestServiceClass.h"
#include "CTestServiceInstance.h"
#include "CVltServiceClass.h"
#include "CVltServiceMgr.h"
#include "CVltServiceModule.h"
#include "IVltServiceInstance.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

using namespace srvtest;

namespace {

ServiceHostOptions LoopbackOptions()
{
    ServiceHostOptions options;
    options.bindAddress = "127.0.0.1";
    return options;
}

// A manager with one listening test service on a free loopback port, and
// the built-in sub-service "FileSvc".
class Listener : public ::testing::Test {
protected:
    void StartHost(ServiceHostOptions options = LoopbackOptions())
    {
        manager = std::make_unique<CVltServiceMgr>(options);
        port = FreePort();
        const uint16_t listenPort = port;
        manager->SetBuiltInServices({[] { return new CTestServiceClass("FileSvc", kVltNoPort); },
                                     [listenPort] { return new CTestServiceClass("Board", listenPort); }});
        // Built-in classes register without a port; "Board" is given one here.
        const std::string dir = ScratchDir("listener");
        ASSERT_EQ(manager->LoadConfig((dir + "/none.xml").c_str(), true), kSvcInvalidContextFile);
        boardClass = manager->FindClass(2);
        ASSERT_NE(boardClass, nullptr);
        boardClass->SetPort(port);
        ASSERT_EQ(boardClass->StartListening(), 0);
    }
    void TearDown() override
    {
        if (manager)
            manager->UnloadAll();
        EXPECT_EQ(CTestServiceInstance::s_alive, 0);
    }
    int Client()
    {
        int fd = ConnectLoopback(port);
        EXPECT_GE(fd, 0);
        return fd;
    }
    static std::string Ask(int fd, const std::string& request)
    {
        std::string reply;
        if (!WriteAll(fd, Frame(request)) || !ReadFrame(fd, reply))
            return "<no reply>";
        return reply;
    }

    std::unique_ptr<CVltServiceMgr> manager;
    CVltServiceClass* boardClass = nullptr;
    uint16_t port = 0;
};

} // namespace

TEST_F(Listener, ServesAClientOverLoopback)
{
    StartHost();
    int fd = Client();
    EXPECT_EQ(Ask(fd, ConnectRequest("<SubServices>FileSvc</SubServices>", "Board")), kReplySuccess);
    EXPECT_EQ(Ask(fd, kPing), kReplySuccess);
    EXPECT_EQ(Ask(fd, CallRequest("Echo", "<Text>hi</Text>")), EchoReply("hi", "Board"));
    EXPECT_EQ(Ask(fd, CallRequest("Only:FileSvc")), EchoReply("", "FileSvc"));
    EXPECT_EQ(Ask(fd, CallRequest("None")), kReplyNotHandled);
    ASSERT_TRUE(WriteAll(fd, Frame(kDisconnect)));
    EXPECT_TRUE(PeerClosed(fd));
    close(fd);
}

TEST_F(Listener, LargeReplyAndRequest)
{
    StartHost();
    int fd = Client();
    ASSERT_EQ(Ask(fd, ConnectRequest()), kReplySuccess);
    EXPECT_EQ(Ask(fd, CallRequest("Big", "<Size>300000</Size>")), std::string(300000, 'x'));
    const std::string text(100000, 'q');
    EXPECT_EQ(Ask(fd, CallRequest("Echo", "<Text>" + text + "</Text>")), EchoReply(text, "Board"));
    close(fd);
}

TEST_F(Listener, ConcurrentClients)
{
    StartHost();
    constexpr int kClients = 24;
    constexpr int kCalls = 30;
    std::vector<std::future<int>> clients;
    for (int c = 0; c < kClients; ++c)
        clients.push_back(std::async(std::launch::async, [this, c] {
            int fd = ConnectLoopback(port);
            if (fd < 0)
                return -1;
            int good = Ask(fd, ConnectRequest()) == kReplySuccess;
            for (int i = 0; i < kCalls; ++i) {
                const std::string text = std::to_string(c) + "-" + std::to_string(i);
                good += Ask(fd, CallRequest("Echo", "<Text>" + text + "</Text>")) == EchoReply(text, "Board");
            }
            close(fd);
            return good;
        }));
    for (auto& client : clients)
        EXPECT_EQ(client.get(), kCalls + 1);
}

TEST_F(Listener, StopWhileClientsAreConnected)
{
    StartHost();
    std::vector<int> fds;
    for (int i = 0; i < 6; ++i) {
        fds.push_back(Client());
        ASSERT_EQ(Ask(fds.back(), ConnectRequest()), kReplySuccess);
    }
    // Two clients stop in the middle of a message, one within the prefix.
    ASSERT_TRUE(WriteAll(fds[0], Frame(kPing).substr(0, 10)));
    ASSERT_TRUE(WriteAll(fds[1], Frame(kPing).substr(0, 2)));
    manager->UnloadAll();
    EXPECT_EQ(CTestServiceInstance::s_alive, 0);
    for (int fd : fds) {
        EXPECT_TRUE(PeerClosed(fd));
        close(fd);
    }
    EXPECT_EQ(ConnectLoopback(port), -1); // nobody listens any more
}

TEST_F(Listener, ExtraClientsAreRefusedOverTheLimit)
{
    ServiceHostOptions options = LoopbackOptions();
    options.maxConnections = 2;
    StartHost(options);
    int a = Client();
    int b = Client();
    ASSERT_EQ(Ask(a, ConnectRequest()), kReplySuccess);
    ASSERT_EQ(Ask(b, ConnectRequest()), kReplySuccess);
    int c = Client();
    EXPECT_TRUE(PeerClosed(c));
    close(c);
    ASSERT_TRUE(WriteAll(a, Frame(kDisconnect)));
    EXPECT_TRUE(PeerClosed(a));
    close(a);
    // Once a's thread has ended, a new client is served again.
    bool served = false;
    for (int attempt = 0; attempt < 100 && !served; ++attempt) {
        int d = Client();
        served = Ask(d, ConnectRequest()) == kReplySuccess;
        close(d);
        if (!served)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(served);
    EXPECT_EQ(Ask(b, kPing), kReplySuccess);
    close(b);
}

TEST_F(Listener, OnePeerHoldsOnlyItsShare)
{
    ServiceHostOptions options = LoopbackOptions();
    options.maxConnectionsPerPeer = 2;
    StartHost(options);
    int a = ConnectLoopbackFrom("127.0.0.2", port);
    int b = ConnectLoopbackFrom("127.0.0.2", port);
    ASSERT_EQ(Ask(a, ConnectRequest()), kReplySuccess);
    ASSERT_EQ(Ask(b, ConnectRequest()), kReplySuccess);
    int c = ConnectLoopbackFrom("127.0.0.2", port);
    EXPECT_TRUE(PeerClosed(c));
    int other = ConnectLoopbackFrom("127.0.0.3", port);
    EXPECT_EQ(Ask(other, ConnectRequest()), kReplySuccess);
    EXPECT_EQ(Ask(a, kPing), kReplySuccess);
    for (int fd : {a, b, c, other})
        close(fd);
}

TEST_F(Listener, AFullHostDropsNoClientInTheMiddleOfAMessage)
{
    ServiceHostOptions options = LoopbackOptions();
    options.maxConnections = 2;
    StartHost(options);
    const std::string ping = Frame(kPing);
    std::vector<int> busy;
    for (int i = 0; i < 2; ++i) {
        busy.push_back(ConnectLoopbackFrom("127.0.0.2", port));
        ASSERT_EQ(Ask(busy.back(), ConnectRequest()), kReplySuccess);
        ASSERT_TRUE(WriteAll(busy.back(), ping.substr(0, 5)));
    }
    // Another computer finds the host full, and nobody to make room.
    int other = ConnectLoopbackFrom("127.0.0.3", port);
    EXPECT_TRUE(PeerClosed(other));
    std::string reply;
    for (int fd : busy) {
        ASSERT_TRUE(WriteAll(fd, ping.substr(5)));
        EXPECT_TRUE(ReadFrame(fd, reply) && reply == kReplySuccess);
        close(fd);
    }
    close(other);
}

TEST_F(Listener, ConnectMessageMustArriveWithinTheLimit)
{
    using namespace std::chrono;
    ServiceHostOptions options = LoopbackOptions();
    options.connectTimeoutMs = 300;
    StartHost(options);
    int silent = Client();
    int trickling = Client();
    int prompt = Client();
    ASSERT_EQ(Ask(prompt, ConnectRequest()), kReplySuccess);
    SetClientTimeout(silent, 5);
    const auto start = steady_clock::now();
    // One byte every 50 ms: the whole connect message would take seconds.
    const std::string connect = Frame(ConnectRequest());
    bool cut = false;
    for (size_t i = 0; i < connect.size() && !cut; ++i) {
        cut = !WriteAll(trickling, connect.substr(i, 1));
        std::this_thread::sleep_for(milliseconds(50));
    }
    EXPECT_TRUE(cut);
    EXPECT_TRUE(PeerClosed(trickling));
    EXPECT_TRUE(PeerClosed(silent));
    EXPECT_GE(steady_clock::now() - start, milliseconds(250));
    // Once connected, a client waits between its messages without limit.
    EXPECT_EQ(Ask(prompt, kPing), kReplySuccess);
    for (int fd : {silent, trickling, prompt})
        close(fd);
}

TEST_F(Listener, TricklingMessageIsEndedAtTheLimit)
{
    ServiceHostOptions options = LoopbackOptions();
    options.messageTimeoutMs = 300;
    StartHost(options);
    int fd = Client();
    ASSERT_EQ(Ask(fd, ConnectRequest()), kReplySuccess);
    SetClientTimeout(fd, 5);
    // Never silent for long, yet the ping would take seconds to arrive.
    const std::string ping = Frame(kPing);
    bool cut = false;
    for (size_t i = 0; i < ping.size() && !cut; ++i) {
        cut = !WriteAll(fd, ping.substr(i, 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(cut);
    EXPECT_TRUE(PeerClosed(fd));
    close(fd);
}

TEST_F(Listener, IdleClientIsDroppedAfterTheTimeOut)
{
    ServiceHostOptions options = LoopbackOptions();
    options.idleTimeoutMs = 100;
    StartHost(options);
    int fd = Client();
    ASSERT_EQ(Ask(fd, ConnectRequest()), kReplySuccess);
    EXPECT_TRUE(PeerClosed(fd));
    close(fd);
}

TEST_F(Listener, RestartOnTheSamePort)
{
    StartHost();
    int fd = Client();
    ASSERT_EQ(Ask(fd, ConnectRequest()), kReplySuccess);
    close(fd);
    manager->UnloadAll();
    boardClass = nullptr;
    ASSERT_EQ(manager->LoadConfig("/nonexistent.xml", true), kSvcInvalidContextFile);
    CVltServiceClass* again = manager->FindClass(2);
    ASSERT_NE(again, nullptr);
    again->SetPort(port);
    ASSERT_EQ(again->StartListening(), 0);
    fd = Client();
    EXPECT_EQ(Ask(fd, ConnectRequest()), kReplySuccess);
    close(fd);
}

TEST(ServiceClass, PortBoundByAnotherProgram)
{
    int other = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(other, 1), 0);
    socklen_t size = sizeof address;
    getsockname(other, reinterpret_cast<sockaddr*>(&address), &size);
    CVltServiceClass serviceClass(nullptr, LoopbackOptions(), new CTestServiceClass("Busy", 1));
    serviceClass.SetPort(ntohs(address.sin_port));
    EXPECT_EQ(serviceClass.StartListening(), kSvcSocketError);
    EXPECT_EQ(GetLastSocketError(), 10048);
    serviceClass.Unload();
    close(other);
}

TEST(ServiceClass, WithoutInterfaceItCannotListen)
{
    CVltServiceClass serviceClass(nullptr, LoopbackOptions());
    EXPECT_EQ(serviceClass.StartListening(), kSvcNonSpecific);
    EXPECT_EQ(serviceClass.CreateInstance(), nullptr);
    EXPECT_EQ(serviceClass.GetName(), nullptr);
    EXPECT_EQ(serviceClass.GetPort(), kVltNoPort);
    EXPECT_EQ(serviceClass.StopListening(true), 0);
    serviceClass.Unload();
    serviceClass.Unload();
}

TEST(ServiceClass, LoadingAgainUnloadsTheFirstLibrary)
{
    CVltServiceClass serviceClass(nullptr, LoopbackOptions());
    ASSERT_EQ(serviceClass.Load(PLUGIN_vltsrv_plugin_good, 0), 0);
    EXPECT_STREQ(serviceClass.GetName(), "ViaC");
    ASSERT_EQ(serviceClass.Load(PLUGIN_vltsrv_plugin_std, 0), 0);
    EXPECT_STREQ(serviceClass.GetName(), "ViaStd");
    EXPECT_EQ(serviceClass.Load(PLUGIN_vltsrv_plugin_none, 0), kSvcNotServiceLibrary);
    EXPECT_EQ(serviceClass.GetName(), nullptr);
}

TEST(ServiceClass, StopWithoutClientsJoinsTheAcceptThread)
{
    const int threadsBefore = ThreadBaseline();
    const int fdsBefore = CountOpenFds();
    {
        CVltServiceClass serviceClass(nullptr, LoopbackOptions(), new CTestServiceClass("Idle", 1));
        serviceClass.SetPort(FreePort());
        ASSERT_EQ(serviceClass.StartListening(), 0);
        EXPECT_EQ(serviceClass.StopListening(true), 0);
        EXPECT_EQ(serviceClass.GetExitInfo().exitCode, 0);
        EXPECT_EQ(CountThreads(), threadsBefore);
    }
    EXPECT_EQ(CountOpenFds(), fdsBefore);
}

TEST(ServiceClass, ConfiguredPluginListensAfterLoad)
{
    CVltServiceMgr manager(LoopbackOptions());
    const std::string dir = ScratchDir("plugin-listen");
    const uint16_t port = FreePort();
    WriteTextFile(dir + "/VltSvcCfg.xml", "<VltServiceCfg><Service Port=\"" + std::to_string(port) + "\">"
                                              PLUGIN_vltsrv_plugin_good "</Service></VltServiceCfg>");
    ASSERT_EQ(manager.LoadConfig((dir + "/VltSvcCfg.xml").c_str(), true), 0);
    int fd = ConnectLoopback(port);
    ASSERT_GE(fd, 0);
    std::string reply;
    ASSERT_TRUE(WriteAll(fd, Frame(ConnectRequest("", "ViaC"))) && ReadFrame(fd, reply));
    EXPECT_EQ(reply, kReplySuccess);
    ASSERT_TRUE(WriteAll(fd, Frame(CallRequest("Echo", "<Text>&lt;x&gt;</Text>"))) && ReadFrame(fd, reply));
    EXPECT_EQ(reply, EchoReply("&lt;x&gt;", "ViaC"));
    manager.UnloadAll();
    EXPECT_TRUE(PeerClosed(fd));
    close(fd);
}

TEST(ServiceClass, ClassThatCannotBindStaysRegistered)
{
    int other = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(other, 1), 0);
    socklen_t size = sizeof address;
    getsockname(other, reinterpret_cast<sockaddr*>(&address), &size);
    const uint16_t busy = ntohs(address.sin_port);

    CVltServiceMgr manager(LoopbackOptions());
    const std::string dir = ScratchDir("plugin-busy");
    WriteTextFile(dir + "/VltSvcCfg.xml", "<VltServiceCfg><Service Port=\"" + std::to_string(busy) + "\">"
                                              PLUGIN_vltsrv_plugin_good "</Service></VltServiceCfg>");
    ASSERT_EQ(manager.LoadConfig((dir + "/VltSvcCfg.xml").c_str(), true), 0);
    uint16_t port = 0;
    ASSERT_EQ(manager.GetServiceInfo(1, nullptr, nullptr, &port), 0);
    EXPECT_EQ(port, busy);
    IVltServiceInstance* instance = nullptr;
    std::shared_ptr<CVltServiceModule> keep;
    ASSERT_EQ(manager.CreateServiceInstance("ViaC", &instance, &keep), 0); // still a sub-service
    instance->Release();
    manager.UnloadAll();
    close(other);
}

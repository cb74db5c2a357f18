#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "CTestServiceClass.h"
#include "CTestServiceInstance.h"
#include "CVltServiceInstance.h"
#include "CVltServiceMgr.h"
#include "CVltServiceModule.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

using namespace srvtest;

namespace {

const std::string kErrorReply = "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse error=\"true\" >"
                                "<ErrorText>Invalid or missing request data</ErrorText></VltServiceResponse>";

// One conversation over a socket pair: the host side runs on its own thread.
class Conversation : public ::testing::Test {
protected:
    void SetUp() override
    {
        CTestServiceClass::CreatedLog(true);
        manager.SetBuiltInServices({[] { return new CTestServiceClass("FileSvc", kVltNoPort); },
                                    [] { return new CTestServiceClass("PowerSvc", kVltNoPort); }});
        ASSERT_EQ(manager.LoadConfig("/nonexistent/VltSvcCfg.xml", false), kSvcInvalidContextFile);
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        SetClientTimeout(fds[0], 20);
    }
    void TearDown() override
    {
        if (fds[0] >= 0)
            close(fds[0]);
        if (result.valid())
            result.wait();
        close(fds[1]);
    }
    void Start(IVltServiceClass* own = new CTestServiceClass("Own", 3494), ServiceHostOptions options = {})
    {
        module = std::make_shared<CVltServiceModule>(nullptr, own);
        result = std::async(std::launch::async, [this, options] {
            CVltServiceInstance connection(&manager, module, fds[1], options);
            const int32_t rc = connection.Run();
            clientApp = connection.GetClientApp();
            shutdown(fds[1], SHUT_RDWR);
            return rc;
        });
    }
    std::string Ask(const std::string& request)
    {
        std::string reply;
        EXPECT_TRUE(WriteAll(fds[0], Frame(request)));
        EXPECT_TRUE(ReadFrame(fds[0], reply)) << "no reply to " << request;
        return reply;
    }
    void Connect(const std::string& inner = "")
    {
        ASSERT_EQ(Ask(ConnectRequest(inner)), kReplySuccess);
    }
    // The host closes without a reply; the conversation's result.
    int32_t ClosedWithoutReply()
    {
        EXPECT_TRUE(PeerClosed(fds[0]));
        return result.get();
    }

    CVltServiceMgr manager;
    std::shared_ptr<CVltServiceModule> module;
    int fds[2] = {-1, -1};
    std::future<int32_t> result;
    std::string clientApp;
};

} // namespace

TEST_F(Conversation, ConnectPingCallsAndDisconnect)
{
    Start();
    Connect();
    EXPECT_EQ(Ask(kPing), kReplySuccess);
    EXPECT_EQ(Ask(CallRequest("Echo", "<Text>a&amp;b</Text>")), EchoReply("a&amp;b", "Own"));
    EXPECT_EQ(Ask(CallRequest("Nobody")), kReplyNotHandled);
    EXPECT_EQ(Ask(CallRequest("Fail")), kErrorReply);
    // A failed call keeps the connection.
    EXPECT_EQ(Ask(kPing), kReplySuccess);
    ASSERT_TRUE(WriteAll(fds[0], Frame(kDisconnect)));
    EXPECT_EQ(ClosedWithoutReply(), 0);
}

TEST_F(Conversation, EachMessageKeepsItsOwnEncoding)
{
    Start();
    Connect();
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + CallRequest("Echo", "<Text>\xE9</Text>");
    EXPECT_EQ(Ask(latin1), EchoReply("\xC3\xA9", "Own"));
    EXPECT_EQ(Ask(CallRequest("Echo", "<Text>\xC3\xA9</Text>")), EchoReply("\xC3\xA9", "Own"));
    EXPECT_EQ(Ask(CallRequest("Echo", "<Text>\xE2\x82\xAC</Text>")), EchoReply("\xE2\x82\xAC", "Own"));
}

TEST_F(Conversation, FirstMessageMustBeAConnect)
{
    Start();
    ASSERT_TRUE(WriteAll(fds[0], Frame(kPing)));
    EXPECT_EQ(ClosedWithoutReply(), kSvcMalformedRequest);
}

TEST_F(Conversation, FirstCallClosesTheConnection)
{
    Start();
    ASSERT_TRUE(WriteAll(fds[0], Frame(CallRequest("Echo", "<Text>x</Text>"))));
    EXPECT_EQ(ClosedWithoutReply(), kSvcMalformedRequest);
}

TEST_F(Conversation, ConnectNamingAnotherServiceIsRefused)
{
    Start();
    ASSERT_TRUE(WriteAll(fds[0], Frame(ConnectRequest("", "own"))));
    EXPECT_EQ(ClosedWithoutReply(), kSvcOtherService);
}

TEST_F(Conversation, ConnectNamingThisServiceIsAccepted)
{
    Start();
    ASSERT_EQ(Ask(ConnectRequest("<ClientApp>Scope &amp; Co</ClientApp>", "Own")), kReplySuccess);
    ASSERT_TRUE(WriteAll(fds[0], Frame(kDisconnect)));
    EXPECT_EQ(ClosedWithoutReply(), 0);
    EXPECT_EQ(clientApp, "Scope & Co");
}

TEST_F(Conversation, ServiceNameIsComparedWithItsBlanks)
{
    Start(new CTestServiceClass(" Spaced ", 3494));
    ASSERT_TRUE(WriteAll(fds[0], Frame(ConnectRequest("", "Spaced"))));
    EXPECT_EQ(ClosedWithoutReply(), kSvcOtherService);
}

TEST_F(Conversation, WrongRootClosesTheConnection)
{
    Start();
    ASSERT_TRUE(WriteAll(fds[0], Frame("<VltServiceRequestX><Connect/></VltServiceRequestX>")));
    EXPECT_EQ(ClosedWithoutReply(), kSvcMalformedRequest);
}

TEST_F(Conversation, RootInOtherCaseIsDispatchedAsACall)
{
    Start();
    Connect();
    EXPECT_EQ(Ask("<vltservicerequest><Ping/></vltservicerequest>"), kReplyNotHandled);
    EXPECT_EQ(Ask("<VLTSERVICEREQUEST><Disconnect/></VLTSERVICEREQUEST>"), kReplyNotHandled);
    EXPECT_EQ(Ask(kPing), kReplySuccess);
}

TEST_F(Conversation, NamespacedRequestIsNotAPing)
{
    Start();
    Connect();
    EXPECT_EQ(Ask("<VltServiceRequest xmlns=\"urn:x\"><Ping/></VltServiceRequest>"), kReplyNotHandled);
    EXPECT_EQ(Ask("<VltServiceRequest><p:Ping xmlns:p=\"urn:x\"/></VltServiceRequest>"), kReplyNotHandled);
    EXPECT_EQ(Ask("<VltServiceRequest><!-- c --><Ping/></VltServiceRequest>"), kReplySuccess);
}

TEST_F(Conversation, RootInOtherCaseCannotConnect)
{
    Start();
    ASSERT_TRUE(WriteAll(fds[0], Frame("<vltservicerequest><Connect/></vltservicerequest>")));
    EXPECT_EQ(ClosedWithoutReply(), kSvcMalformedRequest);
}

TEST_F(Conversation, SecondConnectIsACall)
{
    Start();
    Connect();
    EXPECT_EQ(Ask(ConnectRequest()), kReplyNotHandled);
}

TEST_F(Conversation, PingWinsOverDisconnect)
{
    Start();
    Connect();
    EXPECT_EQ(Ask("<VltServiceRequest><Disconnect/><Ping/></VltServiceRequest>"), kReplySuccess);
}

TEST_F(Conversation, SubServicesAttachInOrder)
{
    Start();
    Connect("<SubServices>  FileSvc ; ;PowerSvc;Nope; ; FileSvc;Own </SubServices>");
    const std::vector<std::string> expected = {"Own", "FileSvc", "PowerSvc", "FileSvc"};
    EXPECT_EQ(CTestServiceClass::CreatedLog(), expected);
    // The connection's own service may be named too: it is registered only
    // when a class of that name is, which "Own" here is not.
    EXPECT_EQ(Ask(CallRequest("Only:PowerSvc")), EchoReply("", "PowerSvc"));
    EXPECT_EQ(Ask(CallRequest("Only:FileSvc")), EchoReply("", "FileSvc"));
    EXPECT_EQ(Ask(CallRequest("Echo", "<Text>t</Text>")), EchoReply("t", "Own"));
    ASSERT_TRUE(WriteAll(fds[0], Frame(kDisconnect)));
    EXPECT_EQ(ClosedWithoutReply(), 0);
    EXPECT_EQ(CTestServiceInstance::s_alive, 0);
}

TEST_F(Conversation, LongSubServiceListIsReadInOnePass)
{
    // As many names as a connect message within the size limit can carry;
    // reading them must not cost time in the square of the list's length.
    std::string names = "FileSvc;";
    for (int i = 0; i < 4'000'000; ++i)
        names += "x;";
    names += "PowerSvc";
    module = std::make_shared<CVltServiceModule>(nullptr, new CTestServiceClass("Own", 3494));
    CVltServiceInstance connection(&manager, module, fds[1], ServiceHostOptions{});
    connection.AttachSubServices(names);
    EXPECT_EQ(connection.GetInstanceCount(), 2u);
}

TEST_F(Conversation, ServiceFailureGivesTheErrorReplyAndGoesOn)
{
    Start();
    Connect();
    EXPECT_EQ(Ask(CallRequest("Echo")), kErrorReply); // Text missing: the service returns -534
    EXPECT_EQ(Ask(kPing), kReplySuccess);
}

TEST_F(Conversation, OwnInstanceFailureEndsTheConnection)
{
    Start(new CTestServiceClass("Broken", 3494, true));
    EXPECT_EQ(ClosedWithoutReply(), kSvcInstanceNotCreated);
}

TEST_F(Conversation, MalformedMessageEndsTheConnection)
{
    Start();
    Connect();
    ASSERT_TRUE(WriteAll(fds[0], Frame("<VltServiceRequest><Ping>")));
    EXPECT_EQ(ClosedWithoutReply(), kSvcMalformedXml);
    EXPECT_EQ(CTestServiceInstance::s_alive, 0);
}

TEST_F(Conversation, OversizedMessageEndsTheConnection)
{
    ServiceHostOptions options;
    options.maxMessageBytes = 1024;
    Start(new CTestServiceClass("Own", 3494), options);
    Connect();
    ASSERT_TRUE(WriteAll(fds[0], Frame(CallRequest("Echo", "<Text>" + std::string(2000, 'a') + "</Text>"))));
    EXPECT_EQ(ClosedWithoutReply(), kSvcMalformedXml);
}

TEST_F(Conversation, ZeroLengthEndsTheConnection)
{
    Start();
    Connect();
    ASSERT_TRUE(WriteAll(fds[0], std::string(4, '\0')));
    EXPECT_EQ(ClosedWithoutReply(), kSvcMalformedXml);
}

TEST_F(Conversation, ClientClosingAtOnceEndsTheConversation)
{
    Start();
    close(fds[0]);
    fds[0] = -1;
    EXPECT_EQ(result.get(), kSvcClientDisconnected);
    EXPECT_EQ(CTestServiceInstance::s_alive, 0);
}

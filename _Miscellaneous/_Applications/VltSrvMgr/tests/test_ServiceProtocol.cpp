#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <sys/socket.h>
#include <thread>
#include <vector>
#include <unistd.h>

#include "CAutoXmlDoc.h"
#include "ServiceErrors.h"
#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"
#include "XmlRoutines.h"

using namespace srvtest;

namespace {

class SocketPair : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        SetClientTimeout(fds[0], 20);
        SetClientTimeout(fds[1], 20);
    }
    void TearDown() override
    {
        if (fds[0] >= 0)
            close(fds[0]);
        if (fds[1] >= 0)
            close(fds[1]);
    }
    void CloseClient()
    {
        close(fds[0]);
        fds[0] = -1;
    }
    int32_t Receive(CAutoXmlDoc& doc, uint32_t& length, const ServiceHostOptions* options = nullptr)
    {
        xmlDocPtr parsed = nullptr;
        const int32_t rc = ReceiveFramedMessage(fds[1], buffer, options, parsed, length);
        doc.Attach(parsed);
        return rc;
    }
    std::string Prefix(uint32_t length)
    {
        const uint32_t be = htonl(length);
        return std::string(reinterpret_cast<const char*>(&be), 4);
    }
    std::string Pending()
    {
        char data[64];
        ssize_t n = recv(fds[1], data, sizeof data, MSG_DONTWAIT);
        return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
    }

    int fds[2] = {-1, -1};
    char buffer[kReceiveBufferSize];
};

std::string RootName(xmlDocPtr doc)
{
    xmlNodePtr root = xmlDocGetRootElement(doc);
    return root ? reinterpret_cast<const char*>(root->name) : "";
}

std::string Built(bool success, const char* text)
{
    std::string out = "junk";
    EXPECT_EQ(BuildResponse(out, success, text), 0);
    return out;
}

} // namespace

TEST(ServiceReplies, FixedRepliesHaveTheirExactSizes)
{
    EXPECT_EQ(sizeof kReplySuccess - 1, 93u);
    EXPECT_EQ(sizeof kReplyNotHandled - 1, 95u);
    EXPECT_EQ(std::string(kReplyNotHandled),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse handled=\"false\"></VltServiceResponse>");
}

TEST(ServiceReplies, BuildResponseForms)
{
    const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse error=\"";
    EXPECT_EQ(Built(true, nullptr), kReplySuccess);
    EXPECT_EQ(Built(false, nullptr), head + "true\" ></VltServiceResponse>");
    EXPECT_EQ(Built(false, "Invalid or missing request data"),
              head + "true\" ><ErrorText>Invalid or missing request data</ErrorText></VltServiceResponse>");
    EXPECT_EQ(Built(true, "note"), head + "false\" ><ErrorText>note</ErrorText></VltServiceResponse>");
}

TEST(ServiceReplies, ErrorTextIsEscaped)
{
    EXPECT_EQ(Built(false, "a<b> & 'c' \"d\" &amp;"),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse error=\"true\" ><ErrorText>"
              "a&lt;b&gt; &amp; &apos;c&apos; &quot;d&quot; &amp;amp;</ErrorText></VltServiceResponse>");
    // A lone Windows-1252 apostrophe is escaped; valid UTF-8 passes unchanged.
    EXPECT_NE(Built(false, "it\x92s").find("<ErrorText>it&apos;s</ErrorText>"), std::string::npos);
    EXPECT_NE(Built(false, "it\xE2\x80\x99s").find("<ErrorText>it\xE2\x80\x99s</ErrorText>"), std::string::npos);
}

TEST_F(SocketPair, FramedMessageRoundTrip)
{
    const std::string text = "<VltServiceRequest><Ping/></VltServiceRequest>";
    ASSERT_EQ(SendFramedMessage(fds[0], text), 0);
    CAutoXmlDoc doc;
    uint32_t length = 0;
    ASSERT_EQ(Receive(doc, length), 0);
    EXPECT_EQ(length, text.size());
    EXPECT_EQ(RootName(doc), "VltServiceRequest");
}

TEST_F(SocketPair, SendResponseSendsTheFrameByteForByte)
{
    ASSERT_EQ(SendResponse(fds[1], false, "x<y"), 0);
    std::string got;
    ASSERT_TRUE(ReadFrame(fds[0], got));
    std::string expected;
    BuildResponse(expected, false, "x<y");
    EXPECT_EQ(got, expected);
    ASSERT_EQ(SendResponse(fds[1], true, nullptr), 0);
    ASSERT_TRUE(ReadFrame(fds[0], got));
    EXPECT_EQ(got, kReplySuccess);
}

TEST_F(SocketPair, MessageLongerThanTheSocketBufferIsSentWhole)
{
    const int small = 4096;
    setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    std::string text(1 << 20, 'x');
    for (size_t i = 0; i < text.size(); i += 997)
        text[i] = static_cast<char>('a' + i % 26);
    int32_t rc = -1;
    std::thread writer([&] { rc = SendFramedMessage(fds[0], text); });
    std::string got;
    const bool read = ReadFrame(fds[1], got);
    writer.join();
    EXPECT_EQ(rc, 0);
    ASSERT_TRUE(read);
    EXPECT_EQ(got, text);
}

TEST_F(SocketPair, EmptyMessageIsItsPrefixAlone)
{
    ASSERT_EQ(SendFramedMessage(fds[0], "", 0), 0);
    EXPECT_EQ(Pending(), Prefix(0));
}

TEST_F(SocketPair, SendToAClosedPeerFails)
{
    close(fds[1]);
    fds[1] = -1;
    EXPECT_EQ(SendFramedMessage(fds[0], std::string("<a/>")), kSvcSocketError);
}

TEST_F(SocketPair, LongMessageArrivesInPieces)
{
    std::string text = "<VltServiceRequest><Call method=\"Echo\"><Parameters><Text>";
    for (int i = 0; i < 3000; ++i)
        text += "\xC3\xA9\xE2\x82\xAC"; // multi-byte characters cut by piece boundaries
    text += "</Text></Parameters></Call></VltServiceRequest>";
    ASSERT_GT(text.size(), 3u * kReceiveBufferSize);
    std::thread writer([&] {
        const std::string frame = Frame(text);
        // Uneven pieces, so that the receiver sees short reads too.
        for (size_t at = 0, step = 1; at < frame.size(); at += step, step = step * 3 % 1777 + 1)
            WriteAll(fds[0], frame.substr(at, step));
    });
    CAutoXmlDoc doc;
    uint32_t length = 0;
    const int32_t rc = Receive(doc, length);
    writer.join();
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(length, text.size());
    std::string value;
    ASSERT_EQ(GetCallParameter(doc, "Text", value), 0);
    EXPECT_EQ(value.size(), 3000u * 5u);
    EXPECT_EQ(value.substr(0, 5), "\xC3\xA9\xE2\x82\xAC");
}

TEST_F(SocketPair, ZeroLengthIsMalformed)
{
    ASSERT_TRUE(WriteAll(fds[0], Prefix(0)));
    CAutoXmlDoc doc;
    uint32_t length = 99;
    EXPECT_EQ(Receive(doc, length), kSvcMalformedXml);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(doc.IsEmpty());
}

TEST_F(SocketPair, TopBitLengthIsASocketError)
{
    ASSERT_TRUE(WriteAll(fds[0], Prefix(0x80000000u) + "<a/>"));
    CAutoXmlDoc doc;
    uint32_t length = 0;
    EXPECT_EQ(Receive(doc, length), kSvcSocketError);
    EXPECT_EQ(Pending(), "<a/>"); // nothing of the body was read
}

TEST_F(SocketPair, LengthOverTheLimitIsRefusedUnread)
{
    ServiceHostOptions options;
    options.maxMessageBytes = 64;
    ASSERT_TRUE(WriteAll(fds[0], Prefix(65) + "<abc/>"));
    CAutoXmlDoc doc;
    uint32_t length = 0;
    EXPECT_EQ(Receive(doc, length, &options), kSvcMalformedXml);
    EXPECT_EQ(length, 65u);
    EXPECT_EQ(Pending(), "<abc/>");
    // The largest signed length is refused the same way, without an allocation.
    ASSERT_TRUE(WriteAll(fds[0], Prefix(0x7FFFFFFFu) + "<x"));
    ServiceHostOptions defaults;
    EXPECT_EQ(Receive(doc, length, &defaults), kSvcMalformedXml);
}

TEST_F(SocketPair, MessageAtTheLimitIsAccepted)
{
    ServiceHostOptions options;
    const std::string text = "<VltServiceRequest/>";
    options.maxMessageBytes = static_cast<uint32_t>(text.size());
    ASSERT_EQ(SendFramedMessage(fds[0], text), 0);
    CAutoXmlDoc doc;
    uint32_t length = 0;
    EXPECT_EQ(Receive(doc, length, &options), 0);
}

TEST_F(SocketPair, TruncatedBodyIsASocketError)
{
    ASSERT_TRUE(WriteAll(fds[0], Prefix(100) + "<VltServiceRequest>"));
    CloseClient();
    CAutoXmlDoc doc;
    uint32_t length = 0;
    EXPECT_EQ(Receive(doc, length), kSvcSocketError);
    EXPECT_TRUE(doc.IsEmpty());
}

TEST_F(SocketPair, CloseBeforeOrWithinThePrefixIsADisconnect)
{
    ASSERT_TRUE(WriteAll(fds[0], std::string("\0\0", 2)));
    CloseClient();
    CAutoXmlDoc doc;
    uint32_t length = 0;
    EXPECT_EQ(Receive(doc, length), kSvcClientDisconnected);
}

TEST_F(SocketPair, MalformedXmlGivesMalformedCode)
{
    ASSERT_EQ(SendFramedMessage(fds[0], std::string("<VltServiceRequest><Ping>")), 0);
    CAutoXmlDoc doc;
    uint32_t length = 0;
    EXPECT_EQ(Receive(doc, length), kSvcMalformedXml);
    ASSERT_EQ(SendFramedMessage(fds[0], std::string("garbage")), 0);
    EXPECT_EQ(Receive(doc, length), kSvcMalformedXml);
}

TEST_F(SocketPair, SilentPeerTimesOut)
{
    ServiceHostOptions options;
    options.idleTimeoutMs = 50;
    std::thread([&] {
        CAutoXmlDoc doc;
        uint32_t length = 0;
        EXPECT_EQ(Receive(doc, length, &options), kSvcSocketError);
        EXPECT_EQ(GetLastSocketError(), 10060);
    }).join();
}

TEST_F(SocketPair, StalledBodyTimesOut)
{
    ServiceHostOptions options;
    options.messageTimeoutMs = 50;
    ASSERT_TRUE(WriteAll(fds[0], Prefix(50) + "<Vlt"));
    CAutoXmlDoc doc;
    uint32_t length = 0;
    EXPECT_EQ(Receive(doc, length, &options), kSvcSocketError);
}

TEST_F(SocketPair, KeptStateStillTimesOutAStalledBody)
{
    ServiceHostOptions options;
    options.messageTimeoutMs = 50;
    MessageReceiveState state;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(SendFramedMessage(fds[0], std::string(kPing)), 0);
        xmlDocPtr parsed = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(ReceiveFramedMessage(fds[1], buffer, &options, parsed, length, state), 0);
        xmlFreeDoc(parsed);
        EXPECT_EQ(state.receiveTimeoutMs, options.idleTimeoutMs);
    }
    ASSERT_TRUE(WriteAll(fds[0], Prefix(50) + "<Vlt"));
    xmlDocPtr parsed = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(ReceiveFramedMessage(fds[1], buffer, &options, parsed, length, state), kSvcSocketError);
    EXPECT_EQ(GetLastSocketError(), 10060);
    xmlFreeDoc(parsed);
    FreeMessageParser(state.parser);
}

TEST_F(SocketPair, ReadAheadKeepsWhatFollowsTheMessage)
{
    ServiceHostOptions options;
    const std::string second = CallRequest("Echo", "<Text>two</Text>");
    const std::string third = Frame(kDisconnect);
    // Two whole messages and half of the third's length in one piece.
    ASSERT_TRUE(WriteAll(fds[0], Frame(kPing) + Frame(second) + third.substr(0, 2)));
    MessageReceiveState state;
    auto receive = [&](const char* root) {
        xmlDocPtr parsed = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(ReceiveFramedMessage(fds[1], buffer, &options, parsed, length, state), 0);
        CAutoXmlDoc doc(parsed);
        xmlNodePtr child = doc.IsEmpty() ? nullptr : xmlFirstElementChild(xmlDocGetRootElement(doc));
        EXPECT_STREQ(child ? reinterpret_cast<const char*>(child->name) : "", root);
    };
    receive("Ping");
    receive("Call");
    ASSERT_TRUE(WriteAll(fds[0], third.substr(2)));
    receive("Disconnect");
    EXPECT_TRUE(state.pending.empty());
    FreeMessageParser(state.parser);
}

TEST_F(SocketPair, ExternalEntitiesAreNotLoaded)
{
    const std::string secret = ScratchDir("xxe") + "/secret.txt";
    ASSERT_TRUE(WriteTextFile(secret, "TOPSECRET"));
    const std::string text = "<?xml version=\"1.0\"?><!DOCTYPE VltServiceRequest [<!ENTITY e SYSTEM \"file://" + secret
        + "\">]><VltServiceRequest><Call method=\"Echo\"><Parameters><Text>&e;</Text></Parameters></Call>"
          "</VltServiceRequest>";
    ASSERT_EQ(SendFramedMessage(fds[0], text), 0);
    CAutoXmlDoc doc;
    uint32_t length = 0;
    ASSERT_EQ(Receive(doc, length), 0);
    std::string value;
    ASSERT_EQ(GetCallParameter(doc, "Text", value), 0);
    EXPECT_EQ(value.find("TOPSECRET"), std::string::npos);
}

// A kept parser takes messages of some kilobytes, deeply nested, as well as
// short ones, one after the other; the thread's libxml2 defaults stay as
// they were.
TEST_F(SocketPair, KeptParserTakesLongNestedMessages)
{
    ServiceHostOptions options;
    MessageReceiveState state;
    const int bufferSize = xmlDefaultBufferSize;
    for (int depth : {1, 97, 200, 255, 1}) {
        SCOPED_TRACE(depth);
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "<a>";
        for (int i = 0; i < depth; ++i)
            text += "</a>";
        ASSERT_TRUE(WriteAll(fds[0], Frame(text) + Frame(kPing)));
        for (int message = 0; message < 2; ++message) {
            xmlDocPtr parsed = nullptr;
            uint32_t length = 0;
            EXPECT_EQ(ReceiveFramedMessage(fds[1], buffer, &options, parsed, length, state), 0);
            xmlFreeDoc(parsed);
        }
    }
    FreeMessageParser(state.parser);
    EXPECT_EQ(xmlDefaultBufferSize, bufferSize);
}

TEST(CallParameters, TextAndNumbers)
{
    const std::string text = "<VltServiceRequest><Call method=\"M\"><Parameters><A>hello</A><Empty/><Zero>0</Zero>"
                             "<Num>  -42 dB</Num><Word>abc</Word><Huge>99999999999</Huge><Max>2147483647</Max>"
                             "</Parameters></Call></VltServiceRequest>";
    CAutoXmlDoc doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, 0));
    ASSERT_FALSE(doc.IsEmpty());
    std::string value;
    EXPECT_EQ(GetCallParameter(doc, "A", value), 0);
    EXPECT_EQ(value, "hello");
    EXPECT_EQ(GetCallParameter(doc, "Empty", value), 0);
    EXPECT_EQ(value, "");
    EXPECT_EQ(GetCallParameter(doc, "Missing", value), kSvcMalformedRequest);
    int32_t number = 5;
    EXPECT_EQ(GetCallParameterInt(doc, "Zero", number), 0);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(GetCallParameterInt(doc, "Num", number), 0);
    EXPECT_EQ(number, -42);
    EXPECT_EQ(GetCallParameterInt(doc, "Max", number), 0);
    EXPECT_EQ(number, 2147483647);
    number = 5;
    EXPECT_EQ(GetCallParameterInt(doc, "Word", number), kSvcMalformedRequest);
    EXPECT_EQ(GetCallParameterInt(doc, "Huge", number), kSvcMalformedRequest);
    EXPECT_EQ(GetCallParameterInt(doc, "Empty", number), kSvcMalformedRequest);
    EXPECT_EQ(GetCallParameterInt(doc, "Missing", number), kSvcMalformedRequest);
    EXPECT_EQ(number, 5);
    EXPECT_EQ(GetCallParameterInt(nullptr, "Zero", number), kSvcInvalidArgument);
}

// The tree walk finds what the XPath of the same path finds: the first match
// in document order, names exact, elements without a namespace only, never
// below another element or inside an entity reference.
TEST(CallParameters, RequestNodesAreWhatXPathFinds)
{
    const char* documents[] = {
        "<VltServiceRequest><Call method=\"a\"/><Call method=\"b\"><Parameters><X>1</X></Parameters></Call>"
        "<Call><Parameters><X>2</X><Y/></Parameters></Call></VltServiceRequest>",
        "<VltServiceRequest xmlns=\"urn:x\"><Call/><Ping/></VltServiceRequest>",
        "<VltServiceRequest xmlns:p=\"urn:p\"><p:Call/><Call method=\"c\"><p:Parameters/><Parameters/></Call>"
        "</VltServiceRequest>",
        "<vltservicerequest><Call/></vltservicerequest>",
        "<VltServiceRequest><call/><Wrap><Call/><Ping/></Wrap><Disconnect/><Ping/></VltServiceRequest>",
        "<!--c--><?pi x?><VltServiceRequest> <!--c--><Call>t<Parameters/><Parameters><Y>y</Y><X/></Parameters>"
        "</Call></VltServiceRequest>",
        "<!DOCTYPE VltServiceRequest [<!ENTITY e \"<Call method='e'><Parameters><X/></Parameters></Call>\">]>"
        "<VltServiceRequest>&e;<Call method=\"real\"/></VltServiceRequest>",
    };
    const std::vector<std::vector<const char*>> paths = {
        {}, {"Call"}, {"Call", "Parameters"}, {"Call", "Parameters", "X"}, {"Call", "Parameters", "Y"}, {"Ping"},
        {"Disconnect"}};
    int found = 0;
    for (const char* text : documents) {
        CAutoXmlDoc doc(xmlReadMemory(text, static_cast<int>(strlen(text)), nullptr, nullptr, XML_PARSE_NONET));
        ASSERT_FALSE(doc.IsEmpty()) << text;
        for (const std::vector<const char*>& path : paths) {
            std::string xpath = "/VltServiceRequest";
            for (const char* name : path)
                xpath += std::string("/") + name;
            xmlNodePtr walked = nullptr;
            switch (path.size()) {
            case 0: walked = FindRequestNode(doc, {}); break;
            case 1: walked = FindRequestNode(doc, {path[0]}); break;
            case 2: walked = FindRequestNode(doc, {path[0], path[1]}); break;
            default: walked = FindRequestNode(doc, {path[0], path[1], path[2]}); break;
            }
            EXPECT_EQ(walked, XPathFindNode(doc, xpath.c_str())) << text << " " << xpath;
            found += walked != nullptr;
        }
    }
    EXPECT_EQ(found, 18); // most paths name something in some document
    EXPECT_EQ(FindRequestNode(nullptr, {"Call"}), nullptr);
}

// The library's side of the conversation does not trust the server: broken,
// oversized and truncated replies give a code (never a crash, a hang or a
// huge allocation). Run under the address sanitizer in CI.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <random>
#include <vector>

#include "CFaultProxy.h"
#include "RemoteTestHost.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TestSupport.h"

namespace {

constexpr uint32_t kBoard = 4201;

std::string Prefix(uint32_t length)
{
    const uint32_t n = htonl(length);
    return std::string(reinterpret_cast<const char*>(&n), 4);
}

bool Calls(const std::string& request, const char* method)
{
    return request.find(std::string("method=\"") + method + "\"") != std::string::npos;
}

class RemoteReplyFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TQ8Sim_Reset();
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, kBoard);
        ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        m_root = srvtest::ScratchDir("remote-reply-faults");
        std::filesystem::create_directories(m_root);
        m_host = std::make_unique<RemoteTestHost>(m_root);
        ASSERT_TRUE(m_host->Started());
    }
    void TearDown() override
    {
        m_host.reset();
        TQ8Sim_Reset();
    }
    // The count through a proxy that gives the list call this answer.
    int32_t CountWith(const std::string& bytes)
    {
        CFaultProxy proxy(m_host->Port(), [&](const std::string& request, const std::string& reply) {
            return Calls(request, "TQ8_LIST") ? bytes : srvtest::Frame(reply);
        });
        return GetRemoteDeviceCountWTQ8(L"127.0.0.1", proxy.Port(), nullptr);
    }

    std::string m_root;
    std::unique_ptr<RemoteTestHost> m_host;
};

} // namespace

TEST_F(RemoteReplyFaultTest, BrokenListRepliesGiveACode)
{
    EXPECT_EQ(CountWith(srvtest::Frame("<VltServiceResponse><ReturnData><Count>1</Count><Device>4201</Device>"
                                       "</ReturnData></VltServiceResponse>")),
              1);
    EXPECT_EQ(CountWith(srvtest::Frame("not xml at all")), TQ8_ERR_BAD_REPLY);
    EXPECT_EQ(CountWith(srvtest::Frame("<VltServiceResponse><ReturnData><Count>3</Count><Device>1</Device>"
                                       "</ReturnData></VltServiceResponse>")),
              TQ8_ERR_BAD_REPLY);
    EXPECT_EQ(CountWith(srvtest::Frame("<VltServiceResponse><ReturnData><Count>1</Count><Device>-5</Device>"
                                       "</ReturnData></VltServiceResponse>")),
              TQ8_ERR_BAD_REPLY);
    EXPECT_EQ(CountWith(srvtest::Frame("<VltServiceResponse error=\"true\" ></VltServiceResponse>")),
              TQ8_ERR_SERVER_REFUSED);
}

TEST_F(RemoteReplyFaultTest, WrongLengthsAreRefusedWithoutReadingOn)
{
    // Over the host's own limit: refused before anything is allocated.
    EXPECT_EQ(CountWith(Prefix(0x7FFFFFF0u) + "<Vlt"), TQ8_ERR_BAD_REPLY);
    EXPECT_EQ(CountWith(Prefix(0x80000010u) + "<Vlt"), TQ8_ERR_BAD_REPLY);
    EXPECT_EQ(CountWith(Prefix(0)), TQ8_ERR_BAD_REPLY);
    // Shorter than its length says, then the server closes.
    EXPECT_EQ(CountWith(Prefix(200) + "<VltServiceResponse>"), TQ8_ERR_CONNECTION_LOST);
}

TEST_F(RemoteReplyFaultTest, TruncatedOrShortSampleDataIsRefused)
{
    std::string mode;
    CFaultProxy proxy(m_host->Port(), [&](const std::string& request, const std::string& reply) {
        if (!Calls(request, "TQ8_READ") || mode.empty())
            return srvtest::Frame(reply);
        std::string changed = reply;
        const size_t end = changed.find("</Data>");
        if (mode == "truncated")
            changed.erase(end - 3, 3);
        else if (mode == "short")
            changed.erase(end - 8, 8); // still base64, but too few bytes
        else if (mode == "foreign")
            changed[end - 10] = '*';
        return srvtest::Frame(changed);
    }, false);
    TQ8_REMOTE_CONN_INFO conn{};
    conn.size = sizeof conn;
    conn.port = proxy.Port();
    conn.server = L"127.0.0.1";
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToRemoteDeviceWTQ8(&h, kBoard, &conn), TQ8_OK);
    std::vector<uint8_t> buffer(65536);
    EXPECT_EQ(ReadSampleRamBufTQ8(h, 0, 65536, buffer.data(), 0), TQ8_OK);
    for (const char* m : {"truncated", "short", "foreign"}) {
        mode = m;
        EXPECT_EQ(ReadSampleRamBufTQ8(h, 0, 65536, buffer.data(), 0), TQ8_ERR_BAD_REPLY) << m;
        EXPECT_EQ(ReadSampleRamBufTQ8(h, 0, 65536, buffer.data(), 1), TQ8_OK) << m;
        EXPECT_EQ(WaitForTransferCompleteTQ8(h, 10000), TQ8_ERR_BAD_REPLY) << m;
    }
    DisconnectFromDeviceTQ8(h);
}

// Random bytes in place of every kind of reply: a code, never a crash.
TEST_F(RemoteReplyFaultTest, GarbageRepliesNeverCrash)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        std::string garbage(random() % 300, '\0');
        for (char& c : garbage)
            c = static_cast<char>(random());
        const bool framed = round % 2 == 0;
        const int victim = round % 4; // which reply of the conversation
        int seen = 0;
        CFaultProxy proxy(m_host->Port(), [&](const std::string&, const std::string& reply) {
            if (seen++ != victim)
                return srvtest::Frame(reply);
            return framed ? srvtest::Frame(garbage) : garbage;
        });
        TQ8_REMOTE_CONN_INFO conn{};
        conn.size = sizeof conn;
        conn.port = proxy.Port();
        conn.server = L"127.0.0.1";
        TQ8_HANDLE h = nullptr;
        const int32_t rc = ConnectToRemoteDeviceWTQ8(&h, kBoard, &conn);
        if (rc == TQ8_OK) {
            EXPECT_LE(SetTriggerLevelATQ8(h, 5), 0);
            DisconnectFromDeviceTQ8(h);
        } else {
            EXPECT_LT(rc, 0);
        }
    }
}

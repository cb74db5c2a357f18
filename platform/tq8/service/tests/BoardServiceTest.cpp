// The board service loaded by a real service host on loopback.
#include <gtest/gtest.h>

#include <unistd.h>

#include "BoardWire.h"
#include "CVltServiceMgr.h"
#include "ServiceHostOptions.h"
#include "RemoteTestHost.h"
#include "ServiceProtocol.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TestSupport.h"

namespace {

class BoardServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TQ8Sim_Reset();
        for (uint32_t serial : {4101u, 4102u}) {
            TQ8SIM_BOARD_DESC desc;
            TQ8Sim_DefaultBoardDesc(&desc, serial);
            ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        }
        ServiceHostOptions options;
        options.bindAddress = "127.0.0.1";
        m_manager = std::make_unique<CVltServiceMgr>(options);
        m_port = srvtest::FreePort();
        ASSERT_EQ(m_manager->LoadServiceLibrary(TQ8SVC_LIBRARY_PATH, 0, m_port, true), 0);
    }
    void TearDown() override
    {
        m_manager.reset();
        TQ8Sim_Reset();
    }

    // A client that has passed the connect handshake, or -1.
    int Client(const std::string& service = TQ8_BOARD_SERVICE_NAME)
    {
        int fd = srvtest::ConnectLoopback(m_port);
        srvtest::SetClientTimeout(fd, 5);
        std::string reply;
        const std::string hello = srvtest::ConnectRequest("<ClientApp>TQ3300 Scope</ClientApp>", service);
        if (!srvtest::WriteAll(fd, srvtest::Frame(hello)) || !srvtest::ReadFrame(fd, reply) || reply != kReplySuccess) {
            close(fd);
            return -1;
        }
        return fd;
    }
    std::string Call(int fd, const char* method, const std::string& parameters = "")
    {
        std::string reply;
        EXPECT_TRUE(srvtest::WriteAll(fd, srvtest::Frame(srvtest::CallRequest(method, parameters))));
        EXPECT_TRUE(srvtest::ReadFrame(fd, reply));
        return reply;
    }
    static int32_t OpenHandles(uint32_t serial) { return RemoteTestHost::OpenHandles(serial); }

    std::unique_ptr<CVltServiceMgr> m_manager;
    uint16_t m_port = 0;
};

std::string Open(uint32_t serial, uint32_t isVirtual)
{
    return "<Serial>" + std::to_string(serial) + "</Serial><Virtual>" + std::to_string(isVirtual) + "</Virtual>";
}

} // namespace

TEST_F(BoardServiceTest, ListsThisComputersBoards)
{
    const int fd = Client();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Call(fd, tq8wire::Name(tq8wire::Method::List)),
              "<VltServiceResponse><ReturnData><Count>2</Count><Device>4101</Device><Device>4102</Device>"
              "</ReturnData></VltServiceResponse>");
    close(fd);
}

TEST_F(BoardServiceTest, AnotherServiceNameIsRefusedWithoutReply)
{
    EXPECT_EQ(Client("VltHUB6"), -1);
}

TEST_F(BoardServiceTest, OpensBySerialByOrdinalAndVirtual)
{
    const int fd = Client();
    ASSERT_GE(fd, 0);
    const char* open = tq8wire::Name(tq8wire::Method::Open);
    EXPECT_NE(Call(fd, open, Open(4102, 0)).find("<Result>0</Result><Serial>4102</Serial>"), std::string::npos);
    EXPECT_NE(Call(fd, open, Open(1, 0)).find("<Result>0</Result><Serial>4101</Serial>"), std::string::npos);
    EXPECT_NE(Call(fd, open, Open(77, 1)).find("<Result>0</Result><Serial>77</Serial>"), std::string::npos);
    EXPECT_NE(Call(fd, open, Open(9999, 0)).find("<Result>-7</Result>"), std::string::npos);
    EXPECT_NE(Call(fd, open, "<Serial>-1</Serial><Virtual>0</Virtual>").find("error=\"true\""), std::string::npos);
    close(fd);
}

TEST_F(BoardServiceTest, UnknownMethodIsLeftToTheOtherServices)
{
    const int fd = Client();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Call(fd, "FS_LIST_FOLDER"), kReplyNotHandled);
    close(fd);
}

TEST_F(BoardServiceTest, HandleIsReleasedWhenTheConnectionEndsAnyway)
{
    const char* open = tq8wire::Name(tq8wire::Method::Open);
    const int polite = Client();
    const int vanishing = Client();
    ASSERT_GE(polite, 0);
    ASSERT_GE(vanishing, 0);
    Call(polite, open, Open(4101, 0));
    Call(vanishing, open, Open(4101, 0));
    EXPECT_EQ(OpenHandles(4101), 2);
    srvtest::WriteAll(polite, srvtest::Frame(srvtest::kDisconnect));
    EXPECT_TRUE(srvtest::PeerClosed(polite));
    close(polite);
    close(vanishing); // gone without a word
    for (int i = 0; i < 200 && OpenHandles(4101) != 0; ++i)
        usleep(10000);
    EXPECT_EQ(OpenHandles(4101), 0);
}

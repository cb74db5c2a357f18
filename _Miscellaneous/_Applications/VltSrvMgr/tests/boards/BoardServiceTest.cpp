// The board service loaded by a real service host on loopback.
#include "BoardServiceFixture.h"

using board_service_test::BoardServiceTest;
using board_service_test::Open;


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

TEST_F(BoardServiceTest, AVirtualBoardGoesWithTheLastConnectionThatHoldsIt)
{
    using tq8wire::Method;
    const int first = Client();
    const int second = Client();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    ASSERT_TRUE(Has(Call(first, Method::Open, Open(77, 1)), Result(TQ8_OK)));
    ASSERT_TRUE(Has(Call(second, Method::Open, Open(77, 1)), Result(TQ8_OK)));
    // The first leaves politely, so its end is complete when the host closes.
    srvtest::WriteAll(first, srvtest::Frame(srvtest::kDisconnect));
    EXPECT_TRUE(srvtest::PeerClosed(first));
    close(first);
    EXPECT_TRUE(VirtualBoardExists(77));
    // A second open on a connection lets its first board go at once.
    ASSERT_TRUE(Has(Call(second, Method::Open, Open(78, 1)), Result(TQ8_OK)));
    EXPECT_FALSE(VirtualBoardExists(77));
    close(second); // gone without a word
    EXPECT_TRUE(VirtualBoardGoes(78));
    // A local board stays, and so does a virtual board this process holds.
    TQ8_HANDLE own = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&own, 79, 1), TQ8_OK);
    const int third = Client();
    ASSERT_TRUE(Has(Call(third, Method::Open, Open(79, 1)), Result(TQ8_OK)));
    srvtest::WriteAll(third, srvtest::Frame(srvtest::kDisconnect));
    EXPECT_TRUE(srvtest::PeerClosed(third));
    close(third);
    EXPECT_TRUE(VirtualBoardExists(79));
    EXPECT_EQ(DisconnectFromDeviceTQ8(own), TQ8_OK);
}

TEST_F(BoardServiceTest, AConnectionOpensNoMoreBoardsThanTheLimit)
{
    using tq8wire::Method;
    constexpr uint32_t kLimit = ServiceHostOptions::kMaxBoardsPerConnection;
    const int fd = Client();
    ASSERT_GE(fd, 0);
    for (uint32_t n = 0; n + 1 < kLimit; ++n)
        ASSERT_TRUE(Has(Call(fd, Method::Open, Open(500 + n, 1)), Result(TQ8_OK))) << n;
    ASSERT_TRUE(Has(Call(fd, Method::Open, Open(4101, 0)), Result(TQ8_OK))); // local boards count too
    EXPECT_TRUE(Has(Call(fd, Method::Open, Open(500 + kLimit, 1)), Result(TQ8_ERR_TOO_MANY_BOARDS)));
    EXPECT_FALSE(VirtualBoardExists(500 + kLimit));
    EXPECT_TRUE(Has(Call(fd, Method::Open, Open(4102, 0)), Result(TQ8_ERR_TOO_MANY_BOARDS)));
    EXPECT_EQ(OpenHandles(4102), 0);
    // The refused open left the connection on its board; one opened before
    // may be opened again.
    EXPECT_TRUE(Has(Call(fd, Method::Desc), Result(TQ8_OK)));
    EXPECT_TRUE(Has(Call(fd, Method::Open, Open(500, 1)), Result(TQ8_OK)));
    wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_TOO_MANY_BOARDS, &text, 0, nullptr), TQ8_OK);
    EXPECT_STREQ(text, L"The connection has opened as many boards as the server allows");
    FreeMemoryTQ8(text);
    close(fd);
    // A new connection starts afresh.
    const int next = Client();
    EXPECT_TRUE(Has(Call(next, Method::Open, Open(500 + kLimit, 1)), Result(TQ8_OK)));
    close(next);
}

TEST_F(BoardServiceTest, FirmwareFilesAreBoundedAndTakenOnlyInOrder)
{
    using tq8wire::Method;
    const int fd = Client();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(Has(Call(fd, Method::Open, Open(80, 1)), Result(TQ8_OK)));
    EXPECT_TRUE(Has(Call(fd, Method::FwStep), Result(TQ8_ERR_WRONG_MODE)));
    EXPECT_TRUE(Has(Call(fd, Method::FwUpload), Result(TQ8_ERR_WRONG_MODE)));
    auto begin = [&](const std::string& bytes, const std::string& name) {
        return Call(fd, Method::FwBegin, "<Bytes>" + bytes + "</Bytes><Name>" + name + "</Name>");
    };
    EXPECT_TRUE(Has(begin("1099511627776", "big.tq8fw"), Result(TQ8_ERR_OUT_OF_BOUNDS)));
    for (const char* name : {"../up.tq8fw", "a/b.tq8fw", "..", ""})
        EXPECT_TRUE(Has(begin("4", name), "error=\"true\"")) << name;
    ASSERT_TRUE(Has(begin("4", "p.tq8fw"), Result(TQ8_OK)));
    EXPECT_TRUE(Has(Call(fd, Method::FwData, "<Data>MTIzNDU=</Data>"), Result(TQ8_ERR_OUT_OF_BOUNDS))); // 5 bytes
    EXPECT_TRUE(Has(Call(fd, Method::FwData, "<Data>MTI=</Data>"), Result(TQ8_OK)));
    EXPECT_TRUE(Has(Call(fd, Method::FwUpload), Result(TQ8_ERR_WRONG_MODE))); // 2 of 4 bytes
    EXPECT_TRUE(Has(Call(fd, Method::FwData, "<Data>MzQ=</Data>"), Result(TQ8_OK)));
    ASSERT_TRUE(Has(Call(fd, Method::FwUpload), Result(TQ8_OK)));
    // Four bytes are no package: the server's library says so at the end.
    std::string step;
    for (int i = 0; i < 100 && !Has(step, "<Finished>1</Finished>"); ++i)
        step = Call(fd, Method::FwStep);
    EXPECT_TRUE(Has(step, Result(TQ8_ERR_FW_PACKAGE_DAMAGED))) << step;
    EXPECT_TRUE(Has(Call(fd, Method::FwStep), Result(TQ8_ERR_WRONG_MODE)));
    close(fd);
}

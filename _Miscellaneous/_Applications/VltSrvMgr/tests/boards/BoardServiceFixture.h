#pragma once
// A real service host on loopback with the board service plug-in loaded,
// and a client that speaks the protocol by hand, as any client could.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <unistd.h>

#include "BoardWire.h"
#include "CVltServiceMgr.h"
#include "RemoteTestHost.h"
#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TestSupport.h"

namespace board_service_test {

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
    std::string Call(int fd, tq8wire::Method method, const std::string& parameters = "")
    {
        return Call(fd, tq8wire::Name(method), parameters);
    }
    static int32_t OpenHandles(uint32_t serial) { return RemoteTestHost::OpenHandles(serial); }
    static std::string Result(int32_t rc) { return "<Result>" + std::to_string(rc) + "</Result>"; }
    static bool Has(const std::string& reply, const std::string& part) { return reply.find(part) != std::string::npos; }
    // Whether this process holds a virtual board with the serial.
    static bool VirtualBoardExists(uint32_t serial)
    {
        TQ8SIM_SIGNAL signal{};
        signal.size = sizeof signal;
        return TQ8Sim_GetSignal(serial, 0, &signal) == TQ8_OK;
    }
    // Waits, with a generous cap, for the server to let the board go.
    static bool VirtualBoardGoes(uint32_t serial)
    {
        for (int i = 0; i < 2000 && VirtualBoardExists(serial); ++i)
            usleep(5000);
        return !VirtualBoardExists(serial);
    }
    // Waits, with a generous cap, until the process runs this many threads:
    // 20 s, since a board's threads on a machine busy with the whole suite
    // have been seen to take over 4 s to end.
    static bool ThreadsBecome(int count)
    {
        for (int i = 0; i < 10000 && srvtest::CountThreads() != count; ++i)
            usleep(2000);
        return srvtest::CountThreads() == count;
    }

    std::unique_ptr<CVltServiceMgr> m_manager;
    uint16_t m_port = 0;
};

inline std::string Open(uint32_t serial, uint32_t isVirtual)
{
    return "<Serial>" + std::to_string(serial) + "</Serial><Virtual>" + std::to_string(isVirtual) + "</Virtual>";
}

} // namespace board_service_test

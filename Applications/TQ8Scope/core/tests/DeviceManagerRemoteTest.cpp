// The device manager's remote boards over the device library's real
// transport: a service host on loopback with the board service loaded.
#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "CDeviceManagerTQ8.h"
#include "DevMgrTestSupport.h"
#include "RemoteTestHost.h"
#include "SystemErrorText.h"
#include "TQ8Sim.h"
#include "TestSupport.h"
#include "TextConv.h"

namespace {

class DeviceManagerRemoteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DEVMGR_REQUIRE_SIMULATOR();
        TQ8Sim_Reset();
        for (uint32_t serial : {4301u, 4302u}) {
            TQ8SIM_BOARD_DESC desc;
            TQ8Sim_DefaultBoardDesc(&desc, serial);
            ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        }
        const std::string root = srvtest::ScratchDir("devmgr-remote");
        std::filesystem::create_directories(root);
        server = std::make_unique<RemoteTestHost>(root);
        ASSERT_TRUE(server->Started());
        devices.SetHost(&host);
        devices.SetInteractive(false);
    }
    void TearDown() override
    {
        devices.CloseAllDevices();
        devices.SetHost(nullptr);
        server.reset();
        TQ8Sim_Reset();
    }

    CDeviceManagerTQ8 devices;
    devmgr_test::RecordingHost host{&devices};
    std::unique_ptr<RemoteTestHost> server;
};

} // namespace

TEST_F(DeviceManagerRemoteTest, ConnectsTheServersBoardsAndDisconnectsThem)
{
    CDeviceManagerTQ8::HandleList list;
    ASSERT_EQ(devices.ConnectServerDevices(L"127.0.0.1", server->Port(), list, true), 2);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(devices.GetSerialNumber(list[1]), 4302u);
    std::wstring where;
    uint16_t port = 0;
    ASSERT_TRUE(devices.GetRemoteLocation(list[0], where, port));
    EXPECT_EQ(where, L"127.0.0.1");
    EXPECT_EQ(port, server->Port());
    EXPECT_EQ(IsDeviceRemoteTQ8(list[0]), 1);

    TQ8_HANDLE v = devices.ConnectRemoteDevice(L"127.0.0.1", server->Port(), 88, true, true);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(IsDeviceVirtualTQ8(v), 1);
    EXPECT_TRUE(devices.ReleaseDevice(v));
    EXPECT_EQ(IsHandleValidTQ8(v), 0);
}

TEST_F(DeviceManagerRemoteTest, AServerWithoutTheBoardIsReported)
{
    EXPECT_EQ(devices.ConnectRemoteDevice(L"127.0.0.1", server->Port(), 9999, true, false), nullptr);
    EXPECT_NE(devices.GetLastErrorText().find(L"#9999"), std::wstring::npos);
    CDeviceManagerTQ8::HandleList list;
    EXPECT_EQ(devices.ConnectServerDevices(L"127.0.0.1", srvtest::FreePort(), list, true), -1);
    EXPECT_NE(devices.GetLastErrorText().find(L"Could not connect"), std::wstring::npos);
}

// Why a server could not be reached: the connect's own error, or the name
// or address that never led to a connection.
TEST_F(DeviceManagerRemoteTest, AServerThatCannotBeReachedSaysWhy)
{
    const uint16_t closed = srvtest::FreePort();
    EXPECT_EQ(devices.ConnectRemoteDevice(L"127.0.0.1", closed, 4301, true, false), nullptr);
    const std::wstring refused = vlt::Utf8ToWide(vlt::SystemErrorText(ECONNREFUSED));
    EXPECT_NE(devices.GetLastErrorText().find(L"server: " + refused), std::wstring::npos) << devices.GetLastErrorText();
    CDeviceManagerTQ8::HandleList list;
    EXPECT_EQ(devices.ConnectServerDevices(L"127.0.0.1", closed, list, true), -1);
    EXPECT_NE(devices.GetLastErrorText().find(L"server: " + refused), std::wstring::npos) << devices.GetLastErrorText();
    EXPECT_EQ(devices.ConnectServerDevices(L"no-such-host.invalid", 3494, list, true), -1);
    EXPECT_NE(devices.GetLastErrorText().find(L"could not be resolved"), std::wstring::npos)
        << devices.GetLastErrorText();
    EXPECT_TRUE(list.empty());
}

// A short numeric form is the address it stands for: its boards connect, and
// the board keeps the server text it was given.
TEST_F(DeviceManagerRemoteTest, AShortNumericAddressReachesTheServer)
{
    CDeviceManagerTQ8::HandleList list;
    ASSERT_EQ(devices.ConnectServerDevices(L"127.1", server->Port(), list, true), 2) << devices.GetLastErrorText();
    std::wstring where;
    uint16_t port = 0;
    ASSERT_TRUE(devices.GetRemoteLocation(list[0], where, port));
    EXPECT_EQ(where, L"127.1");
    EXPECT_NE(devices.ConnectRemoteDevice(L"127.1", server->Port(), 89, true, true), nullptr);
}

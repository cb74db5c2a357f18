#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "BuiltInHost.h"
#include "CSvcPdWin32.h"
#include "IVltServiceInstance.h"
#include "PowerCommand.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

using namespace srvtest;

namespace {

class PowerService : public ::testing::Test {
protected:
    void SetUp() override
    {
        vlt::SetPowerStandIn([this](vlt::PowerAction action) {
            seen.push_back(action);
            return answer;
        });
    }
    void TearDown() override
    {
        if (fd >= 0)
            close(fd);
        host.reset();
        vlt::SetPowerStandIn({});
    }
    void Start(uint32_t hostOptions)
    {
        host = std::make_unique<BuiltInHost>(std::vector<std::string>{ScratchDir("power")}, hostOptions);
        ASSERT_TRUE(host->Started());
        fd = ConnectClient(host->Port());
        ASSERT_GE(fd, 0);
    }

    std::vector<vlt::PowerAction> seen;
    int32_t answer = 0;
    std::unique_ptr<BuiltInHost> host;
    int fd = -1;
};

} // namespace

TEST_F(PowerService, OffUnlessTheOptionsAllowIt)
{
    Start(0x7);
    EXPECT_FALSE(host->Offers("PowerDownWindows"));
    EXPECT_EQ(Ask(fd, CallRequest("PDW32_REBOOT")), kReplyNotHandled);
    EXPECT_EQ(Ask(fd, CallRequest("PDW32_SHUTDOWN")), kReplyNotHandled);
    EXPECT_TRUE(seen.empty());
}

TEST_F(PowerService, PassesRequestsToTheSystem)
{
    Start(CSvcPdWin32::kAllowOption);
    EXPECT_TRUE(host->Offers("PowerDownWindows"));
    EXPECT_EQ(Ask(fd, CallRequest("PDW32_REBOOT")), kReplySuccess);
    EXPECT_EQ(Ask(fd, CallRequest("PDW32_SHUTDOWN")), kReplySuccess);
    EXPECT_EQ(Ask(fd, CallRequest("pdw32_reboot")), kReplyNotHandled);
    EXPECT_EQ(seen, (std::vector<vlt::PowerAction>{vlt::PowerAction::Reboot, vlt::PowerAction::PowerOff}));
}

TEST_F(PowerService, RefusalIsAnErrorReply)
{
    Start(0xFF);
    answer = -1;
    const std::string reply = Ask(fd, CallRequest("PDW32_SHUTDOWN"));
    EXPECT_NE(reply.find("error=\"true\""), std::string::npos) << reply;
    EXPECT_NE(reply.find("<ErrorText>Non-specific error"), std::string::npos) << reply;
    EXPECT_EQ(seen.size(), 1u);
}

TEST(PowerServiceClass, IdentityAndFactory)
{
    EXPECT_EQ(CSvcPdWin32::Factory({})(), nullptr);
    EXPECT_EQ(CSvcPdWin32::Factory([] { return 0x7u; })(), nullptr);
    IVltServiceClass* service = CSvcPdWin32::Factory([] { return 0x8u; })();
    ASSERT_NE(service, nullptr);
    EXPECT_STREQ(service->GetName(), "PowerDownWindows");
    EXPECT_STREQ(service->GetDescription(), "Manages shutdown/reboot of server");
    EXPECT_EQ(service->GetDefaultPort(), kVltNoPort);
    EXPECT_EQ(service->CreateInstance(nullptr), -2);
    IVltServiceInstance* instance = nullptr;
    ASSERT_EQ(service->CreateInstance(&instance), 0);
    EXPECT_EQ(instance->HandleRequest(-1, nullptr, 0), -2);
    instance->Release();
    service->Release();
}

#include "BuiltInHost.h"

#include <unistd.h>

#include "CSvcFsWin32.h"
#include "CSvcPdWin32.h"
#include "CTestServiceClass.h"
#include "CVltServiceClass.h"
#include "CVltServiceMgr.h"
#include "ServiceErrors.h"
#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

namespace srvtest {

BuiltInHost::BuiltInHost(std::vector<std::string> roots, uint32_t hostOptions)
{
    MakeManager();
    const uint16_t port = m_port;
    m_manager->SetBuiltInServices({CSvcFsWin32::Factory(roots), CSvcPdWin32::Factory([hostOptions] { return hostOptions; }),
                                   [port] { return new CTestServiceClass("Board", port); }});
    Start(ScratchDir("builtin-host") + "/none.xml", kSvcInvalidContextFile);
}

BuiltInHost::BuiltInHost(const std::string& configPath)
{
    MakeManager();
    const uint16_t port = m_port;
    m_manager->SetConfigReader(CSvcFsWin32::ConfigReader());
    m_manager->SetBuiltInServices({CSvcFsWin32::Factory(), [port] { return new CTestServiceClass("Board", port); }});
    Start(configPath, 0);
}

void BuiltInHost::MakeManager()
{
    ServiceHostOptions options;
    options.bindAddress = "127.0.0.1";
    m_manager = std::make_unique<CVltServiceMgr>(options);
    m_port = FreePort();
}

void BuiltInHost::Start(const std::string& configPath, int32_t expected)
{
    if (m_manager->LoadConfig(configPath.c_str(), false) != expected)
        return;
    std::vector<int32_t> ids;
    m_manager->GetServiceIds(ids);
    for (int32_t id : ids) {
        std::string name;
        m_manager->GetServiceInfo(id, &name, nullptr, nullptr);
        if (name != "Board")
            continue;
        CVltServiceClass* board = m_manager->FindClass(id);
        board->SetPort(m_port);
        m_started = board->StartListening() == 0;
    }
}

BuiltInHost::~BuiltInHost()
{
    m_manager->UnloadAll();
}

bool BuiltInHost::Offers(const std::string& name)
{
    std::vector<int32_t> ids;
    m_manager->GetServiceIds(ids);
    for (int32_t id : ids) {
        std::string found;
        m_manager->GetServiceInfo(id, &found, nullptr, nullptr);
        if (found == name)
            return true;
    }
    return false;
}

int ConnectClient(uint16_t port)
{
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return -1;
    const std::string reply = Ask(fd, ConnectRequest("<ClientApp>TQ8Scope</ClientApp>"
                                                     "<SubServices>FileServerWindows;PowerDownWindows</SubServices>",
                                                     "Board"));
    if (reply != kReplySuccess) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Ask(int fd, const std::string& request)
{
    std::string reply;
    if (!WriteAll(fd, Frame(request)) || !ReadFrame(fd, reply))
        return "<no reply>";
    return reply;
}

} // namespace srvtest

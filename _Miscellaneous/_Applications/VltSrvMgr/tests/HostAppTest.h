#pragma once
// The host application started in the test's process with a fake service
// manager and a fake notification area, its boxes answered by a recorder.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AppProfile.h"
#include "AppTestEnv.h"
#include "CFakeNotifyIcon.h"
#include "CFakeServiceMgr.h"
#include "CMainApp.h"
#include "MessageBox.h"
#include "TestApp.h"

namespace srvtest {

class HostAppTest : public ::testing::Test {
protected:
    void TearDown() override { app.reset(); }

    CMainApp::Environment Environment()
    {
        CMainApp::Environment environment;
        environment.makeManager = [this](const CProgramOptions&) {
            auto made = std::make_unique<CFakeServiceMgr>();
            made->classes = classes;
            made->result = loadResult;
            manager = made.get();
            return made;
        };
        environment.makeNotifyIcon = [this] {
            auto made = std::make_unique<CFakeNotifyIcon>();
            made->available = trayAvailable;
            icon = made.get();
            return made;
        };
        environment.programPath = env.Dir() + "/bin dir/VltSrvMgr";
        environment.configPath = env.Dir() + "/VltSvcCfg.xml";
        return environment;
    }

    bool Start(const std::vector<std::string>& arguments = {})
    {
        App();
        app = std::make_unique<CMainApp>(Environment());
        return app->InitInstance(arguments);
    }

    static void StoreFlags(uint32_t flags) { vlt::AppProfile::WriteInt(L"Settings", L"ProgOptFlags", flags); }

    AppTestEnv env;
    vlt::MessageBoxRecorder boxes;
    std::map<int32_t, FakeServiceInfo> classes{{1, {"FileServerWindows", "Manages Windows file services", 0xFFFF}},
                                               {3, {"Board", "", 3494}}};
    int32_t loadResult = 0;
    bool trayAvailable = false;
    CFakeServiceMgr* manager = nullptr;
    CFakeNotifyIcon* icon = nullptr;
    std::unique_ptr<CMainApp> app;
};

} // namespace srvtest

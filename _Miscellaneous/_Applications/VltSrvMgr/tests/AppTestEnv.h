#pragma once
// The host application's tests: a registry store, a configuration folder and
// a private runtime folder of the test's own, and the profile names the
// program uses.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "AppProfile.h"
#include "MessageBox.h"

namespace srvtest {

class AppTestEnv {
public:
    AppTestEnv()
    {
        const char* root = std::getenv("VLT_TEST_TMP");
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_dir = (std::filesystem::path(root ? root : "/tmp") / ("vltsrvmgr-" + test + "-" + std::to_string(getpid())))
                    .string();
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        // Socket paths are short: the runtime folder goes under /tmp.
        char runtime[] = "/tmp/vltsm-XXXXXX";
        m_runtime = ::mkdtemp(runtime) ? runtime : "";
        ::chmod(m_runtime.c_str(), 0700);
        setenv("VLT_REGISTRY_DIR", (m_dir + "/reg").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir + "/cfg").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
        vlt::AppProfile::SetRegistryKey(L"Veltrane");
        vlt::AppProfile::SetProfileName(L"VltSrvMgr");
    }
    ~AppTestEnv()
    {
        std::filesystem::remove_all(m_runtime);
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("VLT_REGISTRY_DIR");
    }
    AppTestEnv(const AppTestEnv&) = delete;
    AppTestEnv& operator=(const AppTestEnv&) = delete;

    const std::string& Dir() const { return m_dir; }
    const std::string& RuntimeDir() const { return m_runtime; }
    std::string AutostartFile() const { return m_dir + "/cfg/autostart/VltSrvMgr.desktop"; }
    std::string HiveFile() const { return m_dir + "/reg/user/registry.xml"; }

private:
    std::string m_dir;
    std::string m_runtime;
};

} // namespace srvtest

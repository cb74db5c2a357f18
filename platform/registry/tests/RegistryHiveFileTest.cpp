#include "RegistryStore.h"
#include "RegistryTestDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

using namespace vlt;

namespace {

// Sets or unsets environment variables for one test and restores them.
class EnvGuard {
public:
    void Set(const char* name, const char* value)
    {
        Remember(name);
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~EnvGuard()
    {
        for (const auto& [name, old] : m_old) {
            if (old.first)
                ::setenv(name.c_str(), old.second.c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    void Remember(const char* name)
    {
        if (m_old.count(name))
            return;
        const char* value = std::getenv(name);
        m_old[name] = {value != nullptr, value ? value : ""};
    }
    std::map<std::string, std::pair<bool, std::string>> m_old;
};

TEST(RegistryHiveFileTest, RegistryDirMovesBothHives)
{
    EnvGuard env;
    env.Set("VLT_REGISTRY_DIR", "/srv/reg/");
    env.Set("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(RegistryStore::HiveFile(RegHive::CurrentUser), "/srv/reg/user/registry.xml");
    EXPECT_EQ(RegistryStore::HiveFile(RegHive::LocalMachine), "/srv/reg/machine/registry.xml");
}

TEST(RegistryHiveFileTest, UserHiveFollowsXdgConfigHome)
{
    EnvGuard env;
    env.Set("VLT_REGISTRY_DIR", nullptr);
    env.Set("XDG_CONFIG_HOME", "/cfg/home");
    env.Set("HOME", "/home/someone");
    EXPECT_EQ(RegistryStore::HiveFile(RegHive::CurrentUser), "/cfg/home/Veltrane/registry.xml");
    EXPECT_EQ(RegistryStore::HiveFile(RegHive::LocalMachine), "/etc/veltrane/registry.xml");
}

TEST(RegistryHiveFileTest, UserHiveFallsBackToHomeConfig)
{
    EnvGuard env;
    env.Set("VLT_REGISTRY_DIR", "");
    env.Set("XDG_CONFIG_HOME", nullptr);
    env.Set("HOME", "/home/someone");
    EXPECT_EQ(RegistryStore::HiveFile(RegHive::CurrentUser), "/home/someone/.config/Veltrane/registry.xml");
    // A relative XDG_CONFIG_HOME does not count.
    env.Set("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(RegistryStore::HiveFile(RegHive::CurrentUser), "/home/someone/.config/Veltrane/registry.xml");
    EXPECT_EQ(RegistryStore::HiveFile(RegHive::LocalMachine), "/etc/veltrane/registry.xml");
}

TEST(RegistryHiveFileTest, WritingCreatesTheFolders)
{
    RegistryTestDir scratch;
    EnvGuard env;
    const std::string config = scratch.Path() + "/deep/config";
    env.Set("VLT_REGISTRY_DIR", nullptr);
    env.Set("XDG_CONFIG_HOME", config.c_str());
    ASSERT_TRUE(RegistryStore::SetDWord(RegHive::CurrentUser, L"A", L"n", 1)) << RegistryStore::LastError();
    EXPECT_TRUE(std::filesystem::is_regular_file(config + "/Veltrane/registry.xml"));
    uint32_t n = 0;
    EXPECT_TRUE(RegistryStore::GetDWord(RegHive::CurrentUser, L"A", L"n", n));
    EXPECT_EQ(n, 1u);
}

} // namespace

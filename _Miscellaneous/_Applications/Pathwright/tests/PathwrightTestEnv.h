#pragma once
// A registry directory and a system root of their own for each test of the
// search-path tool, with the setting-change broadcasts counted.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "CPathwright.h"
#include "RegistryStore.h"
#include "ScratchDir.h"
#include "SettingChange.h"
#include "ShellFile.h"
#include "TextConv.h"

class PathwrightTest : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";

    struct Outcome {
        int32_t result = 0;
        std::string out;
    };

    void SetUp() override
    {
        m_dir = ShellScratchDir();
        m_environment = m_dir + "/root/etc/environment";
        std::filesystem::create_directories(m_dir + "/root/etc");
        setenv("VLT_REGISTRY_DIR", (m_dir + "/reg").c_str(), 1);
        setenv("VLT_SYSTEM_ROOT", (m_dir + "/root").c_str(), 1);
        vlt::SetSettingChangeHook([this](const std::string& area) {
            EXPECT_EQ(area, "Environment");
            ++m_broadcasts;
        });
    }

    void TearDown() override { vlt::SetSettingChangeHook({}); }

    Outcome Run(const std::vector<std::string>& args)
    {
        std::ostringstream out;
        CPathwright tool(out);
        Outcome outcome;
        outcome.result = tool.Run(args);
        outcome.out = out.str();
        return outcome;
    }

    void SetStored(const std::string& value)
    {
        ASSERT_TRUE(vlt::RegistryStore::SetString(vlt::RegHive::LocalMachine, kKey, L"Path", vlt::Utf8ToWide(value)));
    }

    std::optional<std::string> Stored() const
    {
        std::wstring value;
        if (!vlt::RegistryStore::GetString(vlt::RegHive::LocalMachine, kKey, L"Path", value))
            return std::nullopt;
        return vlt::WideToUtf8(value);
    }

    void SetEnvironment(const std::string& text) { std::ofstream(m_environment, std::ios::binary) << text; }

    std::string Environment() const
    {
        std::string text;
        vlt::ReadRegularFile(m_environment, 1 << 20, text);
        return text;
    }

    // The inode of a file, 0 when missing: a file written again gets a new one.
    static ino_t Inode(const std::string& path)
    {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    }

    std::string HiveFile() const { return vlt::RegistryStore::HiveFile(vlt::RegHive::LocalMachine); }

    std::string m_dir;
    std::string m_environment;
    int m_broadcasts = 0;
};

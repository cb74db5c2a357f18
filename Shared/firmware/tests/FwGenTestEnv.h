#pragma once
// Private registry and temporary folder for one test.
#include <cstdlib>
#include <optional>
#include <string>

#include "FwTestFiles.h"

class FwGenTestEnv {
public:
    explicit FwGenTestEnv(const std::string& tag)
        : m_dir(MakeTestDir(tag))
    {
        Keep("VLT_REGISTRY_DIR", m_registry);
        Keep("TMPDIR", m_tmp);
        setenv("VLT_REGISTRY_DIR", (m_dir + "/registry").c_str(), 1);
        setenv("TMPDIR", Tmp().c_str(), 1);
        MakeTestDirAt(Tmp());
    }
    // The next test of the same program finds the variables as they were.
    ~FwGenTestEnv()
    {
        Restore("VLT_REGISTRY_DIR", m_registry);
        Restore("TMPDIR", m_tmp);
    }
    FwGenTestEnv(const FwGenTestEnv&) = delete;
    FwGenTestEnv& operator=(const FwGenTestEnv&) = delete;
    const std::string& Dir() const { return m_dir; }
    std::string Tmp() const { return m_dir + "/tmp"; }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

private:
    static void MakeTestDirAt(const std::string& path);
    static void Keep(const char* name, std::optional<std::string>& value)
    {
        if (const char* text = std::getenv(name))
            value = text;
    }
    static void Restore(const char* name, const std::optional<std::string>& value)
    {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    std::string m_dir;
    std::optional<std::string> m_registry;
    std::optional<std::string> m_tmp;
};

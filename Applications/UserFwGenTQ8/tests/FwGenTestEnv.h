#pragma once
// Private registry and temporary folder for one test.
#include <cstdlib>
#include <string>

#include "FwTestFiles.h"

class FwGenTestEnv {
public:
    explicit FwGenTestEnv(const std::string& tag)
        : m_dir(MakeTestDir(tag))
    {
        setenv("VLT_REGISTRY_DIR", (m_dir + "/registry").c_str(), 1);
        setenv("TMPDIR", Tmp().c_str(), 1);
        MakeTestDirAt(Tmp());
    }
    const std::string& Dir() const { return m_dir; }
    std::string Tmp() const { return m_dir + "/tmp"; }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

private:
    static void MakeTestDirAt(const std::string& path);
    std::string m_dir;
};

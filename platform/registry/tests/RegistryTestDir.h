#pragma once
// A private registry folder for one test: VLT_REGISTRY_DIR points at a fresh
// directory under $VLT_TEST_TMP (or /tmp), restored when the test ends.
#include <string>

class RegistryTestDir {
public:
    RegistryTestDir();
    ~RegistryTestDir();
    RegistryTestDir(const RegistryTestDir&) = delete;
    RegistryTestDir& operator=(const RegistryTestDir&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_oldValue;
    bool m_hadOld = false;
};

// Reads a whole file into a string (empty when missing).
std::string FileBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

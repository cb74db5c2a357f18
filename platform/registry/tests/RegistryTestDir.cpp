#include "RegistryTestDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

RegistryTestDir::RegistryTestDir()
{
    const char* base = std::getenv("VLT_TEST_TMP");
    std::string root = base && *base ? base : "/tmp";
    std::filesystem::create_directories(root);
    std::string pattern = root + "/reg-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed in " + root);
    m_path = pattern;
    if (const char* old = std::getenv("VLT_REGISTRY_DIR")) {
        m_hadOld = true;
        m_oldValue = old;
    }
    ::setenv("VLT_REGISTRY_DIR", m_path.c_str(), 1);
}

RegistryTestDir::~RegistryTestDir()
{
    if (m_hadOld)
        ::setenv("VLT_REGISTRY_DIR", m_oldValue.c_str(), 1);
    else
        ::unsetenv("VLT_REGISTRY_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

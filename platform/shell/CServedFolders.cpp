#include "CServedFolders.h"

#include <mutex>

#include "ClientPaths.h"

namespace vlt {

namespace {
std::mutex g_mutex;
std::optional<std::vector<std::string>> g_folders;
} // namespace

std::vector<std::string> CServedFolders::Get()
{
    {
        std::lock_guard lock(g_mutex);
        if (g_folders)
            return *g_folders;
    }
    return DefaultServedRoots();
}

void CServedFolders::Set(std::optional<std::vector<std::string>> folders)
{
    std::lock_guard lock(g_mutex);
    g_folders = std::move(folders);
}

} // namespace vlt

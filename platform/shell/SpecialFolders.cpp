#include "SpecialFolders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "ClientPaths.h"

namespace vlt {

namespace {

std::string Home()
{
    const std::vector<std::string> roots = DefaultServedRoots();
    return roots.empty() ? std::string() : roots.front();
}

// An XDG user folder: its variable when set and absolute, else home/fallback.
std::string UserFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    if (value && *value == '/')
        return value;
    const std::string home = Home();
    return home.empty() ? std::string() : home + "/" + fallback;
}

} // namespace

bool GetSpecialFolderPath(int32_t folder, std::string& path)
{
    std::string found;
    switch (folder & kFolderNumberMask) {
    case kFolderDesktop:
    case kFolderDesktopDirectory:
        found = UserFolder("XDG_DESKTOP_DIR", "Desktop");
        break;
    case kFolderDocuments:
        found = UserFolder("XDG_DOCUMENTS_DIR", "Documents");
        break;
    case kFolderProfile:
        found = Home();
        break;
    default:
        return false;
    }
    std::error_code ec;
    if (found.empty() || !std::filesystem::is_directory(found, ec))
        return false;
    path = found;
    return true;
}

} // namespace vlt

#include "SpecialFolders.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "ClientPaths.h"
#include "ShellFile.h"

namespace vlt {

namespace {

constexpr size_t kMaxUserDirsBytes = 64 * 1024;

std::string Home()
{
    const std::vector<std::string> roots = DefaultServedRoots();
    return roots.empty() ? std::string() : roots.front();
}

std::string AbsoluteVariable(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value == '/' ? value : std::string();
}

// One entry of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop" (shell
// quoting, "$HOME" only at the start, else an absolute path).
std::string UserDirsEntry(const std::string& key)
{
    const std::string config = UserConfigHome();
    std::string text;
    if (config.empty() || !ReadRegularFile(config + "/user-dirs.dirs", kMaxUserDirsBytes, text))
        return {};
    std::istringstream lines(text);
    std::string line;
    std::string found;
    const std::string start = key + "=\"";
    while (std::getline(lines, line)) {
        if (line.rfind(start, 0) != 0)
            continue;
        std::string value;
        bool closed = false;
        for (size_t i = start.size(); i < line.size() && !closed; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                value += line[++i];
            else if (line[i] == '"')
                closed = true;
            else
                value += line[i];
        }
        if (!closed)
            continue;
        if (value == "$HOME" || value.rfind("$HOME/", 0) == 0)
            value = Home().empty() ? std::string() : Home() + value.substr(5);
        if (!value.empty() && value.front() == '/')
            found = value;
    }
    return found;
}

// An XDG user folder: its variable when set and absolute, else the entry
// of user-dirs.dirs, else home/fallback.
std::string UserFolder(const char* variable, const char* fallback)
{
    std::string folder = AbsoluteVariable(variable);
    if (folder.empty())
        folder = UserDirsEntry(variable);
    const std::string home = Home();
    if (folder.empty() && !home.empty())
        folder = home + "/" + fallback;
    return folder;
}

std::string UserApplications()
{
    const std::string data = UserDataHome();
    return data.empty() ? data : data + "/applications";
}

} // namespace

std::string UserDataHome()
{
    std::string data = AbsoluteVariable("XDG_DATA_HOME");
    const std::string home = Home();
    if (data.empty() && !home.empty())
        data = home + "/.local/share";
    return data;
}

std::string UserDataFolder()
{
    const std::string data = UserDataHome();
    return data.empty() ? data : data + "/Veltrane";
}

std::string UserConfigHome()
{
    std::string config = AbsoluteVariable("XDG_CONFIG_HOME");
    const std::string home = Home();
    if (config.empty() && !home.empty())
        config = home + "/.config";
    return config;
}

std::string SystemRootPath(const std::string& absolutePath)
{
    std::string root = AbsoluteVariable("VLT_SYSTEM_ROOT");
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    return root + absolutePath;
}

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
    case kFolderPrograms:
    case kFolderStartMenu:
        found = UserApplications();
        break;
    case kFolderCommonPrograms:
    case kFolderCommonStartMenu:
        found = SystemRootPath("/usr/local/share/applications");
        break;
    default:
        return false;
    }
    std::error_code ec;
    if (found.empty())
        return false;
    if (!(folder & kFolderFlagDontVerify) && !std::filesystem::is_directory(found, ec))
        return false;
    path = found;
    return true;
}

} // namespace vlt

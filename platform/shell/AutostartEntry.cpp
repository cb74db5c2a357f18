#include "AutostartEntry.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "DesktopLink.h"
#include "SpecialFolders.h"

namespace vlt {

std::string AutostartFolder()
{
    const std::string config = UserConfigHome();
    return config.empty() ? std::string() : config + "/autostart";
}

std::string AutostartFile(const std::string& programPath)
{
    const std::string folder = AutostartFolder();
    if (folder.empty())
        return {};
    return folder + "/" + std::filesystem::path(programPath).filename().string() + ".desktop";
}

bool WriteAutostartEntry(const std::string& programPath, const std::string& name,
                         const std::vector<std::string>& arguments, std::string* error)
{
    const std::string file = AutostartFile(programPath);
    if (file.empty()) {
        if (error)
            *error = "No home directory for the log-on start entry";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(AutostartFolder(), ec);
    if (ec) {
        if (error)
            *error = "Cannot create '" + AutostartFolder() + "': " + ec.message();
        return false;
    }
    DesktopEntry entry;
    entry.type = DesktopEntry::Type::Application;
    entry.name = name;
    entry.program = programPath;
    entry.arguments = arguments;
    return WriteDesktopEntry(file, entry, false, error);
}

bool RemoveAutostartEntry(const std::string& programPath, std::string* error)
{
    const std::string file = AutostartFile(programPath);
    if (file.empty())
        return true;
    if (::unlink(file.c_str()) == 0 || errno == ENOENT)
        return true;
    if (error)
        *error = "Cannot remove '" + file + "': " + std::strerror(errno);
    return false;
}

} // namespace vlt

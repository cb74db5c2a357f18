#pragma once
// Special folders by the clients' folder numbers, found in the XDG layout:
//   desktop           the XDG desktop folder (user-dirs.dirs, else ~/Desktop)
//   Start menu and Programs   $XDG_DATA_HOME/applications (~/.local/share)
//   all users' Start menu and Programs   /usr/local/share/applications
//   all users' desktop       none: freedesktop systems have no such folder
// The system folders lie under VLT_SYSTEM_ROOT when it is set; HOME and the
// XDG variables move the user's.
#include <cstdint>
#include <string>

namespace vlt {

constexpr int32_t kFolderDesktop = 0;
constexpr int32_t kFolderPrograms = 2;
constexpr int32_t kFolderDocuments = 5;
constexpr int32_t kFolderStartMenu = 11;
constexpr int32_t kFolderDesktopDirectory = 16;
constexpr int32_t kFolderCommonStartMenu = 22;
constexpr int32_t kFolderCommonPrograms = 23;
constexpr int32_t kFolderCommonDesktopDirectory = 25;
constexpr int32_t kFolderProfile = 40;
// Bits above the folder number carry flags, not a folder.
constexpr int32_t kFolderNumberMask = 0xFF;
// Give the folder's path even when it does not exist (yet).
constexpr int32_t kFolderFlagDontVerify = 0x4000;

// The local path of the folder; false when the number names none here or
// the folder does not exist (unless kFolderFlagDontVerify is given).
bool GetSpecialFolderPath(int32_t folder, std::string& path);

// The user's configuration folder: $XDG_CONFIG_HOME when absolute, else
// ~/.config; empty without a home directory.
std::string UserConfigHome();

// The user's data folder: $XDG_DATA_HOME when absolute, else
// ~/.local/share; empty without a home directory.
std::string UserDataHome();
// Where the programs keep the user's own files: UserDataHome()/Veltrane.
std::string UserDataFolder();

// A system-wide path ("/etc/environment") under VLT_SYSTEM_ROOT, or itself.
std::string SystemRootPath(const std::string& absolutePath);

} // namespace vlt

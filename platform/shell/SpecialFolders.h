#pragma once
// Special folders by the clients' folder numbers, found in the XDG layout.
#include <cstdint>
#include <string>

namespace vlt {

constexpr int32_t kFolderDesktop = 0;
constexpr int32_t kFolderDocuments = 5;
constexpr int32_t kFolderDesktopDirectory = 16;
constexpr int32_t kFolderProfile = 40;
// Bits above the folder number carry flags, not a folder.
constexpr int32_t kFolderNumberMask = 0xFF;

// The local path of the folder; false when the number names none here or
// the folder does not exist. The flag bits are masked off first.
bool GetSpecialFolderPath(int32_t folder, std::string& path);

} // namespace vlt

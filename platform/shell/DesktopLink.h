#pragma once
// Links on this desktop: symbolic links, and freedesktop ".desktop" files of
// type Link whose URL is a local "file://" one.
#include <string>

namespace vlt {

// True when the name ends in ".desktop" (letter case ignored).
bool IsDesktopLinkName(const std::string& name);

// The local target of a ".desktop" link file; false when the file is not a
// link to a local path.
bool ReadDesktopLinkTarget(const std::string& linkFile, std::string& target);

// The target of a symbolic link or a ".desktop" link, made absolute and
// with links resolved where they exist; false when the path is neither or
// the target is empty.
bool ResolveLinkTarget(const std::string& path, std::string& target);

} // namespace vlt

#pragma once
// Links on this desktop: symbolic links and freedesktop ".desktop" files.
// A desktop file links to a local path when it is of type Link with a
// "file://" URL, or of type Application whose Exec names an absolute
// program (the shortcut tool writes both kinds).
#include <string>
#include <vector>

namespace vlt {

// One desktop entry as the shortcut tool writes it. Empty fields are left
// out; Exec and Path belong to Application entries, URL to Link entries.
struct DesktopEntry {
    enum class Type { Application, Link };
    Type type = Type::Link;
    std::string name;
    std::string comment;
    std::string program; // Exec: the program, quoted on writing
    std::vector<std::string> arguments; // after it in Exec, each quoted as needed
    std::string folder;  // Path: its working folder
    std::string url;
};

// True when the name ends in ".desktop" (letter case ignored).
bool IsDesktopLinkName(const std::string& name);

// "file://" and the absolute path, percent-encoded.
std::string FileUrl(const std::string& absolutePath);

// The program as one Exec argument: quoted when it holds a reserved
// character, '"', '`', '$' and '\' escaped inside the quotes, '%' doubled.
std::string ExecArgument(const std::string& program);

// The file's text: the group "[Desktop Entry]" with Type, Name, Comment,
// Exec and Path or URL, every value escaped as a desktop-entry string.
std::string FormatDesktopEntry(const DesktopEntry& entry);

// Written atomically; executable files (as on a desktop) get the execute
// bits where they have the read bits. false with a reason.
bool WriteDesktopEntry(const std::string& file, const DesktopEntry& entry, bool executable,
                       std::string* error = nullptr);

// The local target of a ".desktop" link file; false when the file is not a
// link to a local path.
bool ReadDesktopLinkTarget(const std::string& linkFile, std::string& target);

// The target of a symbolic link or a ".desktop" link, made absolute and
// with links resolved where they exist; false when the path is neither or
// the target is empty.
bool ResolveLinkTarget(const std::string& path, std::string& target);

} // namespace vlt

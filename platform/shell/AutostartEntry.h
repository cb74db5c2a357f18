#pragma once
// The user's list of programs started at log-on: one freedesktop autostart
// entry per program, in $XDG_CONFIG_HOME/autostart (~/.config/autostart).
#include <string>
#include <vector>

namespace vlt {

// The folder of the entries; empty without a home directory.
std::string AutostartFolder();

// The entry of a program: "<folder>/<the program's file name>.desktop".
std::string AutostartFile(const std::string& programPath);

// Writes the entry atomically, the folder created when missing. Exec is the
// program's full path and the arguments, each quoted by the desktop-entry
// rules. false with a reason naming the file and the system's text.
bool WriteAutostartEntry(const std::string& programPath, const std::string& name,
                         const std::vector<std::string>& arguments, std::string* error = nullptr);

// Removes the entry; one that does not exist counts as removed.
bool RemoveAutostartEntry(const std::string& programPath, std::string* error = nullptr);

} // namespace vlt

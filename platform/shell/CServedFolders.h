#pragma once
// The folders this process serves to clients, each as one drive ("C:",
// "D:" ...): one table for the whole process, which the service host fills
// from its configuration and which its services read (the built-in file
// service, and the board service, a plug-in that writes recordings into
// them). It is a shared library of its own, so that a plug-in the host
// loads sees the host's table and not a copy. Any thread may call it.
#include <optional>
#include <string>
#include <vector>

namespace vlt {

class CServedFolders {
public:
    // The configured folders (possibly none), or without a configuration
    // the home folder of the user running the program.
    static std::vector<std::string> Get();
    // nullopt: no configuration, back to the home folder.
    static void Set(std::optional<std::vector<std::string>> folders);
};

} // namespace vlt

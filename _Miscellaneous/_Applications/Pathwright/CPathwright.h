#pragma once
// The search-path tool: adds directories to the system search path or
// removes them. The path is the machine-wide registry value "Path" (entries
// separated by ';'), mirrored to the PATH= line of the system's environment
// file, so that login sessions see it.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class CPathwright {
public:
    explicit CPathwright(std::ostream& out);

    // 0 when nothing had to change or the changes were written; -1 usage
    // error, a path that cannot be held, or a failed write; -2 the registry
    // key cannot be opened for writing; -3 the value cannot be read.
    int32_t Run(const std::vector<std::string>& args);

private:
    // What the environment file holds; failed when it exists but cannot be read.
    struct Mirror {
        std::string text;
        std::optional<std::string> line; // the PATH= value, ':'-separated
        bool failed = false;
        std::string reason;
    };

    bool ParseArguments(const std::vector<std::string>& args);
    void PrintUsage();
    void PrintSystemError(const char* prefix, const std::string& text, int code);
    bool CheckPathsToAdd();
    bool ReadStoredPath(std::optional<std::string>& stored);
    Mirror ReadMirror();
    int32_t AddPaths();
    int32_t RemovePaths();
    // Index of the first entry equal to the path's full or canonical form.
    std::optional<size_t> FindEntry(const std::string& path) const;
    bool WriteStoredPath();
    bool SyncMirror(const std::string& value, const Mirror& mirror);

    std::ostream& m_out;
    std::vector<std::string> m_paths;
    bool m_remove = false;
    std::vector<std::string> m_entries;
};

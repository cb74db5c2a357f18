#pragma once
// A file written piece by piece that replaces its target only when it is
// committed: the pieces go to a temporary file beside the target, which a
// commit renames over it. A writer that is not committed removes its
// temporary file, so a failed write leaves the previous file intact.
//
// Each step returns false on failure with errno set to the system's error
// and, when error is given, a readable reason naming the path.
#include <string>
#include <string_view>

namespace vlt {

class CAtomicFileWriter {
public:
    CAtomicFileWriter() = default;
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;
    ~CAtomicFileWriter();

    // Creates the temporary file; the target is not touched yet. A target
    // that exists and is not a regular file is refused ("not a regular
    // file"). Temporary files of earlier writes of the target whose process
    // has ended (killed midway) are removed first.
    bool Open(const std::string& path, std::string* error = nullptr);
    bool Write(std::string_view data, std::string* error = nullptr);
    // Flushes the data and renames it over the target (with the target's
    // permissions when it existed).
    bool Commit(std::string* error = nullptr);
    // Drops what was written; the target stays as it was.
    void Discard();

private:
    std::string m_path;
    std::string m_tmp;
    int m_fd = -1;
};

} // namespace vlt

#pragma once
// The one writer of the programs' files. By default it is atomic: the
// pieces go to a temporary file beside the target, which a commit renames
// over it, and a writer that is not committed removes its temporary file, so
// a failed write leaves the previous file intact.
// Writing in place, appending and overwriting (Options) are NOT atomic: they
// are for files that must hold their data as they are written (a recording)
// or that are continued, and a failure leaves what was written so far.
//
// Whatever the way, a target that exists and is not a regular file (a FIFO,
// a device, a folder) is refused at once ("not a regular file"): nothing
// ever blocks on it or writes into it.
//
// Each step returns false on failure with errno set to the system's error
// and, when error is given, a readable reason naming the path.
#include <cstdint>
#include <string>
#include <string_view>

namespace vlt {

class CFileWriter {
public:
    struct Options {
        // Written straight into the target instead of a temporary file:
        // what was written stays there, committed or not (a recording that
        // ends midway keeps what it recorded). Appending and overwriting
        // are always in place.
        bool inPlace = false;
        // A file that already has the name: replaced, refused (EEXIST, at
        // Open and again at Commit), continued after what it holds, or
        // written over from its start and cut at Commit to what was written
        // (it must exist: a rewrite that needs no new room on the disk).
        enum class Existing { Replace, Refuse, Append, Overwrite } existing = Existing::Replace;
    };

    CFileWriter() = default;
    CFileWriter(const CFileWriter&) = delete;
    CFileWriter& operator=(const CFileWriter&) = delete;
    ~CFileWriter();

    // Creates the temporary file (or opens the target in place); the target
    // is not touched yet. Temporary files of earlier writes of the target
    // whose process has ended (killed midway) are removed first.
    bool Open(const std::string& path, std::string* error = nullptr);
    bool Open(const std::string& path, const Options& options, std::string* error = nullptr);
    bool Write(std::string_view data, std::string* error = nullptr);
    // The open file, for callers that write it themselves (direct I/O, from
    // another thread); -1 when none is open.
    int Descriptor() const { return m_fd; }
    // Flushes the data to disk and closes the file; it takes its place at
    // Commit. Lets many finished files wait without holding descriptors.
    bool Finish(std::string* error = nullptr);
    // Finishes the file when that is not done yet and renames it over the
    // target (with the target's permissions when it existed).
    bool Commit(std::string* error = nullptr);
    // Drops what was written: a temporary file is removed, an appended file
    // is cut back to its length at Open; a file written in place keeps what
    // it holds.
    void Discard();

private:
    bool OpenInPlace(std::string* error);
    bool OpenTemporary(std::string* error);
    bool PutInPlace(std::string* error);

    std::string m_path;
    std::string m_tmp;
    Options m_options;
    int m_fd = -1;
    bool m_open = false;         // between Open and Commit or Discard
    uint64_t m_appendedFrom = 0; // appending: the length at Open
};

} // namespace vlt

#pragma once
// Writes one stream of bytes to a data file, or to a series of segment files
// of a fixed size. A file that starts empty starts with a header area of
// zeros that the caller's application may fill later. The first file is the
// path itself and replaces an existing file (its name is the caller's
// choice), or is continued when appending; segment files 2, 3, ... are named
// "<stem>_0002<ext>" and so on beside it and, unless appending, are never
// put over an existing file: a name that is taken fails the write.
// Every file goes through the shared file writer (CFileWriter), so a
// FIFO, a device or a folder where a file should go is refused at once.
// Data handed to Write is in the kernel when Write returns, except with
// direct I/O: there bytes that do not arrive in whole aligned blocks gather
// in a stage, and a full stage is written by a thread of the writer while
// the caller goes on. Everything is on disk when Close returns, so an ended
// recording loses nothing it reported as written.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CFileWriter.h"
#include "CWriteBehind.h"

namespace tq8 {

class CSegmentedFileWriter {
public:
    struct Options {
        bool append = false;
        // O_DIRECT with aligned buffers where the file system takes it;
        // plain writes where it does not.
        bool direct = false;
        // The files take their places only at Commit (a save): a writer that
        // fails or is not committed leaves every target as it was. Without
        // it they are written in place (a recording keeps what it wrote).
        bool atomic = false;
    };

    // segmentBytes: the size of a whole file, header included; 0: one file.
    CSegmentedFileWriter(std::string path, uint32_t headerBytes, uint64_t segmentBytes);
    CSegmentedFileWriter(std::string path, uint32_t headerBytes, uint64_t segmentBytes, Options options);
    ~CSegmentedFileWriter();
    CSegmentedFileWriter(const CSegmentedFileWriter&) = delete;
    CSegmentedFileWriter& operator=(const CSegmentedFileWriter&) = delete;

    // The name of segment index (1-based; 1 is the path itself).
    static std::string SegmentPath(const std::string& path, uint32_t index);

    // Creates the first file. A false return leaves ErrorText set.
    bool Open();
    bool Write(const uint8_t* data, size_t bytes);
    // Flushes the file to disk and closes it; safe to call more than once.
    bool Close();
    // Atomic files: puts the closed files in place (Close first when that is
    // not done yet). Written in place, they are there already.
    bool Commit();
    // Atomic files: drops every file written, the targets stay as they were.
    void Discard();

    struct FileInfo {
        std::string path;
        // Written by this writer: once the file is closed, what it holds
        // after the header (or after what was there when appending).
        uint64_t dataBytes;
    };
    const std::vector<FileInfo>& Files() const { return m_files; }
    // Names the file and gives the system's reason.
    const std::wstring& ErrorText() const { return m_error; }
    // The system's error number of that failure, 0 when it has none.
    int SystemError() const { return m_systemError; }

private:
    struct AlignedFree {
        void operator()(uint8_t* p) const;
    };
    static constexpr size_t kAlign = 4096;
    static constexpr size_t kStageBytes = 2u << 20; // a huge page
    // Full stages written behind at once; one more is filled meanwhile.
    static constexpr size_t kBehind = 2;
    static constexpr size_t kStages = kBehind + 1;

    static bool AllocateStage(std::unique_ptr<uint8_t, AlignedFree>& stage);
    uint8_t* Stage() const { return m_stages[m_current].get(); }
    bool OpenFile(bool first);
    void TryDirect();
    bool WriteAll(const uint8_t* data, size_t bytes);
    bool Put(const uint8_t* data, size_t bytes);
    bool FlushStage(bool all);
    bool WriteBehind(size_t aligned);
    bool WaitBehind(size_t left = 0);
    bool EndDirect();
    bool CloseFile();
    bool Fail(const char* what, const std::string& file, int error);
    bool FailWith(const std::string& reason, int error);

    const std::string m_path;
    const uint32_t m_headerBytes;
    const uint64_t m_segmentBytes;
    const Options m_options;
    std::unique_ptr<vlt::CFileWriter> m_file; // the open file
    // Atomic files closed before the last, waiting for Commit.
    std::vector<std::unique_ptr<vlt::CFileWriter>> m_finished;
    int m_fd = -1;
    bool m_direct = false;    // the open file takes O_DIRECT writes
    uint64_t m_fileBytes = 0; // in the open file, header included
    uint64_t m_fileStart = 0; // where this writer's data begin in it
    // Direct I/O: the stage being filled is the current one; the others are
    // being written behind or free.
    std::array<std::unique_ptr<uint8_t, AlignedFree>, kStages> m_stages;
    size_t m_current = 0;
    size_t m_staged = 0;
    std::vector<FileInfo> m_files;
    std::wstring m_error;
    int m_systemError = 0;
    CWriteBehind m_behind; // destroyed first: no write outlives the buffers
};

} // namespace tq8

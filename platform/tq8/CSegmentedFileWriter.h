#pragma once
// Writes one stream of bytes to a data file, or to a series of segment files
// of a fixed size. Every file starts with a header area of zeros that the
// caller's application may fill later. The first file is the path itself and
// replaces an existing file (its name is the caller's choice); segment
// files 2, 3, ... are named "<stem>_0002<ext>" and so on beside it and are
// never put over an existing file: a name that is taken fails the write.
// Data handed to Write is in the kernel when Write returns and on disk when
// Close returns, so an ended recording loses nothing it reported as written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tq8 {

class CSegmentedFileWriter {
public:
    // segmentBytes: the size of a whole file, header included; 0: one file.
    CSegmentedFileWriter(std::string path, uint32_t headerBytes, uint64_t segmentBytes);
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

    struct FileInfo {
        std::string path;
        uint64_t dataBytes;
    };
    const std::vector<FileInfo>& Files() const { return m_files; }
    // Names the file and gives the system's reason.
    const std::wstring& ErrorText() const { return m_error; }

private:
    bool OpenFile(bool first);
    bool WriteAll(const uint8_t* data, size_t bytes);
    bool Fail(const char* what, const std::string& file, int error);
    uint64_t Capacity() const;

    const std::string m_path;
    const uint32_t m_headerBytes;
    const uint64_t m_segmentBytes;
    int m_fd = -1;
    std::vector<FileInfo> m_files;
    std::wstring m_error;
};

} // namespace tq8

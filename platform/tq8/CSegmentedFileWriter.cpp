#include "CSegmentedFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "TextConv.h"

namespace tq8 {

CSegmentedFileWriter::CSegmentedFileWriter(std::string path, uint32_t headerBytes, uint64_t segmentBytes)
    : m_path(std::move(path)), m_headerBytes(headerBytes), m_segmentBytes(segmentBytes)
{
}

CSegmentedFileWriter::~CSegmentedFileWriter()
{
    Close();
}

std::string CSegmentedFileWriter::SegmentPath(const std::string& path, uint32_t index)
{
    if (index <= 1)
        return path;
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string stem = hasExt ? path.substr(0, dot) : path;
    const std::string ext = hasExt ? path.substr(dot) : std::string();
    char number[16];
    std::snprintf(number, sizeof number, "_%04u", index);
    return stem + number + ext;
}

uint64_t CSegmentedFileWriter::Capacity() const
{
    return m_segmentBytes == 0 ? UINT64_MAX : m_segmentBytes - m_headerBytes;
}

bool CSegmentedFileWriter::Fail(const char* what, const std::string& file, int error)
{
    m_error = vlt::Utf8ToWide(std::string(what) + " \"" + file + "\": " + std::generic_category().message(error));
    return false;
}

bool CSegmentedFileWriter::Open()
{
    return OpenFile(true);
}

bool CSegmentedFileWriter::OpenFile(bool first)
{
    const std::string path = SegmentPath(m_path, static_cast<uint32_t>(m_files.size()) + 1);
    const int mode = O_WRONLY | O_CREAT | O_CLOEXEC | (first ? O_TRUNC : O_EXCL);
    m_fd = ::open(path.c_str(), mode, 0666);
    if (m_fd < 0)
        return Fail("Cannot create file", path, errno);
    m_files.push_back(FileInfo{path, 0});
    // The header area: a hole that reads as zeros.
    if (m_headerBytes != 0 && ::lseek(m_fd, static_cast<off_t>(m_headerBytes), SEEK_SET) < 0)
        return Fail("Cannot write file", path, errno);
    return true;
}

bool CSegmentedFileWriter::WriteAll(const uint8_t* data, size_t bytes)
{
    while (bytes != 0) {
        const ssize_t n = ::write(m_fd, data, bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail("Cannot write file", m_files.back().path, n < 0 ? errno : EIO);
        data += n;
        bytes -= static_cast<size_t>(n);
        m_files.back().dataBytes += static_cast<uint64_t>(n);
    }
    return true;
}

bool CSegmentedFileWriter::Write(const uint8_t* data, size_t bytes)
{
    if (m_fd < 0)
        return m_error.empty() ? Fail("Cannot write file", m_path, EBADF) : false;
    while (bytes != 0) {
        uint64_t room = Capacity() - m_files.back().dataBytes;
        if (room == 0) {
            if (!Close() || !OpenFile(false))
                return false;
            room = Capacity();
        }
        const size_t n = room < bytes ? static_cast<size_t>(room) : bytes;
        if (!WriteAll(data, n))
            return false;
        data += n;
        bytes -= n;
    }
    return true;
}

bool CSegmentedFileWriter::Close()
{
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    const std::string& path = m_files.back().path;
    bool ok = true;
    // A header beyond the last byte written must still be part of the file.
    if (m_headerBytes != 0 && m_files.back().dataBytes == 0 && ::ftruncate(fd, m_headerBytes) != 0)
        ok = Fail("Cannot write file", path, errno);
    // Devices and pipes cannot be synced; that is not a lost write.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && ok)
        ok = Fail("Cannot write file", path, errno);
    if (::close(fd) != 0 && errno != EINTR && ok)
        ok = Fail("Cannot write file", path, errno);
    return ok;
}

} // namespace tq8

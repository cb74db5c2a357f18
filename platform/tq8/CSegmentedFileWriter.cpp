#include "CSegmentedFileWriter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "StreamCopy.h"
#include "TextConv.h"

namespace tq8 {

void CSegmentedFileWriter::AlignedFree::operator()(uint8_t* p) const
{
    std::free(p);
}

CSegmentedFileWriter::CSegmentedFileWriter(std::string path, uint32_t headerBytes, uint64_t segmentBytes)
    : CSegmentedFileWriter(std::move(path), headerBytes, segmentBytes, Options{})
{
}

CSegmentedFileWriter::CSegmentedFileWriter(std::string path, uint32_t headerBytes, uint64_t segmentBytes,
                                           Options options)
    : m_path(std::move(path)), m_headerBytes(headerBytes), m_segmentBytes(segmentBytes), m_options(options)
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

bool CSegmentedFileWriter::Fail(const char* what, const std::string& file, int error)
{
    return FailWith(std::string(what) + " \"" + file + "\": " + std::generic_category().message(error), error);
}

bool CSegmentedFileWriter::FailWith(const std::string& reason, int error)
{
    m_error = vlt::Utf8ToWide(reason);
    m_systemError = error;
    return false;
}

bool CSegmentedFileWriter::Open()
{
    return OpenFile(true);
}

// A stage is one huge page where the system has them: a direct write pins
// every page of its buffer, and one huge page stands for 512 small ones.
bool CSegmentedFileWriter::AllocateStage(std::unique_ptr<uint8_t, AlignedFree>& stage)
{
    void* p = nullptr;
    if (!stage && ::posix_memalign(&p, kStageBytes, kStageBytes) == 0) {
        ::madvise(p, kStageBytes, MADV_HUGEPAGE); // a hint only
        stage.reset(static_cast<uint8_t*>(p));
    }
    return stage != nullptr;
}

// Where the file system takes it; the file stays with plain writes where
// it does not.
void CSegmentedFileWriter::TryDirect()
{
    const int fl = ::fcntl(m_fd, F_GETFL);
    if (fl < 0 || ::fcntl(m_fd, F_SETFL, fl | O_DIRECT) != 0)
        return;
    m_direct = AllocateStage(m_stages[m_current]);
    if (!m_direct)
        ::fcntl(m_fd, F_SETFL, fl);
}

bool CSegmentedFileWriter::OpenFile(bool first)
{
    using Existing = vlt::CFileWriter::Options::Existing;
    const std::string path = SegmentPath(m_path, static_cast<uint32_t>(m_files.size()) + 1);
    vlt::CFileWriter::Options how;
    how.inPlace = !m_options.atomic;
    how.existing = m_options.append ? Existing::Append : first ? Existing::Replace : Existing::Refuse;
    auto file = std::make_unique<vlt::CFileWriter>();
    std::string reason;
    if (!file->Open(path, how, &reason))
        return FailWith(reason, errno);
    m_file = std::move(file);
    m_fd = m_file->Descriptor();
    m_direct = false;
    m_staged = 0;
    if (m_options.direct)
        TryDirect();
    m_files.push_back(FileInfo{path, 0});
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return Fail("Cannot write file", path, errno);
    m_fileBytes = static_cast<uint64_t>(st.st_size);
    if (m_fileBytes != 0) {
        // Appending: the header is the file's already; direct writes would
        // start unaligned.
        if (m_direct && !EndDirect())
            return false;
        if (::lseek(m_fd, 0, SEEK_END) < 0)
            return Fail("Cannot write file", path, errno);
        m_fileStart = m_fileBytes;
        return true;
    }
    if (m_direct) {
        // Written as zeros, so every direct write stays aligned.
        static const uint8_t zeros[4096] = {};
        for (uint32_t left = m_headerBytes; left != 0;) {
            const uint32_t n = std::min<uint32_t>(left, sizeof zeros);
            if (!Put(zeros, n))
                return false;
            left -= n;
        }
    } else if (m_headerBytes != 0 && ::lseek(m_fd, static_cast<off_t>(m_headerBytes), SEEK_SET) < 0) {
        // A hole that reads as zeros.
        return Fail("Cannot write file", path, errno);
    }
    m_fileBytes = m_headerBytes;
    m_fileStart = m_headerBytes;
    return true;
}

bool CSegmentedFileWriter::WriteAll(const uint8_t* data, size_t bytes)
{
    if (!WaitBehind())
        return false;
    while (bytes != 0) {
        const ssize_t n = ::write(m_fd, data, bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EINVAL && m_direct) {
            // Refused only now: the rest goes the plain way.
            if (!EndDirect())
                return false;
            continue;
        }
        if (n <= 0)
            return Fail("Cannot write file", m_files.back().path, n < 0 ? errno : EIO);
        data += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

bool CSegmentedFileWriter::EndDirect()
{
    m_direct = false;
    const int fl = ::fcntl(m_fd, F_GETFL);
    if (fl < 0 || ::fcntl(m_fd, F_SETFL, fl & ~O_DIRECT) < 0)
        return Fail("Cannot write file", m_files.back().path, errno);
    return true;
}

// The stage's whole blocks go to the thread, and the next stage, once its
// own write is done, takes the unaligned tail.
bool CSegmentedFileWriter::WriteBehind(size_t aligned)
{
    const size_t next = (m_current + 1) % kStages;
    if (!WaitBehind(kBehind - 1))
        return false;
    if (!AllocateStage(m_stages[next]))
        return Fail("Cannot write file", m_files.back().path, ENOMEM);
    std::memcpy(m_stages[next].get(), Stage() + aligned, m_staged - aligned);
    m_behind.Start(m_fd, Stage(), aligned);
    m_current = next;
    m_staged -= aligned;
    return true;
}

bool CSegmentedFileWriter::WaitBehind(size_t left)
{
    if (m_behind.Queued() <= left)
        return true;
    const int error = m_behind.Wait(left);
    return error == 0 || Fail("Cannot write file", m_files.back().path, error);
}

bool CSegmentedFileWriter::FlushStage(bool all)
{
    const size_t aligned = m_staged / kAlign * kAlign;
    if (!all && aligned != 0)
        return WriteBehind(aligned);
    if (!WriteAll(Stage(), aligned))
        return false;
    std::memmove(Stage(), Stage() + aligned, m_staged - aligned);
    m_staged -= aligned;
    if (!all || m_staged == 0)
        return true;
    // The unaligned tail goes the plain way.
    if (m_direct && !EndDirect())
        return false;
    const bool ok = WriteAll(Stage(), m_staged);
    m_staged = 0;
    return ok;
}

// Bytes into the open file, through the stage while writing directly.
bool CSegmentedFileWriter::Put(const uint8_t* data, size_t bytes)
{
    // A stage left by direct writes that ended goes first.
    if (!m_direct)
        return (m_staged == 0 || FlushStage(true)) && WriteAll(data, bytes);
    if (m_staged == 0 && reinterpret_cast<uintptr_t>(data) % kAlign == 0 && bytes >= kAlign) {
        // Aligned already: straight from the caller's buffer.
        const size_t aligned = bytes / kAlign * kAlign;
        if (!WriteAll(data, aligned))
            return false;
        data += aligned;
        bytes -= aligned;
    }
    while (bytes != 0) {
        const size_t n = std::min(bytes, kStageBytes - m_staged);
        StreamCopy(Stage() + m_staged, data, n);
        m_staged += n;
        data += n;
        bytes -= n;
        if (m_staged == kStageBytes && !FlushStage(false))
            return false;
    }
    return true;
}

bool CSegmentedFileWriter::Write(const uint8_t* data, size_t bytes)
{
    if (m_fd < 0)
        return m_error.empty() ? Fail("Cannot write file", m_path, EBADF) : false;
    while (bytes != 0) {
        uint64_t room = m_segmentBytes == 0 ? UINT64_MAX
                        : m_fileBytes < m_segmentBytes ? m_segmentBytes - m_fileBytes : 0;
        if (room == 0) {
            if (!Close() || !OpenFile(false))
                return false;
            continue;
        }
        const size_t n = room < bytes ? static_cast<size_t>(room) : bytes;
        if (!Put(data, n))
            return false;
        m_fileBytes += n;
        m_files.back().dataBytes += n;
        data += n;
        bytes -= n;
    }
    return true;
}

bool CSegmentedFileWriter::Close()
{
    if (m_fd < 0)
        return true;
    const bool ok = WaitBehind() && (m_staged == 0 || FlushStage(true));
    return CloseFile() && ok;
}

bool CSegmentedFileWriter::CloseFile()
{
    const int fd = m_fd;
    m_fd = -1;
    const std::string& path = m_files.back().path;
    bool ok = true;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        const auto size = static_cast<uint64_t>(st.st_size);
        // A header beyond the last byte written must still be part of the
        // file; nothing else is made up: after a failed write the file ends
        // where its data does.
        if (size < m_fileStart && ::ftruncate(fd, static_cast<off_t>(m_fileStart)) != 0 && ok)
            ok = Fail("Cannot write file", path, errno);
        // What the file holds: after a failed write part of the bytes handed
        // in may be there, or bytes counted as written may be missing.
        m_files.back().dataBytes = size > m_fileStart ? size - m_fileStart : 0;
    }
    std::string reason;
    std::unique_ptr<vlt::CFileWriter> file = std::move(m_file);
    if (!file->Finish(&reason))
        return ok && FailWith(reason, errno);
    // Written in place, the file is where it belongs; an atomic one waits.
    if (!m_options.atomic)
        return file->Commit(&reason) ? ok : ok && FailWith(reason, errno);
    m_finished.push_back(std::move(file));
    return ok;
}

bool CSegmentedFileWriter::Commit()
{
    bool ok = Close() && m_error.empty();
    std::string reason;
    for (auto& file : m_finished)
        if (ok && !file->Commit(&reason))
            ok = FailWith(reason, errno);
    // What could not be put in place goes, as after a failure.
    if (!ok)
        Discard();
    m_finished.clear();
    return ok;
}

void CSegmentedFileWriter::Discard()
{
    m_behind.Wait(0);
    m_fd = -1;
    m_file.reset();
    m_finished.clear();
}

} // namespace tq8

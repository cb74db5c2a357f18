#include "CFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "OwnedTempFile.h"
#include "SystemErrorText.h"

namespace vlt {
namespace {

// Leaves errno at err for the caller.
bool Fail(std::string* error, const std::string& what, const std::string& path, int err)
{
    if (error)
        *error = what + " '" + path + "': " + SystemErrorText(err);
    errno = err;
    return false;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Temporary files are "<name>.tmp<pid>.XXXXXX" beside the target (see
// OwnedTempFile).
constexpr char kTempMark[] = ".tmp";

// Put over a name only while it is free. File systems without the no-replace
// rename take a hard link, which fails on a taken name just the same.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

} // namespace

CFileWriter::~CFileWriter()
{
    Discard();
}

bool CFileWriter::Open(const std::string& path, std::string* error)
{
    return Open(path, Options{}, error);
}

bool CFileWriter::Open(const std::string& path, const Options& options, std::string* error)
{
    Discard();
    if (path.empty()) {
        if (error)
            *error = "No file name given";
        errno = ENOENT;
        return false;
    }
    // Written over, a FIFO or a device would be replaced by a plain file;
    // written into, it could block the writer for good.
    if (!CheckWriteTarget(path, error))
        return false;
    struct stat target {};
    if (options.existing == Options::Existing::Refuse && ::stat(path.c_str(), &target) == 0)
        return Fail(error, "Cannot create", path, EEXIST);
    m_path = path;
    m_options = options;
    const bool inPlace = options.inPlace || options.existing == Options::Existing::Append
                         || options.existing == Options::Existing::Overwrite;
    if (!(inPlace ? OpenInPlace(error) : OpenTemporary(error)))
        return false;
    m_open = true;
    return true;
}

bool CFileWriter::OpenInPlace(std::string* error)
{
    int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (m_options.existing != Options::Existing::Overwrite)
        flags |= O_CREAT;
    if (m_options.existing == Options::Existing::Refuse)
        flags |= O_EXCL;
    const int fd = ::open(m_path.c_str(), flags, 0666);
    if (fd < 0)
        return Fail(error, "Cannot create", m_path, errno);
    // Checked again on what was opened: the name may have changed meanwhile.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = "Cannot write '" + m_path + "': not a regular file";
        errno = EINVAL;
        return false;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    const bool emptied = m_options.existing != Options::Existing::Replace || ::ftruncate(fd, 0) == 0;
    const bool placed = m_options.existing != Options::Existing::Append || ::lseek(fd, 0, SEEK_END) >= 0;
    if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0 || !emptied || !placed) {
        const int err = errno;
        ::close(fd);
        return Fail(error, "Cannot write", m_path, err);
    }
    m_appendedFrom = uint64_t(st.st_size);
    m_fd = fd;
    return true;
}

bool CFileWriter::OpenTemporary(std::string* error)
{
    // Left by earlier writes of this target whose process was killed midway;
    // those of a writer that still runs stay.
    RemoveOrphanedTempFiles(m_path + kTempMark);
    std::string tmp;
    const int fd = CreateOwnedTempFile(m_path + kTempMark, tmp);
    if (fd < 0)
        return Fail(error, "Cannot create a file in the folder of", m_path, errno);
    // Keep the permissions of the file being replaced; a new file gets the
    // usual 0666 less the umask rather than mkstemp's 0600.
    struct stat st {};
    mode_t mode = 0;
    if (::stat(m_path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    m_tmp = std::move(tmp);
    m_fd = fd;
    return true;
}

bool CFileWriter::Write(std::string_view data, std::string* error)
{
    if (m_fd < 0)
        return Fail(error, "Cannot write", m_path, EBADF);
    while (!data.empty()) {
        const ssize_t n = ::write(m_fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            Discard();
            return Fail(error, "Cannot write", m_path, err);
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool CFileWriter::Finish(std::string* error)
{
    if (m_fd < 0)
        return m_open || Fail(error, "Cannot write", m_path, EBADF);
    const bool synced = ::fsync(m_fd) == 0;
    const int syncErr = errno;
    const bool closed = ::close(m_fd) == 0;
    const int closeErr = errno;
    m_fd = -1;
    if (synced && closed)
        return true;
    // Nothing is left to commit: a temporary file goes, a file written in
    // place keeps what reached it.
    if (!m_tmp.empty())
        ::unlink(m_tmp.c_str());
    m_tmp.clear();
    m_open = false;
    return Fail(error, "Cannot write", m_path, synced ? closeErr : syncErr);
}

bool CFileWriter::Commit(std::string* error)
{
    if (!m_open)
        return Fail(error, "Cannot write", m_path, EBADF);
    // Overwritten: what lay beyond the new end goes.
    if (m_options.existing == Options::Existing::Overwrite && m_fd >= 0) {
        const off_t end = ::lseek(m_fd, 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(m_fd, end) != 0) {
            const int err = errno;
            Discard();
            return Fail(error, "Cannot write", m_path, err);
        }
    }
    if (!Finish(error))
        return false;
    m_open = false;
    return m_tmp.empty() || PutInPlace(error);
}

bool CFileWriter::PutInPlace(std::string* error)
{
    const bool put = m_options.existing == Options::Existing::Refuse ? RenameNoReplace(m_tmp, m_path)
                                                                    : ::rename(m_tmp.c_str(), m_path.c_str()) == 0;
    if (!put) {
        const int err = errno;
        ::unlink(m_tmp.c_str());
        m_tmp.clear();
        return Fail(error, err == EEXIST ? "Cannot create" : "Cannot replace", m_path, err);
    }
    m_tmp.clear();
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void CFileWriter::Discard()
{
    const int saved = errno;
    const bool appended = m_open && m_tmp.empty() && m_options.existing == Options::Existing::Append;
    if (appended && m_fd < 0)
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (appended && m_fd >= 0 && ::ftruncate(m_fd, static_cast<off_t>(m_appendedFrom)) == 0)
        ::fsync(m_fd);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tmp.empty())
        ::unlink(m_tmp.c_str());
    m_tmp.clear();
    m_open = false;
    errno = saved;
}

} // namespace vlt

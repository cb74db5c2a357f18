#include "CSvcFsWin32Inst.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>

#include "ClientPaths.h"
#include "DesktopLink.h"
#include "ServiceCallDispatch.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "SpecialFolders.h"
#include "XmlRoutines.h"

namespace fs = std::filesystem;

namespace {

constexpr char kReplyOpen[] = "<VltServiceResponse><ReturnData>";
constexpr char kReplyClose[] = "</ReturnData></VltServiceResponse>";
constexpr char kValid1[] = "<VltServiceResponse><ReturnData><Valid>1</Valid></ReturnData></VltServiceResponse>";
constexpr char kValid0[] = "<VltServiceResponse><ReturnData><Valid>0</Valid></ReturnData></VltServiceResponse>";

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;
constexpr uint32_t kDriveFixed = 3;

// Seconds between 1601-01-01 and 1970-01-01, the two epochs.
constexpr uint64_t kEpochDifference = 11644473600ull;

const ServiceMethodTable<CSvcFsWin32Inst>& MethodTable()
{
    // Built once by whichever connection comes first; only read afterwards.
    static const ServiceMethodTable<CSvcFsWin32Inst> table = {
        {"FSW32_REMOTE_ENUM_FILES", &CSvcFsWin32Inst::OnFsEnumFiles},
        {"FSW32_REMOTE_GET_SPECIAL_FOLDER", &CSvcFsWin32Inst::OnFsGetSpecialFolder},
        {"FSW32_REMOTE_DIR_CHECK", &CSvcFsWin32Inst::OnFsDirCheck},
        {"FSW32_REMOTE_FILE_CHECK", &CSvcFsWin32Inst::OnFsFileCheck},
        {"FSW32_REMOTE_FILE_DELETE", &CSvcFsWin32Inst::OnFsFileDelete},
        {"FSW32_REMOTE_FILE_RENAME", &CSvcFsWin32Inst::OnFsFileRename},
        {"FSW32_REMOTE_DIR_CREATE", &CSvcFsWin32Inst::OnFsDirCreate},
    };
    return table;
}

int32_t Fail(int error)
{
    errno = error;
    return kSvcNonSpecific;
}

int32_t SendText(int socket, const std::string& text)
{
    const int32_t rc = SendFramedMessage(socket, text);
    return rc == 0 ? 1 : rc;
}

int32_t SendValid(int socket, bool valid)
{
    return SendText(socket, valid ? kValid1 : kValid0);
}

std::string Escaped(std::string text)
{
    XmlEscape(text);
    return text;
}

std::string Attribute(const char* name, const std::string& value)
{
    return std::string(" ") + name + "=\"" + value + "\"";
}

std::string EntryName(uint32_t index)
{
    char name[16];
    std::snprintf(name, sizeof name, "File%08X", index);
    return name;
}

std::string Entry(uint32_t index, const std::string& attributes, const std::string& text)
{
    const std::string name = EntryName(index);
    return "<" + name + attributes + ">" + Escaped(text) + "</" + name + ">";
}

std::string FileList(const std::string& entries, uint32_t count)
{
    return kReplyOpen + entries + "<FileCount>" + std::to_string(count) + "</FileCount>" + kReplyClose;
}

// Only names that an XML reply can carry: valid UTF-8 without control
// characters. Others are left out of a listing rather than spoil it.
bool IsReplySafeName(const std::string& name)
{
    for (size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
        if (c < 0x20 || extra > 3 || (extra == 1 && c < 0xC2) || i + extra >= name.size())
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

// A name the client may give for an entry inside a folder.
bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".."
        && name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

uint64_t FileTime(const timespec& time)
{
    if (time.tv_sec < -static_cast<int64_t>(kEpochDifference))
        return 0;
    const uint64_t seconds = static_cast<uint64_t>(time.tv_sec + static_cast<int64_t>(kEpochDifference));
    return seconds * 10000000ull + static_cast<uint64_t>(time.tv_nsec) / 100u;
}

uint32_t Attributes(const std::string& name, const struct stat& info)
{
    uint32_t attributes = 0;
    if (S_ISDIR(info.st_mode))
        attributes |= kAttrDirectory;
    if ((info.st_mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    if (!name.empty() && name.front() == '.')
        attributes |= kAttrHidden;
    return attributes ? attributes : kAttrNormal;
}

bool IsDirectory(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

} // namespace

CSvcFsWin32Inst::CSvcFsWin32Inst(std::vector<std::string> roots) : m_roots(std::move(roots))
{
}

void CSvcFsWin32Inst::Release()
{
    delete this;
}

int32_t CSvcFsWin32Inst::HandleRequest(int socket, xmlDocPtr request, int32_t flags)
{
    return DispatchServiceCall(*this, MethodTable(), socket, request, flags);
}

int32_t CSvcFsWin32Inst::SendErrorReply(int socket, int32_t code)
{
    std::string text;
    GetServiceErrorText(code, text);
    std::string reply;
    BuildResponse(reply, false, text.c_str());
    SendFramedMessage(socket, reply);
    return 1;
}

bool CSvcFsWin32Inst::Confine(const std::string& clientPath, bool followLast, std::string& localPath) const
{
    if (vlt::ConfineClientPath(m_roots, clientPath, followLast, localPath))
        return true;
    errno = EACCES;
    return false;
}

int32_t CSvcFsWin32Inst::OnFsEnumFiles(int socket, xmlDocPtr request)
{
    std::string directory;
    if (GetCallParameter(request, "Directory", directory) != 0)
        return kSvcMalformedRequest;
    if (directory.empty())
        return OnFsEnumDrives(socket, request, XPathFindNode(request, "/VltServiceRequest/Call/Parameters/NoDetails"));
    std::string local;
    if (!Confine(directory, true, local) || !IsDirectory(local))
        return SendValid(socket, false);
    DIR* listing = opendir(local.c_str());
    if (!listing)
        return kSvcNonSpecific;
    std::string entries;
    uint32_t count = 0;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !IsReplySafeName(name))
            continue;
        const std::string element = EntryElement(count, local, name);
        if (element.empty())
            continue;
        entries += element;
        ++count;
    }
    closedir(listing);
    return SendText(socket, FileList(entries, count));
}

std::string CSvcFsWin32Inst::EntryElement(uint32_t index, const std::string& directory, const std::string& name) const
{
    const std::string path = directory + "/" + name;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return {}; // gone meanwhile
    std::string attributes = Attribute("Attribs", std::to_string(Attributes(name, info)))
        + Attribute("FileSize", std::to_string(static_cast<uint64_t>(info.st_size)))
        + Attribute("ModifyTime", std::to_string(FileTime(info.st_mtim)));
    std::string target;
    bool targetIsDirectory = false;
    if ((S_ISLNK(info.st_mode) || vlt::IsDesktopLinkName(name)) && ResolveShortcut(path, target, targetIsDirectory)) {
        attributes += Attribute("LinkPath", Escaped(target));
        if (targetIsDirectory)
            attributes += Attribute("LinkIsDir", "1");
    }
    return Entry(index, attributes, name);
}

bool CSvcFsWin32Inst::ResolveShortcut(const std::string& localPath, std::string& target, bool& isDirectory) const
{
    std::string resolved;
    std::string client;
    if (!vlt::ResolveLinkTarget(localPath, resolved) || !vlt::LocalToClientPath(m_roots, resolved, client)
        || !IsReplySafeName(client))
        return false;
    target = client;
    isDirectory = IsDirectory(resolved);
    return true;
}

int32_t CSvcFsWin32Inst::OnFsEnumDrives(int socket, xmlDocPtr, bool noDetails)
{
    if (m_roots.empty())
        return Fail(ENOENT);
    std::string entries;
    uint32_t count = 0;
    for (size_t i = 0; i < m_roots.size(); ++i) {
        const std::string root = vlt::DriveRootText(i);
        if (root.empty())
            break;
        std::string attributes = Attribute("DriveType", std::to_string(kDriveFixed));
        struct statvfs volume {};
        if (!noDetails && statvfs(m_roots[i].c_str(), &volume) == 0) {
            attributes += Attribute("BytesTotal", std::to_string(uint64_t(volume.f_blocks) * volume.f_frsize));
            attributes += Attribute("BytesFree", std::to_string(uint64_t(volume.f_bfree) * volume.f_frsize));
        }
        entries += Entry(count++, attributes, root);
    }
    return SendText(socket, FileList(entries, count));
}

int32_t CSvcFsWin32Inst::OnFsGetSpecialFolder(int socket, xmlDocPtr request)
{
    int32_t folder = 0;
    if (GetCallParameterInt(request, "csidl", folder) != 0)
        return kSvcMalformedRequest;
    std::string local;
    std::string client;
    if (!vlt::GetSpecialFolderPath(folder, local) || !vlt::LocalToClientPath(m_roots, local, client))
        return Fail(ENOENT);
    return SendText(socket, kReplyOpen + ("<Path>" + Escaped(client) + "</Path>") + kReplyClose);
}

int32_t CSvcFsWin32Inst::OnFsDirCheck(int socket, xmlDocPtr request)
{
    std::string directory;
    if (GetCallParameter(request, "Directory", directory) != 0)
        return kSvcMalformedRequest;
    std::string local;
    return SendValid(socket, Confine(directory, true, local) && IsDirectory(local));
}

int32_t CSvcFsWin32Inst::OnFsFileCheck(int socket, xmlDocPtr request)
{
    std::string path;
    if (GetCallParameter(request, "Pathname", path) != 0)
        return kSvcMalformedRequest;
    std::string local;
    struct stat info {};
    return SendValid(socket, Confine(path, true, local) && stat(local.c_str(), &info) == 0);
}

int32_t CSvcFsWin32Inst::OnFsFileDelete(int socket, xmlDocPtr request)
{
    std::string path;
    if (GetCallParameter(request, "Pathname", path) != 0)
        return kSvcMalformedRequest;
    if (path.size() > vlt::kMaxClientPathLength)
        return Fail(ENAMETOOLONG);
    std::string local;
    if (!Confine(path, false, local))
        return kSvcNonSpecific;
    for (const std::string& root : m_roots)
        if (vlt::IsRootPath(root, local))
            return Fail(EACCES);
    struct stat info {};
    if (lstat(local.c_str(), &info) != 0)
        return kSvcNonSpecific;
    if (S_ISDIR(info.st_mode)) {
        std::error_code ec;
        fs::remove_all(local, ec); // never follows a link inside
        if (ec)
            return Fail(ec.value());
    } else if (unlink(local.c_str()) != 0) {
        return kSvcNonSpecific;
    }
    return SendText(socket, kReplySuccess);
}

int32_t CSvcFsWin32Inst::OnFsFileRename(int socket, xmlDocPtr request)
{
    std::string directory;
    std::string newName;
    std::string oldName;
    if (GetCallParameter(request, "Directory", directory) != 0 || GetCallParameter(request, "NewName", newName) != 0
        || GetCallParameter(request, "OldName", oldName) != 0)
        return kSvcMalformedRequest;
    if (!IsPlainName(newName) || !IsPlainName(oldName))
        return Fail(EINVAL);
    if (directory.size() + 1 + std::max(newName.size(), oldName.size()) > vlt::kMaxClientPathLength)
        return Fail(ENAMETOOLONG);
    std::string local;
    if (!Confine(directory, true, local))
        return kSvcNonSpecific;
    const std::string from = local + "/" + oldName;
    const std::string to = local + "/" + newName;
    // An existing entry of the new name is kept, not replaced.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        return kSvcNonSpecific;
    return SendText(socket, kReplySuccess);
}

int32_t CSvcFsWin32Inst::OnFsDirCreate(int socket, xmlDocPtr request)
{
    std::string path;
    if (GetCallParameter(request, "NewDirectory", path) != 0)
        return kSvcMalformedRequest;
    // Refused as its delete would be: nothing is made that cannot be removed.
    if (path.size() > vlt::kMaxClientPathLength)
        return Fail(ENAMETOOLONG);
    std::string local;
    if (!Confine(path, true, local))
        return kSvcNonSpecific;
    if (mkdir(local.c_str(), 0777) != 0)
        return kSvcNonSpecific;
    return SendText(socket, kReplySuccess);
}

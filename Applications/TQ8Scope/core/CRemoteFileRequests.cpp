#include "CRemoteFileRequests.h"

#include "NumberParse.h"
#include "TextConv.h"
#include "XmlRoutines.h"

namespace {

void AddParam(ServiceRequestParams& params, const char* name, const std::wstring& value)
{
    AddServiceRequestParam(params, name, vlt::WideToUtf8(value));
}

// The index of an entry element "File%08X" (eight upper-case hex digits).
bool EntryIndex(xmlNodePtr node, uint32_t& index)
{
    if (node->type != XML_ELEMENT_NODE)
        return false;
    const std::string name = reinterpret_cast<const char*>(node->name);
    if (name.size() != 12 || name.compare(0, 4, "File") != 0
        || name.find_first_not_of("0123456789ABCDEF", 4) != std::string::npos)
        return false;
    return vlt::ParseNumber(std::string_view(name).substr(4), index, vlt::ParseRules{false, false, vlt::Trailing::Refuse, 16});
}

void ReadText(xmlNodePtr node, const char* name, std::wstring& field)
{
    std::string text;
    if (XmlGetAttrString(node, name, text))
        field = vlt::Utf8ToWide(text);
}

template <class T>
void ReadNumber(xmlNodePtr node, const char* name, T& field)
{
    std::string text;
    if (!XmlGetAttrString(node, name, text))
        return;
    if constexpr (sizeof(T) == sizeof(uint32_t)) {
        uint32_t value = 0;
        if (ParseULongStrict(text, value))
            field = value;
    } else {
        uint64_t value = 0;
        if (ParseUInt64Strict(text, value))
            field = value;
    }
}

void ReadDrive(xmlNodePtr node, CRemoteFileEntry& entry)
{
    entry.attributes = 0;
    ReadNumber(node, "DriveType", entry.attributes);
    ReadText(node, "VolumeName", entry.secondText);
    ReadNumber(node, "BytesTotal", entry.size);
    entry.time = 0;
    ReadNumber(node, "BytesFree", entry.time);
}

void ReadFile(xmlNodePtr node, CRemoteFileEntry& entry)
{
    ReadNumber(node, "Attribs", entry.attributes);
    ReadNumber(node, "FileSize", entry.size);
    std::string link;
    if (XmlGetAttrString(node, "LinkPath", link)) {
        entry.secondText = vlt::Utf8ToWide(link);
        if (xmlHasProp(node, reinterpret_cast<const xmlChar*>("LinkIsDir")))
            entry.flags |= CRemoteFileEntry::kLinkIsDirFlag;
    }
    ReadNumber(node, "ModifyTime", entry.time);
}

} // namespace

CRemoteFileRequests::CRemoteFileRequests(ServiceRequestSender sender) : m_sender(std::move(sender))
{
}

int32_t CRemoteFileRequests::Send(const char* method, const ServiceRequestParams& params, uint32_t timeoutMs,
                                  CAutoFreeServiceResponse& reply)
{
    m_lastServiceError.clear();
    std::string text;
    int32_t rc = BuildServiceRequest(method, &params, text);
    if (rc == 0)
        rc = SendServiceRequest(m_sender, text, reply, timeoutMs);
    if (rc == 0 && !reply.Get())
        rc = kServiceResultMissing;
    std::string error;
    if (rc == 0 && IsServiceErrorReply(reply.Get(), &error)) {
        m_lastServiceError = vlt::Utf8ToWide(error);
        rc = kServiceResultMissing;
    }
    return rc;
}

int32_t CRemoteFileRequests::SendChange(const char* method, const ServiceRequestParams& params, uint32_t timeoutMs)
{
    CAutoFreeServiceResponse reply;
    return Send(method, params, timeoutMs, reply);
}

int32_t CRemoteFileRequests::EnumRemoteFiles(const std::wstring& directory, std::vector<CRemoteFileEntry>& entries,
                                             bool reportView)
{
    entries.clear();
    ServiceRequestParams params;
    AddParam(params, "Directory", directory);
    if (directory.empty() && !reportView)
        AddServiceRequestParam(params, "NoDetails", "1");
    CAutoFreeServiceResponse reply;
    int32_t rc = Send("FSW32_REMOTE_ENUM_FILES", params, kListTimeoutMs, reply);
    if (rc == 0)
        rc = ReadEntries(reply.Get(), directory.empty(), entries);
    if (rc != 0)
        entries.clear();
    return rc;
}

int32_t CRemoteFileRequests::ReadEntries(xmlDocPtr reply, bool drives, std::vector<CRemoteFileEntry>& entries)
{
    int32_t count = 0;
    const int32_t rc = GetServiceReturnInt(reply, "FileCount", count);
    if (rc != 0)
        return rc;
    if (count < 0 || count > kMaxListedEntries)
        return kServiceResultMissing;
    entries.assign(static_cast<size_t>(count), CRemoteFileEntry());
    // One pass over the reply: a search per index would take quadratic time
    // on a large folder. The first element of each index counts.
    std::vector<bool> filled(entries.size(), false);
    xmlNodePtr data = XPathFindNode(reply, "/VltServiceResponse/ReturnData");
    for (xmlNodePtr node = data ? data->children : nullptr; node; node = node->next) {
        uint32_t index = 0;
        if (!EntryIndex(node, index) || index >= entries.size() || filled[index])
            continue;
        filled[index] = true;
        std::string name;
        if (!XmlNodeGetText(node, name) || name.empty())
            continue;
        CRemoteFileEntry& entry = entries[index];
        entry.Reset();
        entry.name = vlt::Utf8ToWide(name);
        if (drives)
            ReadDrive(node, entry);
        else
            ReadFile(node, entry);
    }
    return 0;
}

int32_t CRemoteFileRequests::CreateRemoteDirectory(const std::wstring& path)
{
    ServiceRequestParams params;
    AddParam(params, "NewDirectory", path);
    return SendChange("FSW32_REMOTE_DIR_CREATE", params, kCallTimeoutMs);
}

int32_t CRemoteFileRequests::RenameRemoteFile(const std::wstring& directory, const std::wstring& oldName,
                                              const std::wstring& newName)
{
    ServiceRequestParams params;
    AddParam(params, "Directory", directory);
    AddParam(params, "NewName", newName);
    AddParam(params, "OldName", oldName);
    return SendChange("FSW32_REMOTE_FILE_RENAME", params, kCallTimeoutMs);
}

int32_t CRemoteFileRequests::DeleteRemoteFile(const std::wstring& path)
{
    ServiceRequestParams params;
    AddParam(params, "Pathname", path);
    return SendChange("FSW32_REMOTE_FILE_DELETE", params, kDeleteTimeoutMs);
}

bool CRemoteFileRequests::RemoteDirectoryExists(const std::wstring& directory)
{
    if (directory.empty())
        return true;
    ServiceRequestParams params;
    AddParam(params, "Directory", directory);
    CAutoFreeServiceResponse reply;
    int32_t valid = 0;
    return Send("FSW32_REMOTE_DIR_CHECK", params, kCallTimeoutMs, reply) == 0
        && GetServiceReturnInt(reply.Get(), "Valid", valid) == 0 && valid != 0;
}

bool CRemoteFileRequests::RemoteFileExists(const std::wstring& path, int32_t* failure)
{
    ServiceRequestParams params;
    AddParam(params, "Pathname", path);
    CAutoFreeServiceResponse reply;
    int32_t valid = 0;
    int32_t rc = Send("FSW32_REMOTE_FILE_CHECK", params, kCallTimeoutMs, reply);
    if (rc == 0)
        rc = GetServiceReturnInt(reply.Get(), "Valid", valid);
    if (failure)
        *failure = rc;
    return rc != 0 || valid != 0;
}

bool CRemoteFileRequests::GetRemoteSpecialFolder(uint32_t folder, std::wstring& path)
{
    if (folder == kFolderComputer) {
        path.clear();
        return true;
    }
    ServiceRequestParams params;
    AddServiceRequestParam(params, "csidl", UIntToString(folder));
    CAutoFreeServiceResponse reply;
    std::string text;
    if (Send("FSW32_REMOTE_GET_SPECIAL_FOLDER", params, kCallTimeoutMs, reply) != 0
        || GetServiceReturnString(reply.Get(), "Path", text) != 0)
        return false;
    path = vlt::Utf8ToWide(text);
    return true;
}

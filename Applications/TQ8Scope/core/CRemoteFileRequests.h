#pragma once
// The remote file dialog's requests to the file service of a remote
// board's computer: listing, checks, special folders, create, rename and
// delete. Every call blocks for up to its time-out.
#include <cstdint>
#include <string>
#include <vector>

#include "CAutoFreeServiceResponse.h"
#include "CRemoteFileEntry.h"
#include "ServiceRequestRoutines.h"
#include "ServiceRequestTransport.h"

class CRemoteFileRequests {
public:
    static constexpr uint32_t kListTimeoutMs = 20000;
    static constexpr uint32_t kDeleteTimeoutMs = 120000;
    static constexpr uint32_t kCallTimeoutMs = 3000;
    // More entries than this in one listing is taken as a broken reply.
    static constexpr int32_t kMaxListedEntries = 1000000;
    static constexpr uint32_t kFolderComputer = 17;

    explicit CRemoteFileRequests(ServiceRequestSender sender);

    // 0 with the list filled; otherwise a code and an empty list. An empty
    // directory lists the drives; reportView false then asks without details.
    int32_t EnumRemoteFiles(const std::wstring& directory, std::vector<CRemoteFileEntry>& entries,
                            bool reportView = true);
    // 0, the code of the send, or -544 when the service answered with an error.
    int32_t CreateRemoteDirectory(const std::wstring& path);
    int32_t RenameRemoteFile(const std::wstring& directory, const std::wstring& oldName, const std::wstring& newName);
    int32_t DeleteRemoteFile(const std::wstring& path);

    // The empty directory (the computer level) exists without asking. Any
    // failure counts as not existing.
    bool RemoteDirectoryExists(const std::wstring& directory);
    // A failed check counts as existing, so that the caller asks before it
    // overwrites; failure, when given, receives the code (0 when answered).
    bool RemoteFileExists(const std::wstring& path, int32_t* failure = nullptr);
    // Folder 17 (the computer level) is the empty path without asking.
    bool GetRemoteSpecialFolder(uint32_t folder, std::wstring& path);

    // The service's error text of the last call it refused, else empty.
    const std::wstring& GetLastServiceError() const { return m_lastServiceError; }

private:
    int32_t Send(const char* method, const ServiceRequestParams& params, uint32_t timeoutMs,
                 CAutoFreeServiceResponse& reply);
    int32_t SendChange(const char* method, const ServiceRequestParams& params, uint32_t timeoutMs);
    int32_t ReadEntries(xmlDocPtr reply, bool drives, std::vector<CRemoteFileEntry>& entries);

    ServiceRequestSender m_sender;
    std::wstring m_lastServiceError;
};

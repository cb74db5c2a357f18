#pragma once
// Saves of a remote board into files: they are written on the server, in
// pieces the client acknowledges one by one, so the progress call-back runs
// here and its cancel stops the save at the next piece.
#include <cstdint>
#include <string>
#include <vector>

#include "FileWritePlan.h"
#include "TQ8_64.h"

namespace tq8 {

class CRemoteLink;

// The file-write items of a request, in the order of the wire table.
std::vector<std::string> RemoteFileWriteValues(const TQ8_FILE_WRITE_PARAMS& files);

class CRemoteSave {
public:
    CRemoteSave(CRemoteLink& link, TQ8_HANDLE handle, const FileWritePlan& plan, const TQ8_FILE_WRITE_PARAMS& files);

    int32_t FromBoard(uint32_t start, uint32_t count);
    // The caller's samples travel in chunks.
    int32_t FromData(const uint8_t* data, uint32_t count);

private:
    int32_t Run(uint32_t source, uint32_t start, uint32_t count, const uint8_t* data);
    bool Cancelled(uint64_t done, uint64_t total) const;

    CRemoteLink& m_link;
    TQ8_HANDLE m_handle;
    const FileWritePlan& m_plan;
    const TQ8_FILE_WRITE_PARAMS& m_files;
};

} // namespace tq8

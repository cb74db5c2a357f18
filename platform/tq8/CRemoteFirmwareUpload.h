#pragma once
// A firmware upload to a remote board: the file is checked here first (a
// damaged one is refused before a byte goes out), sent in chunks, and run
// by the server's library on its board. The progress call-backs of the
// server's upload are fetched step by step and called here, on the calling
// thread, in the order the server made them.
#include <cstdint>
#include <string>

#include "TQ8_64.h"

namespace tq8 {

class CRemoteLink;

class CRemoteFirmwareUpload {
public:
    CRemoteFirmwareUpload(CRemoteLink& link, TQ8_HANDLE handle, TQ8_FW_PROGRESS_CALLBACK callback, void* context);

    // path: the file on this computer. Result code; out: TQ8_FW_OUT_*.
    int32_t Run(const std::string& path, uint32_t& out);

private:
    int32_t Send(const std::string& path, const std::string& bytes);
    int32_t Follow(uint32_t& out);

    CRemoteLink& m_link;
    TQ8_HANDLE m_handle;
    TQ8_FW_PROGRESS_CALLBACK m_callback;
    void* m_context;
};

} // namespace tq8

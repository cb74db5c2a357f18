#include "CRemoteSave.h"

#include <algorithm>

#include "Base64.h"
#include "CRemoteLink.h"
#include "NumberParse.h"
#include "ServiceRequestRoutines.h"

namespace tq8 {

namespace {

std::string Text(const char* text)
{
    return text ? text : "";
}

template <class T>
bool Item(xmlDocPtr reply, const char* name, T& value)
{
    std::string text;
    return GetServiceReturnString(reply, name, text) == 0 && vlt::ParseNumberExact(text, value);
}

} // namespace

std::vector<std::string> RemoteFileWriteValues(const TQ8_FILE_WRITE_PARAMS& f)
{
    return {std::to_string(f.Fwp_flags), std::to_string(f.Fwp_hdrskp), std::to_string(f.Fwp_maxseg),
            std::to_string(f.Fwp_chanSel), Text(f.Fwp_path1), Text(f.Fwp_path2), Text(f.Fwp_path3),
            Text(f.Fwp_path4), Text(f.Fwp_opNotes), Text(f.Fwp_tsPath)};
}

CRemoteSave::CRemoteSave(CRemoteLink& link, TQ8_HANDLE handle, const FileWritePlan& plan,
                         const TQ8_FILE_WRITE_PARAMS& files)
    : m_link(link), m_handle(handle), m_plan(plan), m_files(files)
{
}

int32_t CRemoteSave::FromBoard(uint32_t start, uint32_t count)
{
    return Run(0, start, count, nullptr);
}

int32_t CRemoteSave::FromData(const uint8_t* data, uint32_t count)
{
    return Run(1, 0, count, data);
}

bool CRemoteSave::Cancelled(uint64_t done, uint64_t total) const
{
    return m_plan.callback != nullptr
        && m_plan.callback(m_handle, m_plan.callbackContext, 1, 0, 0, done, 0, total) == TQ8_ERR_CANCELLED;
}

int32_t CRemoteSave::Run(uint32_t source, uint32_t start, uint32_t count, const uint8_t* data)
{
    std::vector<std::string> values{std::to_string(source), std::to_string(start), std::to_string(count)};
    for (std::string& v : RemoteFileWriteValues(m_files))
        values.push_back(std::move(v));
    int32_t rc = m_link.CallForResult(tq8wire::Method::SaveStart, values);
    uint64_t sent = 0, reported = 0;
    bool cancel = false;
    std::string coded;
    while (rc == TQ8_OK) {
        coded.clear();
        if (data != nullptr && sent < count && !cancel) {
            const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(tq8wire::kReadChunkBytes, count - sent));
            vlt::Base64Encode(data + sent, n, coded);
            sent += n;
        }
        CAutoXmlDoc reply;
        rc = m_link.Call(tq8wire::Method::SaveStep, {cancel ? "1" : "0", coded}, reply);
        int32_t result = 0;
        uint32_t finished = 0;
        uint64_t done = 0;
        if (rc != TQ8_OK)
            return rc;
        if (!Item(reply, tq8wire::kResult, result) || !Item(reply, "Finished", finished) || !Item(reply, "Done", done)
            || finished > 1 || done > count || done < reported)
            return TQ8_ERR_BAD_REPLY;
        if (finished) {
            // The last call-back tells of the end, as for a board of this computer.
            if (result == TQ8_OK && reported < count)
                Cancelled(count, count);
            return result;
        }
        if (done > reported) {
            reported = done;
            cancel = cancel || Cancelled(done, count);
        }
    }
    return rc;
}

} // namespace tq8

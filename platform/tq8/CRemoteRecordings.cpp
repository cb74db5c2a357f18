#include "CRemoteRecordings.h"

#include <cstring>

#include "CRemoteLink.h"
#include "CRemoteSave.h"
#include "CTQ8Library.h"
#include "NumberParse.h"
#include "ServiceRequestRoutines.h"
#include "TextConv.h"

namespace tq8 {

namespace {

using Method = tq8wire::Method;
using Op = tq8wire::RecOp;

template <class T>
std::string Number(T value)
{
    return std::to_string(value);
}

template <class T>
bool Item(xmlDocPtr reply, const char* name, T& value)
{
    std::string text;
    return GetServiceReturnString(reply, name, text) == 0 && vlt::ParseNumberExact(text, value);
}

// A Rec call: its Result, with the reply for the items.
int32_t RecCall(CRemoteLink& link, Op op, uint32_t serverId, uint32_t max, CAutoXmlDoc& reply)
{
    int32_t rc = link.Call(Method::Rec, {Number(static_cast<int>(op)), Number(serverId), Number(max)}, reply);
    int32_t result = 0;
    if (rc == TQ8_OK)
        rc = GetServiceReturnInt(reply, tq8wire::kResult, result) == 0 ? result : TQ8_ERR_BAD_REPLY;
    return rc;
}

// The recording items of a request, in the order of the wire table; false
// for a malformed record.
bool RecordingValues(const TQ8_REC_SESSION_PARAMS* params, std::vector<std::string>& values)
{
    if (params == nullptr || params->Rsp_ss != sizeof(TQ8_REC_SESSION_PARAMS) || params->Rsp_fileWrite == nullptr
        || params->Rsp_fileWrite->Fwp_ss != sizeof(TQ8_FILE_WRITE_PARAMS))
        return false;
    const TQ8_REC_SESSION_PARAMS& p = *params;
    values = {Number(p.Rsp_flags),           Number(p.Rsp_samplesToRecord),       Number(p.Rsp_acqSamples),
              Number(p.Rsp_transferSamples), Number(p.Rsp_snapshotSamples),       Number(p.Rsp_snapshotIntervalCount),
              Number(p.Rsp_snapshotIntervalMs)};
    for (std::string& v : RemoteFileWriteValues(*p.Rsp_fileWrite))
        values.push_back(std::move(v));
    return true;
}

} // namespace

int32_t CRemoteRecordings::Check(const CConnection& connection, const TQ8_REC_SESSION_PARAMS* params,
                                 const TQ8_FILE_WRITE_PARAMS* files, std::wstring& reason)
{
    std::vector<std::string> values;
    if (params != nullptr) {
        if (!RecordingValues(params, values))
            return TQ8_ERR_INVALID_ARG;
    } else {
        if (files == nullptr || files->Fwp_ss != sizeof(TQ8_FILE_WRITE_PARAMS))
            return TQ8_ERR_INVALID_ARG;
        values.assign(7, "0");
        for (std::string& v : RemoteFileWriteValues(*files))
            values.push_back(std::move(v));
    }
    values.insert(values.begin(), params != nullptr ? "1" : "0");
    CAutoXmlDoc reply;
    int32_t rc = connection.link->Call(Method::WriteCheck, values, reply);
    int32_t result = 0;
    if (rc == TQ8_OK)
        rc = GetServiceReturnInt(reply, tq8wire::kResult, result) == 0 ? result : TQ8_ERR_BAD_REPLY;
    std::string coded, text;
    if (rc != TQ8_OK && GetServiceReturnString(reply, tq8wire::kText, coded) == 0 && tq8wire::DecodeText(coded, text))
        reason = vlt::Utf8ToWide(text);
    return rc;
}

CRemoteRecordings& CRemoteRecordings::Instance()
{
    static CRemoteRecordings* recordings = new CRemoteRecordings();
    return *recordings;
}

int32_t CRemoteRecordings::Create(const CConnection& connection, uint64_t handle,
                                  const TQ8_REC_SESSION_PARAMS* params, uint64_t& id)
{
    std::vector<std::string> values;
    if (!RecordingValues(params, values))
        return TQ8_ERR_INVALID_ARG;
    CAutoXmlDoc reply;
    int32_t rc = connection.link->Call(Method::RecCreate, values, reply);
    int32_t result = 0;
    uint32_t serverId = 0;
    if (rc == TQ8_OK)
        rc = GetServiceReturnInt(reply, tq8wire::kResult, result) == 0 && Item(reply, "Session", serverId)
            ? result
            : TQ8_ERR_BAD_REPLY;
    if (rc != TQ8_OK)
        return rc;
    std::lock_guard lock(m_mutex);
    id = kTag | m_next++;
    m_sessions[id] = Entry{connection.link, serverId, handle};
    return TQ8_OK;
}

bool CRemoteRecordings::Find(uint64_t id, Entry& entry)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end())
        return false;
    entry = found->second;
    return true;
}

int32_t CRemoteRecordings::Arm(uint64_t id)
{
    Entry e;
    CAutoXmlDoc reply;
    return Find(id, e) ? RecCall(*e.link, Op::Arm, e.serverId, 0, reply) : TQ8_ERR_INVALID_HANDLE;
}

int32_t CRemoteRecordings::Abort(uint64_t id)
{
    Entry e;
    CAutoXmlDoc reply;
    return Find(id, e) ? RecCall(*e.link, Op::Abort, e.serverId, 0, reply) : TQ8_ERR_INVALID_HANDLE;
}

int32_t CRemoteRecordings::OutFlags(uint64_t id, uint32_t* flags)
{
    Entry e;
    if (!Find(id, e))
        return TQ8_ERR_INVALID_HANDLE;
    if (flags == nullptr)
        return TQ8_ERR_INVALID_ARG;
    CAutoXmlDoc reply;
    int32_t rc = RecCall(*e.link, Op::OutFlags, e.serverId, 0, reply);
    if (rc == TQ8_OK && !Item(reply, "Flags", *flags))
        rc = TQ8_ERR_BAD_REPLY;
    return rc;
}

int32_t CRemoteRecordings::Snapshot(uint64_t id, uint8_t* buffer, uint32_t maxSamples, uint32_t* samples,
                                    uint32_t* counter)
{
    Entry e;
    if (!Find(id, e))
        return TQ8_ERR_INVALID_HANDLE;
    if (buffer == nullptr && maxSamples != 0)
        return TQ8_ERR_INVALID_ARG;
    const uint32_t max = std::min(maxSamples, tq8wire::kReadChunkBytes);
    CAutoXmlDoc reply;
    int32_t rc = RecCall(*e.link, Op::Snapshot, e.serverId, max, reply);
    uint32_t n = 0, c = 0;
    if (rc == TQ8_OK && (!Item(reply, "Samples", n) || !Item(reply, "Counter", c) || n > max))
        rc = TQ8_ERR_BAD_REPLY;
    std::string data, coded;
    if (rc == TQ8_OK && n > 0
        && (GetServiceReturnString(reply, tq8wire::kData, coded) != 0 || !tq8wire::DecodeText(coded, data)
            || data.size() != n))
        rc = TQ8_ERR_BAD_REPLY;
    if (rc != TQ8_OK)
        return rc;
    if (n > 0)
        std::memcpy(buffer, data.data(), n);
    if (samples)
        *samples = n;
    if (counter)
        *counter = c;
    return TQ8_OK;
}

int32_t CRemoteRecordings::Progress(uint64_t id, TQ8_REC_SESSION_PROGRESS* progress)
{
    Entry e;
    if (!Find(id, e))
        return TQ8_ERR_INVALID_HANDLE;
    if (progress == nullptr || progress->Rpr_ss < sizeof(TQ8_REC_SESSION_PROGRESS))
        return TQ8_ERR_INVALID_ARG;
    CAutoXmlDoc reply;
    int32_t rc = RecCall(*e.link, Op::Progress, e.serverId, 0, reply);
    TQ8_REC_SESSION_PROGRESS p{};
    p.Rpr_ss = sizeof p;
    if (rc == TQ8_OK
        && (!Item(reply, "Status", p.Rpr_status) || !Item(reply, "Elapsed", p.Rpr_elapsedMs)
            || !Item(reply, "Recorded", p.Rpr_samplesRecorded) || !Item(reply, "ToRecord", p.Rpr_samplesToRecord)
            || !Item(reply, "Counter", p.Rpr_snapshotCounter) || !Item(reply, "Error", p.Rpr_errorCode)))
        rc = TQ8_ERR_BAD_REPLY;
    std::string coded, text;
    if (rc == TQ8_OK && GetServiceReturnString(reply, tq8wire::kText, coded) == 0) {
        // The server's text, handed out as the library's own allocation.
        if (!tq8wire::DecodeText(coded, text))
            return TQ8_ERR_BAD_REPLY;
        p.Rpr_errorText = CTQ8Library::Instance().Memory().CopyWide(vlt::Utf8ToWide(text));
        if (p.Rpr_errorText == nullptr)
            return TQ8_ERR_NO_MEMORY;
    }
    if (rc != TQ8_OK)
        return rc;
    if (progress->Rpr_ss < sizeof(TQ8_REC_SESSION_PROGRESS_EX)) {
        *progress = p;
        return TQ8_OK;
    }
    // A server before the item tells no transfer size: 0, as before arming.
    auto* ex = reinterpret_cast<TQ8_REC_SESSION_PROGRESS_EX*>(progress);
    *ex = TQ8_REC_SESSION_PROGRESS_EX{p, 0, 0, 0};
    ex->base.Rpr_ss = sizeof *ex;
    Item(reply, "Transfer", ex->Rpr_transferSamples);
    return TQ8_OK;
}

int32_t CRemoteRecordings::Delete(uint64_t id)
{
    Entry e;
    if (!Find(id, e))
        return TQ8_ERR_INVALID_HANDLE;
    {
        std::lock_guard lock(m_mutex);
        m_sessions.erase(id);
    }
    CAutoXmlDoc reply;
    const int32_t rc = RecCall(*e.link, Op::Delete, e.serverId, 0, reply);
    // Gone with its connection already: nothing is left to delete.
    return rc == TQ8_ERR_INVALID_HANDLE || rc == TQ8_ERR_CONNECTION_LOST ? TQ8_OK : rc;
}

void CRemoteRecordings::ForgetOwnedBy(uint64_t handle)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_sessions, [handle](const auto& item) { return item.second.handle == handle; });
}

} // namespace tq8

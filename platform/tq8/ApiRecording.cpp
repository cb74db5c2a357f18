// Recording sessions, the configuration EEPROM check and the register cache.
#include <algorithm>
#include <cstring>

#include "ApiCommon.h"
#include "CRemoteRecordings.h"

using namespace tq8;

namespace {
uint64_t SessionId(TQ8_REC_SESSION s)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(s));
}

TQ8_REC_SESSION ToSession(uint64_t id)
{
    return reinterpret_cast<TQ8_REC_SESSION>(static_cast<uintptr_t>(id));
}

// body(CRecordingSession&) -> int32_t
template <class F>
int32_t WithSession(const char* function, TQ8_REC_SESSION s, F&& body) noexcept
{
    return Guard(function, [&]() -> int32_t {
        auto session = Lib().Recordings().Find(SessionId(s));
        if (!session)
            return TQ8_ERR_INVALID_HANDLE;
        return body(*session);
    });
}
} // namespace

extern "C" {

int32_t CreateRecordingSessionTQ8(TQ8_HANDLE h, const TQ8_REC_SESSION_PARAMS* params, TQ8_REC_SESSION* session)
{
    return Guard(__func__, [&]() -> int32_t {
        auto connection = Lib().Find(HandleId(h));
        if (!connection)
            return TQ8_ERR_INVALID_HANDLE;
        if (session == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *session = nullptr;
        // A remote board's recording runs and writes on its server.
        if (connection->link) {
            uint64_t id = 0;
            const int32_t rc = CRemoteRecordings::Instance().Create(*connection, HandleId(h), params, id);
            if (rc == TQ8_OK)
                *session = ToSession(id);
            return rc;
        }
        RecordingPlan plan;
        int32_t rc = CopyRecordingParams(params, plan);
        if (rc == TQ8_OK)
            rc = CheckRecordingSizes(plan, connection->backend->Settings());
        if (rc != TQ8_OK)
            return rc;
        if (!connection->backend->IsIdle())
            return TQ8_ERR_BUSY;
        auto created = std::make_shared<CRecordingSession>(connection->backend, HandleId(h), std::move(plan));
        uint64_t id = 0;
        rc = Lib().Recordings().Add(std::move(created), id);
        if (rc == TQ8_OK)
            *session = ToSession(id);
        return rc;
    });
}

int32_t GetRecordingSessionErrorWTQ8(TQ8_HANDLE h, const TQ8_REC_SESSION_PARAMS* params, wchar_t** reason)
{
    return WithReason(__func__, h, reason, [&](const CConnection& connection, std::wstring& text) -> int32_t {
        if (connection.link)
            return CRemoteRecordings::Check(connection, params, nullptr, text);
        RecordingPlan plan;
        int32_t rc = CopyRecordingParams(params, plan, &text);
        if (rc == TQ8_OK)
            rc = CheckRecordingSizes(plan, connection.backend->Settings(), &text);
        return rc == TQ8_OK && !connection.backend->IsIdle() ? TQ8_ERR_BUSY : rc;
    });
}

int32_t ArmRecordingSessionTQ8(TQ8_REC_SESSION s)
{
    if (CRemoteRecordings::IsRemote(SessionId(s)))
        return Guard(__func__, [&] { return CRemoteRecordings::Instance().Arm(SessionId(s)); });
    return WithSession(__func__, s, [](CRecordingSession& session) { return session.Arm(); });
}

int32_t GetRecordingSnapshotTQ8(TQ8_REC_SESSION s, uint8_t* buffer, uint32_t maxSamples, uint32_t* samples,
                                uint32_t* counter)
{
    if (CRemoteRecordings::IsRemote(SessionId(s)))
        return Guard(__func__, [&] {
            return CRemoteRecordings::Instance().Snapshot(SessionId(s), buffer, maxSamples, samples, counter);
        });
    return WithSession(__func__, s, [&](CRecordingSession& session) -> int32_t {
        if (buffer == nullptr && maxSamples != 0)
            return TQ8_ERR_INVALID_ARG;
        uint32_t c = 0;
        const uint32_t n = session.CopySnapshot(buffer, maxSamples, c);
        if (samples != nullptr)
            *samples = n;
        if (counter != nullptr)
            *counter = c;
        return TQ8_OK;
    });
}

int32_t GetRecordingSessionProgressTQ8(TQ8_REC_SESSION s, TQ8_REC_SESSION_PROGRESS* progress, uint32_t)
{
    if (CRemoteRecordings::IsRemote(SessionId(s)))
        return Guard(__func__, [&] { return CRemoteRecordings::Instance().Progress(SessionId(s), progress); });
    return WithSession(__func__, s, [&](CRecordingSession& session) -> int32_t {
        if (progress == nullptr || progress->Rpr_ss < sizeof(TQ8_REC_SESSION_PROGRESS))
            return TQ8_ERR_INVALID_ARG;
        // Our additions only for a caller whose record has room for them.
        const uint32_t size = progress->Rpr_ss >= sizeof(TQ8_REC_SESSION_PROGRESS_EX)
                                  ? sizeof(TQ8_REC_SESSION_PROGRESS_EX)
                                  : sizeof(TQ8_REC_SESSION_PROGRESS);
        const CRecordingSession::Progress p = session.GetProgress();
        wchar_t* text = nullptr;
        if (!p.errorText.empty()) {
            text = Lib().Memory().CopyWide(p.errorText);
            if (text == nullptr)
                return TQ8_ERR_NO_MEMORY;
        }
        std::memset(progress, 0, size);
        progress->Rpr_ss = size;
        progress->Rpr_liveFlags = p.liveFlags;
        progress->Rpr_samplesLost = p.samplesLost;
        if (size == sizeof(TQ8_REC_SESSION_PROGRESS_EX)) {
            auto* ex = reinterpret_cast<TQ8_REC_SESSION_PROGRESS_EX*>(progress);
            ex->Rpr_timestampsDropped = p.timestampsDropped;
            ex->Rpr_ringFillPermille = p.ringFillPermille;
            ex->Rpr_transferSamples = p.transferSamples;
        }
        progress->Rpr_status = p.status;
        progress->Rpr_elapsedMs = p.elapsedMs;
        progress->Rpr_samplesRecorded = p.samplesRecorded;
        progress->Rpr_samplesToRecord = p.samplesToRecord;
        progress->Rpr_snapshotCounter = p.snapshotCounter;
        progress->Rpr_errorCode = p.errorCode;
        progress->Rpr_errorText = text;
        return TQ8_OK;
    });
}

int32_t AbortRecordingSessionTQ8(TQ8_REC_SESSION s)
{
    if (CRemoteRecordings::IsRemote(SessionId(s)))
        return Guard(__func__, [&] { return CRemoteRecordings::Instance().Abort(SessionId(s)); });
    return WithSession(__func__, s, [](CRecordingSession& session) {
        session.Stop();
        return TQ8_OK;
    });
}

int32_t GetRecordingSessionOutFlagsTQ8(TQ8_REC_SESSION s, uint32_t* flags)
{
    if (CRemoteRecordings::IsRemote(SessionId(s)))
        return Guard(__func__, [&] { return CRemoteRecordings::Instance().OutFlags(SessionId(s), flags); });
    return WithSession(__func__, s, [&](CRecordingSession& session) -> int32_t {
        if (flags == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *flags = session.OutFlags();
        return TQ8_OK;
    });
}

int32_t DeleteRecordingSessionTQ8(TQ8_REC_SESSION s)
{
    if (CRemoteRecordings::IsRemote(SessionId(s)))
        return Guard(__func__, [&] { return CRemoteRecordings::Instance().Delete(SessionId(s)); });
    return Guard(__func__, [&]() -> int32_t {
        auto session = Lib().Recordings().Remove(SessionId(s));
        if (!session)
            return TQ8_ERR_INVALID_HANDLE;
        session->Stop();
        return TQ8_OK;
    });
}

int32_t ValidateConfigEepromTQ8(TQ8_HANDLE h)
{
    return WithBoard(__func__, h, [](IBoardBackend& b) -> int32_t {
        EepromImage image{};
        int32_t rc = b.ReadEeprom(0, image.data(), static_cast<uint32_t>(image.size()));
        if (rc != TQ8_OK)
            return rc;
        return IsEepromValid(image) ? TQ8_OK : TQ8_ERR_EEPROM_INVALID;
    });
}

int32_t RefreshLocalRegisterCacheTQ8(TQ8_HANDLE h, int32_t fromHardware)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.RefreshRegisterCache(fromHardware != 0); });
}

} // extern "C"

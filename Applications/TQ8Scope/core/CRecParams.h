#pragma once
// One board's recording settings, its destination files and the file-write
// record built from them for a recording session.
#include <cstdint>

#include "CDestFileOpts.h"
#include "TQ8RecordTypes.h"
#include "TQ8_64.h"

class CRecParamsManager;

class CRecParams {
public:
    // Recording types and duration types.
    static constexpr int32_t kRecTypeToHost = 0;
    static constexpr int32_t kRecTypeViaBoard = 1;
    static constexpr int32_t kDurNoLimit = 0;
    static constexpr int32_t kDurSamples = 1;
    static constexpr int32_t kDurTime = 2;

    CRecParams();
    // A copy's built record is cleared: the source's points into the source.
    CRecParams(const CRecParams& other);
    CRecParams& operator=(const CRecParams& other);
    virtual ~CRecParams() = default;

    // Samples to record over all active channels; 0 for no limit. false when
    // the board's rate or channels cannot be read, the count does not fit,
    // or a limit comes to no samples (which would record without end).
    bool GetDurationSamples(TQ8_HANDLE handle, uint64_t& samples) const;
    // rateMHz x 1e6 x durMs / 1000, whole samples, times channels.
    static bool SamplesForTime(double rateMHz, uint64_t durMs, int32_t channels, uint64_t& samples);

    // Builds the file-write record under baseFolder (null or empty: none),
    // then fills the session record, which points at it.
    bool BuildSessionParams(TQ8_HANDLE handle, const CRecParamsManager& manager, TQ8_REC_SESSION_PARAMS& record,
                            const wchar_t* baseFolder);

    // The built file-write record; valid while this object lives and until
    // the next build.
    const TQ8_FILE_WRITE_PARAMS& GetFileWriteParams() const { return m_fileWrite; }

    uint32_t Flags = 0;
    uint32_t OutFlags = 0;
    int32_t RecType = kRecTypeToHost;
    int32_t RecDurType = kDurNoLimit;
    uint64_t DurSamples = 104857600;
    uint64_t DurMs = 60000;
    uint32_t AcqSamples = 1048576;
    CDestFileOpts DestFileOpts;

private:
    void CopyFields(const CRecParams& other);

    TQ8_FILE_WRITE_PARAMS m_fileWrite;
};

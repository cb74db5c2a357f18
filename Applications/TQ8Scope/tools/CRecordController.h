#pragma once
// The decisions of the recording window, apart from its widgets: which
// boards record and in what order, the sessions' start and end through the
// boards' documents, the polling of their progress, the counters of
// multiple mode and its log, and the texts shown. UI thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CMultiModeLog.h"
#include "CRecParamsManager.h"
#include "TQ8RecordTypes.h"

class CMainDoc;
class IRecordWindowHost;

class CRecordController {
public:
    // Entry state bits beyond "selected".
    static constexpr uint32_t kStateCreated = 0x2;
    static constexpr uint32_t kStateArmed = 0x4;
    static constexpr uint32_t kStateFinished = 0x8;
    static constexpr uint32_t kStateFailed = 0x10;
    // Bits of the manager's Flags.
    static constexpr uint32_t kFlagPause = 0x1;
    static constexpr uint32_t kFlagSnapshots = 0x2;
    static constexpr uint32_t kFlagKeepOthers = 0x4;
    static constexpr unsigned kStatusMs = 2500;

    CRecordController(IRecordWindowHost& host, CRecParamsManager& manager, CMultiModeLog log = CMultiModeLog());

    // The "Begin Recording" / "Stop Recording" button.
    void BeginStop();
    // The queued Begin/Stop step of multiple mode; within a tick it waits
    // until the tick has ended.
    void OnQueuedBeginStop();
    bool Start();
    // Ends every session made or armed (StopRecording).
    void Stop();
    // The 400 ms poll.
    void Tick();
    void ReportCompletion(bool userStopped);
    // The controls' data exchange, which also takes the multiple-mode box.
    bool Exchange(bool save);
    // The board leaves the recording set (before its entry goes).
    void RemoveDevice(TQ8_HANDLE device);

    bool IsRecording() const { return m_recording; }
    bool HasUnlimitedBoard() const { return m_unlimited; }
    bool IsInTick() const { return m_inTick; }
    const std::vector<TQ8_HANDLE>& GetRecordingSet() const { return m_set; }
    int32_t GetRunningCount() const { return m_running; }
    uint64_t GetExpectedTotal() const { return m_expectedTotal; }
    uint32_t GetLongestElapsed() const { return m_longestElapsed; }
    uint64_t GetAmountRecorded() const { return m_amount; }
    uint32_t GetAttempts() const { return m_attempts; }
    uint32_t GetPasses() const { return m_passes; }
    uint32_t GetRepetitions() const { return m_repetitions; }
    bool IsMultipleMode() const { return m_multiple; }
    const std::wstring& GetLastErrorText() const { return m_lastError; }
    const CMultiModeLog& GetLog() const { return m_log; }
    CRecParamsManager& GetManager() { return m_manager; }

    // Root of relative destination paths ("Default data files directory:").
    std::wstring DefaultDir;

private:
    // The board's entry, or null (never made here).
    CRecParamsManager::CDevState* Entry(TQ8_HANDLE device);
    CMainDoc* DocumentOf(TQ8_HANDLE device) const;
    bool CreateSessions();
    bool ArmSessions();
    // "; transfer size raised from ... to ... samples" when the armed
    // sessions move more per transfer than the options ask; else empty.
    std::wstring RaisedTransferNote() const;
    void UpdateBoard(TQ8_HANDLE device);
    // A board's progress (queried with result rc) into its entry and the
    // figures; a session that could not be asked counts as failed, with
    // what it recorded before. Returns the session's error text.
    std::wstring TakeProgress(TQ8_HANDLE device, TQ8_REC_SESSION_PROGRESS_EX& live, int32_t rc);
    // The row of a board whose session the end of the recording ended.
    void ShowEnded(TQ8_HANDLE device, TQ8_REC_SESSION_PROGRESS_EX& last, int32_t rc);
    // Amount recorded := the recording set's recorded samples.
    void SumRecorded();
    std::wstring FailureMessage(TQ8_HANDLE device, const std::wstring& errorText, int32_t code, std::wstring& state);
    void ShowTickFigures();
    void ShowTrouble();
    void RequestBeginStop();
    void WriteLog(bool passed);
    std::wstring BoardName(TQ8_HANDLE device, bool shortName) const;

    IRecordWindowHost& m_host;
    CRecParamsManager& m_manager;
    CMultiModeLog m_log;
    std::vector<TQ8_HANDLE> m_set;
    std::map<TQ8_HANDLE, TQ8_REC_SESSION_PROGRESS_EX> m_live; // last progress of each board
    bool m_recording = false;
    bool m_unlimited = false;
    bool m_inTick = false;
    int m_pendingBeginStop = 0;
    int32_t m_running = 0;
    uint64_t m_expectedTotal = 0;
    uint32_t m_longestElapsed = 0;
    uint64_t m_amount = 0;
    bool m_multiple = false;
    uint32_t m_attempts = 0;
    uint32_t m_passes = 0;
    uint32_t m_repetitions = 1;
    std::wstring m_lastError;
};

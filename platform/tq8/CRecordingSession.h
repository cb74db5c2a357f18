#pragma once
// One recording session: a board's samples streamed to files by a thread of
// the library, from arming until the sample limit, an abort, a standby on any
// handle of the board, or a failure. Kind 0x51 streams transfers of
// Rsp_transferSamples through the board's memory as a ring straight to the
// host; kind 0x52 (and boards that cannot stream) acquires Rsp_acqSamples
// to board memory and moves them in transfers. A second thread does the
// board's side while the session's thread writes, the ring's blocks
// (RecordingSimSettings) in between: a full ring makes the board wait, or
// in real-time mode loses samples and fails the session.
// Progress and snapshot queries come from
// other threads: what they read is guarded by one mutex, which the
// recording thread holds only to publish.
// Times are the board's (simulated) time.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CSimClock.h"
#include "IBoardBackend.h"
#include "RecordingPlan.h"

namespace tq8 {

class CSampleFileWriter;
class CTransferQueue;

class CRecordingSession {
public:
    // Status before arming; the others are TQ8_REC_STATUS_*.
    static constexpr uint32_t kStatusCreated = 0;

    struct Progress {
        uint32_t status = kStatusCreated;
        uint32_t elapsedMs = 0;
        uint64_t samplesRecorded = 0;
        uint64_t samplesToRecord = 0;
        uint32_t snapshotCounter = 0;
        int32_t errorCode = 0;
        std::wstring errorText;
        uint32_t liveFlags = 0; // TQ8_REC_LIVE_*
        uint64_t samplesLost = 0;
        uint64_t timestampsDropped = 0;
        uint32_t ringFillPermille = 0;
        uint32_t transferSamples = 0;
    };

    CRecordingSession(std::shared_ptr<IBoardBackend> board, uint64_t owner, RecordingPlan plan);
    // Stops and joins the thread.
    ~CRecordingSession();
    CRecordingSession(const CRecordingSession&) = delete;
    CRecordingSession& operator=(const CRecordingSession&) = delete;

    uint64_t Owner() const { return m_owner; }
    const IBoardBackend* Board() const { return m_board.get(); }

    // Once: TQ8_ERR_WRONG_MODE after an earlier arm or a stop,
    // TQ8_ERR_BUSY when the board is not idle.
    int32_t Arm();
    // Ends a running recording (its files complete and kept) and waits for
    // the thread; later calls do nothing.
    void Stop();
    bool IsRunning() const;
    Progress GetProgress() const;
    // Copies up to max samples of the newest snapshot; returns how many.
    uint32_t CopySnapshot(uint8_t* dst, uint32_t max, uint32_t& counter) const;
    uint32_t OutFlags() const;

private:
    using Clock = CSimClock::Clock;
    // The thread that runs the board side, and how that side ended.
    struct BoardSide {
        std::thread thread;
        int32_t code = TQ8_OK;
        std::wstring text;
    };

    void Run() noexcept;
    int32_t RecordToFiles(CTransferQueue& queue, BoardSide& board, std::wstring& text);
    int32_t Record(CTransferQueue& queue, BoardSide& board, CSampleFileWriter& writer, std::wstring& text);
    // Stops the board side (when it has not ended) and waits for it.
    static void EndBoardSide(CTransferQueue& queue, BoardSide& board);
    // The board side: acquisitions moved to the queue in transfers.
    int32_t Produce(CTransferQueue& queue, std::wstring& text);
    // The file side: writes the queue's blocks as they come.
    int32_t Drain(CTransferQueue& queue, CSampleFileWriter& writer, std::wstring& text);
    // The result of an acquisition cancelled by standby or an abort.
    int32_t Interrupted(uint64_t produced, std::wstring& text) const;
    // The board side of a board that streams to the host (TQ8_ERR_NOT_SUPPORTED
    // when it cannot).
    int32_t Stream(CTransferQueue& queue, uint64_t& produced, std::wstring& text);
    // Ends the board side when a full ring loses samples (real-time mode).
    int32_t Lost(uint64_t produced, uint64_t lost, std::wstring& text);
    // Removes an earlier recording's context, handing back its text (empty
    // when there was none); false with the reason when it cannot go.
    bool RemoveOldContext(const std::string& dataPath, std::string& old, std::wstring& text) const;
    // final: with the end time and result, else as the recording starts.
    int32_t WriteContext(const CSampleFileWriter& writer, int32_t code, std::wstring& text, bool final);
    // Takes the acquisition's time-stamps; true when the FIFO overflowed.
    bool NoteTimestamps();
    bool MissesTimestamps() const;
    // Hands the time-stamps taken so far to the files.
    bool WriteTimestamps(CSampleFileWriter& writer, std::wstring& text);
    void Publish(const uint8_t* data, size_t bytes, uint64_t recorded);
    void KeepTail(const uint8_t* data, size_t bytes);
    bool SnapshotDue();
    void Finish(int32_t code, std::wstring text);
    uint32_t ElapsedMs(Clock::time_point now) const;

    const std::shared_ptr<IBoardBackend> m_board;
    const uint64_t m_owner;
    const RecordingPlan m_plan;

    // Set by Arm before the thread starts; then the thread's own.
    std::optional<CBoardSettings> m_settings;
    uint32_t m_channels = 1;
    uint32_t m_acqSamples = 0;
    uint32_t m_transferSamples = 0;
    size_t m_queueSlots = kMinQueueSlots;
    bool m_realTime = false;
    uint64_t m_epoch = 0;
    size_t m_snapshotSize = 0;
    std::vector<uint8_t> m_tail;
    uint32_t m_transfersSinceSnapshot = 0;
    Clock::time_point m_lastSnapshot{};
    std::string m_startTime;

    std::atomic<bool> m_stop{false};
    std::mutex m_threadMutex; // Arm and Stop
    bool m_armed = false;
    std::thread m_thread;

    mutable std::mutex m_mutex; // everything below
    Clock::time_point m_start{};
    uint32_t m_status = kStatusCreated;
    uint32_t m_armedTransfer = 0; // m_transferSamples, for the progress
    uint32_t m_finalElapsedMs = 0;
    uint64_t m_recorded = 0;
    std::vector<uint8_t> m_snapshot;
    uint32_t m_snapshotCounter = 0;
    int32_t m_errorCode = 0;
    std::wstring m_errorText;
    bool m_timestampsSeen = false;
    bool m_timestampOverflow = false;
    uint64_t m_timestampsDropped = 0;
    uint64_t m_samplesLost = 0;
    uint32_t m_ringFill = 0;
    struct TimestampBatch {
        std::vector<uint64_t> values;
        bool overflowBefore;
    };
    std::vector<TimestampBatch> m_pendingTimestamps;
};

} // namespace tq8

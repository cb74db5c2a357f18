#include "CRecordingSession.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "AtomicFile.h"
#include "CSampleFileWriter.h"
#include "CTQ8Library.h"
#include "CTransferQueue.h"
#include "ChannelSelection.h"
#include "ErrorTexts.h"
#include "RecordedDataInfo.h"
#include "RecordingContextFile.h"
#include "RecordingSimSettings.h"
#include "SystemErrorText.h"
#include "TextConv.h"
#include "XmlRoutines.h"

namespace tq8 {

namespace {
constexpr const char* kStartContextFailure = "ArmRecordingSessionTQ8.context";

// Enough of a file's state to tell that nobody wrote or emptied it.
struct FileStamp {
    off_t size;
    timespec modified;
    bool operator==(const FileStamp& o) const
    {
        return size == o.size && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<FileStamp> StampOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{st.st_size, st.st_mtim};
}

std::wstring CodeText(const wchar_t* what, int32_t code)
{
    const wchar_t* known = ErrorText(code);
    return std::wstring(what) + (known != nullptr ? known : L"error " + std::to_wstring(code));
}
} // namespace

CRecordingSession::CRecordingSession(std::shared_ptr<IBoardBackend> board, uint64_t owner, RecordingPlan plan)
    : m_board(std::move(board)), m_owner(owner), m_plan(std::move(plan))
{
}

CRecordingSession::~CRecordingSession()
{
    Stop();
}

int32_t CRecordingSession::Arm()
{
    std::lock_guard threadLock(m_threadMutex);
    if (m_armed || m_stop)
        return TQ8_ERR_WRONG_MODE;
    if (!m_board->IsIdle())
        return TQ8_ERR_BUSY;
    CBoardSettings settings = m_board->Settings();
    int32_t rc = CheckRecordingSizes(m_plan, settings);
    if (rc != TQ8_OK)
        return rc;
    m_channels = static_cast<uint32_t>(ChannelCount(settings.GetInt(SettingId::ActiveChannels)));
    const RecordingSimSettings sim = RecordingSimSettings::Get();
    const TransferLayout layout = PlanTransfers(m_plan, m_channels, sim.ringBytes);
    m_acqSamples = layout.acqSamples;
    m_transferSamples = layout.transferSamples;
    m_queueSlots = layout.queueSlots;
    m_realTime = sim.realTime;
    m_snapshotSize = m_plan.snapshots ? std::max(WholeFrames(m_plan.snapshotSamples, m_channels), m_channels) : 0;
    m_tail.clear();
    m_tail.reserve(m_snapshotSize);
    m_settings = std::move(settings);
    m_epoch = m_board->StandbyEpoch();
    {
        std::lock_guard lock(m_mutex);
        m_start = Clock::now();
        m_lastSnapshot = m_start;
        m_status = TQ8_REC_STATUS_RUNNING;
        m_armedTransfer = m_transferSamples;
    }
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        std::lock_guard lock(m_mutex);
        m_status = kStatusCreated;
        return TQ8_ERR_GENERAL;
    }
    m_armed = true;
    return TQ8_OK;
}

void CRecordingSession::Stop()
{
    std::lock_guard threadLock(m_threadMutex);
    m_stop = true;
    if (!m_thread.joinable())
        return;
    // Standby ends an acquisition the thread may be waiting in; the thread
    // then closes its files.
    if (IsRunning())
        m_board->SetMode(TQ8_MODE_STANDBY);
    m_thread.join();
}

bool CRecordingSession::IsRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_status == TQ8_REC_STATUS_RUNNING;
}

uint32_t CRecordingSession::ElapsedMs(Clock::time_point now) const
{
    const double ms = CSimClock::ToSim(now - m_start) * 1000.0;
    return ms >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(std::max(0.0, ms));
}

CRecordingSession::Progress CRecordingSession::GetProgress() const
{
    std::lock_guard lock(m_mutex);
    Progress p;
    p.status = m_status;
    p.elapsedMs = m_status == TQ8_REC_STATUS_RUNNING ? ElapsedMs(Clock::now()) : m_finalElapsedMs;
    p.samplesRecorded = m_recorded;
    p.samplesToRecord = m_plan.samplesToRecord;
    p.snapshotCounter = m_snapshotCounter;
    p.errorCode = m_errorCode;
    p.errorText = m_errorText;
    p.liveFlags = (m_timestampOverflow ? TQ8_REC_LIVE_TS_OVERFLOW : 0u) | (MissesTimestamps() ? TQ8_REC_LIVE_NO_TS : 0u);
    p.timestampsDropped = m_timestampsDropped;
    p.samplesLost = m_samplesLost;
    if (m_samplesLost != 0)
        p.liveFlags |= TQ8_REC_LIVE_DATA_LOST;
    p.ringFillPermille = m_ringFill;
    p.transferSamples = m_armedTransfer;
    return p;
}

uint32_t CRecordingSession::CopySnapshot(uint8_t* dst, uint32_t max, uint32_t& counter) const
{
    std::lock_guard lock(m_mutex);
    counter = m_snapshotCounter;
    const size_t n = std::min<size_t>(max, m_snapshot.size());
    std::copy_n(m_snapshot.begin(), n, dst);
    return static_cast<uint32_t>(n);
}

uint32_t CRecordingSession::OutFlags() const
{
    std::lock_guard lock(m_mutex);
    return (m_timestampOverflow ? TQ8_REC_OUT_TS_OVERFLOW : 0u) | (MissesTimestamps() ? TQ8_REC_OUT_NO_TS : 0u);
}

// Missing time stamps matter only to a recording that asked for their files;
// otherwise every recording without time-stamp mode would carry the note.
bool CRecordingSession::MissesTimestamps() const
{
    return m_plan.WantsTimestamps() && !m_timestampsSeen;
}

void CRecordingSession::Run() noexcept
{
    try {
        // The board side's thread starts before the files open and waits
        // for them: on a busy machine a new thread may wait a scheduler tick
        // before it first runs, and the opening hides that.
        CTransferQueue queue(m_queueSlots, m_transferSamples);
        BoardSide board;
        board.thread = std::thread([&] {
            try {
                if (queue.WaitStarted())
                    board.code = Produce(queue, board.text);
            } catch (const std::bad_alloc&) {
                board.code = TQ8_ERR_NO_MEMORY;
                board.text = ErrorText(TQ8_ERR_NO_MEMORY);
            }
            queue.Close();
        });
        std::wstring text;
        int32_t code = TQ8_ERR_GENERAL;
        try {
            code = RecordToFiles(queue, board, text);
        } catch (...) {
            EndBoardSide(queue, board);
            throw;
        }
        EndBoardSide(queue, board);
        Finish(code, std::move(text));
    } catch (const std::bad_alloc&) {
        Finish(TQ8_ERR_NO_MEMORY, ErrorText(TQ8_ERR_NO_MEMORY));
    } catch (...) {
        Finish(TQ8_ERR_GENERAL, ErrorText(TQ8_ERR_GENERAL));
    }
}

int32_t CRecordingSession::RecordToFiles(CTransferQueue& queue, BoardSide& board, std::wstring& text)
{
    const int format = ChannelCount(m_plan.chanSel);
    const bool assume = m_plan.Has(TQ8_FWP_ASSUME_FORMAT) && format > 0;
    CSampleFileWriter writer(m_plan, assume ? static_cast<uint32_t>(format) : m_channels);
    int32_t code = TQ8_ERR_FILE_WRITE;
    m_startTime = ContextTimeNow();
    const std::optional<FileStamp> before = StampOf(writer.MainPath());
    std::string oldContext;
    if (!RemoveOldContext(writer.MainPath(), oldContext, text))
        return code;
    if (!writer.Open()) {
        text = writer.ErrorText();
        // The first file was not reached, nor were the others: the data
        // are as they were, and their context comes back.
        if (!oldContext.empty() && before && before == StampOf(writer.MainPath()))
            vlt::AtomicWriteFile(ContextFilePath(writer.MainPath()), oldContext);
        return code;
    }
    if ((code = WriteContext(writer, TQ8_OK, text, false)) != TQ8_OK) {
        writer.Close();
        return code;
    }
    try {
        code = Record(queue, board, writer, text);
    } catch (const std::bad_alloc&) {
        // Ended as a failure, which the context file then says.
        code = TQ8_ERR_NO_MEMORY;
        text = ErrorText(TQ8_ERR_NO_MEMORY);
    }
    // Whatever was written is flushed, also after a failure.
    if (!writer.Close() && code == TQ8_OK) {
        code = TQ8_ERR_FILE_WRITE;
        text = writer.ErrorText();
    }
    // A write that failed (a full disk) may have left part of its samples
    // in the files, or fewer than were handed in: the context counts what
    // the files hold.
    const std::optional<uint64_t> held = writer.SamplesInFiles();
    if (code != TQ8_OK && held) {
        std::lock_guard lock(m_mutex);
        m_recorded = *held;
    }
    return WriteContext(writer, code, text, true);
}

// The files are emptied next; a context an earlier recording left beside
// them would, if this one were killed before it writes its own, describe
// samples that are gone. Appending keeps the data, and the context until
// it is replaced.
bool CRecordingSession::RemoveOldContext(const std::string& dataPath, std::string& old, std::wstring& text) const
{
    if (!m_plan.WantsContextFile() || m_plan.Has(TQ8_FWP_APPEND))
        return true;
    const std::string path = ContextFilePath(dataPath);
    if (!vlt::ReadWholeFile(path, old, nullptr, kXmlFileMaxBytes))
        old.clear();
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return true;
    text = vlt::Utf8ToWide("Cannot remove file \"" + path + "\": " + vlt::SystemErrorText(errno));
    return false;
}

void CRecordingSession::EndBoardSide(CTransferQueue& queue, BoardSide& board)
{
    if (!board.thread.joinable())
        return;
    queue.Cancel();
    board.thread.join();
}

int32_t CRecordingSession::Record(CTransferQueue& queue, BoardSide& board, CSampleFileWriter& writer,
                                  std::wstring& text)
{
    // The board side fills blocks while this thread writes the ones before.
    queue.Start();
    int32_t rc = Drain(queue, writer, text);
    EndBoardSide(queue, board);
    if (rc == TQ8_OK && !WriteTimestamps(writer, text))
        rc = TQ8_ERR_FILE_WRITE;
    if (rc != TQ8_OK)
        return rc;
    text = std::move(board.text);
    return board.code;
}

int32_t CRecordingSession::Drain(CTransferQueue& queue, CSampleFileWriter& writer, std::wstring& text)
{
    const uint8_t* data = nullptr;
    size_t bytes = 0;
    uint64_t recorded = 0;
    while (queue.BeginDrain(data, bytes)) {
        if (!writer.Write(data, bytes)) {
            text = writer.ErrorText();
            return TQ8_ERR_FILE_WRITE;
        }
        // Snapshot intervals count transfers, and a write may hold several.
        for (size_t at = 0; at < bytes; at += queue.SlotBytes()) {
            const size_t n = std::min(queue.SlotBytes(), bytes - at);
            recorded += n;
            Publish(data + at, n, recorded);
        }
        queue.EndDrain();
        if (!WriteTimestamps(writer, text))
            return TQ8_ERR_FILE_WRITE;
        std::lock_guard lock(m_mutex);
        m_ringFill = queue.FillPermille();
    }
    return TQ8_OK;
}

int32_t CRecordingSession::Produce(CTransferQueue& queue, std::wstring& text)
{
    const uint64_t limit = m_plan.samplesToRecord;
    uint64_t produced = 0;
    if ((m_plan.flags & ~TQ8_RSP_FLAG_SNAPSHOTS) == TQ8_RSP_FLAGS_TO_HOST) {
        int32_t rc = Stream(queue, produced, text);
        if (rc != TQ8_ERR_NOT_SUPPORTED)
            return rc;
    }
    while (!m_stop && (limit == 0 || produced < limit)) {
        uint32_t block = m_acqSamples;
        if (limit != 0 && limit - produced < block) {
            // The last acquisition: whole frames, of which only the samples
            // up to the limit are kept.
            const uint64_t rest = limit - produced;
            block = static_cast<uint32_t>((rest + m_channels - 1) / m_channels * m_channels);
        }
        int32_t rc = m_board->AcquireInEpoch(AcqTarget::Ram, 0, block, m_epoch);
        if (rc == TQ8_ERR_CANCELLED)
            return Interrupted(produced, text);
        if (rc != TQ8_OK) {
            text = CodeText(L"Acquisition failed: ", rc);
            return rc;
        }
        if (NoteTimestamps() && m_plan.Has(TQ8_FWP_FAIL_ON_TS_OVERFLOW)) {
            text = L"The time-stamp FIFO overflowed after " + std::to_wstring(produced + block) + L" samples.";
            return TQ8_ERR_TS_FIFO_OVERFLOW;
        }
        for (uint32_t offset = 0; offset < block; offset += m_transferSamples) {
            const uint32_t n = std::min(m_transferSamples, block - offset);
            uint8_t* slot = m_realTime ? queue.TryBeginFill() : queue.BeginFill();
            if (slot == nullptr && !queue.Cancelled())
                return Lost(produced, block - offset, text);
            if (slot == nullptr)
                return TQ8_OK; // the file side has stopped and says why
            rc = m_board->ReadRam(offset, n, slot);
            // Through the driver a standby also ends the block's read.
            if (rc == TQ8_ERR_CANCELLED)
                return Interrupted(produced, text);
            if (rc != TQ8_OK) {
                text = CodeText(L"Transfer from board memory failed: ", rc);
                return rc;
            }
            const size_t keep = limit == 0 ? n : static_cast<size_t>(std::min<uint64_t>(n, limit - produced));
            queue.EndFill(keep);
            produced += keep;
        }
    }
    return TQ8_OK;
}

int32_t CRecordingSession::Stream(CTransferQueue& queue, uint64_t& produced, std::wstring& text)
{
    // Transfers stream straight into the blocks; the board's memory is the
    // ring they pass through.
    const uint64_t limit = m_plan.samplesToRecord;
    while (!m_stop && (limit == 0 || produced < limit)) {
        uint32_t n = m_transferSamples;
        if (limit != 0 && limit - produced < n)
            n = static_cast<uint32_t>((limit - produced + m_channels - 1) / m_channels * m_channels);
        uint8_t* slot = m_realTime ? queue.TryBeginFill() : queue.BeginFill();
        if (slot == nullptr)
            return queue.Cancelled() ? TQ8_OK : Lost(produced, n, text);
        int32_t rc = m_board->StreamInEpoch(n, m_epoch, slot);
        if (rc == TQ8_ERR_NOT_SUPPORTED && produced == 0)
            return rc; // the caller takes the way through memory
        if (rc == TQ8_ERR_CANCELLED)
            return Interrupted(produced, text);
        if (rc != TQ8_OK) {
            text = CodeText(L"Acquisition failed: ", rc);
            return rc;
        }
        if (NoteTimestamps() && m_plan.Has(TQ8_FWP_FAIL_ON_TS_OVERFLOW)) {
            text = L"The time-stamp FIFO overflowed after " + std::to_wstring(produced + n) + L" samples.";
            return TQ8_ERR_TS_FIFO_OVERFLOW;
        }
        const size_t keep = limit == 0 ? n : static_cast<size_t>(std::min<uint64_t>(n, limit - produced));
        queue.EndFill(keep);
        produced += keep;
    }
    return TQ8_OK;
}

int32_t CRecordingSession::Lost(uint64_t produced, uint64_t lost, std::wstring& text)
{
    // The ring was full while the board streamed on: everything before is
    // in the files, nothing after.
    {
        std::lock_guard lock(m_mutex);
        m_samplesLost += lost;
    }
    text = L"Sample data was lost: the files hold the " + std::to_wstring(produced)
           + L" samples recorded before the loss.";
    return TQ8_ERR_SAMPLES_LOST;
}

int32_t CRecordingSession::Interrupted(uint64_t produced, std::wstring& text) const
{
    // An abort, or standby before a limit was set, ends the recording with
    // what it has; a standby that cuts a recording short of its limit does
    // not complete it.
    const uint64_t limit = m_plan.samplesToRecord;
    if (m_stop || limit == 0 || produced >= limit)
        return TQ8_OK;
    text = L"Recording ended by standby after " + std::to_wstring(produced) + L" of " + std::to_wstring(limit)
           + L" samples.";
    return TQ8_ERR_CANCELLED;
}

int32_t CRecordingSession::WriteContext(const CSampleFileWriter& writer, int32_t code, std::wstring& text,
                                        bool final)
{
    if (!m_plan.WantsContextFile())
        return code;
    // Test seam: the start's context is never written, as when the process
    // is killed right after the files were opened.
    int32_t injected = TQ8_OK;
    if (!final && CTQ8Library::Instance().Injector().Take(kStartContextFailure, injected))
        return injected;
    RecordingContext c;
    FillRecordedDataInfo(m_board->Desc(), *m_settings, c.info);
    c.selection = m_settings->GetInt(SettingId::ActiveChannels);
    DescribeOutput(m_plan, c);
    c.flags = m_plan.flags;
    c.acqSamples = m_acqSamples;
    c.transferSamples = m_transferSamples;
    c.startTime = m_startTime;
    c.files = writer.Files();
    c.timestampFiles = writer.TimestampFiles();
    {
        std::lock_guard lock(m_mutex);
        c.samplesRecorded = m_recorded;
        c.elapsedMs = ElapsedMs(Clock::now());
    }
    if (final) {
        c.endTime = ContextTimeNow();
        // Ended well short of its limit, or without one: stopped.
        const uint64_t limit = m_plan.samplesToRecord;
        const bool reached = limit != 0 && c.samplesRecorded >= limit;
        c.result = code != TQ8_OK ? "failed" : reached ? "completed" : "stopped";
    }
    const std::string path = ContextFilePath(writer.MainPath());
    const std::string xml = RecordingContextXml(c);
    std::string reason;
    // A recording that ended, above all one that failed on a full disk, must
    // not stay marked as running.
    if (vlt::AtomicWriteFile(path, xml, &reason) || (final && RewriteContextInPlace(path, xml)) || code != TQ8_OK)
        return code;
    text = vlt::Utf8ToWide("Cannot write file \"" + path + "\": " + reason);
    return TQ8_ERR_FILE_WRITE;
}

bool CRecordingSession::NoteTimestamps()
{
    const uint32_t available = m_board->TimestampsAvailable();
    const bool overflow = m_board->Desc().timestampOverflowFlag && m_board->TimestampOverflow();
    const uint64_t dropped = m_board->TimestampsDropped();
    TimestampBatch batch{{}, overflow};
    if (m_plan.WantsTimestamps() && available != 0) {
        batch.values.resize(available);
        uint32_t count = 0;
        if (m_board->ReadTimestamps(batch.values.data(), available, &count, true) != TQ8_OK)
            count = 0;
        batch.values.resize(count);
    }
    std::lock_guard lock(m_mutex);
    m_timestampsSeen = m_timestampsSeen || available != 0 || overflow;
    m_timestampOverflow = m_timestampOverflow || overflow;
    m_timestampsDropped += dropped;
    if (m_plan.WantsTimestamps() && (!batch.values.empty() || overflow))
        m_pendingTimestamps.push_back(std::move(batch));
    return overflow;
}

bool CRecordingSession::WriteTimestamps(CSampleFileWriter& writer, std::wstring& text)
{
    std::vector<TimestampBatch> batches;
    {
        std::lock_guard lock(m_mutex);
        batches.swap(m_pendingTimestamps);
    }
    for (const TimestampBatch& b : batches) {
        if (!writer.WriteTimestamps(b.values.data(), b.values.size(), b.overflowBefore)) {
            text = writer.ErrorText();
            return false;
        }
    }
    return true;
}

void CRecordingSession::KeepTail(const uint8_t* data, size_t bytes)
{
    if (bytes >= m_snapshotSize) {
        m_tail.assign(data + (bytes - m_snapshotSize), data + bytes);
        return;
    }
    const size_t total = m_tail.size() + bytes;
    if (total > m_snapshotSize)
        m_tail.erase(m_tail.begin(), m_tail.begin() + static_cast<std::ptrdiff_t>(total - m_snapshotSize));
    m_tail.insert(m_tail.end(), data, data + bytes);
}

bool CRecordingSession::SnapshotDue()
{
    if (m_plan.snapshotIntervalCount != 0) {
        if (++m_transfersSinceSnapshot < m_plan.snapshotIntervalCount)
            return false;
        m_transfersSinceSnapshot = 0;
        return true;
    }
    const Clock::time_point now = Clock::now();
    if (CSimClock::ToSim(now - m_lastSnapshot) * 1000.0 < m_plan.snapshotIntervalMs)
        return false;
    m_lastSnapshot = now;
    return true;
}

void CRecordingSession::Publish(const uint8_t* data, size_t bytes, uint64_t recorded)
{
    bool snapshot = false;
    if (m_plan.snapshots) {
        KeepTail(data, bytes);
        snapshot = SnapshotDue();
    }
    std::lock_guard lock(m_mutex);
    m_recorded = recorded;
    if (snapshot) {
        m_snapshot = m_tail;
        ++m_snapshotCounter;
    }
}

void CRecordingSession::Finish(int32_t code, std::wstring text)
{
    std::lock_guard lock(m_mutex);
    m_finalElapsedMs = ElapsedMs(Clock::now());
    m_status = code == TQ8_OK ? TQ8_REC_STATUS_COMPLETED : TQ8_REC_STATUS_FAILED;
    m_errorCode = code;
    m_errorText = std::move(text);
}

} // namespace tq8

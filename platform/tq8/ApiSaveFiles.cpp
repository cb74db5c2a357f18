// Board memory and sample buffers saved to files through the shared file
// writer, with the progress call-back of the file-write record.
#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include <unistd.h>

#include "ApiCommon.h"
#include "AtomicFile.h"
#include "CRemoteRecordings.h"
#include "CRemoteSave.h"
#include "CSampleFileWriter.h"
#include "ChannelSelection.h"
#include "RecordedDataInfo.h"
#include "RecordingContextFile.h"

using namespace tq8;

namespace {
// Pieces small enough that the call-back comes well within 100 ms.
constexpr size_t kPieceBytes = 256u << 10;

// reads `bytes` samples from `offset` of the source into dst.
using Source = std::function<int32_t(uint64_t offset, uint32_t bytes, uint8_t* dst)>;

struct Save {
    TQ8_HANDLE handle;
    IBoardBackend& board;
    FileWritePlan plan;
    uint64_t total;
    // Remote boards: the handle's connection (the files are the server's).
    std::shared_ptr<CRemoteLink> link;
    // The system's reason when a file could not be written.
    int systemError = 0;
};

uint32_t FormatChannels(const Save& save)
{
    const int format = ChannelCount(save.plan.chanSel);
    if (save.plan.Has(TQ8_FWP_ASSUME_FORMAT) && format > 0)
        return static_cast<uint32_t>(format);
    return static_cast<uint32_t>(std::max(1, ChannelCount(save.board.Settings().GetInt(SettingId::ActiveChannels))));
}

bool WriteTimestamps(Save& save, CSampleFileWriter& writer)
{
    if (!save.plan.WantsTimestamps())
        return true;
    std::vector<uint64_t> values(std::max<uint32_t>(1, save.board.TimestampsAvailable()));
    uint32_t count = 0;
    const bool overflow = save.board.TimestampOverflow();
    if (save.board.ReadTimestamps(values.data(), static_cast<uint32_t>(values.size()), &count, true) != TQ8_OK)
        count = 0;
    return writer.WriteTimestamps(values.data(), count, overflow);
}

bool WriteContext(Save& save, const CSampleFileWriter& writer, const std::string& start)
{
    if (!save.plan.WantsContextFile())
        return true;
    RecordingContext c;
    const CBoardSettings settings = save.board.Settings();
    FillRecordedDataInfo(save.board.Desc(), settings, c.info);
    c.selection = settings.GetInt(SettingId::ActiveChannels);
    DescribeOutput(save.plan, c);
    c.samplesRecorded = save.total;
    c.startTime = start;
    c.endTime = ContextTimeNow();
    c.result = "completed";
    c.files = writer.Files();
    c.timestampFiles = writer.TimestampFiles();
    if (vlt::AtomicWriteFile(ContextFilePath(writer.MainPath()), RecordingContextXml(c)))
        return true;
    save.systemError = errno;
    return false;
}

// The samples in pieces of at most pieceBytes, the call-back after each.
int32_t Copy(Save& save, CSampleFileWriter& writer, const Source& source, uint8_t* buffer, size_t pieceBytes)
{
    for (uint64_t done = 0; done < save.total;) {
        const auto n = static_cast<uint32_t>(std::min<uint64_t>(pieceBytes, save.total - done));
        int32_t rc = source(done, n, buffer);
        if (rc != TQ8_OK)
            return rc;
        if (!writer.Write(buffer, n))
            return TQ8_ERR_FILE_WRITE;
        done += n;
        Lib().CallbackHold().Wait();
        if (save.plan.callback != nullptr
            && save.plan.callback(save.handle, save.plan.callbackContext, 1, 0, 0, done, 0, save.total)
                   == TQ8_ERR_CANCELLED)
            return TQ8_ERR_CANCELLED;
    }
    return TQ8_OK;
}

// The files take their places only when everything was written: a save
// that fails (a full disk) leaves no part of a file and keeps the files it
// would have replaced; a cancelled one keeps what it wrote.
int32_t Run(Save& save, const Source& source, uint8_t* buffer, size_t pieceBytes)
{
    const std::string start = ContextTimeNow();
    CSampleFileWriter writer(save.plan, FormatChannels(save), CSampleFileWriter::Placement::AtCommit);
    int32_t rc = writer.Open() ? Copy(save, writer, source, buffer, pieceBytes) : TQ8_ERR_FILE_WRITE;
    if (rc == TQ8_OK && !WriteTimestamps(save, writer))
        rc = TQ8_ERR_FILE_WRITE;
    if (!writer.Close() && rc == TQ8_OK)
        rc = TQ8_ERR_FILE_WRITE;
    const bool context = rc == TQ8_OK && save.plan.WantsContextFile();
    if (context && !WriteContext(save, writer, start))
        rc = TQ8_ERR_FILE_WRITE;
    if ((rc == TQ8_OK || rc == TQ8_ERR_CANCELLED) && !writer.Commit() && rc == TQ8_OK) {
        rc = TQ8_ERR_FILE_WRITE;
        if (context)
            ::unlink(ContextFilePath(writer.MainPath()).c_str());
    }
    if (rc == TQ8_ERR_FILE_WRITE && save.systemError == 0)
        save.systemError = writer.SystemError();
    writer.Discard();
    return rc;
}

// body(Save&) -> int32_t, after the record is checked and copied. A file
// that could not be written leaves errno at the system's reason (0 when
// there is none, as after any other result).
template <class F>
int32_t WithSave(const char* function, TQ8_HANDLE h, const TQ8_FILE_WRITE_PARAMS* fwp, uint64_t total, F&& body)
{
    int error = 0;
    const int32_t rc = WithBoard(function, h, [&](IBoardBackend& b) -> int32_t {
        const auto connection = Lib().Find(HandleId(h));
        Save save{h, b, {}, total, connection ? connection->link : nullptr};
        int32_t result = CopyFileWriteParams(fwp, save.plan);
        if (result != TQ8_OK)
            return result;
        if (total == 0)
            return TQ8_ERR_INVALID_ARG; // the call-back's total is never 0
        result = body(save);
        error = save.systemError;
        return result;
    });
    // Set last, so nothing on the way out changes it.
    errno = rc == TQ8_ERR_FILE_WRITE ? error : 0;
    return rc;
}

Source BoardMemory(IBoardBackend& b, uint32_t start)
{
    return [&b, start](uint64_t offset, uint32_t bytes, uint8_t* dst) {
        return b.ReadRam(start + static_cast<uint32_t>(offset), bytes, dst);
    };
}

bool InMemory(IBoardBackend& b, uint32_t start, uint32_t count)
{
    return static_cast<uint64_t>(start) + count <= b.RamSize();
}
} // namespace

extern "C" {

int32_t GetFileWriteErrorWTQ8(TQ8_HANDLE h, const TQ8_FILE_WRITE_PARAMS* fwp, wchar_t** reason)
{
    return WithReason(__func__, h, reason, [&](const CConnection& connection, std::wstring& text) -> int32_t {
        FileWritePlan plan;
        const int32_t rc = CopyFileWriteParams(fwp, plan, &text);
        return rc == TQ8_OK && connection.link ? CRemoteRecordings::Check(connection, nullptr, fwp, text) : rc;
    });
}

int32_t ReadSampleRamFileBufTQ8(TQ8_HANDLE h, uint32_t start, uint32_t count, const TQ8_FILE_WRITE_PARAMS* fwp)
{
    return WithSave(__func__, h, fwp, count, [&](Save& save) -> int32_t {
        if (save.link)
            return CRemoteSave(*save.link, h, save.plan, *fwp).FromBoard(start, count);
        if (!InMemory(save.board, start, count))
            return TQ8_ERR_OUT_OF_BOUNDS;
        if (IsRecording(save.board))
            return TQ8_ERR_BUSY;
        std::vector<uint8_t> buffer(std::min<size_t>(kPieceBytes, count));
        return Run(save, BoardMemory(save.board, start), buffer.data(), buffer.size());
    });
}

int32_t ReadSampleRamFileFastTQ8(TQ8_HANDLE h, uint32_t start, uint32_t count, uint8_t* dmaBuffer,
                                 uint32_t bufferBytes, const TQ8_FILE_WRITE_PARAMS* fwp)
{
    return WithSave(__func__, h, fwp, count, [&](Save& save) -> int32_t {
        if (bufferBytes == 0 || !Lib().Memory().Owns(dmaBuffer, HandleId(h), bufferBytes))
            return TQ8_ERR_DMA_BUFFER;
        // The DMA buffer is client memory: the server reads board memory itself.
        if (save.link)
            return CRemoteSave(*save.link, h, save.plan, *fwp).FromBoard(start, count);
        if (!InMemory(save.board, start, count))
            return TQ8_ERR_OUT_OF_BOUNDS;
        if (IsRecording(save.board))
            return TQ8_ERR_BUSY;
        return Run(save, BoardMemory(save.board, start), dmaBuffer, std::min<size_t>(bufferBytes, kPieceBytes));
    });
}

int32_t _DumpRawDataTQ8(TQ8_HANDLE h, const uint8_t* buffer, uint32_t count, const TQ8_FILE_WRITE_PARAMS* fwp)
{
    return WithSave(__func__, h, fwp, count, [&](Save& save) -> int32_t {
        if (buffer == nullptr)
            return TQ8_ERR_INVALID_ARG;
        if (save.link)
            return CRemoteSave(*save.link, h, save.plan, *fwp).FromData(buffer, count);
        std::vector<uint8_t> piece(std::min<size_t>(kPieceBytes, count));
        const Source source = [buffer](uint64_t offset, uint32_t bytes, uint8_t* dst) {
            std::copy_n(buffer + offset, bytes, dst);
            return TQ8_OK;
        };
        return Run(save, source, piece.data(), piece.size());
    });
}

} // extern "C"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "AtomicFile.h"
#include "BadFiles.h"
#include "FullDisk.h"
#include "RecordingFixture.h"
#include "SystemErrorText.h"
#include "TextConv.h"

namespace {
struct Calls {
    std::vector<uint64_t> done;
    uint64_t total = 0;
    void* context = nullptr;
    size_t cancelAfter = SIZE_MAX;
};

int32_t Count(TQ8_HANDLE, void* context, uint32_t, uint32_t, uint32_t, uint64_t done, uint64_t, uint64_t total)
{
    auto* calls = static_cast<Calls*>(context);
    calls->done.push_back(done);
    calls->total = total;
    calls->context = context;
    return calls->done.size() >= calls->cancelAfter ? TQ8_ERR_CANCELLED : 0;
}

class SaveTest : public RecordingTest {
protected:
    // Acquires count samples to board memory and returns them.
    std::vector<uint8_t> Acquired(TQ8_HANDLE h, uint32_t count)
    {
        std::vector<uint8_t> data(count);
        EXPECT_EQ(AcquireToBoardRamTQ8(h, 0, count, 0, 0), TQ8_OK);
        EXPECT_EQ(ReadSampleRamBufTQ8(h, 0, count, data.data(), 0), TQ8_OK);
        return data;
    }

    void WithCallback(Calls& calls)
    {
        m_fw.Fwp_progressCb = reinterpret_cast<void*>(&Count);
        m_fw.Fwp_progressCtx = &calls;
    }
};
} // namespace

using BoardSaveTest = OnBothPaths<SaveTest>;
TQ8_ON_BOTH_PATHS(BoardSaveTest);

TEST_P(BoardSaveTest, BoardMemoryIsSavedWithProgressToTheTotal)
{
    TQ8_HANDLE h = Board(kSerial);
    const uint32_t count = (3u << 20) + 4096;
    const std::vector<uint8_t> expected = Acquired(h, count);
    Calls calls;
    WithCallback(calls);
    ASSERT_EQ(ReadSampleRamFileBufTQ8(h, 0, count, &m_fw), TQ8_OK);
    EXPECT_EQ(ReadFile(m_path), expected);
    ASSERT_FALSE(calls.done.empty());
    EXPECT_EQ(calls.total, count);
    EXPECT_EQ(calls.context, &calls);
    EXPECT_EQ(calls.done.back(), count);
    EXPECT_TRUE(std::is_sorted(calls.done.begin(), calls.done.end()));
    // Pieces small enough for a call well within 100 ms of work.
    EXPECT_LE(calls.done.front(), 256u << 10);
    for (size_t i = 1; i < calls.done.size(); ++i)
        EXPECT_LE(calls.done[i] - calls.done[i - 1], 256u << 10);

    // The same through a DMA buffer of the handle.
    uint8_t* dma = nullptr;
    ASSERT_EQ(AllocateDmaBufferTQ8(h, 1u << 20, &dma), TQ8_OK);
    calls = Calls{};
    ASSERT_EQ(ReadSampleRamFileFastTQ8(h, 0, count, dma, 1u << 20, &m_fw), TQ8_OK);
    EXPECT_EQ(ReadFile(m_path), expected);
    EXPECT_EQ(calls.done.back(), count);
    uint8_t other[16];
    EXPECT_EQ(ReadSampleRamFileFastTQ8(h, 0, count, other, 16, &m_fw), TQ8_ERR_DMA_BUFFER);
    EXPECT_EQ(FreeDmaBufferTQ8(h, dma), TQ8_OK);

    // The context file describes the save.
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    const std::wstring wpath = vlt::Utf8ToWide(m_path);
    EXPECT_EQ(GetRecordedDataInfoWTQ8(wpath.c_str(), &info, nullptr), TQ8_OK);
    EXPECT_EQ(info.channelCount, 4u);
}

TEST_P(BoardSaveTest, CancelStopsAtOnceAndKeepsWhatWasWritten)
{
    TQ8_HANDLE h = Board(kSerial);
    const uint32_t count = 4u << 20;
    const std::vector<uint8_t> expected = Acquired(h, count);
    Calls calls;
    calls.cancelAfter = 2;
    WithCallback(calls);
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, count, &m_fw), TQ8_ERR_CANCELLED);
    EXPECT_EQ(calls.done.size(), 2u); // no further piece after the cancel
    const std::vector<uint8_t> written = ReadFile(m_path);
    ASSERT_EQ(written.size(), calls.done.back());
    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
}

TEST_P(BoardSaveTest, SnapshotBufferWithFormatAndDeinterleave)
{
    TQ8_HANDLE h = Board(kSerial);
    const std::string second = (m_dir / "ch2.rd8").string();
    m_fw.Fwp_path2 = second.c_str();
    m_fw.Fwp_flags |= TQ8_FWP_ASSUME_FORMAT | TQ8_FWP_DEINTERLEAVE | TQ8_FWP_SIGNED;
    m_fw.Fwp_chanSel = 1; // two channels, whatever the board has
    const uint8_t buffer[6] = {0x80, 0x00, 0x81, 0xFF, 0x82, 0x7F};
    ASSERT_EQ(_DumpRawDataTQ8(h, buffer, 6, &m_fw), TQ8_OK);
    EXPECT_EQ(ReadText(m_path), std::string("\x00\x01\x02", 3));
    EXPECT_EQ(ReadText(second), std::string("\x80\x7F\xFF", 3));
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    const std::wstring wpath = vlt::Utf8ToWide(m_path);
    ASSERT_EQ(GetRecordedDataInfoWTQ8(wpath.c_str(), &info, nullptr), TQ8_OK);
    EXPECT_EQ(info.channelCount, 2u);
    EXPECT_EQ(info.isSigned, 1u);
}

TEST_P(BoardSaveTest, BadRequestsAreRefusedBeforeAnyCallBack)
{
    TQ8_HANDLE h = Board(kSerial);
    Calls calls;
    WithCallback(calls);
    const uint8_t buffer[4] = {};
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 0, &m_fw), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(_DumpRawDataTQ8(h, buffer, 0, &m_fw), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(_DumpRawDataTQ8(h, nullptr, 4, &m_fw), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4, nullptr), TQ8_ERR_INVALID_ARG);
    uint32_t ram = 0;
    ASSERT_EQ(GetSampleRamSizeTQ8(h, &ram), TQ8_OK);
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, ram - 2, 4, &m_fw), TQ8_ERR_OUT_OF_BOUNDS);
    TQ8_FILE_WRITE_PARAMS fw = m_fw;
    fw.Fwp_path1 = nullptr;
    EXPECT_EQ(_DumpRawDataTQ8(h, buffer, 4, &fw), TQ8_ERR_INVALID_ARG);
    fw = m_fw;
    fw.Fwp_flags |= TQ8_FWP_TEXT;
    fw.Fwp_maxseg = 4096;
    EXPECT_EQ(_DumpRawDataTQ8(h, buffer, 4, &fw), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(_DumpRawDataTQ8(nullptr, buffer, 4, &m_fw), TQ8_ERR_INVALID_HANDLE);
    EXPECT_TRUE(calls.done.empty());
}

TEST_P(BoardSaveTest, WriteErrorsComeBackAsCodes)
{
    TQ8_HANDLE h = Board(kSerial);
    const uint8_t buffer[4] = {1, 2, 3, 4};
    const std::string folder = m_dir.string();
    m_fw.Fwp_path1 = folder.c_str();
    EXPECT_EQ(_DumpRawDataTQ8(h, buffer, 4, &m_fw), TQ8_ERR_FILE_WRITE);
    const std::string locked = (m_dir / "locked").string();
    std::filesystem::create_directories(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const std::string inside = locked + "/x.rd8";
    m_fw.Fwp_path1 = inside.c_str();
    // Root may write anyway; anyone else must get the failure.
    const int32_t rc = _DumpRawDataTQ8(h, buffer, 4, &m_fw);
    if (::geteuid() != 0) {
        EXPECT_EQ(rc, TQ8_ERR_FILE_WRITE);
    }
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    const std::string full = "/dev/full";
    m_fw.Fwp_path1 = full.c_str();
    m_fw.Fwp_flags = TQ8_FWP_BUFFERED_IO;
    EXPECT_EQ(_DumpRawDataTQ8(h, buffer, 4, &m_fw), TQ8_ERR_FILE_WRITE);
}

TEST_P(BoardSaveTest, BackslashesSeparateFolders)
{
    TQ8_HANDLE h = Board(kSerial);
    std::filesystem::create_directories(m_dir / "sub");
    const std::string joined = m_dir.string() + "\\sub\\x.rd8";
    m_fw.Fwp_path1 = joined.c_str();
    const uint8_t buffer[4] = {1, 2, 3, 4};
    ASSERT_EQ(_DumpRawDataTQ8(h, buffer, 4, &m_fw), TQ8_OK);
    EXPECT_EQ(ReadText((m_dir / "sub" / "x.rd8").string()), "\x01\x02\x03\x04");
}

// A FIFO, a device or a folder where the file should go is refused at once:
// nothing blocks on it (the guard ends a test that hangs) or writes into it.
TEST_P(BoardSaveTest, ADestinationThatIsNoPlainFileIsRefusedAtOnce)
{
    TQ8_HANDLE h = Board(kSerial);
    const uint8_t buffer[4] = {1, 2, 3, 4};
    for (badfiles::Kind kind : {badfiles::Kind::Fifo, badfiles::Kind::DevZero, badfiles::Kind::Folder}) {
        SCOPED_TRACE(badfiles::Name(kind));
        ASSERT_TRUE(badfiles::Make(kind, m_path));
        badfiles::HangGuard guard;
        EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &m_fw), TQ8_ERR_FILE_WRITE);
        EXPECT_EQ(errno, EINVAL);
        EXPECT_EQ(_DumpRawDataTQ8(h, buffer, 4, &m_fw), TQ8_ERR_FILE_WRITE);
        EXPECT_FALSE(std::filesystem::is_regular_file(m_path));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
        std::filesystem::remove(m_path);
    }
    // A missing folder: the system's reason.
    const std::string lost = (m_dir / "missing" / "x.rd8").string();
    m_fw.Fwp_path1 = lost.c_str();
    EXPECT_EQ(ReadSampleRamFileBufTQ8(h, 0, 4096, &m_fw), TQ8_ERR_FILE_WRITE);
    EXPECT_EQ(errno, ENOENT);
}

// A save that fills the disk gives the system's reason, leaves no part of
// its file and keeps the file it would have replaced.
TEST_F(SaveTest, AFullDiskLeavesNoPartOfTheFile)
{
    const auto outcome = fulldisk::Run(m_dir.string(), 2 << 20, 1 << 20, [this](const std::string& folder) {
        TQ8_HANDLE h = Virtual(kSerial);
        const std::string path = folder + "/save.rd8";
        if (!vlt::AtomicWriteFile(path, "older"))
            return std::string("no older file");
        m_fw.Fwp_path1 = path.c_str();
        const int32_t rc = ReadSampleRamFileBufTQ8(h, 0, 4u << 20, &m_fw);
        const std::string reason = vlt::SystemErrorText(errno);
        std::string files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename() != "filler")
                files += entry.path().filename().string() + " ";
        return std::to_string(rc) + " " + reason + "|" + files + "|" + ReadText(path).substr(0, 16);
    });
    if (!outcome)
        GTEST_SKIP() << "no full file system can be mounted here";
    EXPECT_EQ(*outcome, std::to_string(TQ8_ERR_FILE_WRITE) + " No space left on device|save.rd8 |older");
}

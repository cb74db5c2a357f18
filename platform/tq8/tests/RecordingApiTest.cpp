#include <cstring>
#include <memory>

#include "BadFiles.h"
#include "FullDisk.h"
#include "RecordingFixture.h"
#include "TextConv.h"

namespace {
std::string SegmentName(const std::filesystem::path& dir, int index)
{
    if (index == 1)
        return (dir / "rec.rd8").string();
    char name[32];
    std::snprintf(name, sizeof name, "rec_%04d.rd8", index);
    return (dir / name).string();
}

std::wstring ErrorTextOf(TQ8_REC_SESSION s, TQ8_REC_SESSION_PROGRESS& p)
{
    p = TQ8_REC_SESSION_PROGRESS{};
    p.Rpr_ss = sizeof p;
    EXPECT_EQ(GetRecordingSessionProgressTQ8(s, &p, 0), TQ8_OK);
    std::wstring text = p.Rpr_errorText != nullptr ? p.Rpr_errorText : L"";
    EXPECT_EQ(FreeMemoryTQ8(p.Rpr_errorText), TQ8_OK);
    return text;
}
} // namespace

TQ8_ON_BOTH_PATHS(BoardRecordingTest);

TEST_P(BoardRecordingTest, RecordsToTheLimitWhatTheBoardGenerates)
{
    TQ8_HANDLE h = Board(kSerial);
    // Neither a whole number of acquisitions nor of four-channel frames.
    const uint64_t limit = 3 * 65536 + 1002;
    m_rp.Rsp_samplesToRecord = limit;
    ASSERT_EQ(TQ8Sim_SetSeed(kSerial, 77), TQ8_OK);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));

    TQ8_REC_SESSION_PROGRESS p{};
    EXPECT_EQ(ErrorTextOf(s, p), L"");
    EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(p.Rpr_errorCode, 0);
    EXPECT_EQ(p.Rpr_samplesRecorded, limit);
    EXPECT_EQ(p.Rpr_samplesToRecord, limit);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);

    std::vector<uint8_t> expected = Generated(h, 77, {65536, 65536, 65536, 1004});
    expected.resize(limit);
    EXPECT_EQ(ReadFile(m_path), expected);
    // No segment files without a segment size.
    EXPECT_FALSE(std::filesystem::exists(SegmentName(m_dir, 2)));
}

TEST_P(BoardRecordingTest, ContextFileDescribesTheRecording)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK); // two channels
    const std::string notes = "Run <7> & \"fast\"";
    m_fw.Fwp_opNotes = notes.c_str();
    m_fw.Fwp_hdrskp = 512;
    m_rp.Rsp_samplesToRecord = 100000;
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);

    const std::string ctx = ReadText(m_path + ".vrdc");
    EXPECT_NE(ctx.find("<SerialNumber>1600</SerialNumber>"), std::string::npos) << ctx;
    EXPECT_NE(ctx.find("<ChannelCount>2</ChannelCount>"), std::string::npos) << ctx;
    EXPECT_NE(ctx.find("<HeaderBytes>512</HeaderBytes>"), std::string::npos) << ctx;
    EXPECT_NE(ctx.find("<SamplesRecorded>100000</SamplesRecorded>"), std::string::npos) << ctx;
    EXPECT_NE(ctx.find("<Result>completed</Result>"), std::string::npos) << ctx;
    EXPECT_NE(ctx.find("<OperatorNotes>Run &lt;7&gt; &amp; &quot;fast&quot;</OperatorNotes>"), std::string::npos)
        << ctx;
    EXPECT_NE(ctx.find("<DataFile1>" + m_path + "</DataFile1>"), std::string::npos) << ctx;
    // The header area is there, as zeros, before the samples.
    const std::vector<uint8_t> data = ReadFile(m_path);
    ASSERT_EQ(data.size(), 512u + 100000u);
    EXPECT_EQ(std::count(data.begin(), data.begin() + 512, 0), 512);
}

TEST_P(BoardRecordingTest, NoContextFileWithoutItsFlag)
{
    TQ8_HANDLE h = Board(kSerial);
    m_fw.Fwp_flags = 0;
    m_rp.Rsp_samplesToRecord = 4096;
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(std::filesystem::file_size(m_path), 4096u);
    EXPECT_FALSE(std::filesystem::exists(m_path + ".vrdc"));
}

TEST_P(BoardRecordingTest, SegmentFilesEachHoldHeaderAndWholeFrames)
{
    TQ8_HANDLE h = Board(kSerial);
    m_fw.Fwp_hdrskp = 100;
    m_fw.Fwp_maxseg = 10002; // 9902 bytes of room: 9900 in whole frames
    m_rp.Rsp_flags = TQ8_RSP_FLAGS_VIA_BOARD;
    m_rp.Rsp_transferSamples = 4096;
    m_rp.Rsp_samplesToRecord = 50000;
    ASSERT_EQ(TQ8Sim_SetSeed(kSerial, 5), TQ8_OK);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);

    std::vector<uint8_t> joined;
    for (int i = 1; i <= 6; ++i) {
        const std::vector<uint8_t> file = ReadFile(SegmentName(m_dir, i));
        const size_t data = i < 6 ? 9900 : 50000 - 5 * 9900;
        ASSERT_EQ(file.size(), 100 + data) << i;
        EXPECT_EQ(std::count(file.begin(), file.begin() + 100, 0), 100) << i;
        joined.insert(joined.end(), file.begin() + 100, file.end());
    }
    EXPECT_FALSE(std::filesystem::exists(SegmentName(m_dir, 7)));
    std::vector<uint8_t> expected = Generated(h, 5, {50000});
    EXPECT_EQ(joined, expected);
    const std::string ctx = ReadText(m_path + ".vrdc");
    EXPECT_NE(ctx.find(SegmentName(m_dir, 6)), std::string::npos) << ctx;
}

TEST_P(BoardRecordingTest, SegmentFileNeverReplacesAnExistingFile)
{
    TQ8_HANDLE h = Board(kSerial);
    const std::string taken = SegmentName(m_dir, 2);
    std::ofstream(taken) << "keep me";
    m_fw.Fwp_maxseg = 4096;
    m_rp.Rsp_samplesToRecord = 3 * 4096;
    const std::wstring text = RecordToFileFailure(h);
    EXPECT_NE(text.find(L"rec_0002.rd8"), std::wstring::npos);
    EXPECT_NE(text.find(L"File exists"), std::wstring::npos);
    EXPECT_EQ(ReadText(taken), "keep me");
    EXPECT_EQ(std::filesystem::file_size(m_path), 4096u); // the first file is complete
}

TEST_P(BoardRecordingTest, AbortEndsAnUnlimitedRecordingWithCompleteFiles)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetSeed(kSerial, 9), TQ8_OK);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitFor(s, [](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_samplesRecorded > 0; }));
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_RUNNING);
    EXPECT_EQ(AbortRecordingSessionTQ8(s), TQ8_OK);
    const TQ8_REC_SESSION_PROGRESS p = Progress(s);
    EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(p.Rpr_samplesToRecord, 0u);
    EXPECT_TRUE(InIdleModeTQ8(h));
    EXPECT_EQ(AbortRecordingSessionTQ8(s), TQ8_OK); // fine once more
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);

    ASSERT_EQ(p.Rpr_samplesRecorded % 65536, 0u);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(0.001), TQ8_OK);
    const std::vector<uint32_t> blocks(p.Rpr_samplesRecorded / 65536, 65536);
    EXPECT_EQ(ReadFile(m_path), Generated(h, 9, blocks));
}

// A recording aborted short of its limit says so in its context (one
// without a limit, in AbortedUnlimitedRecordingIsConsistent).
TEST_P(BoardRecordingTest, TheContextSaysARecordingWasStopped)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    m_rp.Rsp_samplesToRecord = 1ull << 40;
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitFor(s, [](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_samplesRecorded > 0; }));
    EXPECT_EQ(AbortRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    const std::string ctx = ReadText(m_path + ".vrdc");
    EXPECT_NE(ctx.find("<Result>stopped</Result>"), std::string::npos) << ctx;
}

TEST_P(BoardRecordingTest, StandbyOnAnotherHandleFailsARecordingShortOfItsTarget)
{
    TQ8_HANDLE h = Board(kSerial);
    TQ8_HANDLE other = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(h, &other), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    m_rp.Rsp_samplesToRecord = 1ull << 40;
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitFor(s, [](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_samplesRecorded > 0; }));
    std::thread standby([&] { EXPECT_EQ(SetOperatingModeTQ8(other, TQ8_MODE_STANDBY), TQ8_OK); });
    standby.join();
    ASSERT_TRUE(WaitForEnd(s));
    TQ8_REC_SESSION_PROGRESS p{};
    const std::wstring text = ErrorTextOf(s, p);
    EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_FAILED);
    EXPECT_EQ(p.Rpr_errorCode, TQ8_ERR_CANCELLED);
    EXPECT_NE(text.find(L"after " + std::to_wstring(p.Rpr_samplesRecorded) + L" of"), std::wstring::npos) << text;
    // Whatever was recorded is in the files, flushed.
    EXPECT_EQ(std::filesystem::file_size(m_path), p.Rpr_samplesRecorded);
    const std::string ctx = ReadText(m_path + ".vrdc");
    EXPECT_NE(ctx.find("<SamplesRecorded>" + std::to_string(p.Rpr_samplesRecorded)), std::string::npos) << ctx;
    EXPECT_NE(ctx.find("<Result>failed</Result>"), std::string::npos) << ctx;
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, StandbyEndsARecordingWithoutTargetAsCompleted)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetTriggerSourceTQ8(h, 4), TQ8_OK); // external: never comes
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    while (GetOperatingModeTQ8(h, 1) != TQ8_MODE_RAM_ACQ)
        std::this_thread::yield();
    ASSERT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_STANDBY), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(Progress(s).Rpr_samplesRecorded, 0u);
    EXPECT_EQ(std::filesystem::file_size(m_path), 0u);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, SnapshotHoldsTheNewestSamples)
{
    TQ8_HANDLE h = Board(kSerial);
    m_rp.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST | TQ8_RSP_FLAG_SNAPSHOTS;
    m_rp.Rsp_transferSamples = 16384;
    m_rp.Rsp_snapshotSamples = 4096;
    m_rp.Rsp_snapshotIntervalCount = 1;
    m_rp.Rsp_samplesToRecord = 3 * 65536 + 3392;
    TQ8_REC_SESSION s = Create(h);
    uint32_t samples = 1, counter = 1;
    uint8_t none[16];
    ASSERT_EQ(GetRecordingSnapshotTQ8(s, none, sizeof none, &samples, &counter), TQ8_OK);
    EXPECT_EQ(samples, 0u); // nothing before arming
    EXPECT_EQ(counter, 0u);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    const std::vector<uint8_t> file = ReadFile(m_path);
    ASSERT_EQ(file.size(), m_rp.Rsp_samplesToRecord);

    std::vector<uint8_t> snap(8192, 0xEE);
    ASSERT_EQ(GetRecordingSnapshotTQ8(s, snap.data(), 8192, &samples, &counter), TQ8_OK);
    EXPECT_EQ(counter, 13u); // one snapshot per transfer: 3 x 4 + 1
    EXPECT_EQ(Progress(s).Rpr_snapshotCounter, 13u);
    ASSERT_EQ(samples, 4096u);
    EXPECT_TRUE(std::equal(snap.begin(), snap.begin() + 4096, file.end() - 4096));
    EXPECT_EQ(std::count(snap.begin() + 4096, snap.end(), 0xEE), 4096);

    // A smaller buffer gets no more than it asked for.
    std::vector<uint8_t> small(1000 + 64, 0xEE);
    ASSERT_EQ(GetRecordingSnapshotTQ8(s, small.data(), 1000, &samples, nullptr), TQ8_OK);
    EXPECT_EQ(samples, 1000u);
    EXPECT_TRUE(std::equal(small.begin(), small.begin() + 1000, file.end() - 4096));
    EXPECT_EQ(std::count(small.begin() + 1000, small.end(), 0xEE), 64);
    EXPECT_EQ(GetRecordingSnapshotTQ8(s, nullptr, 10, &samples, &counter), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, SnapshotsByTimeKeepComing)
{
    TQ8_HANDLE h = Board(kSerial);
    m_rp.Rsp_flags = TQ8_RSP_FLAGS_VIA_BOARD | TQ8_RSP_FLAG_SNAPSHOTS;
    m_rp.Rsp_snapshotSamples = 1024;
    m_rp.Rsp_snapshotIntervalMs = 1;
    ASSERT_EQ(TQ8Sim_SetTimeFactor(1), TQ8_OK);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    uint32_t first = 0;
    ASSERT_TRUE(WaitFor(s, [&](const TQ8_REC_SESSION_PROGRESS& p) {
        first = p.Rpr_snapshotCounter;
        return first != 0;
    }));
    ASSERT_TRUE(WaitFor(s, [&](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_snapshotCounter != first; }));
    std::vector<uint8_t> snap(1024);
    uint32_t samples = 0;
    EXPECT_EQ(GetRecordingSnapshotTQ8(s, snap.data(), 1024, &samples, nullptr), TQ8_OK);
    EXPECT_EQ(samples, 1024u);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, WithoutSnapshotsTheSnapshotIsEmpty)
{
    TQ8_HANDLE h = Board(kSerial);
    m_rp.Rsp_samplesToRecord = 65536;
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    uint8_t buf[64];
    uint32_t samples = 1, counter = 1;
    ASSERT_EQ(GetRecordingSnapshotTQ8(s, buf, sizeof buf, &samples, &counter), TQ8_OK);
    EXPECT_EQ(samples, 0u);
    EXPECT_EQ(counter, 0u);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, RecordsAreCopiedAtCreation)
{
    TQ8_HANDLE h = Board(kSerial);
    auto path = std::make_unique<std::string>(m_path);
    auto fw = std::make_unique<TQ8_FILE_WRITE_PARAMS>(m_fw);
    fw->Fwp_path1 = path->c_str();
    auto rp = std::make_unique<TQ8_REC_SESSION_PARAMS>(m_rp);
    rp->Rsp_fileWrite = fw.get();
    rp->Rsp_samplesToRecord = 8192;
    TQ8_REC_SESSION s = nullptr;
    ASSERT_EQ(CreateRecordingSessionTQ8(h, rp.get(), &s), TQ8_OK);
    std::memset(path->data(), 'x', path->size());
    path.reset();
    fw.reset();
    rp.reset();
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(std::filesystem::file_size(m_path), 8192u);
}

TEST_P(BoardRecordingTest, BadRecordsAreRefused)
{
    TQ8_HANDLE h = Board(kSerial);
    TQ8_REC_SESSION s = nullptr;
    const auto refused = [&](TQ8_REC_SESSION_PARAMS rp, TQ8_FILE_WRITE_PARAMS fw) {
        rp.Rsp_fileWrite = &fw;
        s = reinterpret_cast<TQ8_REC_SESSION>(1);
        int32_t rc = CreateRecordingSessionTQ8(h, &rp, &s);
        EXPECT_EQ(s, nullptr);
        // The check says the same, with a reason for each.
        wchar_t* reason = nullptr;
        EXPECT_EQ(GetRecordingSessionErrorWTQ8(h, &rp, &reason), rc);
        EXPECT_NE(reason, nullptr);
        FreeMemoryTQ8(reason);
        return rc;
    };
    TQ8_REC_SESSION_PARAMS rp = m_rp;
    TQ8_FILE_WRITE_PARAMS fw = m_fw;
    rp.Rsp_ss = 64;
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    rp = m_rp;
    fw.Fwp_ss = 96;
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    fw = m_fw;
    fw.Fwp_path1 = nullptr;
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    fw.Fwp_path1 = "";
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    fw = m_fw;
    for (uint32_t flags : {0u, 0x50u, 0x53u, 0x20u, 0x151u}) {
        rp.Rsp_flags = flags;
        EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG) << flags;
    }
    rp = m_rp;
    rp.Rsp_flags |= TQ8_RSP_FLAG_SNAPSHOTS; // without a snapshot size
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    rp = m_rp;
    rp.Rsp_acqSamples = 0;
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    rp.Rsp_acqSamples = 0xFFFFFFF0u; // more than board memory holds
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_OUT_OF_BOUNDS);
    rp = m_rp;
    fw.Fwp_hdrskp = 4096;
    fw.Fwp_maxseg = 4096; // no room after the header
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    fw = m_fw;
    for (uint32_t unknown : {0x2u, 0x10000u}) {
        fw.Fwp_flags = TQ8_FWP_FLAG_DEFAULT | unknown;
        EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG) << unknown;
    }
    for (uint32_t text : {TQ8_FWP_TEXT, TQ8_FWP_HEX}) {
        fw.Fwp_flags = TQ8_FWP_FLAG_DEFAULT | text;
        fw.Fwp_maxseg = 1 << 20; // spanning is for binary files only
        EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG) << text;
    }
    fw = m_fw;
    fw.Fwp_flags |= TQ8_FWP_ASSUME_FORMAT;
    fw.Fwp_chanSel = 9;
    EXPECT_EQ(refused(rp, fw), TQ8_ERR_INVALID_ARG);
    fw = m_fw;
    rp = m_rp;
    rp.Rsp_fileWrite = nullptr;
    s = nullptr;
    EXPECT_EQ(CreateRecordingSessionTQ8(h, &rp, &s), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(CreateRecordingSessionTQ8(h, nullptr, &s), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(CreateRecordingSessionTQ8(h, &m_rp, nullptr), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(CreateRecordingSessionTQ8(nullptr, &m_rp, &s), TQ8_ERR_INVALID_HANDLE);
    // None of them left a session behind: the board takes a good one.
    s = Create(h);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

// A transfer of a few samples costs as much as a large one: sizes below the
// smallest the library takes are raised to it, 0 leaves the choice to it.
// The progress and the context tell the size used.
TEST_P(BoardRecordingTest, TransfersBelowTheSmallestAreRaised)
{
    TQ8_HANDLE h = Board(kSerial);
    m_rp.Rsp_samplesToRecord = 3 * TQ8_REC_MIN_TRANSFER_SAMPLES;
    for (uint32_t samples : {1u, 3u, TQ8_REC_MIN_TRANSFER_SAMPLES - 1, TQ8_REC_MIN_TRANSFER_SAMPLES}) {
        SCOPED_TRACE(samples);
        m_rp.Rsp_transferSamples = samples;
        TQ8_REC_SESSION s = Create(h);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
        TQ8_REC_SESSION_PROGRESS_EX ex{};
        ex.base.Rpr_ss = sizeof ex;
        ASSERT_EQ(GetRecordingSessionProgressTQ8(s, &ex.base, 0), TQ8_OK);
        FreeMemoryTQ8(ex.base.Rpr_errorText);
        EXPECT_EQ(ex.Rpr_transferSamples, TQ8_REC_MIN_TRANSFER_SAMPLES);
        ASSERT_TRUE(WaitForEnd(s));
        EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
        EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
        EXPECT_NE(ReadText(m_path + ".vrdc").find("<TransferSamples>" + std::to_string(TQ8_REC_MIN_TRANSFER_SAMPLES) + "<"),
                  std::string::npos);
    }
    m_rp.Rsp_transferSamples = 0;
    RecordToEnd(h);
}

// Why a record is refused, in terms of its settings.
TEST_P(BoardRecordingTest, ARefusalNamesTheSettingAtFault)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 0), TQ8_OK); // four channels
    const auto reason = [&](TQ8_REC_SESSION_PARAMS rp, TQ8_FILE_WRITE_PARAMS fw) {
        rp.Rsp_fileWrite = &fw;
        wchar_t* text = nullptr;
        const int32_t rc = GetRecordingSessionErrorWTQ8(h, &rp, &text);
        std::wstring out = text ? text : L"(none)";
        FreeMemoryTQ8(text);
        TQ8_REC_SESSION s = nullptr;
        EXPECT_EQ(CreateRecordingSessionTQ8(h, &rp, &s), rc);
        DeleteRecordingSessionTQ8(s);
        return std::to_wstring(rc) + L" " + out;
    };
    const std::wstring invalid = std::to_wstring(TQ8_ERR_INVALID_ARG) + L" ";
    TQ8_REC_SESSION_PARAMS rp = m_rp;
    TQ8_FILE_WRITE_PARAMS fw = m_fw;
    EXPECT_EQ(reason(rp, fw), L"0 (none)");
    rp.Rsp_acqSamples = 2;
    EXPECT_EQ(reason(rp, fw), invalid + L"The acquisition size of 2 samples is less than one sample for each of the 4 "
                                        L"active channels.");
    rp.Rsp_acqSamples = 0xFFFFFFF0u;
    EXPECT_EQ(reason(rp, fw).find(std::to_wstring(TQ8_ERR_OUT_OF_BOUNDS) + L" The acquisition size of 4,294,967,280 "
                                                                         L"samples is more than the board's memory"),
              0u);
    rp = m_rp;
    rp.Rsp_flags |= TQ8_RSP_FLAG_SNAPSHOTS;
    EXPECT_EQ(reason(rp, fw), invalid + L"The snapshot length is 0 samples; a snapshot needs at least one.");
    rp = m_rp;
    fw.Fwp_maxseg = 512;
    fw.Fwp_hdrskp = 512;
    EXPECT_EQ(reason(rp, fw), invalid + L"The static file size of 512 bytes leaves no room for a frame of 4 samples "
                                        L"after the 512 bytes skipped at the start of each file.");
    fw.Fwp_flags |= TQ8_FWP_TEXT;
    fw.Fwp_hdrskp = 0;
    EXPECT_NE(reason(rp, fw).find(L"takes binary files only"), std::wstring::npos);
    wchar_t* text = nullptr;
    EXPECT_EQ(GetRecordingSessionErrorWTQ8(h, &m_rp, nullptr), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetRecordingSessionErrorWTQ8(nullptr, &m_rp, &text), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(text, nullptr);
}

TEST_P(BoardRecordingTest, UnknownAndDeletedSessionsAreInvalid)
{
    TQ8_HANDLE h = Board(kSerial);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    const TQ8_REC_SESSION made = reinterpret_cast<TQ8_REC_SESSION>(h); // a device handle is not a session
    for (TQ8_REC_SESSION bad : {s, made, static_cast<TQ8_REC_SESSION>(nullptr)}) {
        TQ8_REC_SESSION_PROGRESS p{};
        p.Rpr_ss = sizeof p;
        uint32_t value = 0;
        uint8_t buf[4];
        EXPECT_EQ(ArmRecordingSessionTQ8(bad), TQ8_ERR_INVALID_HANDLE);
        EXPECT_EQ(GetRecordingSnapshotTQ8(bad, buf, 4, &value, &value), TQ8_ERR_INVALID_HANDLE);
        EXPECT_EQ(GetRecordingSessionProgressTQ8(bad, &p, 0), TQ8_ERR_INVALID_HANDLE);
        EXPECT_EQ(AbortRecordingSessionTQ8(bad), TQ8_ERR_INVALID_HANDLE);
        EXPECT_EQ(GetRecordingSessionOutFlagsTQ8(bad, &value), TQ8_ERR_INVALID_HANDLE);
        EXPECT_EQ(DeleteRecordingSessionTQ8(bad), TQ8_ERR_INVALID_HANDLE);
    }
}

TEST_P(BoardRecordingTest, ProgressNeedsItsSize)
{
    TQ8_HANDLE h = Board(kSerial);
    TQ8_REC_SESSION s = Create(h);
    TQ8_REC_SESSION_PROGRESS p{};
    p.Rpr_ss = 48;
    EXPECT_EQ(GetRecordingSessionProgressTQ8(s, &p, 0), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetRecordingSessionProgressTQ8(s, nullptr, 0), TQ8_ERR_INVALID_ARG);
    p.Rpr_ss = sizeof p;
    ASSERT_EQ(GetRecordingSessionProgressTQ8(s, &p, 0), TQ8_OK);
    EXPECT_EQ(p.Rpr_status, 0u); // created, not armed
    EXPECT_EQ(p.Rpr_errorText, nullptr);
    uint32_t flags = 0;
    EXPECT_EQ(GetRecordingSessionOutFlagsTQ8(s, nullptr), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(GetRecordingSessionOutFlagsTQ8(s, &flags), TQ8_OK);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, OneSessionPerBoard)
{
    TQ8_HANDLE h = Board(kSerial);
    TQ8_HANDLE other = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(h, &other), TQ8_OK);
    TQ8_HANDLE second = Board(1700);
    TQ8_REC_SESSION s = Create(h);
    TQ8_REC_SESSION t = nullptr;
    EXPECT_EQ(CreateRecordingSessionTQ8(other, &m_rp, &t), TQ8_ERR_BUSY);
    EXPECT_EQ(t, nullptr);
    // Another board records at the same time.
    std::string path2 = (m_dir / "second.rd8").string();
    TQ8_FILE_WRITE_PARAMS fw = m_fw;
    fw.Fwp_path1 = path2.c_str();
    TQ8_REC_SESSION_PARAMS rp = m_rp;
    rp.Rsp_fileWrite = &fw;
    ASSERT_EQ(CreateRecordingSessionTQ8(second, &rp, &t), TQ8_OK);
    EXPECT_EQ(DeleteRecordingSessionTQ8(t), TQ8_OK);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_EQ(CreateRecordingSessionTQ8(other, &m_rp, &t), TQ8_OK);
    EXPECT_EQ(ArmRecordingSessionTQ8(t), TQ8_OK);
    EXPECT_EQ(ArmRecordingSessionTQ8(t), TQ8_ERR_WRONG_MODE); // armed once
    EXPECT_EQ(DeleteRecordingSessionTQ8(t), TQ8_OK);
}

TEST_P(BoardRecordingTest, BusyBoardTakesNoSessionAndRecordingBoardNoAcquisition)
{
    TQ8_HANDLE h = Board(kSerial);
    TQ8_HANDLE worker = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(h, &worker), TQ8_OK);
    ASSERT_EQ(SetTriggerSourceTQ8(h, 4), TQ8_OK);
    int32_t rc = 1;
    std::thread t([&] { rc = AcquireToBoardRamTQ8(worker, 0, 65536, 0, 0); });
    while (GetOperatingModeTQ8(h, 1) != TQ8_MODE_RAM_ACQ)
        std::this_thread::yield();
    TQ8_REC_SESSION s = nullptr;
    EXPECT_EQ(CreateRecordingSessionTQ8(h, &m_rp, &s), TQ8_ERR_BUSY);
    ASSERT_EQ(SetOperatingModeTQ8(h, TQ8_MODE_STANDBY), TQ8_OK);
    t.join();
    EXPECT_EQ(rc, TQ8_ERR_CANCELLED);

    ASSERT_EQ(SetTriggerSourceTQ8(h, 0), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    s = Create(h);
    EXPECT_TRUE(InIdleModeTQ8(h)); // created, not yet recording
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_FALSE(InIdleModeTQ8(worker));
    EXPECT_EQ(AcquireToBoardRamTQ8(worker, 0, 65536, 0, 0), TQ8_ERR_BUSY);
    EXPECT_EQ(SetOperatingModeTQ8(worker, TQ8_MODE_RAM_ACQ), TQ8_ERR_BUSY);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_TRUE(InIdleModeTQ8(worker));
}

TEST_P(BoardRecordingTest, MissingFolderFailsTheSessionNamingTheFile)
{
    TQ8_HANDLE h = Board(kSerial);
    const std::string path = (m_dir / "no such folder" / "rec.rd8").string();
    m_fw.Fwp_path1 = path.c_str();
    const std::wstring text = RecordToFileFailure(h);
    EXPECT_NE(text.find(L"no such folder/rec.rd8"), std::wstring::npos) << text.size();
    EXPECT_NE(text.find(L"No such file or directory"), std::wstring::npos);
}

// A FIFO or a device (such as /dev/full) where the data file should go
// fails the session at once, and stays what it was.
TEST_P(BoardRecordingTest, ADestinationThatIsNoPlainFileFailsTheSession)
{
    TQ8_HANDLE h = Board(kSerial);
    for (badfiles::Kind kind : {badfiles::Kind::Fifo, badfiles::Kind::DevZero}) {
        SCOPED_TRACE(badfiles::Name(kind));
        ASSERT_TRUE(badfiles::Make(kind, m_path));
        badfiles::HangGuard guard;
        EXPECT_EQ(RecordToFileFailure(h), L"Cannot write '" + vlt::Utf8ToWide(m_path) + L"': not a regular file");
        EXPECT_FALSE(std::filesystem::is_regular_file(m_path));
        std::filesystem::remove(m_path);
    }
}

// A disk that fills up fails the session with the system's reason, and
// the file keeps what was written.
TEST_P(BoardRecordingTest, FullDiskFailsTheSession)
{
    const auto outcome = fulldisk::Run(m_dir.string(), 2 << 20, 512 << 10, [this](const std::string& folder) {
        TQ8_HANDLE h = Board(kSerial);
        m_path = folder + "/rec.rd8";
        m_fw.Fwp_path1 = m_path.c_str();
        m_fw.Fwp_flags = 0;
        m_rp.Rsp_samplesToRecord = 8 << 20;
        TQ8_REC_SESSION s = Create(h);
        if (!s || ArmRecordingSessionTQ8(s) != TQ8_OK || !WaitForEnd(s))
            return std::string("not recorded");
        const TQ8_REC_SESSION_PROGRESS p = Progress(s);
        const std::string text = p.Rpr_errorText ? vlt::WideToUtf8(p.Rpr_errorText) : "";
        FreeMemoryTQ8(p.Rpr_errorText);
        DeleteRecordingSessionTQ8(s);
        return std::to_string(p.Rpr_status) + " " + std::to_string(p.Rpr_errorCode) + " "
               + std::to_string(p.Rpr_samplesRecorded == std::filesystem::file_size(m_path)) + " " + text;
    });
    if (!outcome)
        GTEST_SKIP() << "no full file system can be mounted here";
    EXPECT_EQ(outcome->rfind(std::to_string(TQ8_REC_STATUS_FAILED) + " " + std::to_string(TQ8_ERR_FILE_WRITE) + " 1 ", 0),
              0u)
        << *outcome;
    EXPECT_NE(outcome->find("rec.rd8"), std::string::npos) << *outcome;
    EXPECT_NE(outcome->find("No space left on device"), std::string::npos) << *outcome;
}

TEST_P(BoardRecordingTest, AcquisitionSizeMustFitBoardMemory)
{
    TQ8SIM_BOARD_DESC desc{};
    TQ8Sim_DefaultBoardDesc(&desc, 4242);
    desc.ramSize = 0x100000;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToDeviceTQ8(&h, 4242), TQ8_OK);
    m_rp.Rsp_acqSamples = 0x100000; // all of memory: only with all four channels
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 5), TQ8_OK); // one channel: half of memory
    EXPECT_EQ(ArmRecordingSessionTQ8(s), TQ8_ERR_OUT_OF_BOUNDS);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 0), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    // Changed while recording: the next acquisition fails, and so does the
    // session, keeping what it wrote.
    ASSERT_EQ(SetActiveChannelsTQ8(h, 5), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    TQ8_REC_SESSION_PROGRESS p{};
    const std::wstring text = ErrorTextOf(s, p);
    EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_FAILED);
    EXPECT_EQ(p.Rpr_errorCode, TQ8_ERR_OUT_OF_BOUNDS);
    EXPECT_NE(text.find(L"Acquisition failed"), std::wstring::npos);
    EXPECT_EQ(std::filesystem::file_size(m_path), p.Rpr_samplesRecorded);
    EXPECT_NE(ReadText(m_path + ".vrdc").find("<Result>failed</Result>"), std::string::npos);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, DeleteWhileRecordingJoinsTheThread)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    m_rp.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST | TQ8_RSP_FLAG_SNAPSHOTS;
    m_rp.Rsp_snapshotSamples = 2048;
    for (int i = 0; i < 20; ++i) {
        TQ8_REC_SESSION s = Create(h);
        ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
        if (i % 2 == 1) {
            ASSERT_TRUE(WaitFor(s, [](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_samplesRecorded > 0; }));
        }
        ASSERT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
        EXPECT_EQ(GetRecordingSessionProgressTQ8(s, nullptr, 0), TQ8_ERR_INVALID_HANDLE);
        EXPECT_TRUE(InIdleModeTQ8(h));
    }
    // The last file is whole frames of what was reported.
    EXPECT_EQ(std::filesystem::file_size(m_path) % 65536, 0u);
}

TEST_P(BoardRecordingTest, DisconnectAndResetEndTheirSessions)
{
    TQ8_HANDLE h = Board(kSerial);
    TQ8_HANDLE keep = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(h, &keep), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
    EXPECT_EQ(AbortRecordingSessionTQ8(s), TQ8_ERR_INVALID_HANDLE); // went with its handle
    EXPECT_TRUE(InIdleModeTQ8(keep));
    // The board takes a new session through the handle that is left.
    TQ8_REC_SESSION t = Create(keep);
    ASSERT_EQ(ArmRecordingSessionTQ8(t), TQ8_OK);
    TQ8Sim_Reset();
    EXPECT_EQ(DeleteRecordingSessionTQ8(t), TQ8_ERR_INVALID_HANDLE);
}

TEST_P(BoardRecordingTest, OutFlagsTellMissingAndOverflowingTimestamps)
{
    TQ8_HANDLE h = Board(kSerial);
    m_rp.Rsp_samplesToRecord = 2 * 65536;
    const auto record = [&]() {
        uint32_t flags = 0xFF;
        TQ8_REC_SESSION s = Create(h);
        EXPECT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
        EXPECT_TRUE(WaitForEnd(s));
        EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
        EXPECT_EQ(GetRecordingSessionOutFlagsTQ8(s, &flags), TQ8_OK);
        EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
        return flags;
    };
    EXPECT_EQ(record(), 0u); // time stamps off and no time-stamp file asked for
    m_fw.Fwp_flags |= TQ8_FWP_TS_BINARY;
    EXPECT_EQ(record(), TQ8_REC_OUT_NO_TS); // asked for, but the board makes none
    ASSERT_EQ(SetTimestampModeTQ8(h, 1), TQ8_OK);
    EXPECT_EQ(record(), 0u); // one per acquisition
    ASSERT_EQ(SetTriggerModeTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(SetSegmentSizeTQ8(h, 64), TQ8_OK); // 1024 segments an acquisition
    EXPECT_EQ(record(), 0u);
    ASSERT_EQ(SetSegmentSizeTQ8(h, 16), TQ8_OK); // 4096: more than the FIFO holds
    EXPECT_EQ(record(), TQ8_REC_OUT_TS_OVERFLOW);
}

TEST_P(BoardRecordingTest, QueriesWhileRecordingAreSafe)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(1), TQ8_OK);
    m_rp.Rsp_flags = TQ8_RSP_FLAGS_VIA_BOARD | TQ8_RSP_FLAG_SNAPSHOTS;
    m_rp.Rsp_transferSamples = 8192;
    m_rp.Rsp_snapshotSamples = 3000;
    m_rp.Rsp_snapshotIntervalCount = 2;
    m_rp.Rsp_samplesToRecord = 40 * 65536;
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    std::atomic<bool> done{false};
    std::thread poller([&] {
        std::vector<uint8_t> buf(4096);
        uint64_t last = 0;
        while (!done) {
            TQ8_REC_SESSION_PROGRESS p = Progress(s);
            EXPECT_GE(p.Rpr_samplesRecorded, last);
            last = p.Rpr_samplesRecorded;
            uint32_t n = 0, c = 0;
            EXPECT_EQ(GetRecordingSnapshotTQ8(s, buf.data(), 4096, &n, &c), TQ8_OK);
            EXPECT_TRUE(n == 0 || n == 3000) << n; // three thousand: whole four-channel frames
            uint32_t flags = 0;
            EXPECT_EQ(GetRecordingSessionOutFlagsTQ8(s, &flags), TQ8_OK);
        }
    });
    EXPECT_TRUE(WaitForEnd(s));
    done = true;
    poller.join();
    EXPECT_EQ(Progress(s).Rpr_samplesRecorded, 40u * 65536u);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, InjectedResultsComeBack)
{
    TQ8_HANDLE h = Board(kSerial);
    const char* names[] = {"CreateRecordingSessionTQ8", "ArmRecordingSessionTQ8", "GetRecordingSnapshotTQ8",
                           "GetRecordingSessionProgressTQ8", "AbortRecordingSessionTQ8",
                           "GetRecordingSessionOutFlagsTQ8", "DeleteRecordingSessionTQ8"};
    for (const char* name : names)
        ASSERT_EQ(TQ8Sim_InjectResult(name, -77, 1), TQ8_OK);
    TQ8_REC_SESSION s = nullptr;
    EXPECT_EQ(CreateRecordingSessionTQ8(h, &m_rp, &s), -77);
    s = Create(h);
    TQ8_REC_SESSION_PROGRESS p{};
    p.Rpr_ss = sizeof p;
    uint32_t value = 0;
    uint8_t buf[4];
    EXPECT_EQ(ArmRecordingSessionTQ8(s), -77);
    EXPECT_EQ(GetRecordingSnapshotTQ8(s, buf, 4, &value, &value), -77);
    EXPECT_EQ(GetRecordingSessionProgressTQ8(s, &p, 0), -77);
    EXPECT_EQ(AbortRecordingSessionTQ8(s), -77);
    EXPECT_EQ(GetRecordingSessionOutFlagsTQ8(s, &value), -77);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), -77);
    // Each failed once; the session is still there and works.
    EXPECT_EQ(GetRecordingSessionProgressTQ8(s, &p, 0), TQ8_OK);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

// A recording that fails when the disk fills up says so in its context file,
// although no replacement file fits on the disk any more.
TEST_F(RecordingTest, AFailureOnAFullDiskIsTheContextFilesResult)
{
    const auto outcome = fulldisk::Run(m_dir.string(), 2 << 20, 512 << 10, [this](const std::string& folder) {
        TQ8_HANDLE h = Virtual(kSerial);
        m_path = folder + "/rec.rd8";
        m_fw.Fwp_path1 = m_path.c_str();
        m_rp.Rsp_samplesToRecord = 8 << 20;
        TQ8_REC_SESSION s = Create(h);
        if (ArmRecordingSessionTQ8(s) != TQ8_OK || !WaitForEnd(s))
            return std::string("not recorded");
        const TQ8_REC_SESSION_PROGRESS p = Progress(s);
        FreeMemoryTQ8(p.Rpr_errorText);
        DeleteRecordingSessionTQ8(s);
        // The samples the data file holds, as the context should count them.
        const auto held = std::filesystem::file_size(m_path);
        return std::to_string(p.Rpr_status) + " " + std::to_string(p.Rpr_errorCode) + " <Held>"
               + std::to_string(held) + "</Held> " + ReadText(m_path + ".vrdc");
    });
    if (!outcome)
        GTEST_SKIP() << "no full file system can be mounted here";
    EXPECT_EQ(outcome->rfind(std::to_string(TQ8_REC_STATUS_FAILED) + " " + std::to_string(TQ8_ERR_FILE_WRITE) + " ", 0),
              0u)
        << *outcome;
    EXPECT_NE(outcome->find("<Result>failed</Result>"), std::string::npos) << *outcome;
    EXPECT_NE(outcome->find("<EndTime>20"), std::string::npos) << *outcome;
    const auto item = [&](const std::string& name) {
        const size_t at = outcome->find("<" + name + ">");
        const size_t end = outcome->find("</" + name + ">");
        return at == std::string::npos || end == std::string::npos ? std::string("none")
                                                                    : outcome->substr(at + name.size() + 2,
                                                                                      end - at - name.size() - 2);
    };
    EXPECT_NE(item("Held"), "0") << *outcome;
    EXPECT_EQ(item("SamplesRecorded"), item("Held")) << *outcome;
}

// A recording that never wrote its own context (the process killed right
// after the data file was emptied) leaves no earlier context beside the
// empty file that still claims the old samples.
TEST_F(RecordingTest, AnInterruptedStartLeavesNoContextThatClaimsSamples)
{
    TQ8_HANDLE h = Virtual(kSerial);
    m_rp.Rsp_samplesToRecord = 1 << 20;
    RecordToEnd(h);
    ASSERT_NE(ReadText(m_path + ".vrdc").find("<SamplesRecorded>1048576<"), std::string::npos);
    ASSERT_EQ(TQ8Sim_InjectResult("ArmRecordingSessionTQ8.context", TQ8_ERR_FILE_WRITE, 1), TQ8_OK);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_FAILED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(std::filesystem::file_size(m_path), 0u);
    EXPECT_FALSE(std::filesystem::exists(m_path + ".vrdc")) << ReadText(m_path + ".vrdc");
}

// Data files that cannot be opened are left as they were, and so is their
// context.
TEST_F(RecordingTest, AStartThatCannotOpenItsFilesKeepsTheOldContext)
{
    TQ8_HANDLE h = Virtual(kSerial);
    m_rp.Rsp_samplesToRecord = 1 << 20;
    RecordToEnd(h);
    const std::string context = ReadText(m_path + ".vrdc");
    std::filesystem::remove(m_path);
    std::filesystem::create_directory(m_path); // no file can be opened there
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_FAILED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(ReadText(m_path + ".vrdc"), context);
}

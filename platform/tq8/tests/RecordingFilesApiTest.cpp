#include <algorithm>
#include <cstring>

#include "RecordingFixture.h"

namespace {
TQ8_REC_SESSION_PROGRESS_EX ProgressEx(TQ8_REC_SESSION s)
{
    TQ8_REC_SESSION_PROGRESS_EX p{};
    p.base.Rpr_ss = sizeof p;
    EXPECT_EQ(GetRecordingSessionProgressTQ8(s, &p.base, 0), TQ8_OK);
    FreeMemoryTQ8(p.base.Rpr_errorText);
    p.base.Rpr_errorText = nullptr;
    return p;
}
} // namespace

TEST_P(BoardRecordingTest, TimestampFilesHoldOnePerAcquisition)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetTimestampModeTQ8(h, 1), TQ8_OK);
    m_fw.Fwp_flags |= TQ8_FWP_TS_BINARY | TQ8_FWP_TS_TEXT;
    m_rp.Rsp_flags = TQ8_RSP_FLAGS_VIA_BOARD;
    m_rp.Rsp_samplesToRecord = 3 * 65536;
    RecordToEnd(h);

    const std::string binary = ReadText((m_dir / "rec.tq8ts").string());
    ASSERT_EQ(binary.size(), 3 * sizeof(uint64_t));
    std::vector<uint64_t> values(3);
    std::memcpy(values.data(), binary.data(), binary.size());
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(ReadText((m_dir / "rec.tq8ts.txt").string()),
              std::to_string(values[0]) + "\r\n" + std::to_string(values[1]) + "\r\n" + std::to_string(values[2])
                  + "\r\n");
    const std::string ctx = ReadText(m_path + ".vrdc");
    EXPECT_NE(ctx.find("<TimestampFile1>" + (m_dir / "rec.tq8ts").string()), std::string::npos) << ctx;
}

TEST_P(BoardRecordingTest, FifoOverflowShowsLiveAndFailsWhenAsked)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetTimestampModeTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(SetTriggerModeTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(SetSegmentSizeTQ8(h, 16), TQ8_OK); // 4096 segments an acquisition
    ASSERT_EQ(TQ8Sim_SetTimestampFifoDepth(kSerial, 100), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    TQ8_REC_SESSION s = Create(h); // no target: runs until aborted
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitFor(s, [](const TQ8_REC_SESSION_PROGRESS& p) {
        return (p.Rpr_liveFlags & TQ8_REC_LIVE_TS_OVERFLOW) != 0 || p.Rpr_status != TQ8_REC_STATUS_RUNNING;
    }));
    const TQ8_REC_SESSION_PROGRESS_EX live = ProgressEx(s);
    EXPECT_EQ(live.base.Rpr_status, TQ8_REC_STATUS_RUNNING); // seen before the end
    EXPECT_EQ(live.base.Rpr_ss, sizeof live);
    // The driver's time-stamp read says that the FIFO overflowed, not how
    // many entries it lost.
    if (IsLocal())
        EXPECT_EQ(live.Rpr_timestampsDropped, 0u);
    else
        EXPECT_GT(live.Rpr_timestampsDropped, 0u);
    EXPECT_LE(live.Rpr_ringFillPermille, 1000u);
    EXPECT_EQ(AbortRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(Progress(s).Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);

    ASSERT_EQ(TQ8Sim_SetTimeFactor(0.001), TQ8_OK);
    m_fw.Fwp_flags |= TQ8_FWP_FAIL_ON_TS_OVERFLOW;
    s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    const TQ8_REC_SESSION_PROGRESS p = Progress(s);
    EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_FAILED);
    EXPECT_EQ(p.Rpr_errorCode, TQ8_ERR_TS_FIFO_OVERFLOW);
    EXPECT_NE(p.Rpr_errorText, nullptr);
    FreeMemoryTQ8(p.Rpr_errorText);
    EXPECT_EQ(std::filesystem::file_size(m_path), p.Rpr_samplesRecorded);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
}

TEST_P(BoardRecordingTest, TextRecordingWritesALinePerFrame)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK); // two channels
    m_fw.Fwp_flags |= TQ8_FWP_TEXT;
    m_rp.Rsp_samplesToRecord = 1000;
    ASSERT_EQ(TQ8Sim_SetSeed(kSerial, 3), TQ8_OK);
    RecordToEnd(h);
    const std::vector<uint8_t> samples = Generated(h, 3, {1000});
    std::string expected;
    for (size_t i = 0; i < samples.size(); i += 2)
        expected += std::to_string(samples[i]) + " " + std::to_string(samples[i + 1]) + "\r\n";
    EXPECT_EQ(ReadText(m_path), expected);
}

TEST_P(BoardRecordingTest, DeinterleavedRecordingSplitsTheChannels)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK);
    const std::string second = (m_dir / "rec2.rd8").string();
    m_fw.Fwp_path2 = second.c_str();
    m_fw.Fwp_flags |= TQ8_FWP_DEINTERLEAVE;
    m_rp.Rsp_samplesToRecord = 3 * 65536 + 2;
    ASSERT_EQ(TQ8Sim_SetSeed(kSerial, 4), TQ8_OK);
    RecordToEnd(h);
    std::vector<uint8_t> samples = Generated(h, 4, {65536, 65536, 65536, 2});
    std::vector<uint8_t> a, b;
    for (size_t i = 0; i < samples.size(); i += 2) {
        a.push_back(samples[i]);
        b.push_back(samples[i + 1]);
    }
    EXPECT_EQ(ReadFile(m_path), a);
    EXPECT_EQ(ReadFile(second), b);
}

namespace {
// Samples of the counting pattern from frame 0 on, for channels 1..n.
std::vector<uint8_t> Counting(uint64_t samples, uint32_t channels)
{
    std::vector<uint8_t> out(samples);
    for (uint64_t i = 0; i < samples; ++i)
        out[i] = static_cast<uint8_t>(i / channels + 64 * (i % channels));
    return out;
}

std::vector<uint8_t> Joined(const std::filesystem::path& dir, uint32_t header)
{
    std::vector<uint8_t> all;
    for (int i = 1;; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, i == 1 ? "rec.rd8" : "rec_%04d.rd8", i);
        if (!std::filesystem::exists(dir / name))
            return all;
        std::ifstream in(dir / name, std::ios::binary);
        std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_GE(file.size(), header) << name;
        all.insert(all.end(), file.begin() + std::min<size_t>(header, file.size()), file.end());
    }
}
} // namespace

TEST_P(BoardRecordingTest, BothKindsRecordTheCountingPatternWithoutGapOrRepeat)
{
    TQ8_HANDLE h = Board(kSerial);
    m_fw.Fwp_hdrskp = 16;
    m_fw.Fwp_maxseg = 16 + 40000;
    m_rp.Rsp_transferSamples = 12288;
    m_rp.Rsp_samplesToRecord = 5 * 65536 + 12346; // neither whole transfers nor frames
    for (const uint32_t kind : {TQ8_RSP_FLAGS_TO_HOST, TQ8_RSP_FLAGS_VIA_BOARD}) {
        for (const auto& entry : std::filesystem::directory_iterator(m_dir))
            std::filesystem::remove(entry.path());
        ASSERT_EQ(TQ8Sim_SetCountingPattern(kSerial, 1), TQ8_OK);
        m_rp.Rsp_flags = kind;
        RecordToEnd(h);
        EXPECT_EQ(Joined(m_dir, 16), Counting(m_rp.Rsp_samplesToRecord, 4)) << kind;
    }
}

TEST_P(BoardRecordingTest, AbortedUnlimitedRecordingIsConsistent)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK); // two channels
    ASSERT_EQ(TQ8Sim_SetCountingPattern(kSerial, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(1), TQ8_OK);
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    int polls = 0;
    ASSERT_TRUE(WaitFor(s, [&](const TQ8_REC_SESSION_PROGRESS& p) { return p.Rpr_samplesRecorded > 0 && ++polls >= 5; }));
    EXPECT_EQ(AbortRecordingSessionTQ8(s), TQ8_OK);
    const TQ8_REC_SESSION_PROGRESS p = Progress(s);
    EXPECT_EQ(p.Rpr_status, TQ8_REC_STATUS_COMPLETED);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    EXPECT_EQ(ReadFile(m_path), Counting(p.Rpr_samplesRecorded, 2));
    const std::string ctx = ReadText(m_path + ".vrdc");
    EXPECT_NE(ctx.find("<SamplesRecorded>" + std::to_string(p.Rpr_samplesRecorded) + "<"), std::string::npos) << ctx;
    EXPECT_NE(ctx.find("<Result>stopped</Result>"), std::string::npos) << ctx;
}

TEST_P(BoardRecordingTest, RealTimeStreamingWithATinyRingLosesAndFails)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(TQ8Sim_SetCountingPattern(kSerial, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(0), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetRecordingStream(8192, 1), TQ8_OK);
    m_fw.Fwp_flags |= TQ8_FWP_TEXT; // a slow writer: the board outruns it
    TQ8_REC_SESSION s = Create(h);
    ASSERT_EQ(ArmRecordingSessionTQ8(s), TQ8_OK);
    ASSERT_TRUE(WaitForEnd(s));
    const TQ8_REC_SESSION_PROGRESS_EX p = ProgressEx(s);
    EXPECT_EQ(p.base.Rpr_status, TQ8_REC_STATUS_FAILED);
    EXPECT_EQ(p.base.Rpr_errorCode, TQ8_ERR_SAMPLES_LOST);
    EXPECT_GT(p.base.Rpr_samplesLost, 0u);
    EXPECT_NE(p.base.Rpr_liveFlags & TQ8_REC_LIVE_DATA_LOST, 0u);
    TQ8_REC_SESSION_PROGRESS text{};
    text.Rpr_ss = sizeof text;
    ASSERT_EQ(GetRecordingSessionProgressTQ8(s, &text, 0), TQ8_OK);
    ASSERT_NE(text.Rpr_errorText, nullptr);
    EXPECT_NE(std::wstring(text.Rpr_errorText).find(std::to_wstring(p.base.Rpr_samplesRecorded)), std::wstring::npos);
    FreeMemoryTQ8(text.Rpr_errorText);
    EXPECT_EQ(DeleteRecordingSessionTQ8(s), TQ8_OK);
    // The files end at the last good sample.
    std::string expected;
    const std::vector<uint8_t> samples = Counting(p.base.Rpr_samplesRecorded, 4);
    for (size_t i = 0; i < samples.size(); ++i)
        expected += std::to_string(samples[i]) + (i % 4 == 3 ? "\r\n" : " ");
    EXPECT_EQ(ReadText(m_path), expected);
}

TEST_P(BoardRecordingTest, BackPressureWithATinyRingLosesNothing)
{
    TQ8_HANDLE h = Board(kSerial);
    ASSERT_EQ(TQ8Sim_SetCountingPattern(kSerial, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(0), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetRecordingStream(8192, 0), TQ8_OK);
    m_rp.Rsp_samplesToRecord = 200000;
    RecordToEnd(h);
    EXPECT_EQ(ReadFile(m_path), Counting(200000, 4));
}

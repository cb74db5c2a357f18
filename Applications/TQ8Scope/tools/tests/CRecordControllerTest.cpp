// The recording window's ordering and bookkeeping against simulated boards.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ErrorBox.h"
#include "RecordTestSupport.h"
#include "RecordingTexts.h"
#include "ValueFormat.h"

using rec_test::RecordBoardsTest;

namespace {

std::string ReadAll(const std::filesystem::path& path)
{
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

// The board fails as soon as its time-stamp FIFO overflows.
void MakeTimestampsOverflow(TQ8_HANDLE h, uint32_t serial)
{
    ASSERT_EQ(SetTimestampModeTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(SetTriggerModeTQ8(h, 1), TQ8_OK);
    ASSERT_EQ(SetSegmentSizeTQ8(h, 16), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetTimestampFifoDepth(serial, 100), TQ8_OK);
}

} // namespace

TEST_F(RecordBoardsTest, SlavesFirstAndARunToCompletion)
{
    Select({0, 1});
    Limit(1 << 20);
    // The slave keeps its clock source (the settings check asks).
    boxes.QueueAnswer(IDNO);
    // The first session made is refused: it is the slave's.
    ASSERT_EQ(TQ8Sim_InjectResult("CreateRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    EXPECT_FALSE(controller->Start());
    EXPECT_TRUE(Contains(boxes.LastText(), L"Failed to create recording session: ")) << boxes.LastText();
    EXPECT_TRUE(Contains(boxes.LastText(), Name(1)));

    boxes.QueueAnswer(IDNO);
    ASSERT_TRUE(controller->Start()) << boxes.LastText();
    boxes.Clear();
    EXPECT_EQ(controller->GetRecordingSet(), (std::vector<TQ8_HANDLE>{handles[1], handles[0]}));
    EXPECT_EQ(controller->GetRunningCount(), 2);
    EXPECT_EQ(controller->GetExpectedTotal(), 2u << 20);
    EXPECT_TRUE(host.controlsRecording);
    EXPECT_FALSE(host.marquee);
    EXPECT_TRUE(host.HasStatus(L"Recording armed; 2 devices"));
    EXPECT_TRUE(docs[0]->IsRecording() && docs[1]->IsRecording());
    EXPECT_EQ(Bits(0) & 0x1F, 0x7u);

    ASSERT_TRUE(TickUntil([&] { return !controller->IsRecording(); }));
    EXPECT_EQ(host.progress, 10000);
    EXPECT_TRUE(Contains(host.states[handles[0]], L", 100%, Complete")) << host.states[handles[0]];
    EXPECT_EQ(Bits(0) & 0x1F, 0x9u);
    EXPECT_FALSE(docs[0]->IsRecording());
    EXPECT_TRUE(host.HasStatus(L"Recording ended"));
    EXPECT_EQ(controller->GetAmountRecorded(), 2u << 20);
    // Not stopped by the user: the completion box, with the notes of the out flags.
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"Recording complete", 0), 0u);
    if (manager.GetDeviceParams(handles[1]).RecParams.OutFlags & 2) {
        EXPECT_TRUE(Contains(boxes.LastText(), L"\n\nNotes:\n\n" + Name(1) + L":\n  - No timestamps were generated\n"));
    }
}

TEST_F(RecordBoardsTest, CreateAndArmFailuresEndWhatWasMade)
{
    Select({0, 2});
    // The second board is not ready: the first one's session goes again.
    CRecParamsManager other;
    CRecParamsManager::CDevState& busy = other.GetDeviceParams(handles[2]);
    busy.RecParams.DestFileOpts.Pathname1 = vlt::Utf8ToWide((dir / "busy.rd8").string());
    ASSERT_TRUE(busy.RecParams.BuildSessionParams(handles[2], other, busy.SessionParams, nullptr));
    ASSERT_TRUE(docs[2]->CreateRecordingSession(other, busy)) << boxes.LastText();
    EXPECT_FALSE(controller->Start());
    EXPECT_NE(boxes.LastText().find(L"Cannot ready recording: "), std::wstring::npos);
    EXPECT_EQ(docs[0]->GetRecordingSession(), nullptr);
    EXPECT_EQ(Bits(0) & 0x6, 0u);
    EXPECT_FALSE(controller->IsRecording());
    EXPECT_FALSE(host.HasStatus(L"Recording ended"));
    docs[2]->EndRecordingSession(nullptr);

    ASSERT_EQ(TQ8Sim_InjectResult("ArmRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    EXPECT_FALSE(controller->Start());
    EXPECT_NE(boxes.LastText().find(L"Failed to arm recording thread: "), std::wstring::npos);
    EXPECT_EQ(docs[0]->GetRecordingSession(), nullptr);
    EXPECT_EQ(docs[2]->GetRecordingSession(), nullptr);
    EXPECT_FALSE(host.HasStatus(L"Recording ended"));

    // Pausing before arming, cancelled.
    manager.Flags = CRecordController::kFlagPause;
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_FALSE(controller->Start());
    EXPECT_EQ(boxes.LastText(), L"Recording is primed and ready to go. Select OK to arm boards for recording");
    EXPECT_TRUE(host.HasStatus(L"Recording cancelled by user"));
    EXPECT_EQ(docs[2]->GetRecordingSession(), nullptr);

    // Nothing selected, and a default folder that is not there.
    Select({});
    EXPECT_FALSE(controller->Start());
    EXPECT_EQ(host.listFocused, 1);
    controller->DefaultDir = L"  " + vlt::Utf8ToWide((dir / "missing").string());
    EXPECT_FALSE(controller->Start());
    EXPECT_EQ(boxes.LastText(), L"Specified default directory does not exist.");
}

TEST_F(RecordBoardsTest, OneBoardFailsWithAndWithoutKeepingTheOthers)
{
    MakeTimestampsOverflow(handles[2], 500003);
    // The abort option acts only with time-stamp files, as in the dialog.
    manager.GetDeviceParams(handles[2]).RecParams.DestFileOpts.Template.Fwp_flags |=
        TQ8_FWP_TS_BINARY | TQ8_FWP_FAIL_ON_TS_OVERFLOW;
    Select({0, 2});
    Limit(0);
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        boxes.Clear();
        manager.Flags = keep ? CRecordController::kFlagKeepOthers : 0;
        ASSERT_TRUE(controller->Start()) << boxes.LastText();
        EXPECT_TRUE(host.marquee);
        ASSERT_TRUE(TickUntil([&] { return boxes.Count() > 0; }));
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText().rfind(L"A recording error occurred on " + Name(2, true) + L":\n\n", 0), 0u);
        EXPECT_EQ(host.states[handles[2]].rfind(L"ERROR: ", 0), 0u);
        EXPECT_EQ(Bits(2) & 0x18, 0x18u);
        EXPECT_EQ(controller->IsRecording(), keep);
        EXPECT_EQ(docs[0]->IsRecording(), keep);
        controller->Stop();
    }
    // The last board running stops the recording even when others may go on.
    Select({2});
    boxes.Clear();
    ASSERT_TRUE(controller->Start());
    ASSERT_TRUE(TickUntil([&] { return boxes.Count() > 0; }));
    EXPECT_FALSE(controller->IsRecording());
    EXPECT_EQ(docs[2]->GetRecordingSession(), nullptr);
    EXPECT_EQ(boxes.Count(), 1u); // no completion box after the error
}

TEST_F(RecordBoardsTest, LiveOverflowShowsWhileRecordingAndLostSamplesFail)
{
    MakeTimestampsOverflow(handles[2], 500003);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(10), TQ8_OK);
    Select({2});
    Limit(0);
    ASSERT_TRUE(controller->Start()) << boxes.LastText();
    ASSERT_TRUE(TickUntil([&] { return Contains(host.states[handles[2]], L"; TS FIFO overflow: "); }));
    EXPECT_TRUE(docs[2]->IsRecording());
    EXPECT_TRUE(controller->IsRecording());
    EXPECT_TRUE(Contains(host.states[handles[2]], L" dropped"));
    EXPECT_EQ(host.trouble, L"Trouble while recording: " + Name(2, true));
    controller->Stop();
    EXPECT_TRUE(Contains(host.states[handles[2]], L"REC: "));

    // A real-time board outrun by its files.
    ASSERT_EQ(TQ8Sim_SetTimeFactor(0), TQ8_OK);
    ASSERT_EQ(TQ8Sim_SetRecordingStream(8192, 1), TQ8_OK);
    Select({0});
    manager.GetDeviceParams(handles[0]).RecParams.DestFileOpts.Template.Fwp_flags |= TQ8_FWP_TEXT;
    boxes.Clear();
    ASSERT_TRUE(controller->Start()) << boxes.LastText();
    ASSERT_TRUE(TickUntil([&] { return !controller->IsRecording(); }));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_TRUE(Contains(boxes.LastText(), L"Sample data was lost")) << boxes.LastText();
}

TEST_F(RecordBoardsTest, MultipleModeRunsItsRepetitionsAndLogsThem)
{
    Select({2});
    Limit(65536);
    host.multiple = true;
    host.repetitions = 3;
    std::ofstream(dir / "log.txt") << "from before\n";
    std::string expected = rectext::LogHeader();
    uint32_t entries = 0;
    host.onQueue = [&] {
        ++entries;
        expected += rectext::LogEntry(entries, true, L"", controller->GetLongestElapsed(),
                                      controller->GetAmountRecorded());
    };
    // The box was only just checked: the first Begin takes the single run.
    controller->BeginStop();
    ASSERT_TRUE(controller->IsRecording());
    ASSERT_TRUE(doc_tools_test::PumpUntil([&] {
        controller->Tick();
        if (host.queued > 0 && !controller->IsInTick()) {
            --host.queued;
            controller->OnQueuedBeginStop();
        }
        return entries == 3 && host.queued == 0 && !controller->IsRecording();
    }));
    EXPECT_EQ(controller->GetAttempts(), 0u);
    EXPECT_EQ(controller->GetPasses(), 0u);
    EXPECT_EQ(ReadAll(dir / "log.txt"), expected);
    EXPECT_EQ(boxes.Count(), 0u);

    // Repetition 0 only resets the counters.
    host.repetitions = 0;
    controller->BeginStop();
    EXPECT_FALSE(controller->IsRecording());
}

TEST_F(RecordBoardsTest, CompletionNotesAndUserStop)
{
    Select({0, 2});
    ASSERT_TRUE(controller->Start());
    controller->Stop();
    // The sessions are gone: a poll now has no progress to take, and adds up
    // what the stop left in the entries.
    host.states.clear();
    manager.GetDeviceParams(handles[0]).RecordedSamples = 77;
    controller->Tick();
    EXPECT_TRUE(host.states.empty());
    EXPECT_EQ(controller->GetAmountRecorded(), 77u + manager.GetDeviceParams(handles[2]).RecordedSamples);
    EXPECT_EQ(Bits(0) & CRecordController::kStateFinished, 0u);
    manager.GetDeviceParams(handles[0]).RecParams.OutFlags = 0;
    manager.GetDeviceParams(handles[2]).RecParams.OutFlags = 0;
    boxes.Clear();
    controller->ReportCompletion(true);
    EXPECT_EQ(boxes.Count(), 0u);
    manager.GetDeviceParams(handles[2]).RecParams.OutFlags = 3;
    controller->ReportCompletion(true);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_EQ(boxes.LastText(), L"Recording complete\n\nNotes:\n\n" + Name(2)
                                    + L":\n  - Timestamp FIFO overflowed at least once\n"
                                      L"  - No timestamps were generated\n");
}

TEST_F(RecordBoardsTest, SessionThatCannotBeAskedFailsTheBoard)
{
    Select({2});
    Limit(1 << 20);
    // As when the board's server has gone away, or come back without the session.
    for (int32_t code : {TQ8_ERR_CONNECTION_LOST, TQ8_ERR_INVALID_HANDLE}) {
        SCOPED_TRACE(code);
        boxes.Clear();
        ASSERT_TRUE(controller->Start()) << boxes.LastText();
        ASSERT_EQ(TQ8Sim_InjectResult("GetRecordingSessionProgressTQ8", code, 100000), TQ8_OK);
        ASSERT_TRUE(TickUntil([&] { return !controller->IsRecording(); }));
        ASSERT_EQ(TQ8Sim_InjectResult("GetRecordingSessionProgressTQ8", code, 0), TQ8_OK);
        std::wstring text;
        GetErrorTextString(code, text, handles[2]);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), L"A recording error occurred on " + Name(2, true) + L":\n\n" + text);
        EXPECT_EQ(host.states[handles[2]], L"ERROR: " + text);
        EXPECT_EQ(Bits(2) & 0x18, 0x18u);
        EXPECT_EQ(docs[2]->GetRecordingSession(), nullptr);
    }
}

// After a stop each board's row and the figures show what the files hold,
// not the last poll's amount.
TEST_F(RecordBoardsTest, AStopShowsEachBoardsFinalStateAndAmount)
{
    Select({0, 2});
    Limit(uint64_t(1) << 40);
    ASSERT_TRUE(controller->Start()) << boxes.LastText();
    ASSERT_TRUE(TickUntil([&] {
        return manager.GetDeviceParams(handles[0]).RecordedSamples > 0
               && manager.GetDeviceParams(handles[2]).RecordedSamples > 0;
    }));
    controller->Stop();
    uint64_t total = 0;
    for (int i : {0, 2}) {
        const uint64_t held = std::filesystem::file_size(dir / ("board" + std::to_string(500001 + i) + ".rd8"));
        total += held;
        const std::wstring& state = host.states[handles[size_t(i)]];
        EXPECT_EQ(state.rfind(L"REC: " + FormatSampleCount(double(held)) + L", ", 0), 0u) << vlt::WideToUtf8(state);
        EXPECT_TRUE(state.ends_with(L"%, Stopped")) << vlt::WideToUtf8(state);
    }
    EXPECT_EQ(controller->GetAmountRecorded(), total);
    EXPECT_EQ(host.amount, FormatSampleCount(double(total)));
    EXPECT_EQ(host.progress, rectext::ProgressPosition(total, uint64_t(2) << 40));
}

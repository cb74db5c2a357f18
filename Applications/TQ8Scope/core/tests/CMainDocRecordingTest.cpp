// Recording sessions of a board document, on simulated boards.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "DocFakes.h"
#include "ErrorBox.h"
#include "MainDocFixture.h"
#include "RemoteTestHost.h"
#include "TQ8Sim.h"
#include "TextConv.h"

using doc_test::MainDocTest;
using doc_test::TestDoc;

namespace {

class MainDocRecordingTest : public MainDocTest {
protected:
    void SetUp() override
    {
        MainDocTest::SetUp();
        dir = std::make_unique<ScratchDir>();
    }
    void TearDown() override
    {
        docs.clear();
        dir.reset();
        MainDocTest::TearDown();
    }
    // Builds the board's session record into a file in the scratch folder.
    CRecParamsManager::CDevState& Params(TestDoc& doc, uint64_t samples)
    {
        CRecParamsManager::CDevState& state = manager.GetDeviceParams(doc.GetDeviceHandle());
        state.RecParams.RecDurType = samples ? CRecParams::kDurSamples : CRecParams::kDurNoLimit;
        state.RecParams.DurSamples = samples;
        state.RecParams.AcqSamples = 65536;
        state.RecParams.DestFileOpts.Pathname1 = L"rec" + std::to_wstring(++files) + L".rd8";
        const std::wstring base = vlt::Utf8ToWide(dir->Str());
        EXPECT_TRUE(state.RecParams.BuildSessionParams(doc.GetDeviceHandle(), manager, state.SessionParams,
                                                       base.c_str()));
        return state;
    }
    TQ8_REC_SESSION_PROGRESS Progress(TestDoc& doc)
    {
        TQ8_REC_SESSION_PROGRESS p{};
        p.Rpr_ss = sizeof p;
        GetRecordingSessionProgressTQ8(doc.GetRecordingSession(), &p, 0);
        if (p.Rpr_errorText)
            FreeMemoryTQ8(p.Rpr_errorText);
        return p;
    }

    CRecParamsManager manager;
    std::unique_ptr<ScratchDir> dir;
    int files = 0;
};

} // namespace

TEST_F(MainDocRecordingTest, ArmedSessionMarksTheDocumentAndEndsCleanly)
{
    TestDoc& doc = NewDoc();
    CRecParamsManager::CDevState& params = Params(doc, 0);
    ASSERT_TRUE(doc.CreateRecordingSession(manager, params));
    ASSERT_NE(doc.GetRecordingSession(), nullptr);
    EXPECT_FALSE(doc.IsRecording());
    doc.hints.clear();
    ASSERT_TRUE(doc.ArmRecordingSession());
    EXPECT_TRUE(doc.IsRecording());
    EXPECT_FALSE(doc.IsIdle());
    EXPECT_EQ(doc.hints, (std::vector<int>{dochint::kAcquisitionState}));
    // The plot may not read board memory while a recording runs, data or not.
    EXPECT_EQ(doc.SafeToObtainChannelData(0), CMainDoc::kArbiterNo);
    ASSERT_TRUE(doc_test::PumpUntil([&] { return Progress(doc).Rpr_samplesRecorded > 0; }));

    uint32_t outFlags = 0xFFFFFFFFu;
    ASSERT_TRUE(doc.EndRecordingSession(&outFlags));
    EXPECT_EQ(doc.GetRecordingSession(), nullptr);
    EXPECT_FALSE(doc.IsRecording());
    EXPECT_TRUE(doc.IsIdle());
    EXPECT_EQ(outFlags & ~3u, 0u);
    EXPECT_EQ(doc.hints.back(), dochint::kAcquisitionState);
    // Ending again does nothing more.
    const size_t hints = doc.hints.size();
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
    EXPECT_EQ(doc.hints.size(), hints);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(MainDocRecordingTest, RecordingNeedsAnIdleBoardAndOneSession)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    TestDoc& doc = NewDoc();
    doc.SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    EXPECT_FALSE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_NE(boxes.LastText().find(L"Cannot ready recording: "), std::wstring::npos);
    doc.StopAcquisition();
    ASSERT_TRUE(WaitIdle(doc));
    TQ8Sim_SetTimeFactor(doc_test::kFastTime);
    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20))) << boxes.LastText();
    TQ8_REC_SESSION first = doc.GetRecordingSession();
    // A second create would lose the first session.
    boxes.Clear();
    EXPECT_FALSE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_NE(boxes.LastText().find(L"Cannot ready recording: "), std::wstring::npos);
    EXPECT_EQ(doc.GetRecordingSession(), first);
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
}

TEST_F(MainDocRecordingTest, ABoardWithoutADestinationFileIsToldSo)
{
    TestDoc& doc = NewDoc();
    CRecParamsManager::CDevState& params = Params(doc, 1 << 20);
    CDestFileOpts& files = params.RecParams.DestFileOpts;
    const std::wstring base = vlt::Utf8ToWide(dir->Str());
    const auto rebuild = [&] {
        EXPECT_TRUE(params.RecParams.BuildSessionParams(doc.GetDeviceHandle(), manager, params.SessionParams,
                                                        base.c_str()));
    };
    files.Pathname1.clear();
    rebuild();
    EXPECT_FALSE(doc.CreateRecordingSession(manager, params));
    std::wstring name;
    ASSERT_EQ(GetBoardNameString(doc.GetDeviceHandle(), name, kErrorBoxNameFlags), 0);
    EXPECT_EQ(boxes.LastText(), name + L": Failed to create recording session: no destination file is given. Select "
                                       L"the device in the list and enter its destination file.");
    EXPECT_EQ(doc.GetRecordingSession(), nullptr);
    // Deinterleaved channels may name their files without the first.
    files.Template.Fwp_flags |= TQ8_FWP_DEINTERLEAVE;
    files.Pathname2 = L"second.rd8";
    rebuild();
    ASSERT_TRUE(doc.CreateRecordingSession(manager, params)) << boxes.LastText();
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
}

TEST_F(MainDocRecordingTest, LibraryFailuresAreReportedAndLeaveNoSession)
{
    TestDoc& doc = NewDoc();
    ASSERT_EQ(TQ8Sim_InjectResult("CreateRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_NE(boxes.LastText().find(L"Failed to create recording session: "), std::wstring::npos);
    EXPECT_EQ(doc.GetRecordingSession(), nullptr);

    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    ASSERT_EQ(TQ8Sim_InjectResult("ArmRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc.ArmRecordingSession());
    EXPECT_NE(boxes.LastText().find(L"Failed to arm recording thread: "), std::wstring::npos);
    EXPECT_EQ(doc.GetRecordingSession(), nullptr);
    EXPECT_FALSE(doc.IsRecording());
}

TEST_F(MainDocRecordingTest, ARecordingThatDoesNotStartGivesThePlotItsBoardSourceBack)
{
    TestDoc& doc = NewDoc();
    doc_test::FakeScopePanel panel;
    doc.SetScopeFormView(&panel);
    // A session the library refuses: the source is never taken.
    ASSERT_EQ(TQ8Sim_InjectResult("CreateRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_EQ(panel.boardRemovals, 0);
    EXPECT_EQ(panel.boardSources, 0);
    // Arming fails: the source comes back, once.
    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_EQ(panel.boardRemovals, 1);
    ASSERT_EQ(TQ8Sim_InjectResult("ArmRecordingSessionTQ8", TQ8_ERR_GENERAL, 1), 0);
    EXPECT_FALSE(doc.ArmRecordingSession());
    EXPECT_EQ(panel.boardSources, 1);
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
    EXPECT_EQ(panel.boardSources, 1);
    // Ended before arming (the user cancelled, another board failed): back as well.
    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
    EXPECT_EQ(panel.boardSources, 2);
    // A board that had no source gets none.
    panel.hasBoardSource = false;
    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
    EXPECT_EQ(panel.boardSources, 2);
    // A recording that ran leaves the plot without the board's source.
    panel.hasBoardSource = true;
    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    ASSERT_TRUE(doc.ArmRecordingSession());
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
    EXPECT_EQ(panel.boardSources, 2);
}

TEST_F(MainDocRecordingTest, RefusedSettingsCheckStopsTheRecording)
{
    TestDoc& doc = NewDoc();
    ASSERT_EQ(SetTriggerModeTQ8(doc.GetDeviceHandle(), 1), 0);
    ASSERT_EQ(SetSegmentSizeTQ8(doc.GetDeviceHandle(), 0), 0);
    if (GetSegmentSizeTQ8(doc.GetDeviceHandle(), 1) != 0)
        GTEST_SKIP() << "the board keeps a segment size";
    EXPECT_FALSE(doc.CreateRecordingSession(manager, Params(doc, 1 << 20)));
    EXPECT_NE(boxes.LastText().find(L"no Segment Size has been selected"), std::wstring::npos);
    EXPECT_EQ(doc.GetRecordingSession(), nullptr);
}

TEST_F(MainDocRecordingTest, SnapshotFieldsOfTheSessionRecord)
{
    TestDoc& doc = NewDoc();
    manager.SnapshotSamples = 4096;
    manager.SnapshotFreqMs = 1500;
    CRecParamsManager::CDevState& params = Params(doc, 1 << 20);
    doc_test::FakeScopePanel panel;
    doc.SetScopeFormView(&panel);
    ASSERT_TRUE(doc.PrepareRecordingSnapshot(manager, params));
    EXPECT_TRUE(params.SessionParams.Rsp_flags & TQ8_RSP_FLAG_SNAPSHOTS);
    EXPECT_EQ(params.SessionParams.Rsp_snapshotSamples, 4096u);
    // A virtual board snapshots by time.
    EXPECT_EQ(params.SessionParams.Rsp_snapshotIntervalCount, 0u);
    EXPECT_EQ(params.SessionParams.Rsp_snapshotIntervalMs, 1500u);
    EXPECT_EQ(panel.snapshotRemovals, 1);
    EXPECT_EQ(doc.GetSnapshotBufferSize(), 4096u);
}

TEST(MainDocSnapshotInterval, CountsTransfersPerWholeSeconds)
{
    // 1500 MS/s in 1 MiS transfers: 1430 transfers a second.
    EXPECT_EQ(CMainDoc::SnapshotIntervalCount(1500.0, 1048576, 1000), 1430u);
    EXPECT_EQ(CMainDoc::SnapshotIntervalCount(1500.0, 1048576, 2999), 2860u);
    // Less than a whole second, no transfer count or no rate: by time instead.
    EXPECT_EQ(CMainDoc::SnapshotIntervalCount(1500.0, 1048576, 999), 0u);
    EXPECT_EQ(CMainDoc::SnapshotIntervalCount(1500.0, 0, 1000), 0u);
    EXPECT_EQ(CMainDoc::SnapshotIntervalCount(std::nan(""), 65536, 1000), 0u);
    EXPECT_EQ(CMainDoc::SnapshotIntervalCount(-5.0, 65536, 1000), 0u);
    // A count beyond 32 bits is held at the largest one, never wrapped.
    EXPECT_EQ(CMainDoc::SnapshotIntervalCount(1e12, 1, UINT32_MAX), UINT32_MAX);
}

TEST_F(MainDocRecordingTest, SnapshotBufferOnlyGrows)
{
    TestDoc& doc = NewDoc();
    ASSERT_EQ(doc.AllocateSnapshotBuffer(8192, false), 0);
    const uint8_t* first = doc.GetSnapshotBuffer();
    ASSERT_EQ(doc.AllocateSnapshotBuffer(4096, false), 0);
    EXPECT_EQ(doc.GetSnapshotBuffer(), first);
    EXPECT_EQ(doc.GetSnapshotBufferSize(), 8192u);
    ASSERT_EQ(doc.AllocateSnapshotBuffer(16384, false), 0);
    EXPECT_EQ(doc.GetSnapshotBufferSize(), 16384u);
    ASSERT_EQ(doc.AllocateSnapshotBuffer(4096, true), 0);
    EXPECT_EQ(doc.GetSnapshotBufferSize(), 4096u);
}

TEST_F(MainDocRecordingTest, SnapshotsReachTheScopePanelWithinTheBuffer)
{
    TestDoc& doc = NewDoc();
    doc_test::FakeScopePanel panel;
    doc.SetScopeFormView(&panel);
    manager.SnapshotSamples = 4096;
    manager.SnapshotFreqMs = 1;
    CRecParamsManager::CDevState& params = Params(doc, 0);
    ASSERT_TRUE(doc.CreateRecordingSession(manager, params));
    ASSERT_TRUE(doc.ArmRecordingSession());
    EXPECT_EQ(panel.boardRemovals, 1);
    // The setting grows after the buffer was made: the read stays within it.
    manager.SnapshotSamples = 1 << 20;
    ASSERT_TRUE(doc_test::PumpUntil([&] {
        doc.ShowRecordingSnapshot(manager);
        return !panel.snapshots.empty();
    }));
    EXPECT_GT(panel.snapshots[0].first, 0u);
    EXPECT_LE(panel.snapshots[0].first, 4096u);
    EXPECT_EQ(doc.GetSnapshotSamples(), panel.snapshots[0].first);
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
    // Without a session nothing is fetched.
    const size_t shown = panel.snapshots.size();
    doc.ShowRecordingSnapshot(manager);
    EXPECT_EQ(panel.snapshots.size(), shown);
}

TEST_F(MainDocRecordingTest, ClosingTheDocumentEndsItsRecording)
{
    TestDoc& doc = NewDoc();
    const TQ8_HANDLE board = doc.GetDeviceHandle();
    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 0)));
    ASSERT_TRUE(doc.ArmRecordingSession());
    ASSERT_TRUE(doc_test::PumpUntil([&] { return Progress(doc).Rpr_samplesRecorded > 0; }));
    doc.CloseDocument();
    EXPECT_EQ(doc.GetRecordingSession(), nullptr);
    EXPECT_FALSE(doc.IsRecording());
    EXPECT_EQ(doc.GetDeviceHandle(), nullptr);
    EXPECT_EQ(devices->GetDocument(board), nullptr);
    docs.clear();
    // The data recorded up to the close is on disk.
    uintmax_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir->Str()))
        if (entry.path().extension() == ".rd8")
            bytes += entry.file_size();
    EXPECT_GT(bytes, 0u);
}

TEST_F(MainDocRecordingTest, DestroyingWhileRecordingJoinsTheSession)
{
    TestDoc& doc = NewDoc();
    ASSERT_TRUE(doc.CreateRecordingSession(manager, Params(doc, 0)));
    ASSERT_TRUE(doc.ArmRecordingSession());
    docs.clear();
    EXPECT_EQ(boxes.Count(), 0u);
}

// A refused session says which setting is at fault after the library's text.
TEST_F(MainDocRecordingTest, ARefusedSessionNamesTheSettingAtFault)
{
    TestDoc& doc = NewDoc();
    ASSERT_EQ(SetActiveChannelsTQ8(doc.GetDeviceHandle(), 0), TQ8_OK); // four channels
    std::wstring invalid;
    GetErrorTextString(TQ8_ERR_INVALID_ARG, invalid, doc.GetDeviceHandle());
    const auto refused = [&](const std::function<void(CRecParamsManager::CDevState&)>& change) {
        boxes.Clear();
        CRecParamsManager::CDevState& params = Params(doc, 1 << 20);
        change(params);
        const std::wstring base = vlt::Utf8ToWide(dir->Str());
        EXPECT_TRUE(params.RecParams.BuildSessionParams(doc.GetDeviceHandle(), manager, params.SessionParams,
                                                        base.c_str()));
        EXPECT_FALSE(doc.CreateRecordingSession(manager, params));
        EXPECT_EQ(doc.GetRecordingSession(), nullptr);
        const std::wstring text = boxes.LastText();
        const size_t reason = text.find(L"Failed to create recording session: ");
        EXPECT_NE(reason, std::wstring::npos) << vlt::WideToUtf8(text);
        return text.substr(reason == std::wstring::npos ? 0 : reason);
    };
    std::wstring text = refused([&](auto& p) { p.RecParams.AcqSamples = 2; });
    EXPECT_EQ(text.rfind(L"Failed to create recording session: " + invalid + L"\n\n", 0), 0u) << vlt::WideToUtf8(text);
    EXPECT_NE(text.find(L"acquisition size of 2 samples"), std::wstring::npos) << vlt::WideToUtf8(text);
    text = refused([&](auto& p) { p.RecParams.AcqSamples = 0xFFFFFFF0u; });
    EXPECT_NE(text.find(L"acquisition size of 4,294,967,280 samples"), std::wstring::npos) << vlt::WideToUtf8(text);

    manager.SnapshotSamples = 0;
    text = refused([&](auto&) {});
    EXPECT_NE(text.find(L"snapshot length"), std::wstring::npos) << vlt::WideToUtf8(text);
    manager.SnapshotSamples = 8192;

    text = refused([&](auto& p) {
        p.RecParams.DestFileOpts.SpanFiles = 1;
        p.RecParams.DestFileOpts.SpanBytes = 512;
        p.RecParams.DestFileOpts.SkipHdr = 1;
        p.RecParams.DestFileOpts.SkipBytes = 512;
    });
    EXPECT_NE(text.find(L"static file size of 512 bytes"), std::wstring::npos) << vlt::WideToUtf8(text);
    text = refused([&](auto& p) {
        p.RecParams.DestFileOpts.SpanFiles = 1;
        p.RecParams.DestFileOpts.Template.Fwp_flags |= TQ8_FWP_TEXT;
    });
    EXPECT_NE(text.find(L"binary files only"), std::wstring::npos) << vlt::WideToUtf8(text);
}

// A remote board records on its server: a destination that is no path there
// is refused before anything starts, with the path tried.
TEST_F(MainDocRecordingTest, ARemoteBoardNeedsAPathOnItsServer)
{
    const std::filesystem::path root = dir->Str() + "/served";
    std::filesystem::create_directories(root);
    RemoteTestHost server(root.string());
    ASSERT_TRUE(server.Started());
    TQ8_HANDLE remote = devices->ConnectRemoteDevice(L"127.0.0.1", server.Port(), 4711, true, true);
    ASSERT_NE(remote, nullptr);
    docs.push_back(std::make_unique<TestDoc>(nullptr, devices.get(), remote, docstate::kLimitPlotData));
    TestDoc& doc = *docs.back();
    CRecParamsManager::CDevState& params = manager.GetDeviceParams(remote);
    params.RecParams.DestFileOpts.Pathname1 = L"relrec.rd8";
    for (const std::wstring& base : {std::wstring(), vlt::Utf8ToWide(root.string())}) {
        boxes.Clear();
        ASSERT_TRUE(params.RecParams.BuildSessionParams(remote, manager, params.SessionParams,
                                                        base.empty() ? nullptr : base.c_str()));
        EXPECT_FALSE(doc.CreateRecordingSession(manager, params));
        EXPECT_EQ(doc.GetRecordingSession(), nullptr);
        const std::wstring tried = base.empty() ? L"relrec.rd8" : base + L"/relrec.rd8";
        EXPECT_NE(boxes.LastText().find(L"\"" + tried + L"\""), std::wstring::npos) << vlt::WideToUtf8(boxes.LastText());
        EXPECT_NE(boxes.LastText().find(L"C:\\recs\\file.rd8"), std::wstring::npos);
    }
    // A server path outside its served folders: the server's refusal names it.
    params.RecParams.DestFileOpts.Pathname1 = L"D:\\remote.rd8";
    ASSERT_TRUE(params.RecParams.BuildSessionParams(remote, manager, params.SessionParams, nullptr));
    EXPECT_FALSE(doc.CreateRecordingSession(manager, params));
    EXPECT_NE(boxes.LastText().find(L"\n\n\"D:\\remote.rd8\" is outside the folders the server shares."),
              std::wstring::npos)
        << vlt::WideToUtf8(boxes.LastText());
    params.RecParams.DestFileOpts.Pathname1 = L"C:\\remote.rd8";
    ASSERT_TRUE(params.RecParams.BuildSessionParams(remote, manager, params.SessionParams, nullptr));
    EXPECT_TRUE(doc.CreateRecordingSession(manager, params)) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_TRUE(doc.EndRecordingSession(nullptr));
    docs.pop_back();
    devices->ReleaseDevice(remote);
}

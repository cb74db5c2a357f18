#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "CChildFrame.h"

#include <QTest>
#include "CWorkspaceTQ8.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "ShellFixture.h"

TEST_F(ShellTest, StartUpWithVirtualOpensOneDocumentOnAVirtualBoard)
{
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    CMainFrame* frame = app->GetMainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("TQ3300 Scope"));
    auto documents = frame->GetDocuments();
    ASSERT_EQ(documents.size(), 1u);
    TQ8_HANDLE board = documents[0]->GetDeviceHandle();
    ASSERT_NE(board, nullptr);
    EXPECT_GT(IsDeviceVirtualTQ8(board), 0);
    EXPECT_EQ(documents[0]->GetStateFlags() & docstate::kHandOver, docstate::kLimitPlotData);
    EXPECT_FALSE(documents[0]->GetTitle().empty());
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(frame->isVisible());
    frame->close();
    app->ShutDown();
    // The options file is written beside the program at shutdown.
    std::ifstream options(Dir().Str() + "/DefWsOpts.xml");
    std::string text((std::istreambuf_iterator<char>(options)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<appflags>1</appflags>"), std::string::npos);
}

TEST_F(ShellTest, StartTypeChoice)
{
    CWorkspaceTQ8 ws(*app);
    CMyCommandLineInfo info;
    std::wstring path;
    info.m_bVirtual = true;
    EXPECT_EQ(ws.ChooseStartType(info, path), 3);
    info.m_strWorkspaceFile = L"/x/y.tq8ws";
    EXPECT_EQ(ws.ChooseStartType(info, path), 4);
    EXPECT_EQ(path, L"/x/y.tq8ws");
    CMyCommandLineInfo none;
    app->GetPersistentOpts().SetItemInt(opts::kAppStartupType, 3);
    EXPECT_EQ(ws.ChooseStartType(none, path), 0);
    app->GetPersistentOpts().SetItemInt(opts::kAppStartupType, 7);
    EXPECT_EQ(ws.ChooseStartType(none, path), 5);
    // The last workspace only when its file is still there.
    app->GetPersistentOpts().SetItemInt(opts::kAppStartupType, 1);
    app->SetLastWorkspacePath(Folder() + L"/gone.tq8ws");
    EXPECT_EQ(ws.ChooseStartType(none, path), 5);
    std::ofstream(Dir().Str() + "/last.tq8ws") << "x";
    app->SetLastWorkspacePath(Folder() + L"/last.tq8ws");
    EXPECT_EQ(ws.ChooseStartType(none, path), 4);
    EXPECT_EQ(path, Folder() + L"/last.tq8ws");
}

TEST_F(ShellTest, FailedWorkspaceStartEndsStartUp)
{
    FakeWorkspace& ws = UseFakes();
    ws.startResult = false;
    EXPECT_FALSE(app->StartUp({}));
}

TEST_F(ShellTest, AppFlagsKeepOnlyTheStoredBits)
{
    {
        std::ofstream(Dir().Str() + "/DefWsOpts.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TQ8_ScopeAppWsOpts><appflags>255</appflags>"
               "</TQ8_ScopeAppWsOpts>\n";
    }
    UseFakes();
    app->SetAppFlags(0x100, 0xFFFFFFFF);
    ASSERT_TRUE(app->StartUp({}));
    EXPECT_EQ(app->GetAppFlags(), 0x107u);
    EXPECT_EQ(app->SetAppFlags(0, 0x2), 0x105u);
    app->PersistAppFlags(false);
    uint32_t stored = 0;
    app->GetPersistentOpts().GetItemUInt(opts::kAppFlags, stored, 0);
    EXPECT_EQ(stored, 0x5u);
}

TEST_F(ShellTest, DamagedOptionsFileIsKeptAsideAndReportedOnce)
{
    const std::string path = Dir().Str() + "/DefWsOpts.xml";
    const std::string bytes = "<?xml version=\"1.0\"?>\n<TQ8_ScopeAppWsOpts><fft_opts_fftsize>4096</fft_opts_fftsize>"
                              "<rec_notes>R&D</rec_notes></TQ8_ScopeAppWsOpts>\n";
    std::ofstream(path) << bytes;
    UseFakes();
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"The options file '" + Folder() + L"/DefWsOpts.xml' could not be read (Failed to "
                                L"load workspace options file: '" + Folder() + L"/DefWsOpts.xml' is not well-formed "
                                L"XML (line 2: EntityRef: expecting ';')).\n\nIt was kept as '" + Folder()
                                    + L"/DefWsOpts.xml.bad'; the program starts with default options.");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONWARNING);
    app->GetMainFrame()->close();
    app->ShutDown();
    EXPECT_EQ(boxes.Count(), 1u);
    std::ifstream kept(path + ".bad");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()), bytes);
    CPersistentOpts written;
    EXPECT_TRUE(written.Load(vlt::Utf8ToWide(path).c_str()));

    // The next start finds a good file: no notice.
    app = std::make_unique<CMainApp>();
    app->SetProgramFolder(Folder());
    UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ShellTest, FailedOptionsSaveAtExitIsShown)
{
    UseFakes();
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({}));
    EXPECT_EQ(boxes.Count(), 0u);
    // A folder that took the file's place meanwhile is not written over.
    std::filesystem::create_directory(Dir().Str() + "/DefWsOpts.xml");
    app->GetMainFrame()->close();
    app->ShutDown();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Failed to save workspace options file: Cannot write '" + Folder()
                                    + L"/DefWsOpts.xml': not a regular file")
        << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OK | MB_ICONERROR);
}

TEST_F(ShellTest, PlainSettingsFileIsAppliedAfterTheWorkspaceStarts)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ws.selection = {FakeHandle(0x10)};
    std::ofstream(Dir().Str() + "/b.tq8set") << "<x/>";
    const std::wstring file = Folder() + L"/b.tq8set";
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDYES);
    ASSERT_TRUE(app->StartUp({file}));
    EXPECT_EQ(app->GetCommandLineFile(), file);
    EXPECT_EQ(app->GetCommandLineInfo().m_nShellCommand, CMyCommandLineInfo::FileNothing);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Load saved hardware settings into selected TQ3300 device(s)?");
    EXPECT_EQ(ws.lastPrompt, L"Please select the device(s) for which to apply the hardware settings file");
    ASSERT_EQ(docs.size(), 1u);
    QTRY_COMPARE_WITH_TIMEOUT(docs[0]->applied, 1, 10000);
}

TEST_F(ShellTest, CancelOfTheSettingsQuestionEndsStartUp)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ws.selection = {FakeHandle(0x10)};
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_FALSE(app->StartUp({Folder() + L"/b.tq8set"}));
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ShellTest, UnknownCommandLineFileIsIgnored)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ws.selection = {FakeHandle(0x10)};
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({Folder() + L"/gone.tq8ws"}));
    EXPECT_EQ(app->GetMainFrame()->GetCommandLineFileKind(), 0);
    EXPECT_TRUE(ws.lastPrompt.empty());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ShellTest, AWorkspaceArgumentThatIsNoRegularFileIsRefusedWithTheReason)
{
    const std::string fifo = Dir().Str() + "/pipe.tq8ws";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    vlt::MessageBoxRecorder boxes;
    EXPECT_FALSE(app->StartUp({vlt::Utf8ToWide(fifo)}));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to read workspace data: ", 0), 0u) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_NE(boxes.LastText().find(L"not a regular file"), std::wstring::npos);
}

// A start that ends says why on standard error as well as in its boxes: a
// program started from a script or a desktop entry must not just vanish.
TEST_F(ShellTest, AStartThatEndsSaysWhyOnStandardError)
{
    std::ofstream(Dir().Str() + "/half.tq8ws") << "<?xml version=\"1.0\"?><TQ8Scope_Workspace><Devices><Dev";
    vlt::MessageBoxRecorder boxes;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(app->StartUp({Folder() + L"/half.tq8ws"}));
    std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to read workspace data: ", 0), 0u) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_NE(said.find("TQ3300 Scope: the first workspace could not be set up (Failed to read workspace data); the "
                        "program ends.\n"),
              std::string::npos)
        << said;

    app = std::make_unique<CMainApp>();
    app->SetProgramFolder(Folder());
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ws.selection = {FakeHandle(0x10)};
    boxes.QueueAnswer(IDCANCEL);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(app->StartUp({Folder() + L"/b.tq8set"}));
    said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("TQ3300 Scope: the file named on the command line was not applied (cancelled); the program "
                        "ends.\n"),
              std::string::npos)
        << said;
}

TEST_F(ShellTest, SaveWithoutAPathAsksForOneNamedTQ3300Workspace)
{
    FakeWorkspace& ws = UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    vlt::FileDialogRequest seen;
    auto previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) {
        seen = r;
        return std::optional<std::wstring>(L"/tmp/new.tq8ws");
    });
    EXPECT_TRUE(app->OnFileSaveWorkspace());
    vlt::SetFileDialogHandler(previous);
    EXPECT_FALSE(seen.open);
    EXPECT_EQ(seen.fileName, L"TQ3300 Workspace");
    EXPECT_EQ(seen.title, L"Save TQ3300 Workspace As");
    EXPECT_EQ(ws.savedTo, L"/tmp/new.tq8ws");
    EXPECT_EQ(app->GetMainFrame()->GetStatusText(), L"Workspace data saved to: /tmp/new.tq8ws");
}

TEST_F(ShellTest, PromptBeforeNewWorkspaceStopsWhenTheSaveFails)
{
    FakeWorkspace& ws = UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    ws.modified = true;
    ws.path = L"/tmp/w.tq8ws";
    ws.saveResult = false;
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDYES);
    EXPECT_FALSE(app->PromptSaveWorkspace(true));
    EXPECT_EQ(boxes.LastText(), L"Current workspace has been modified. Save changes before loading new workspace?");
    EXPECT_EQ(ws.saves, 1);
    // No: asked once, then not again until a load or creation completed.
    boxes.QueueAnswer(IDNO);
    EXPECT_TRUE(app->PromptSaveWorkspace(false));
    EXPECT_EQ(boxes.LastText(), L"Current workspace has been modified. Save changes before creating new workspace?");
    EXPECT_TRUE(app->PromptSaveWorkspace(true));
    EXPECT_EQ(boxes.Count(), 2u);
    app->AfterWorkspaceLoad();
    EXPECT_FALSE(app->PromptSaveWorkspace(true)); // asks again; the close answer is Cancel
    EXPECT_EQ(boxes.Count(), 3u);
}

TEST_F(ShellTest, ClosingAsksOnceAndHonoursCancel)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    ws.modified = true;
    ws.path = L"/tmp/w.tq8ws";
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Workspace has been modified. Save now?");
    EXPECT_EQ(boxes.Boxes()[0].style, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(ws.saves, 0);
    EXPECT_EQ(docs[0]->closed, 0);
    // Every document hears "before a workspace save" before the question.
    ASSERT_FALSE(docs[0]->notifications.empty());
    EXPECT_EQ(docs[0]->notifications.back(), 2);

    boxes.QueueAnswer(IDNO);
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(docs.size(), 1u);
    EXPECT_TRUE(frame->GetDocuments().empty());
    EXPECT_TRUE(ws.interactive); // restored after the documents closed
}

TEST_F(ShellTest, FailedSaveOnExitKeepsTheProgramRunning)
{
    FakeWorkspace& ws = UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    ws.modified = true;
    ws.path = L"/tmp/w.tq8ws";
    ws.saveResult = false;
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDYES);
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(ws.saves, 1);
    ws.saveResult = true;
    boxes.QueueAnswer(IDYES);
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(ws.saves, 2);
}

TEST_F(ShellTest, UnnamedWorkspaceWithFlagBit2ClosesWithoutAsking)
{
    FakeWorkspace& ws = UseFakes();
    ASSERT_TRUE(app->StartUp({}));
    ws.modified = true;
    app->SetAppFlags(0x4, 0x4);
    vlt::MessageBoxRecorder boxes;
    EXPECT_TRUE(app->SaveModifiedWorkspace());
    EXPECT_EQ(boxes.Count(), 0u);
    ws.path = L"/tmp/w.tq8ws";
    EXPECT_FALSE(app->SaveModifiedWorkspace());
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ShellTest, DocumentWindowDoesNotCloseWhileRecording)
{
    FakeWorkspace& ws = UseFakes();
    ws.boards = {FakeHandle(0x10)};
    ASSERT_TRUE(app->StartUp({}));
    ASSERT_EQ(docs.size(), 1u);
    docs[0]->flags |= docstate::kRecording;
    CChildFrame* child = app->GetMainFrame()->FindChildFrame(docs[0]);
    ASSERT_NE(child, nullptr);
    vlt::MessageBoxRecorder boxes;
    EXPECT_FALSE(child->close());
    EXPECT_EQ(boxes.LastText(), L"Cannot close TQ3300; this device is currently in a data recording");
    EXPECT_EQ(docs[0]->closed, 0);
    docs[0]->flags &= ~docstate::kRecording;
    EXPECT_TRUE(child->close());
    EXPECT_EQ(docs[0]->closed, 1);
}

// The main frame's record command and its questions while a recording runs,
// with a stand-in window made by the registered factory.
#include <gtest/gtest.h>

#include <QAction>
#include <QPointer>
#include <QWidget>

#include "CRecParamsManager.h"
#include "CommandIds.h"
#include "MessageBox.h"
#include "ShellFixture.h"

namespace {

class FakeRecordWindow : public QWidget, public IRecordingWindow {
public:
    explicit FakeRecordWindow(QWidget* owner) : QWidget(owner, Qt::Dialog) {}
    QWidget* GetWidget() override { return this; }
    bool IsRecording() const override { return recording; }
    void StopRecording() override
    {
        ++stops;
        recording = false;
    }
    void AddDevice(TQ8_HANDLE) override {}
    void RemoveDevice(TQ8_HANDLE) override {}
    void RefreshDeviceNames() override {}
    bool recording = false;
    int stops = 0;
};

class RecordCommandTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        CMainFrame::RecordingWindowFactory() = [this](QWidget* owner, CRecParamsManager& manager,
                                                      CPersistentOpts* options) -> IRecordingWindow* {
            ++made;
            EXPECT_EQ(&manager, &recParams);
            EXPECT_NE(options, nullptr);
            window = new FakeRecordWindow(owner);
            return window;
        };
    }
    void TearDown() override
    {
        CMainFrame::RecordingWindowFactory() = nullptr;
        ShellTest::TearDown();
    }
    CRecParamsManager recParams;
    QPointer<FakeRecordWindow> window;
    int made = 0;
};

} // namespace

TEST_F(RecordCommandTest, CommandTogglesTheWindowAndNewWorkspaceAsksWhileRecording)
{
    UseFakes().recParams = &recParams;
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    frame->UpdateCommandUI();
    ASSERT_TRUE(frame->CommandAction(cmd::kRecord)->isEnabled());
    ASSERT_TRUE(frame->OnCommand(cmd::kRecord));
    ASSERT_EQ(made, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(frame->GetRecordingWindow(), window.data());
    ASSERT_TRUE(frame->OnCommand(cmd::kRecord));
    EXPECT_FALSE(window->isVisible());
    frame->StopRecording();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->stops, 1);
    EXPECT_EQ(made, 1);

    window->recording = true;
    boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(frame->CloseRecordingWindow(true));
    EXPECT_EQ(boxes.LastText(), L"Loading a new workspace will stop the current recording. Continue with the new workspace?");
    ASSERT_TRUE(window);
    // Closing the program asks too.
    boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(boxes.LastText(),
              L"Closing the application will terminate the current recording. Are you sure you would like to quit?");
    ASSERT_TRUE(window);
    boxes.QueueAnswer(IDYES);
    EXPECT_TRUE(frame->CloseRecordingWindow(false));
    EXPECT_EQ(boxes.LastText().rfind(L"Creating a new workspace", 0), 0u);
    EXPECT_FALSE(window);
    EXPECT_EQ(frame->GetRecordingWindow(), nullptr);
    // Without a window there is nothing to ask.
    EXPECT_TRUE(frame->CloseRecordingWindow(false));
}

TEST_F(RecordCommandTest, AWindowThatCannotBeMadeIsReported)
{
    UseFakes().recParams = &recParams;
    CMainFrame::RecordingWindowFactory() = [](QWidget*, CRecParamsManager&, CPersistentOpts*) -> IRecordingWindow* {
        return nullptr;
    };
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({}));
    EXPECT_FALSE(app->GetMainFrame()->ShowRecordingWindow(false));
    EXPECT_EQ(boxes.LastText(), L"Failed to create Recording TQ3300 Data window");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
}

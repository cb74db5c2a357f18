// The main frame's command for the sync manager's window, with a stand-in
// window made by the registered factory.
#include <gtest/gtest.h>

#include <QAction>
#include <QWidget>

#include "CVltHub6Mgr.h"
#include "CommandIds.h"
#include "DocHints.h"
#include "Hub6Library.h"
#include "MessageBox.h"
#include "ShellFixture.h"

namespace {

class FakeSyncWindow : public QWidget, public ISyncManagerWindow {
public:
    explicit FakeSyncWindow(QWidget* owner) : QWidget(owner, Qt::Dialog) {}
    QWidget* GetWidget() override { return this; }
    int SelectDevice(int32_t id) override
    {
        selected.push_back(id);
        return 0;
    }
    void RefillFromManager() override { ++refills; }
    std::vector<int32_t> selected;
    int refills = 0;
};

class SyncCommandTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(hub6.Load());
        made = 0;
        CMainFrame::SyncManagerWindowFactory() = [this](QWidget* owner, CVltHub6Mgr& manager) -> ISyncManagerWindow* {
            ++made;
            EXPECT_EQ(&manager, &sync);
            window = new FakeSyncWindow(owner);
            return window;
        };
    }
    void TearDown() override
    {
        CMainFrame::SyncManagerWindowFactory() = nullptr;
        ShellTest::TearDown();
        hub6.Unload();
    }
    doc_test::Hub6Library hub6;
    CVltHub6Mgr sync;
    FakeSyncWindow* window = nullptr;
    int made = 0;
};

} // namespace

TEST_F(SyncCommandTest, CommandTogglesTheWindowMadeOnFirstUse)
{
    UseFakes().syncManager = &sync;
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    frame->UpdateCommandUI();
    ASSERT_TRUE(frame->CommandAction(cmd::kSyncManager)->isEnabled());
    ASSERT_TRUE(frame->OnCommand(cmd::kSyncManager));
    ASSERT_EQ(made, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->selected.empty());
    ASSERT_TRUE(frame->OnCommand(cmd::kSyncManager));
    EXPECT_FALSE(window->isVisible());
    // Asked to show a device: shown, focused and that row selected.
    EXPECT_TRUE(frame->ShowSyncManagerWindow(true, 3));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->selected, (std::vector<int32_t>{3}));
    EXPECT_TRUE(frame->ShowSyncManagerWindow(true, 0));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(made, 1);
    // A change of the device list refills it.
    const int refills = window->refills;
    app->NotifyAllDocuments(nullptr, appnotify::kDeviceList, nullptr);
    EXPECT_EQ(window->refills, refills + 1);
}

TEST_F(SyncCommandTest, WithoutTheSoftwareTheCommandIsDisabled)
{
    UseFakes().syncManager = &sync;
    ASSERT_EQ(hub6.unregisterServer(), S_OK);
    ForgetHub6SoftwareState();
    ASSERT_TRUE(app->StartUp({}));
    CMainFrame* frame = app->GetMainFrame();
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->CommandAction(cmd::kSyncManager)->isEnabled());
    EXPECT_FALSE(frame->OnCommand(cmd::kSyncManager));
    EXPECT_EQ(made, 0);
}

TEST_F(SyncCommandTest, AWindowThatCannotBeMadeIsReported)
{
    UseFakes(); // a workspace without a sync-device manager
    vlt::MessageBoxRecorder boxes;
    ASSERT_TRUE(app->StartUp({}));
    EXPECT_FALSE(app->GetMainFrame()->ShowSyncManagerWindow(false, 0));
    EXPECT_EQ(boxes.LastText(), L"Failed to create External Synchronization Manager window");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
}

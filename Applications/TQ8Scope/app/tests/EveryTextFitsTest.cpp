// Every text of the scope application shown whole: the board window with
// every page of the page table, every command of the main frame's menus and
// every window those open, found by walking what the program registers;
// also with a remote board, whose name is the longest a window shows.
#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QTabBar>
#include <QLineEdit>
#include <QListView>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "BrowseForFile.h"
#include "CChildFrame.h"
#include "CFFTOptions.h"
#include "CForm_Action.h"
#include "CFormView_Scope.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "CMyRemoteFileDialog.h"
#include "CommandIds.h"
#include "DocStateFlags.h"
#include "FileDialog.h"
#include "IBoardDocument.h"
#include "InprocServer.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "ProgramWindows.h"
#include "RemoteTestHost.h"
#include "TQ8Sim.h"
#include "TextConv.h"
#include "TestApp.h"
#include "TextFitCheck.h"
#include "UploadTestSupport.h"
#include "WindowWalker.h"

namespace {

bool RegisterServer(const char* path)
{
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    auto reg = lib ? reinterpret_cast<PfnDllRegisterServer>(dlsym(lib, "DllRegisterServer")) : nullptr;
    return reg && reg() == S_OK;
}

class EveryTextFits : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        m_dir = std::filesystem::path(std::getenv("VLT_TEST_TMP") ? std::getenv("VLT_TEST_TMP") : "/tmp") /
                ("textfit_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", (m_dir / "registry").c_str(), 1);
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        ASSERT_TRUE(RegisterServer(TQ8UI_LIBRARY_PATH));
#ifdef HUB6COM_LIBRARY_PATH
        ASSERT_TRUE(RegisterServer(HUB6COM_LIBRARY_PATH));
#endif
        RegisterProgramWindows();
        // A firmware package is chosen where one is asked for, so that the
        // upload window opens; every other file choice is cancelled.
        const std::wstring package = upload_test::WritePackage(LongFolder().string(), "fw", {});
        m_files = vlt::SetFileDialogHandler([package](const vlt::FileDialogRequest& request) -> std::optional<std::wstring> {
            if (request.open && request.filter.find(L"*.tq8fw") != std::wstring::npos)
                return package;
            return std::nullopt;
        });
    }
    // Deep enough that the upload window always has to shorten the path.
    std::filesystem::path LongFolder() const
    {
        const auto folder = m_dir / "a folder with a long name on the bench" / "packages kept for the next firmware";
        std::filesystem::create_directories(folder);
        return folder;
    }
    void TearDown() override
    {
        if (app) {
            // The walk has modified the workspace: not saved, the window closes.
            boxes.QueueAnswer(IDNO);
            EXPECT_TRUE(app->GetMainFrame()->close());
            app->ShutDown();
        }
        // The remote board is disconnected before its host goes.
        app.reset();
        server.reset();
        vlt::SetFileDialogHandler(m_files);
        TQ8Sim_Reset();
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }

    // The program as a user starts it, one board window with data in its plot.
    void Start(std::vector<std::wstring> args)
    {
        app = std::make_unique<CMainApp>();
        app->SetProgramFolder(vlt::Utf8ToWide(m_dir.string()));
        ASSERT_TRUE(app->StartUp(args));
        frame = app->GetMainFrame();
        ASSERT_EQ(frame->GetChildFrames().size(), 1u);
        vlt::WindowWalker::Settle();
        ASSERT_NO_FATAL_FAILURE(Acquire(frame->GetChildFrames()[0]));
    }

    // A second board window, of a board on a service host of this machine:
    // the active one, with data in its plot.
    void OpenRemoteBoard()
    {
        server = std::make_unique<RemoteTestHost>((m_dir / "served").string());
        ASSERT_TRUE(server->Started());
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, kRemoteSerial);
        ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        TQ8_HANDLE device =
            app->GetDeviceManager()->ConnectRemoteDevice(L"127.0.0.1", server->Port(), kRemoteSerial, true, false);
        ASSERT_NE(device, nullptr);
        ASSERT_NE(app->OpenDeviceDocument(device, docstate::kLimitPlotData), nullptr);
        vlt::WindowWalker::Settle();
        ASSERT_EQ(frame->GetChildFrames().size(), 2u);
        CChildFrame* remote = frame->GetChildFrames()[1];
        ASSERT_EQ(frame->GetActiveChildFrame(), remote);
        ASSERT_NO_FATAL_FAILURE(Acquire(remote));
    }

    // The remote file dialog's boxes, each shown for real, checked and
    // answered with its close answer: deleting a folder, an invalid name and
    // a missing folder, each naming what has an '&'.
    void CheckRemoteFileDialogBoxes(TQ8_HANDLE device)
    {
        std::filesystem::create_directories(m_dir / "served" / "a&b folder");
        const vlt::MessageBoxHandler recorded = vlt::SetMessageBoxHandler({});
        bool driven = false;
        // Runs once the dialog's loop has begun: it is shown by then.
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CMyRemoteFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            // Seen after the dialog's own show, so that only its boxes are closed.
            vlt::WindowWalker boxes(check, frame);
            QAbstractItemView* view = dialog->findChild<QListView*>(QStringLiteral("fileList"));
            if (dialog->GetView() == CMyRemoteFileDialog::kDetails)
                view = dialog->findChild<QTreeView*>(QStringLiteral("fileDetails"));
            const QModelIndexList rows =
                view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("a&b folder"));
            EXPECT_EQ(rows.size(), 1);
            if (!rows.isEmpty()) {
                view->selectionModel()->setCurrentIndex(rows[0],
                                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                view->setFocus();
                QTest::keyClick(view, Qt::Key_Delete);
            }
            dialog->findChild<QLineEdit*>(QStringLiteral("fileName"))->setText(QStringLiteral("a&b|c.rd8"));
            dialog->accept();
            dialog->NavigateTo(L"C:\\a&b missing", false, false);
            check.CheckWindow(dialog, dialog->windowTitle());
            dialog->reject();
            driven = true;
        });
        vlt::FileDialogRequest request;
        request.open = false;
        request.title = L"Save Acquisition Data";
        request.folder = L"C:\\";
        request.filter = L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||";
        request.parent = frame;
        EXPECT_FALSE(ShowBoardFileDialog(device, request));
        vlt::SetMessageBoxHandler(recorded);
        EXPECT_TRUE(driven);
        // Three boxes, each checked under its caption; the folder stays.
        EXPECT_EQ(check.Checked().count(QString::fromStdWString(vlt::GetMessageBoxCaption())), 3)
            << check.Checked().join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(std::filesystem::exists(m_dir / "served" / "a&b folder"));
    }

    void Acquire(CChildFrame* child)
    {
        auto* acquire = child->GetActionForm()->findChild<QAbstractButton*>(QString::number(CForm_Action::kStartStopId));
        ASSERT_NE(acquire, nullptr);
        acquire->click();
        // Until the board is idle again and the plot lists its channels
        // (a generous cap for a slow, loaded machine).
        auto* sources = child->GetControlPanel()->findChild<QTreeWidget*>(QString::number(CFormView_Scope::kListId));
        ASSERT_NE(sources, nullptr);
        QElapsedTimer waited;
        waited.start();
        while ((!child->GetDocument()->IsIdle() || sources->topLevelItemCount() == 0) && waited.elapsed() < 120000) {
            vlt::WindowWalker::Settle();
            QThread::msleep(5);
        }
        ASSERT_GT(sources->topLevelItemCount(), 0);
        vlt::WindowWalker::Settle();
    }

    // Every page of the page table: the board's own in its window, the
    // others on a control panel of the same size.
    void CheckOtherPages(vlt::WindowWalker& walker)
    {
        CChildFrame* child = frame->GetActiveChildFrame();
        QTabWidget* panel = child->GetControlPanel();
        std::set<QString> shown;
        for (int i = 0; i < panel->count(); ++i)
            shown.insert(panel->tabText(i));
        for (const CChildFrame::PageEntry& entry : CChildFrame::PageTable()) {
            if (!entry.create || shown.count(QString::fromWCharArray(entry.caption)))
                continue;
            std::unique_ptr<QTabWidget> other(CChildFrame::Panes().controlPanel(nullptr));
            other->resize(panel->size());
            auto* pages = dynamic_cast<IControlPanel*>(other.get());
            ASSERT_NE(pages->AddPage(0, entry.caption, entry.create, *child->GetDocument()), -1);
            other->setWindowTitle(QString::fromWCharArray(entry.caption));
            other->show();
            vlt::WindowWalker::Settle();
            walker.Visit(other.get());
        }
    }

    void WalkProgram()
    {
        const size_t boards = frame->GetChildFrames().size();
        vlt::WindowWalker walker(check, frame);
        walker.Visit(frame);
        CheckOtherPages(walker);
        // Every command but those that end the board window or the program,
        // or start another program.
        const std::set<unsigned> leave = {cmd::kAppExit, cmd::kFileClose, cmd::kUserFirmwareGenerator};
        walker.RunMenuCommands(
            frame->menuBar(), [&](QAction* action) { return leave.count(action->data().toUInt()) != 0; },
            [this] { frame->UpdateCommandUI(); },
            [this, boards](QAction* action) {
                EXPECT_EQ(frame->GetChildFrames().size(), boards) << action->text().toStdString();
            });
        vlt::WindowWalker::Settle();
        EXPECT_EQ(check.Report(), QString()) << check.Report().toStdString();
        EXPECT_GT(check.Checked().size(), 40) << check.Checked().join(QLatin1Char('\n')).toStdString();
    }

    std::unique_ptr<CMainApp> app;
    CMainFrame* frame = nullptr;
    vlt::TextFitCheck check;
    std::filesystem::path m_dir;
    vlt::FileDialogHandler m_files;
    vlt::MessageBoxRecorder boxes;
    std::unique_ptr<RemoteTestHost> server;
    static constexpr uint32_t kRemoteSerial = 5002;
};

TEST_F(EveryTextFits, ScopeApplication)
{
    ASSERT_NO_FATAL_FAILURE(Start({L"-virtual"}));
    WalkProgram();
}

// The troubleshooting page and its register windows, and the spectrum
// window with its peak list.
TEST_F(EveryTextFits, ScopeApplicationUnsafe)
{
    ASSERT_NO_FATAL_FAILURE(Start({L"-virtual", L"-unsafe"}));
    app->GetPersistentOpts().SetItemInt(opts::kFftFlags, int32_t(CFFTOptions::kFlagPeakTracking));
    WalkProgram();
    EXPECT_TRUE(check.Checked().contains(QStringLiteral("TQ3300 Scope / Troubleshooting")));
    // Every tab of the board window's control panel lies on its strip.
    QTabBar* strip = frame->GetChildFrames()[0]->GetControlPanel()->tabBar();
    ASSERT_EQ(strip->count(), 14);
    for (int i = 0; i < strip->count(); ++i)
        EXPECT_TRUE(strip->rect().contains(strip->tabRect(i))) << strip->tabText(i).toStdString();
}

// A remote board's window active beside a virtual one: its Status page,
// its spectrum window's tabs, the recording window's list, the remote file
// dialog of its browse buttons and the copy-settings selection.
TEST_F(EveryTextFits, ScopeApplicationRemoteBoard)
{
    ASSERT_NO_FATAL_FAILURE(Start({L"-virtual"}));
    ASSERT_NO_FATAL_FAILURE(OpenRemoteBoard());
    CheckRemoteFileDialogBoxes(frame->GetActiveChildFrame()->GetDocument()->GetDeviceHandle());
    WalkProgram();
    // The remote file dialog opens from the board memory window's browse
    // button with that window's title.
    for (const char* window : {"Record TQ3300 Data", "TQ3300 Device Selection", "Save Acquisition Data",
                               "Frequency Domain (FFT) - TQ3300-4 #5002 @127.0.0.1:"})
        EXPECT_TRUE(std::any_of(check.Checked().begin(), check.Checked().end(),
                                [window](const QString& name) { return name.startsWith(QLatin1String(window)); }))
            << window;
}

} // namespace

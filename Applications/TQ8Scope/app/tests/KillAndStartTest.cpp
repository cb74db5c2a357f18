// The program killed while it saves its workspace, and started again at
// once, many times over: every start shows its window. The program is this
// test's own process started again in the child's role (below), which runs
// the program's start-up, says when its window shows, and then saves the
// workspace over and over until it is killed.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include "CMainApp.h"
#include "CMainFrame.h"
#include "MessageBox.h"
#include "ProgramWindows.h"
#include "TestApp.h"
#include "TextConv.h"

namespace {

// The child's folder: program folder, registry, data, and the workspace.
constexpr char kChildFolderVar[] = "TQ8SCOPE_KILL_TEST_FOLDER";
constexpr char kChildFilter[] = "--gtest_filter=KillAndStart.DISABLED_SavesUntilKilled";
constexpr char kShown[] = "window shown";
constexpr int kCycles = 200;
// How long the child saves before it is killed: a save takes a few
// milliseconds, so the kill falls anywhere in one.
constexpr int kLongestSavingUs = 30000;
// A hang guard only: a start takes well under a second.
constexpr int kStartGuardMs = 120000;

std::string WorkspacePath(const std::string& folder)
{
    return folder + "/bench.tq8ws";
}

// Waits for the child's line that its window shows; false when it ended or
// hung first. out gets what it said.
bool WaitUntilShown(QProcess& child, QByteArray& out)
{
    for (int waited = 0; waited < kStartGuardMs && !out.contains(kShown); waited += 100) {
        if (!child.waitForReadyRead(100) && child.state() != QProcess::Running)
            break;
        out += child.readAll();
    }
    return out.contains(kShown);
}

} // namespace

// The child's role: the program's own start-up on the workspace (on a
// virtual board the first time), then saves until killed. Boxes are said on
// standard error and answered as closed, so that none waits unseen.
TEST(KillAndStart, DISABLED_SavesUntilKilled)
{
    const char* folder = std::getenv(kChildFolderVar);
    if (!folder)
        GTEST_SKIP() << "run by KillAndStart.AStartAfterAKillWhileSavingShowsItsWindow";
    App();
    RegisterProgramWindows();
    vlt::SetMessageBoxHandler([](const vlt::MessageBoxRequest& box) {
        std::fprintf(stderr, "box: %s\n", vlt::WideToUtf8(box.text).c_str());
        return vlt::DefaultCloseAnswer(box.style);
    });
    const std::string workspace = WorkspacePath(folder);
    CMainApp app;
    app.SetProgramFolder(vlt::Utf8ToWide(folder));
    const bool started = app.StartUp({std::filesystem::exists(workspace) ? vlt::Utf8ToWide(workspace) : L"-virtual"});
    ASSERT_TRUE(started && app.GetMainFrame()->isVisible());
    std::printf("%s\n", kShown);
    std::fflush(stdout);
    for (;;) {
        app.BeforeWorkspaceSave();
        ASSERT_TRUE(app.GetWorkspace().Save(vlt::Utf8ToWide(workspace)));
    }
}

TEST(KillAndStart, AStartAfterAKillWhileSavingShowsItsWindow)
{
    App();
    ScratchDir dir;
    const std::string folder = dir.Str();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildFolderVar, QString::fromStdString(folder));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("VLT_REGISTRY_DIR", QString::fromStdString(folder + "/registry"));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(folder + "/config"));
    environment.insert("XDG_DATA_HOME", QString::fromStdString(folder + "/data"));
    // A local board beside the workspace's virtual one: each start loads the
    // driver and connects it.
    const std::string boards = folder + "/boards.xml";
    std::ofstream(boards) << "<TQ8Sim><Board serial=\"123456\"/></TQ8Sim>";
    environment.insert("TQ8_SIM_CONFIG", QString::fromStdString(boards));
    std::mt19937 random(3300);
    std::uniform_int_distribution<int> saving(0, kLongestSavingUs);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {kChildFilter, "--gtest_also_run_disabled_tests"});
        ASSERT_TRUE(child.waitForStarted(kStartGuardMs));
        QByteArray out;
        if (!WaitUntilShown(child, out)) {
            child.kill();
            child.waitForFinished(kStartGuardMs);
            FAIL() << "start " << cycle + 1 << " showed no window; exit code " << child.exitCode() << ":\n"
                   << (out + child.readAll()).toStdString();
        }
        QThread::usleep(static_cast<unsigned long>(saving(random)));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(kStartGuardMs));
    }
    EXPECT_TRUE(std::filesystem::exists(WorkspacePath(folder)));
}

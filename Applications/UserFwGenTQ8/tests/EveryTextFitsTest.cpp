// Every text of the firmware package generator shown whole: its form as the
// program opens it, and every window its menus and buttons open.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>

#include "CMainApp.h"
#include "CMainFrame.h"
#include "FwGenTestEnv.h"
#include "MessageBox.h"
#include "TQ8Sim.h"
#include "TextFitCheck.h"
#include "WindowWalker.h"

namespace {

TEST(EveryTextFits, FirmwareGenerator)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char arg0[] = "userfwgen_ui_tests";
    static char* argv[] = {arg0, nullptr};
    if (!qApp)
        new QApplication(argc, argv);
    FwGenTestEnv env("textfit");
    // A claim of its own: no other generator of the test run stands in the way.
    const std::string run = env.Path("run");
    ASSERT_EQ(mkdir(run.c_str(), 0700), 0);
    const char* kept = std::getenv("XDG_RUNTIME_DIR");
    const std::string keptRun = kept ? kept : "";
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    TQ8Sim_Reset();
    vlt::MessageBoxRecorder boxes;
    {
        CMainApp app;
        app.InitInstance();
        vlt::TextFitCheck check;
        vlt::WindowWalker walker(check, app.MainFrame());
        walker.Visit(app.MainFrame());
        walker.RunMenuCommands(app.MainFrame()->menuBar(),
                               [](QAction* action) { return action->text() == QStringLiteral("E&xit"); });
        EXPECT_EQ(check.Report(), QString()) << check.Report().toStdString();
        EXPECT_TRUE(check.Checked().contains(QStringLiteral("About TQ3300 User Firmware File Generator")))
            << check.Checked().join(QLatin1Char('\n')).toStdString();
    }
    if (kept)
        setenv("XDG_RUNTIME_DIR", keptRun.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

} // namespace

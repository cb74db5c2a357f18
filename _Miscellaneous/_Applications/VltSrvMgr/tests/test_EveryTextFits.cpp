// Every text of the service host shown whole: its main window with the
// services of a bench listed, and every window its menus open.
#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>

#include "CMainFrame.h"
#include "CMainView.h"
#include "HostAppTest.h"
#include "TextFitCheck.h"
#include "WindowWalker.h"

namespace {

class EveryTextFits : public srvtest::HostAppTest {};

TEST_F(EveryTextFits, ServiceHost)
{
    // The built-in services and the two plug-ins of a bench computer.
    classes = {{1, {"FileServerWindows", "Manages Windows file services", 0xFFFF}},
               {2, {"PowerDownWindows", "Manages shutdown/reboot of server", 0xFFFF}},
               {3, {"VltTQ8Board", "Serves the TQ3300 digitizer boards of this computer", 3494}},
               {4, {"VltHUB6", "Serves HUB3300-6 external synchronization devices", 3496}}};
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    frame->View()->Button()->click();
    ASSERT_EQ(frame->View()->ServiceList()->topLevelItemCount(), 4);

    vlt::TextFitCheck check;
    vlt::WindowWalker walker(check, frame);
    walker.Visit(frame);
    walker.RunMenuCommands(frame->menuBar(), [frame](QAction* action) {
        return action == frame->CommandAction(CMainFrame::ID_APP_EXIT);
    });
    EXPECT_EQ(check.Report(), QString()) << check.Report().toStdString();
    EXPECT_TRUE(check.Checked().contains(QStringLiteral("Program Options"))) << check.Checked().join(QLatin1Char('\n')).toStdString();
}

} // namespace

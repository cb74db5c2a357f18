#include <string>
#include <vector>

#include <QApplication>

#include "CMainApp.h"
#include "TerminationSignals.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CMainApp mainApp;
    if (!mainApp.InitInstance(arguments))
        return mainApp.ExitInstance();
    // The session's end (or a shutdown) ends the program as Exit would.
    vlt::OnTerminationSignal([] { QCoreApplication::quit(); });
    const int rc = app.exec();
    mainApp.ExitInstance();
    return rc;
}

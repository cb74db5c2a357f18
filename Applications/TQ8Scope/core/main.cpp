// TQ8Scope: the host application of the TQ3300 digitizer.
#include <QApplication>

#include "CMainApp.h"
#include "ProgramWindows.h"
#include "TextConv.h"

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    RegisterProgramWindows();
    int exitCode = 1;
    {
        CMainApp app;
        std::vector<std::wstring> args;
        for (int i = 1; i < argc; ++i)
            args.push_back(vlt::Utf8ToWide(argv[i]));
        if (app.StartUp(args))
            exitCode = qapp.exec();
        app.ShutDown();
    }
    return exitCode;
}

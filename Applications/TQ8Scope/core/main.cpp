// TQ8Scope: the host application of the TQ3300 digitizer.
#include <QApplication>

#include "BoardWindowForms.h"
#include "BrowseForFile.h"
#include "CMainApp.h"
#include "CDeviceSelDlg.h"
#include "CFileDialog_Remote.h"
#include "CNewWorkspaceDlg.h"
#include "CRecordDlg.h"
#include "CSyncMgrDlg.h"
#include "DocumentToolWindows.h"
#include "MainFrameSheets.h"
#include "RemoteDeviceCommand.h"
#include "TextConv.h"

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    RegisterDocumentToolWindows();
    RegisterBoardWindowForms();
    CNewWorkspaceDlg::Register();
    UseBrowseForFileInEditBrowseControls();
    CSyncMgrDlg::RegisterWithMainFrame();
    CRecordDlg::RegisterWithMainFrame();
    RegisterMainFrameSheets();
    RegisterRemoteDeviceCommand();
    CSyncMgrDlg::ConnectRemoteCommand() = ConnectRemoteSyncDevices;
    CDeviceSelDlg::Register();
    CFileDialog_Remote::Register();
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

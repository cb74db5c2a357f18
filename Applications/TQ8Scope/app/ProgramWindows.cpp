#include "ProgramWindows.h"

#include "BoardWindowForms.h"
#include "BrowseForFile.h"
#include "CDeviceSelDlg.h"
#include "CFileDialog_Remote.h"
#include "CNewWorkspaceDlg.h"
#include "CRecordDlg.h"
#include "CSyncMgrDlg.h"
#include "DocumentToolWindows.h"
#include "MainFrameSheets.h"
#include "RemoteDeviceCommand.h"

void RegisterProgramWindows()
{
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
}

#include "RemoteDeviceCommand.h"

#include "CConnectRemoteSyncDeviceDlg.h"
#include "CDeviceManagerTQ8.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "CVltHub6Mgr.h"
#include "DocStateFlags.h"

namespace {

// Plot data limited to what was acquired.
constexpr uint32_t kRemoteDocFlags = docstate::kLimitPlotData;

void ConnectChosen(const CConnectRemoteDeviceDlg& dlg, CDeviceManagerTQ8& devices, CDeviceManagerTQ8::HandleList& list)
{
    const wchar_t* server = dlg.GetServer().c_str();
    if (dlg.GetAllDevices()) {
        devices.ConnectServerDevices(server, dlg.GetPort(), list, false);
        return;
    }
    const uint32_t serial = dlg.GetVirtual() ? 0 : static_cast<uint32_t>(dlg.GetBoardNumber());
    if (TQ8_HANDLE handle = devices.ConnectRemoteDevice(server, dlg.GetPort(), serial, false, dlg.GetVirtual()))
        list.push_back(handle);
}

} // namespace

void ConnectRemoteBoards(QWidget* owner, CMainApp& app)
{
    CDeviceManagerTQ8* devices = app.GetDeviceManager();
    if (!devices)
        return;
    CConnectRemoteDeviceDlg dlg(owner, L"Recent Servers");
    if (dlg.exec() != QDialog::Accepted)
        return;
    CDeviceManagerTQ8::HandleList connected;
    ConnectChosen(dlg, *devices, connected);
    if (connected.empty())
        return;
    dlg.AddServerToRecentList();
    for (TQ8_HANDLE handle : connected)
        app.OpenDeviceDocument(handle, kRemoteDocFlags);
}

std::vector<int32_t> ConnectRemoteSyncDevices(QWidget* owner, CVltHub6Mgr& manager)
{
    std::vector<int32_t> ids;
    CConnectRemoteSyncDeviceDlg dlg(owner, L"Recent Sync Servers");
    if (dlg.exec() != QDialog::Accepted)
        return ids;
    const wchar_t* server = dlg.GetServer().c_str();
    if (dlg.GetAllDevices()) {
        // A server that cannot be reached is reported; one without devices is not.
        manager.ConnectServerDevices(server, dlg.GetPort(), ids, false);
    } else {
        const uint32_t serial = dlg.GetVirtual() ? 0 : static_cast<uint32_t>(dlg.GetBoardNumber());
        if (int32_t id = manager.ConnectRemote(server, dlg.GetPort(), serial, dlg.GetVirtual()))
            ids.push_back(id);
    }
    if (!ids.empty())
        dlg.AddServerToRecentList();
    return ids;
}

void RegisterRemoteDeviceCommand()
{
    CMainFrame::NewRemoteDeviceCommand() = ConnectRemoteBoards;
}

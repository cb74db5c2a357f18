#include "CConnectRemoteSyncDeviceDlg.h"

#include "CVltHub6Mgr.h"
#include "MessageBox.h"

CConnectRemoteSyncDeviceDlg::CConnectRemoteSyncDeviceDlg(QWidget* parent, const std::wstring& recentSection)
    : CConnectRemoteDeviceDlg(parent, recentSection)
{
}

bool CConnectRemoteSyncDeviceDlg::TestServer(const std::wstring& server, uint16_t port, std::vector<uint32_t>& serials)
{
    if (EnumRemoteHub6Devices(server.c_str(), port, serials))
        return true;
    vlt::ShowMessageBox(L"Remote server test failed", MB_ICONERROR, this);
    return false;
}

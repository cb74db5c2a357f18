#include "CConnectRemoteSyncDeviceDlg.h"

#include "CVltHub6Mgr.h"
#include "MessageBox.h"

CConnectRemoteSyncDeviceDlg::CConnectRemoteSyncDeviceDlg(QWidget* parent, const std::wstring& recentSection)
    : CConnectRemoteDeviceDlg(parent, recentSection)
{
}

bool CConnectRemoteSyncDeviceDlg::TestServer(const std::wstring& server, uint16_t port, std::vector<uint32_t>& serials)
{
    std::wstring reason;
    if (EnumRemoteHub6Devices(server.c_str(), port, serials, &reason))
        return true;
    std::wstring text = L"Remote server test failed";
    if (!reason.empty())
        text += L": " + reason;
    vlt::ShowMessageBox(text, MB_ICONERROR, this);
    return false;
}

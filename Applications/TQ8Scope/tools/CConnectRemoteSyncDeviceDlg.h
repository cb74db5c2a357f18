#pragma once
// The connect dialog for a server of HUB3300-6 sync devices.
#include "CConnectRemoteDeviceDlg.h"

class CConnectRemoteSyncDeviceDlg : public CConnectRemoteDeviceDlg {
public:
    CConnectRemoteSyncDeviceDlg(QWidget* parent, const std::wstring& recentSection);

protected:
    std::wstring KindName() const override { return L"HUB3300-6"; }
    uint16_t DefaultPort() const override { return 3496; }
    bool TestServer(const std::wstring& server, uint16_t port, std::vector<uint32_t>& serials) override;
};

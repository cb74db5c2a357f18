#pragma once
// Asks for a board server's address and port and for which of its boards to
// connect; tests a server on request and keeps the recent servers. The
// caller connects with the values it holds after OK.
#include <cstdint>
#include <string>
#include <vector>

#include <QDialog>

#include "CRecentServerList.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class CConnectRemoteDeviceDlg : public QDialog {
public:
    CConnectRemoteDeviceDlg(QWidget* parent, const std::wstring& recentSection);
    // Writes the recent list back when it changed.
    ~CConnectRemoteDeviceDlg() override;

    const std::wstring& GetServer() const { return m_server; }
    uint16_t GetPort() const { return m_port; }
    bool GetAllDevices() const { return m_allDevices; }
    bool GetVirtual() const { return m_virtual; }
    // -1 for none; valid when neither check box is on.
    int32_t GetBoardNumber() const { return m_boardNumber; }

    // The present server and port go to the top of the recent list.
    void AddServerToRecentList();

    void accept() override;
    void OnTestServer();

protected:
    void showEvent(QShowEvent* event) override;

    virtual std::wstring KindName() const { return L"TQ3300"; }
    virtual uint16_t DefaultPort() const { return 3494; }
    // The serial numbers of the server's devices; false (after its own
    // message) when the server could not be asked.
    virtual bool TestServer(const std::wstring& server, uint16_t port, std::vector<uint32_t>& serials);
    virtual bool IsUnsafeMode() const;

private:
    void Start();
    void ApplyKindTexts();
    void FillRecentServers();
    void UpdateBoardNumberState();
    // Reads server, port and check boxes; false after the port's message.
    bool ExchangeData();
    bool CheckServer(const wchar_t* emptyText);
    bool ReadBoardNumber();

    std::wstring m_server;
    uint16_t m_port = 0;
    bool m_allDevices = true;
    bool m_virtual = false;
    int32_t m_boardNumber = -1;
    CRecentServerList m_recent;
    bool m_recentChanged = false;
    bool m_started = false;

    QLabel* m_intro;
    QLabel* m_serverLabel;
    QLabel* m_portLabel;
    QComboBox* m_serverBox;
    QComboBox* m_portBox;
    QCheckBox* m_allBox;
    QCheckBox* m_virtualBox;
    QLabel* m_boardLabel;
    QComboBox* m_boardBox;
    QPushButton* m_testButton;
};

#pragma once
// The modeless "External Synchronization Device Manager" window: connects
// HUB3300-6 sync devices (local, virtual; remote once its connect dialog is
// built), disconnects them, binds the open boards to the selected device's
// six outputs, and opens its settings page, synchronizes its outputs or
// triggers it. It works only through the workspace's sync-device manager and
// refills itself when the devices or the open boards change. "Close" and
// Escape only hide it.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "CVltHub6Mgr.h"
#include "ISyncManagerWindow.h"
#include "TQ8_64.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class CSyncMgrDlg : public QDialog, public ISyncManagerWindow {
    Q_OBJECT
public:
    static constexpr int kOutputs = 6;
    static constexpr unsigned kStatusMs = 2500;

    CSyncMgrDlg(QWidget* parent, CVltHub6Mgr& manager);
    // Lets the main frame make this window. Called once at program start-up.
    static void RegisterWithMainFrame();
    // "Connect to Remote HUB3300-6 Device...": asks for the server, connects
    // and gives the new instance ids; set once at program start-up, the
    // button is disabled without it.
    using ConnectRemoteFn = std::function<std::vector<int32_t>(QWidget* owner, CVltHub6Mgr& manager)>;
    static ConnectRemoteFn& ConnectRemoteCommand();

    // ---- ISyncManagerWindow
    QWidget* GetWidget() override { return this; }
    int SelectDevice(int32_t instanceId) override;
    void RefillFromManager() override;

    // The instance id of the selected row; 0 when none.
    int32_t GetSelectedId() const;

    // The actions of the buttons and output lists (n: 0 to 5).
    void OnConnectAllLocal();
    void OnConnectRemote();
    void OnAddVirtual();
    void OnDisconnect();
    void OnResetAllOutputs();
    void OnOutputChosen(int n);
    void OnHardwareSettings();
    void OnSyncNow();
    void OnTriggerNow();

public slots:
    void reject() override;

protected:
    // The main frame's timed status text.
    virtual void ShowStatusText(const std::wstring& text, unsigned timeoutMs);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void FillOutputCombos();
    // The row of the id (added when it has none); -1 for id 0 or a missing instance.
    int AddRow(int32_t instanceId);
    int FindRow(int32_t instanceId) const;
    void OnCurrentRowChanged();
    void UpdateControls();
    void UpdateActionButtons();
    // Each output list shows the board on its output, "<No device>" when empty.
    void ShowOutputs();
    void SizeColumns();
    // Calls the selected unit; a failure shows its box, success the status text.
    void RunUnitAction(HRESULT (IVltHUB6::*action)(), const wchar_t* context, const wchar_t* done);
    // The selected row's instance; refills the window when it has gone.
    CVltHub6Mgr::CSyncInst* SelectedInstance();

    CVltHub6Mgr& m_manager;
    int m_selectedRow = -1;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_disconnect = nullptr;
    QPushButton* m_resetAll = nullptr;
    QPushButton* m_connectRemote = nullptr;
    QPushButton* m_connectLocal = nullptr;
    QPushButton* m_addVirtual = nullptr;
    std::array<QLabel*, kOutputs> m_outputLabels{};
    std::array<QComboBox*, kOutputs> m_outputs{};
    QPushButton* m_hardware = nullptr;
    QPushButton* m_trigger = nullptr;
    QPushButton* m_sync = nullptr;
    QPushButton* m_close = nullptr;
};

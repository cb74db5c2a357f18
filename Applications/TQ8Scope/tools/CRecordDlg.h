#pragma once
// The modeless "Record TQ3300 Data" window: the boards with a document,
// their destination files, the recording type and duration, Begin/Stop and,
// while boards record, their state, the figures and a progress bar. Its
// decisions are CRecordController's; this class keeps the widgets. Close,
// Escape and Ctrl+Shift+R only hide it; a recording goes on.
#include <cstdint>
#include <string>

#include <QDialog>
#include <QTimer>

#include "CMultiModeLog.h"
#include "CRecordController.h"
#include "IRecordWindowHost.h"
#include "IRecordingWindow.h"

class CPersistentOpts;
class CRecParamsManager;
class CVltEditBrowseCtrl;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class CRecordDlg : public QDialog, public IRecordingWindow, private IRecordWindowHost {
    Q_OBJECT
public:
    static constexpr int kTickMs = 400;

    // Loads the recording settings of the options (when given) into the manager.
    CRecordDlg(QWidget* parent, CRecParamsManager& manager, CPersistentOpts* options, CMultiModeLog log = CMultiModeLog());
    // Stores them back.
    ~CRecordDlg() override;
    static void RegisterWithMainFrame();

    // ---- IRecordingWindow
    QWidget* GetWidget() override { return this; }
    bool IsRecording() const override { return m_controller.IsRecording(); }
    void StopRecording() override { m_controller.Stop(); }
    void AddDevice(TQ8_HANDLE device) override;
    void RemoveDevice(TQ8_HANDLE device) override;
    void RefreshDeviceNames() override;

    CRecordController& Controller() { return m_controller; }
    TQ8_HANDLE GetSelectedDevice() const { return m_selected; }
    const std::wstring& GetLastStatusText() const { return m_lastStatus; }
    bool IsTickTimerActive() const { return m_timer.isActive(); }
    void OnBeginStop() { m_controller.BeginStop(); }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // ---- IRecordWindowHost
    bool ExchangeData(bool save) override;
    bool IsMultipleModeChecked() const override;
    bool IsSnapshotDisplayChecked() const override;
    bool ReadRepetitions(uint32_t& count) override;
    int ShowBox(const std::wstring& text, unsigned style) override;
    void ShowStatusText(const std::wstring& text, unsigned timeoutMs) override;
    void FocusDeviceList() override;
    void SetRecordingControls(bool recording, bool marquee) override;
    void ClearStateColumn() override;
    void SetRowState(TQ8_HANDLE device, const std::wstring& text) override;
    void ShowStatistics(uint32_t passes, uint32_t attempts) override;
    void ShowFigures(const std::wstring& elapsed, const std::wstring& amount, const std::wstring& throughput) override;
    void SetProgressPosition(int position) override;
    void ShowTroubleLine(const std::wstring& text) override;
    void QueueBeginStop() override;

    void BuildControls();
    // Enter in a number field: the field is read as the start reads it.
    void ConfirmField(QLineEdit* edit);
    // The "By time:" and "This much:" fields; false after their message.
    bool ReadDurationMs(uint64_t& ms);
    bool ReadDurationSamples(uint64_t& samples);
    QWidget* BuildDestinationGroup();
    QWidget* BuildRecordingGroup();
    QWidget* BuildStatusGroup();
    void LoadSettings();
    void StoreSettings();
    void RefillList();
    void AppendRow(TQ8_HANDLE device);
    void FitNameColumn();
    QTreeWidgetItem* RowOf(TQ8_HANDLE device) const;
    std::wstring DisplayName(TQ8_HANDLE device) const;
    void RefreshDestinationControls();
    void EnableAcquisitionSize();
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnSelectionChanged();
    void OnDestinationEdited();
    void OnAdvancedOptions();
    void OnSnapshotOptions();
    static int32_t PrepareDestinationBrowse(intptr_t self, CVltEditBrowseCtrl* control);

    CRecParamsManager& m_manager;
    CPersistentOpts* m_options;
    CRecordController m_controller;
    QTimer m_timer;
    TQ8_HANDLE m_selected = nullptr;
    bool m_listByCode = false;
    std::wstring m_lastStatus;

    QLabel* m_trouble = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_selectedLabel = nullptr;
    QLabel* m_destLabel = nullptr;
    CVltEditBrowseCtrl* m_dest = nullptr;
    QPushButton* m_advanced = nullptr;
    QLabel* m_defaultDirLabel = nullptr;
    CVltEditBrowseCtrl* m_defaultDir = nullptr;
    QRadioButton* m_type[2] = {};
    QLabel* m_acqLabel = nullptr;
    QLineEdit* m_acqCount = nullptr;
    QComboBox* m_acqUnits = nullptr;
    QLabel* m_typeNote = nullptr;
    QRadioButton* m_duration[3] = {};
    QLineEdit* m_durCount = nullptr;
    QComboBox* m_durUnits = nullptr;
    QLineEdit* m_durMs = nullptr;
    QLabel* m_durMsLabel = nullptr;
    QCheckBox* m_pause = nullptr;
    QCheckBox* m_snapshots = nullptr;
    QCheckBox* m_keepOthers = nullptr;
    QPushButton* m_snapshotOptions = nullptr;
    QCheckBox* m_multiple = nullptr;
    QLineEdit* m_repetitions = nullptr;
    QLineEdit* m_passes = nullptr;
    QLineEdit* m_attempts = nullptr;
    QLabel* m_elapsed = nullptr;
    QLabel* m_amount = nullptr;
    QLabel* m_throughput = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_beginStop = nullptr;
    QPushButton* m_close = nullptr;
};

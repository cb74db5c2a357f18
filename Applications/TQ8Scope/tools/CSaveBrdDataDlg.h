#pragma once
// "Save TQ3300 RAM Data to File": writes a stretch of board memory, or the
// document's last snapshot, to files through the device library on a worker
// thread, with progress and cancellation. Edits the document's save context.
// Threads: the UI thread, and the save worker, which reads the cancel flag and stores progress (atomic).
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include <QDialog>

#include "AppMessages.h"
#include "TQ8RecordTypes.h"
#include "TQ8_64.h"

class CMainDoc;
class CSaveBrdDataCtx;
class CVltEditBrowseCtrl;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class CSaveBrdDataDlg : public QDialog, public vlt::IAppMessageTarget {
    Q_OBJECT
public:
    // Posted by the worker: its end, and a new progress (wParam, parts per ten thousand).
    static constexpr unsigned kMsgWorkerDone = WM_APP + 10;
    static constexpr unsigned kMsgProgress = WM_APP + 11;

    CSaveBrdDataDlg(QWidget* parent, CMainDoc& doc);
    ~CSaveBrdDataDlg() override;

    bool IsSaving() const { return m_worker.joinable(); }
    void reject() override;
    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

    // What the worker calls in the device library; tests stand in for them.
    virtual int32_t DumpRawData(const uint8_t* buffer, uint32_t count, const TQ8_FILE_WRITE_PARAMS* fwp);
    virtual int32_t ReadFast(uint32_t start, uint32_t count, uint8_t* dma, uint32_t bytes,
                             const TQ8_FILE_WRITE_PARAMS* fwp);
    virtual int32_t ReadBuffered(uint32_t start, uint32_t count, const TQ8_FILE_WRITE_PARAMS* fwp);
    // The plot's first sample and page width; false without a plot.
    virtual bool ReadScopePlot(bool& haveStart, uint32_t& start, bool& haveWidth, uint32_t& width);

    // Parts per ten thousand, 0 for an empty total.
    static int32_t ProgressOf(uint64_t done, uint64_t total);
    static bool UsesFastPath(uint32_t count);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void LoadControls();
    bool SaveControls();
    void ApplySourceEnabling();
    void SetControlsEnabled(bool enabled);
    void OnUseCurrent();
    void OnAllRam();
    void OnScopeData();
    void OnAdvanced();
    void OnSave();
    bool CheckOutput();
    bool CheckDestinations();
    void RunWorker();
    void ReportFailure();
    std::wstring MemoryBoundsNote() const;
    void OnProgress(int32_t value);
    void OnWorkerDone();
    bool AskCancel();
    static int32_t SaveCallback(TQ8_HANDLE handle, void* context, uint32_t, uint32_t, uint32_t, uint64_t done,
                                uint64_t, uint64_t total);

    CMainDoc& m_doc;
    CSaveBrdDataCtx& m_ctx;
    TQ8_HANDLE m_device;
    bool m_noSnapshot = false;
    std::thread m_worker;
    int32_t m_result = 0; // written by the worker before it posts its end, as is:
    int m_systemError = 0; // the system's reason of a file that could not be written
    std::atomic<bool> m_cancel{false};
    std::atomic<int32_t> m_lastProgress{0};
    bool m_closeWhenDone = false;
    TQ8_FILE_WRITE_PARAMS m_fwp{};

    QRadioButton* m_ram = nullptr;
    QRadioButton* m_snapshot = nullptr;
    QLabel* m_startLabel = nullptr;
    QLineEdit* m_start = nullptr;
    QLabel* m_countLabel = nullptr;
    QComboBox* m_count = nullptr;
    QPushButton* m_useCurrent = nullptr;
    QPushButton* m_allRam = nullptr;
    QPushButton* m_scopeData = nullptr;
    QLabel* m_destLabel = nullptr;
    CVltEditBrowseCtrl* m_dest = nullptr;
    QPushButton* m_advanced = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_close = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
};

#pragma once
// The "Upload TQ3300 Firmware" window of a board: uploads a firmware update
// package, or checks the loaded firmware against a verify package, on a
// worker thread; afterwards it may offer to restart or shut down the
// computer. Modeless; its document keeps the main frame disabled while it is
// open. It goes away by itself when closed or after a successful upload and
// then tells its document. While the upload runs it cannot be closed; when
// its document deletes it meanwhile, it waits for the upload to end first.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include <QDialog>
#include <QPointer>

#include "AppMessages.h"
#include "FirmwareUploadTexts.h"
#include "TQ8_64.h"
#include "TimerSet.h"

class CFirmwareUploadWorker;
class CMainDoc;
class QLabel;
class QProgressBar;
class QPushButton;

class CFirmwareUploadDlg : public QDialog, public vlt::IAppMessageTarget {
    Q_OBJECT
public:
    static constexpr unsigned kWaitTimer = 1;
    static constexpr int kWaitTickMs = 700;

    CFirmwareUploadDlg(CMainDoc* doc, TQ8_HANDLE device, const std::wstring& path, QWidget* parent = nullptr);
    ~CFirmwareUploadDlg() override;

    // Shows the board, the package and the board's firmware version; a
    // verify package also tells what it does (or warns of another version).
    void Initialise();

    bool IsWorking() const;
    uint32_t PackageFlags() const { return m_packageFlags; }
    bool IsVerifyFile() const { return (m_packageFlags & fwtext::kVerifyPackage) != 0; }
    const std::wstring& PackageText() const { return m_packageText; }
    std::wstring StatusText() const;
    void OnTimer(unsigned id);

    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

signals:
    // Every new text of the status line, as it is shown.
    void StatusChanged(const QString& text);

public slots:
    void OnUpload();
    // Cancel and Escape: ignored while the upload runs.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void ShowPackage();
    void CompareVerifyVersion(uint32_t packageVersion);
    bool PassesPreChecks();
    void SetWorking(bool working);
    void OnStage(int32_t fileIndex, uint32_t fileCount);
    void OnProgress(uint32_t position, uint32_t range);
    void OnWait(uint32_t waitMs);
    void OnFinished(int32_t result, const wchar_t* libraryText);
    void ReportCompletion();
    void RequestPower(vlt::PowerAction action);
    void SetStatus(const std::wstring& text);
    void CloseWindow();

    QPointer<CMainDoc> m_doc;
    TQ8_HANDLE m_device;
    std::wstring m_path;
    uint32_t m_packageFlags = 0;
    std::wstring m_packageText;
    std::wstring m_savedStatus;
    std::chrono::steady_clock::time_point m_waitEnd{};
    bool m_closing = false;
    vlt::TimerSet m_timers;
    std::unique_ptr<CFirmwareUploadWorker> m_worker;

    QLabel* m_deviceName = nullptr;
    QLabel* m_fileLabel = nullptr;
    QLabel* m_file = nullptr;
    QLabel* m_packageVersionLabel = nullptr;
    QLabel* m_packageVersion = nullptr;
    QLabel* m_currentVersion = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_upload = nullptr;
    QPushButton* m_cancel = nullptr;
};

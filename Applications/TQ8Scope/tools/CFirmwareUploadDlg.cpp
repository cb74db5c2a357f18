#include "CFirmwareUploadDlg.h"

#include <cerrno>
#include <climits>

#include <unistd.h>

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "AtomicFile.h"
#include "CFirmwareUploadWorker.h"
#include "CMainDoc.h"
#include "CWaitCursor.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "Mnemonic.h"
#include "PowerCommand.h"
#include "TextConv.h"

namespace {

constexpr int kPathWidth = 380; // long paths are shown with an ellipsis

QString ToQt(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

std::wstring FirmwareVersionText(TQ8_HANDLE device)
{
    wchar_t* text = nullptr;
    std::wstring version = fwtext::kNoVersion;
    if (GetVersionTextWTQ8(device, TQ8_VERSION_SYSTEM_FPGA, &text, 64) == TQ8_OK && text && *text)
        version = text;
    FreeMemoryTQ8(text);
    return version;
}

// Why the library could not read the package: the file reader's reason
// ("not a regular file"), or none when the file reads by now.
std::wstring PackageReadReason(const std::wstring& path)
{
    std::string reason;
    const int fd = vlt::OpenRegularFile(vlt::WideToUtf8(path), TQ8_FW_MAX_FILE_BYTES, nullptr, &reason);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    return vlt::Utf8ToWide(reason);
}

// The failure's message, with the file's reason when the library could not
// read it.
std::wstring FailureMessage(bool verify, int32_t result, const wchar_t* libraryText, const std::wstring& path)
{
    std::wstring text = fwtext::FailureText(verify, result, libraryText);
    if (const std::wstring reason = result == TQ8_ERR_FILE_UNREADABLE ? PackageReadReason(path) : L"";
        !reason.empty())
        text += L"\n\n" + reason;
    return text;
}

QLabel* AddRow(QGridLayout* grid, QWidget* parent, const QString& label, const char* name, QLabel** caption = nullptr)
{
    const int row = grid->rowCount();
    auto* title = new QLabel(label, parent);
    auto* value = new QLabel(parent);
    value->setObjectName(QString::fromLatin1(name));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    vlt::SetNoPrefix(value); // names and versions shown as they are
    grid->addWidget(title, row, 0);
    grid->addWidget(value, row, 1);
    if (caption)
        *caption = title;
    return value;
}

} // namespace

CFirmwareUploadDlg::CFirmwareUploadDlg(CMainDoc* doc, TQ8_HANDLE device, const std::wstring& path, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_device(device), m_path(path), m_timers([this](unsigned id) { OnTimer(id); }),
      m_worker(std::make_unique<CFirmwareUploadWorker>(this))
{
    BuildControls();
    setWindowTitle(ToQt(fwtext::kUploadCaption));
}

CFirmwareUploadDlg::~CFirmwareUploadDlg()
{
    // The upload cannot be cancelled: wait for it, silenced, so that it never
    // reports to a window that is gone or writes to a released board.
    if (IsWorking()) {
        CWaitCursor wait;
        m_worker->Stop();
    }
    m_worker.reset();
}

void CFirmwareUploadDlg::BuildControls()
{
    setObjectName(QStringLiteral("firmwareUploadDlg"));
    auto* grid = new QGridLayout;
    m_deviceName = AddRow(grid, this, QStringLiteral("Device:"), "device");
    m_file = AddRow(grid, this, QStringLiteral("Firmware file to upload:"), "file", &m_fileLabel);
    m_file->setMinimumWidth(kPathWidth); // room for the elided path whatever the captions take
    m_packageVersion = AddRow(grid, this, QStringLiteral("Firmware version to upload:"), "packageVersion",
                              &m_packageVersionLabel);
    m_currentVersion = AddRow(grid, this, QStringLiteral("Current firmware version:"), "currentVersion");
    grid->setColumnStretch(1, 1);

    m_status = new QLabel(ToQt(fwtext::kUploadReady), this);
    m_status->setObjectName(QStringLiteral("status"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    m_upload = new QPushButton(QStringLiteral("&Upload"), this);
    m_upload->setObjectName(QStringLiteral("upload"));
    m_upload->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setAutoDefault(false);
    connect(m_upload, &QPushButton::clicked, this, &CFirmwareUploadDlg::OnUpload);
    connect(m_cancel, &QPushButton::clicked, this, &CFirmwareUploadDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_upload);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
}

void CFirmwareUploadDlg::Initialise()
{
    m_deviceName->setText(ToQt(m_doc ? m_doc->GetDeviceDisplayName() : std::wstring(L"<No device>")));
    const QString path = ToQt(m_path);
    m_file->setText(m_file->fontMetrics().elidedText(path, Qt::ElideMiddle, kPathWidth));
    m_file->setToolTip(path);
    m_currentVersion->setText(ToQt(FirmwareVersionText(m_device)));
    ShowPackage();
}

void CFirmwareUploadDlg::ShowPackage()
{
    TQ8_FW_VERSION_INFO info{};
    info.size = sizeof info;
    if (QueryFirmwareVersionInfoWTQ8(m_path.c_str(), &info) != TQ8_OK) {
        m_packageFlags = 0;
        m_packageText = fwtext::kPackageUnknown;
    } else {
        m_packageFlags = info.flags;
        m_packageText = fwtext::PackageVersionText(info.version, info.custom);
    }
    m_packageVersion->setText(ToQt(m_packageText));
    if (!IsVerifyFile())
        return;
    setWindowTitle(ToQt(fwtext::kVerifyCaption));
    m_upload->setText(QStringLiteral("Verify"));
    SetStatus(fwtext::kVerifyReady);
    m_fileLabel->setText(QStringLiteral("Firmware verify file:"));
    m_packageVersionLabel->setText(QStringLiteral("Firmware version to verify:"));
    CompareVerifyVersion(info.version);
}

void CFirmwareUploadDlg::CompareVerifyVersion(uint32_t packageVersion)
{
    uint64_t boardVersion = 0;
    if (packageVersion != 0 && !(m_doc && m_doc->IsVirtualDevice()) &&
        GetPciFirmwareVersionTQ8(m_device, &boardVersion) == TQ8_OK && boardVersion != 0 &&
        fwtext::WidenVersion(packageVersion) != boardVersion) {
        vlt::ShowMessageBox(fwtext::VerifyVersionWarning(packageVersion, boardVersion), MB_ICONWARNING, this);
        return;
    }
    vlt::ShowMessageBox(fwtext::kVerifyFileNotice, MB_ICONINFORMATION, this);
}

bool CFirmwareUploadDlg::IsWorking() const
{
    return m_worker && m_worker->IsRunning();
}

std::wstring CFirmwareUploadDlg::StatusText() const
{
    return vlt::Utf8ToWide(m_status->text().toStdString());
}

void CFirmwareUploadDlg::SetStatus(const std::wstring& text)
{
    m_status->setText(ToQt(text));
    emit StatusChanged(m_status->text());
}

void CFirmwareUploadDlg::OnUpload()
{
    if (IsWorking() || m_closing)
        return;
    // Virtual boards have no EEPROM or scan chain to check.
    if (!(m_doc && m_doc->IsVirtualDevice()) && !PassesPreChecks())
        return;
    int error = 0;
    if (!m_worker->Start(m_device, m_path, error)) {
        ShowSystemErrorBox(error, fwtext::kThreadFailure);
        return;
    }
    SetWorking(true);
}

bool CFirmwareUploadDlg::PassesPreChecks()
{
    if (ValidateConfigEepromTQ8(m_device) < 0) {
        vlt::ShowMessageBox(fwtext::kEepromFailure, MB_ICONERROR, this);
        return false;
    }
    char* codes = nullptr;
    const int32_t rc = GetJtagIdCodesATQ8(m_device, &codes);
    const bool empty = codes == nullptr || *codes == '\0';
    FreeMemoryTQ8(codes);
    if (rc < 0) {
        ShowDeviceErrorBox(rc, fwtext::kJtagCheckFailure, m_device);
        return false;
    }
    if (empty) {
        vlt::ShowMessageBox(fwtext::kJtagFailure, MB_ICONERROR, this);
        return false;
    }
    return true;
}

void CFirmwareUploadDlg::SetWorking(bool working)
{
    m_upload->setEnabled(!working);
    m_cancel->setEnabled(!working);
}

intptr_t CFirmwareUploadDlg::OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam)
{
    switch (msg) {
    case WM_APP + 10:
        OnFinished(static_cast<int32_t>(static_cast<intptr_t>(wParam)), reinterpret_cast<const wchar_t*>(lParam));
        break;
    case WM_APP + 11:
        OnStage(static_cast<int32_t>(wParam), static_cast<uint32_t>(lParam));
        m_worker->StageShown();
        break;
    case WM_APP + 12: OnProgress(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)); break;
    case WM_APP + 13: OnWait(static_cast<uint32_t>(lParam)); break;
    default: break;
    }
    return 0;
}

void CFirmwareUploadDlg::OnStage(int32_t fileIndex, uint32_t fileCount)
{
    SetStatus(fwtext::StageText(IsVerifyFile(), fileIndex, fileCount));
}

void CFirmwareUploadDlg::OnProgress(uint32_t position, uint32_t range)
{
    // The bar counts in int.
    while (range > static_cast<uint32_t>(INT_MAX)) {
        range >>= 1;
        position >>= 1;
    }
    if (range == 0) {
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        return;
    }
    m_progress->setRange(0, static_cast<int>(range));
    m_progress->setValue(static_cast<int>(position < range ? position : range));
}

void CFirmwareUploadDlg::OnWait(uint32_t waitMs)
{
    if (waitMs == 0) {
        SetStatus(m_savedStatus);
        m_timers.KillTimer(kWaitTimer);
        return;
    }
    // A second wait before the first is over keeps the line saved first.
    if (!m_timers.IsActive(kWaitTimer))
        m_savedStatus = StatusText();
    SetStatus(fwtext::kPleaseWait);
    m_waitEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    m_timers.SetTimer(kWaitTimer, kWaitTickMs);
}

void CFirmwareUploadDlg::OnTimer(unsigned id)
{
    if (id != kWaitTimer)
        return;
    if (const std::optional<int64_t> left = fwtext::RemainingSeconds(m_waitEnd, std::chrono::steady_clock::now())) {
        SetStatus(fwtext::WaitText(*left));
        return;
    }
    SetStatus(fwtext::kPleaseWait);
    m_timers.KillTimer(kWaitTimer);
}

void CFirmwareUploadDlg::OnFinished(int32_t result, const wchar_t* libraryText)
{
    m_worker->Join();
    m_timers.KillTimer(kWaitTimer);
    if (result < 0) {
        SetStatus(fwtext::FailureStatus(IsVerifyFile()));
        vlt::ShowMessageBox(FailureMessage(IsVerifyFile(), result, libraryText, m_path), MB_ICONERROR, this);
        SetWorking(false);
        return;
    }
    // New firmware changes what the board reports: its views read it again.
    if (m_doc && (m_worker->OutFlags() & (TQ8_FW_OUT_UP_TO_DATE | TQ8_FW_OUT_VERIFIED)) == 0)
        m_doc->NotifyBoardSettingsChanged();
    ReportCompletion();
    CloseWindow();
}

void CFirmwareUploadDlg::ReportCompletion()
{
    const fwtext::CompletionReport report = fwtext::ReportFor(m_worker->OutFlags());
    for (const std::wstring& notice : report.notices)
        vlt::ShowMessageBox(notice, MB_ICONINFORMATION, this);
    if (report.ask &&
        vlt::ShowMessageBox(fwtext::PowerQuestion(*report.ask), MB_YESNOCANCEL | MB_ICONQUESTION, this) == IDYES)
        RequestPower(*report.ask);
}

void CFirmwareUploadDlg::RequestPower(vlt::PowerAction action)
{
    errno = 0;
    if (vlt::RequestSystemPower(action) == 0)
        return;
    const int error = errno;
    ShowSystemErrorBox(error, fwtext::PowerFailurePrefix(action).c_str());
}

void CFirmwareUploadDlg::reject()
{
    if (!IsWorking())
        CloseWindow();
}

void CFirmwareUploadDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (!IsWorking())
        CloseWindow();
}

void CFirmwareUploadDlg::CloseWindow()
{
    if (m_closing)
        return;
    m_closing = true;
    m_timers.KillTimer(kWaitTimer);
    hide();
    if (m_doc)
        m_doc->OnFirmwareUploadDlgClosed();
    deleteLater();
}

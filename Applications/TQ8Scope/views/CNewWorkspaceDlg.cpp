#include "CNewWorkspaceDlg.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "CDeviceManagerTQ8.h"
#include "CMainApp.h"
#include "CPersistentOpts.h"
#include "CVltEditBrowseCtrl.h"
#include "CVltHub6Mgr.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "TQ8_64.h"

namespace {

const wchar_t* const kRadioTexts[CNewWorkspaceDlg::kTypeCount] = {
    L"Blank workspace - Do not connect to any TQ3300 devices",
    L"Local workspace - Connect to all local TQ3300 devices",
    L"Remote workspace - Connect to all TQ3300 devices on a remote system",
    L"Virtual workspace - Connect to a single, virtual TQ3300 device",
    L"Existing workspace - Load an existing workspace",
};

bool PathExists(const std::wstring& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(vlt::WideToUtf8(path)), ec);
}

std::wstring TextOf(const QLineEdit* edit)
{
    return vlt::Utf8ToWide(edit->text().toStdString());
}

} // namespace

CNewWorkspaceDlg::CNewWorkspaceDlg(QWidget* parent, CPersistentOpts& options, size_t connectedBoards)
    : QDialog(parent), m_options(options), m_softwareInstalled(IsHub6SoftwareInstalled())
{
    ReadOptions(connectedBoards);
    BuildControls();
    InitDialog();
}

CNewWorkspaceDlg::~CNewWorkspaceDlg()
{
    m_options.SetItemInt(opts::kWsNewType, m_type);
    m_options.SetItemInt(opts::kWsNewSyncDevs, m_syncDevices);
    m_options.SetItemInt(opts::kWsNewVirtSync, m_virtualSync);
    m_options.SetItemInt(opts::kWsNewSpud, m_powerupDefaults);
    m_options.SetItem(opts::kWsNewSrvAddr, m_server.c_str());
    m_options.SetItem(opts::kWsNewWsPath, m_path.c_str());
}

void CNewWorkspaceDlg::Register()
{
    CWorkspaceTQ8::SetNewWorkspaceDialog(
        [](QWidget* parent, CWorkspaceTQ8& ws, CWorkspaceTQ8::NewWorkspace& choice) {
            CMainApp* app = CMainApp::Instance();
            if (!app)
                return false;
            const CDeviceManagerTQ8* devices = ws.GetDeviceManager();
            CNewWorkspaceDlg dlg(parent, app->GetPersistentOpts(), devices ? devices->GetDeviceCount() : 0);
            if (dlg.exec() != QDialog::Accepted)
                return false;
            choice = dlg.GetChoice();
            return true;
        });
}

// Each default may depend on the values read before it.
void CNewWorkspaceDlg::ReadOptions(size_t connectedBoards)
{
    const int32_t defaultType = connectedBoards > 0 ? 1 : 3;
    int32_t type = defaultType;
    m_options.GetItemInt(opts::kWsNewType, type, defaultType);
    // A remembered type that names no choice would leave the dialog without one.
    m_type = type >= 0 && type < kTypeCount ? type : defaultType;
    m_options.GetItemInt(opts::kWsNewSyncDevs, m_syncDevices, m_softwareInstalled ? 1 : 0);
    m_options.GetItemInt(opts::kWsNewVirtSync, m_virtualSync, m_syncDevices && m_type == 3 ? 1 : 0);
    m_options.GetItemInt(opts::kWsNewSpud, m_powerupDefaults, opts::kWsNewSpudDefault);
    m_options.GetItemString(opts::kWsNewSrvAddr, m_server);
    m_options.GetItemString(opts::kWsNewWsPath, m_path);
}

void CNewWorkspaceDlg::BuildControls()
{
    setWindowTitle(QStringLiteral("New TQ3300 Workspace"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("What kind of workspace would you like to create?"), this));
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < kTypeCount; ++i) {
        m_radios[i] = WithId(new QRadioButton(ToQt(kRadioTexts[i]), this), kFirstChoiceId + i);
        group->addButton(m_radios[i], i);
        layout->addWidget(m_radios[i]);
        connect(m_radios[i], &QRadioButton::clicked, this, &CNewWorkspaceDlg::UpdateDependentControls);
    }
    m_serverLabel = WithId(new QLabel(QStringLiteral("Remote server address:"), this), kServerLabelId);
    m_serverEdit = WithId(new QLineEdit(this), kServerId);
    m_virtualSyncCheck = WithId(new QCheckBox(QStringLiteral("Connect to a virtual HUB3300-6 device"), this), kVirtualSyncId);
    m_fileLabel = WithId(new QLabel(QStringLiteral("Workspace file:"), this), kFileLabelId);
    m_fileEdit = WithId(new CVltEditBrowseCtrl(this), kFileId);
    m_syncCheck =
        WithId(new QCheckBox(QStringLiteral("Connect to detected HUB3300-6 synchronization devices"), this), kDetectSyncId);
    m_powerupCheck = WithId(new QCheckBox(QStringLiteral("Apply power-up defaults to all hardware devices"), this), kPowerUpId);
    auto* note = WithId(
        new QLabel(QStringLiteral("Note: Devices of any type can be added or removed after the workspace has been created"),
                   this),
        kNoteId);
    m_softwareNote = WithId(
        new QLabel(QStringLiteral("Note: HUB3300-6 product software must be installed to use HUB3300-6 devices"), this),
        kSoftwareNoteId);
    for (QWidget* w : std::initializer_list<QWidget*>{m_serverLabel, m_serverEdit, m_virtualSyncCheck, m_fileLabel,
                                                      m_fileEdit, m_syncCheck, m_powerupCheck, note, m_softwareNote})
        layout->addWidget(w);
    m_softwareNote->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNewWorkspaceDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNewWorkspaceDlg::reject);
}

void CNewWorkspaceDlg::InitDialog()
{
    if (!m_softwareInstalled) {
        m_softwareNote->show();
        m_syncCheck->setEnabled(false);
        m_virtualSyncCheck->setEnabled(false);
    }
    if (GetDeviceCountTQ8() <= 0) {
        m_radios[1]->setText(QStringLiteral("Local workspace - Disabled; no local devices detected"));
        m_radios[1]->setEnabled(false);
        if (m_type == 1)
            m_type = 3;
    }
    m_radios[m_type]->setChecked(true);
    m_syncCheck->setChecked(m_syncDevices != 0);
    m_virtualSyncCheck->setChecked(m_virtualSync != 0);
    m_powerupCheck->setChecked(m_powerupDefaults != 0);
    m_serverEdit->setText(ToQt(m_server));
    m_fileEdit->SetText(m_path);
    m_fileEdit->EnableFileBrowseButton(L"tq8ws", L"TQ3300 Workspace Files (*.tq8ws)|*.tq8ws|All Files (*.*)|*.*||");
    m_fileEdit->SetOpenMode(1);
    m_fileEdit->SetDialogTitle(L"Open TQ3300 Workspace");
    m_serverEdit->setPlaceholderText(QStringLiteral("  Dotted IP address or URL"));
    UpdateDependentControls();
}

int CNewWorkspaceDlg::CheckedType() const
{
    for (int i = 0; i < kTypeCount; ++i)
        if (m_radios[i]->isChecked())
            return i;
    return -1;
}

void CNewWorkspaceDlg::UpdateDependentControls()
{
    const int type = CheckedType();
    m_serverLabel->setEnabled(type == 2);
    m_serverEdit->setEnabled(type == 2);
    m_virtualSyncCheck->setEnabled(m_softwareInstalled && type == 3);
    m_fileLabel->setEnabled(type == 4);
    m_fileEdit->setEnabled(type == 4);
}

bool CNewWorkspaceDlg::SaveControls()
{
    const int type = CheckedType();
    if (type < 0) {
        vlt::ShowMessageBox(L"Please select the kind of workspace to create", MB_ICONERROR, this);
        return false;
    }
    m_type = type;
    m_syncDevices = m_syncCheck->isChecked() ? 1 : 0;
    m_virtualSync = m_virtualSyncCheck->isChecked() ? 1 : 0;
    m_powerupDefaults = m_powerupCheck->isChecked() ? 1 : 0;
    m_server = TextOf(m_serverEdit);
    if (m_type == 2 && m_server.empty()) {
        m_serverEdit->setFocus();
        vlt::ShowMessageBox(L"A TQ3300 server address must be specified. It can be any dotted IP address "
                            L"(e.g. 192.168.1.20) or URL (e.g. daq-lab.example.com).",
                            MB_ICONERROR, this);
        return false;
    }
    m_path = m_fileEdit->GetText();
    if (m_type == 4) {
        const wchar_t* problem = nullptr;
        if (m_path.empty())
            problem = L"Please specify a workspace file pathname";
        else if (!PathExists(m_path))
            problem = L"Specified workspace file does not exist";
        if (problem) {
            m_fileEdit->setFocus();
            vlt::ShowMessageBox(problem, MB_ICONERROR, this);
            return false;
        }
    }
    return true;
}

bool CNewWorkspaceDlg::VerifyServer()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int32_t count = GetRemoteDeviceCountWTQ8(m_server.c_str(), kServerPort, nullptr);
    const int connectError = errno;
    QGuiApplication::restoreOverrideCursor();
    if (count < 0) {
        ShowConnectErrorBox(count, L"Failed to verify remote server: ", connectError, MB_ICONERROR);
        return false;
    }
    if (count == 0) {
        vlt::ShowMessageBox(L"Remote server is running but has no TQ3300 devices", MB_OK, this);
        return false;
    }
    return true;
}

void CNewWorkspaceDlg::accept()
{
    if (!SaveControls())
        return;
    if (m_type == 2 && !VerifyServer())
        return;
    QDialog::accept();
}

CWorkspaceTQ8::NewWorkspace CNewWorkspaceDlg::GetChoice() const
{
    CWorkspaceTQ8::NewWorkspace choice;
    choice.type = m_type;
    choice.server = m_server;
    // Remembered check marks count only where the software can use them.
    choice.useSyncDevices = m_softwareInstalled && m_syncDevices != 0;
    choice.virtualSync = m_softwareInstalled && m_type == 3 && m_virtualSync != 0;
    choice.powerupDefaults = m_powerupDefaults != 0;
    choice.path = m_path;
    return choice;
}

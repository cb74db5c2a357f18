#include "CConnectRemoteDeviceDlg.h"

#include <cerrno>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "CMainApp.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "RemoteConnectTexts.h"
#include "ServiceClientSocket.h"
#include "TQ8_64.h"
#include "TextConv.h"

namespace {

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

std::wstring W(const QString& text)
{
    return text.toStdWString();
}

// Wide enough for its longest usual entry: a host name, "1 : SN:12345".
QComboBox* EditableList(QWidget* parent, int characters)
{
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumContentsLength(characters);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return box;
}

} // namespace

CConnectRemoteDeviceDlg::CConnectRemoteDeviceDlg(QWidget* parent, const std::wstring& recentSection)
    : QDialog(parent), m_recent(recentSection)
{
    m_intro = new QLabel(this);
    m_intro->setWordWrap(true);
    m_serverLabel = new QLabel(this);
    m_portLabel = new QLabel(this);
    m_serverBox = EditableList(this, 24);
    m_serverBox->setObjectName(QStringLiteral("server"));
    m_portBox = EditableList(this, 6);
    m_portBox->setObjectName(QStringLiteral("port"));
    m_serverLabel->setBuddy(m_serverBox);
    m_portLabel->setBuddy(m_portBox);
    m_allBox = new QCheckBox(QStringLiteral("Connect to &all devices on server"), this);
    m_allBox->setChecked(true);
    m_virtualBox = new QCheckBox(QStringLiteral("Connect to a single &virtual device"), this);
    m_boardLabel = new QLabel(QStringLiteral("Connect to board &number:"), this);
    m_boardBox = EditableList(this, 14);
    m_boardBox->setObjectName(QStringLiteral("boardNumber"));
    m_boardLabel->setBuddy(m_boardBox);
    m_testButton = new QPushButton(QStringLiteral("&Test Server"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* grid = new QGridLayout;
    grid->addWidget(m_serverLabel, 0, 0);
    grid->addWidget(m_serverBox, 0, 1);
    grid->addWidget(m_portLabel, 1, 0);
    grid->addWidget(m_portBox, 1, 1);
    grid->addWidget(m_allBox, 2, 0, 1, 2);
    grid->addWidget(m_virtualBox, 3, 0, 1, 2);
    grid->addWidget(m_boardLabel, 4, 0);
    grid->addWidget(m_boardBox, 4, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_intro);
    layout->addLayout(grid);
    layout->addWidget(m_testButton, 0, Qt::AlignLeft);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_testButton, &QPushButton::clicked, this, [this] { OnTestServer(); });
    connect(m_allBox, &QCheckBox::clicked, this, [this] { UpdateBoardNumberState(); });
    connect(m_virtualBox, &QCheckBox::clicked, this, [this] { UpdateBoardNumberState(); });
}

CConnectRemoteDeviceDlg::~CConnectRemoteDeviceDlg()
{
    if (m_recentChanged)
        m_recent.WriteList();
}

void CConnectRemoteDeviceDlg::showEvent(QShowEvent* event)
{
    // The kind's texts and port come from the derived class, so not from the constructor.
    if (!m_started) {
        m_started = true;
        Start();
    }
    QDialog::showEvent(event);
}

void CConnectRemoteDeviceDlg::Start()
{
    m_port = DefaultPort();
    m_portBox->setEditText(QString::number(m_port));
    m_serverBox->setEditText(Q(m_server));
    if (m_boardNumber != -1)
        m_boardBox->setEditText(QString::number(static_cast<uint32_t>(m_boardNumber)));
    ApplyKindTexts();
    FillRecentServers();
    if (!IsUnsafeMode()) {
        m_virtualBox->setChecked(false);
        m_virtualBox->setEnabled(false);
        m_virtualBox->hide();
    }
    UpdateBoardNumberState();
}

void CConnectRemoteDeviceDlg::ApplyKindTexts()
{
    const QString kind = Q(KindName());
    m_serverLabel->setText(QStringLiteral("%1 &server address:").arg(kind));
    m_portLabel->setText(QStringLiteral("%1 server &port:").arg(kind));
    m_intro->setText(QStringLiteral("Use this interface to connect the TQ3300 Scope Application to a %1 residing on a "
                                    "remote computer.")
                         .arg(kind));
    setWindowTitle(QStringLiteral("Connect to Remote %1 Device").arg(kind));
}

void CConnectRemoteDeviceDlg::FillRecentServers()
{
    m_recent.ReadList();
    int added = 0;
    for (const std::wstring& entry : m_recent.Items()) {
        std::wstring server, port;
        CRecentServerList::SplitEntry(entry, server, port);
        m_serverBox->addItem(Q(server));
        m_portBox->addItem(Q(port));
        ++added;
    }
    if (added > 0) {
        m_serverBox->setCurrentIndex(0);
        m_portBox->setCurrentIndex(0);
    }
}

void CConnectRemoteDeviceDlg::UpdateBoardNumberState()
{
    const bool single = !m_allBox->isChecked() && !m_virtualBox->isChecked();
    m_boardLabel->setEnabled(single);
    m_boardBox->setEnabled(single);
}

bool CConnectRemoteDeviceDlg::IsUnsafeMode() const
{
    const CMainApp* app = CMainApp::Instance();
    return app && app->IsUnsafeMode();
}

bool CConnectRemoteDeviceDlg::ExchangeData()
{
    uint16_t port = 0;
    if (!remote_connect::ParsePort(W(m_portBox->currentText()), port)) {
        vlt::ShowMessageBox(L"Please enter an integer between " + std::to_wstring(remote_connect::kMinPort) +
                                L" and " + std::to_wstring(remote_connect::kMaxPort) + L".",
                            MB_ICONWARNING, this);
        m_portBox->setFocus();
        m_portBox->lineEdit()->selectAll();
        return false;
    }
    m_server = W(m_serverBox->currentText());
    m_port = port;
    m_allDevices = m_allBox->isChecked();
    m_virtual = m_virtualBox->isChecked();
    return true;
}

bool CConnectRemoteDeviceDlg::CheckServer(const wchar_t* emptyText)
{
    if (m_server.empty()) {
        vlt::ShowMessageBox(emptyText, MB_ICONERROR, this);
        m_serverBox->setFocus();
        return false;
    }
    // The recent list keeps "server|port": a bar in the address would split it wrongly.
    if (!remote_connect::IsServerAddressStorable(m_server)) {
        vlt::ShowMessageBox(L"The server address must not contain the character \"|\".", MB_ICONERROR, this);
        m_serverBox->setFocus();
        return false;
    }
    // Refused here, before anything is tried, with the dialog still open.
    if (IsMalformedNumericAddress(vlt::WideToUtf8(m_server))) {
        vlt::ShowMessageBox(remote_connect::MalformedAddressMessage(m_server), MB_ICONERROR, this);
        m_serverBox->setFocus();
        return false;
    }
    return true;
}

bool CConnectRemoteDeviceDlg::ReadBoardNumber()
{
    uint32_t number = 0;
    switch (remote_connect::ParseBoardNumber(W(m_boardBox->currentText()), number)) {
    case remote_connect::BoardNumberResult::Empty:
        vlt::ShowMessageBox(L"Please specify a TQ3300 serial or ordinal number", MB_ICONERROR, this);
        m_boardBox->setFocus();
        return false;
    case remote_connect::BoardNumberResult::Invalid:
        vlt::ShowMessageBox(L"Please enter a valid integral board number", MB_ICONERROR, this);
        m_boardBox->setFocus();
        return false;
    case remote_connect::BoardNumberResult::Ok:
        break;
    }
    m_boardNumber = static_cast<int32_t>(number);
    return true;
}

void CConnectRemoteDeviceDlg::accept()
{
    if (!ExchangeData())
        return;
    if (!CheckServer(L"Please enter a server address. This can be in URL or IP format"))
        return;
    if (!m_allDevices && !m_virtual && !ReadBoardNumber())
        return;
    QDialog::accept();
}

void CConnectRemoteDeviceDlg::OnTestServer()
{
    if (!ExchangeData())
        return;
    if (!CheckServer(L"Please enter a server address. This can be any IP address or URL"))
        return;
    std::vector<uint32_t> serials;
    if (!TestServer(m_server, m_port, serials))
        return;
    if (!serials.empty()) {
        m_boardBox->clear();
        for (size_t i = 0; i < serials.size(); ++i)
            m_boardBox->addItem(Q(remote_connect::DeviceItemText(i + 1, serials[i])));
        m_boardBox->setCurrentIndex(0);
    }
    vlt::ShowMessageBox(remote_connect::ServerTestMessage(serials.size(), KindName()), MB_ICONINFORMATION, this);
}

bool CConnectRemoteDeviceDlg::TestServer(const std::wstring& server, uint16_t port, std::vector<uint32_t>& serials)
{
    uint32_t* list = nullptr;
    const int32_t count = GetRemoteDeviceCountWTQ8(server.c_str(), port, &list);
    const int connectError = errno;
    if (count < 0) {
        FreeMemoryTQ8(list);
        ShowConnectErrorBox(count, L"Remote server test failed: ", connectError);
        return false;
    }
    if (list)
        serials.assign(list, list + count);
    // The library may hand out an array even with no boards.
    FreeMemoryTQ8(list);
    return true;
}

void CConnectRemoteDeviceDlg::AddServerToRecentList()
{
    m_recent.AddServer(CRecentServerList::MakeEntry(m_server, m_port));
    m_recentChanged = true;
}

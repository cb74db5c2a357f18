#include "CMainFrame.h"

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "CChildFrame.h"
#include "CMainApp.h"
#include "CVltPropertySheet.h"
#include "CommandIds.h"
#include "FirmwareGeneratorLauncher.h"
#include "MessageBox.h"
#include "TextConv.h"
#include "TimedStatusText.h"

namespace {

QString Q(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

constexpr int kCommandUiIntervalMs = 250;

const wchar_t* KindText(int kind)
{
    switch (kind) {
    case 1: return L"hardware settings file";
    case 2: return L"firmware update file";
    default: return L"acquisition data file";
    }
}

} // namespace

CMainFrame::CMainFrame(CMainApp& app) : m_app(app)
{
    setWindowTitle(Q(kAppTitle));
    m_mdi = new QMdiArea(this);
    m_mdi->setViewMode(QMdiArea::TabbedView);
    m_mdi->setTabsClosable(true);
    m_mdi->setTabsMovable(true);
    setCentralWidget(m_mdi);
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    resize(1280, 860);
    // The framework's idle update of the commands' states.
    auto* uiTimer = new QTimer(this);
    connect(uiTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    uiTimer->start(kCommandUiIntervalMs);
    UpdateCommandUI();
}

CMainFrame::~CMainFrame()
{
    m_closed = true;
    CloseAllDocumentFrames();
}

QAction* CMainFrame::AddCommand(QMenu* menu, unsigned id, const QString& text)
{
    const int tab = text.indexOf(QLatin1Char('\t'));
    auto* action = new QAction(tab < 0 ? text : text.left(tab), this);
    if (tab >= 0)
        action->setShortcut(QKeySequence(text.mid(tab + 1)));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    if (menu)
        menu->addAction(action);
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateMenus()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(m_fileMenu, cmd::kFileNew, QStringLiteral("&New Local TQ3300 Device\tCtrl+N"));
    AddCommand(m_fileMenu, cmd::kNewRemoteDevice, QStringLiteral("New Remote TQ3300 Device..."));
    AddCommand(m_fileMenu, cmd::kFileClose, QStringLiteral("&Close TQ3300 Device"));
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, cmd::kNewWorkspace, QStringLiteral("New Workspace...\tCtrl+Shift+N"));
    AddCommand(m_fileMenu, cmd::kOpenWorkspace, QStringLiteral("Open Workspace...\tCtrl+Shift+O"));
    AddCommand(m_fileMenu, cmd::kSaveWorkspace, QStringLiteral("Save Workspace\tCtrl+Shift+S"));
    AddCommand(m_fileMenu, cmd::kSaveWorkspaceAs, QStringLiteral("Save Workspace As..."));
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, cmd::kRecordedDataDetails, QStringLiteral("Recorded Data Details..."));
    m_recentSeparator = m_fileMenu->addSeparator();
    m_fileMenu->addSeparator();
    AddCommand(m_fileMenu, cmd::kAppExit, QStringLiteral("E&xit"));
    connect(m_fileMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateRecentFileMenu);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    AddCommand(view, cmd::kViewToolbar, QStringLiteral("&Toolbar"))->setCheckable(true);
    AddCommand(view, cmd::kViewStatusBar, QStringLiteral("&Status Bar"))->setCheckable(true);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    AddCommand(tools, cmd::kRecord, QStringLiteral("Record..."));
    AddCommand(tools, cmd::kSyncManager, QStringLiteral("External Synchronization Device Manager..."));
    AddCommand(tools, cmd::kUserFirmwareGenerator, QStringLiteral("User Firmware File Generator..."));
    tools->addSeparator();
    AddCommand(tools, cmd::kProgramOptions, QStringLiteral("Program Options..."));

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    AddCommand(window, cmd::kNewHorzTabGroup, QStringLiteral("New Horizontal Tab Group"));
    AddCommand(window, cmd::kNewVertTabGroup, QStringLiteral("New Vertical Tab Group"));
    AddCommand(window, cmd::kMoveToNextTabGroup, QStringLiteral("Move to Ne&xt Tab Group"));
    AddCommand(window, cmd::kMoveToPrevTabGroup, QStringLiteral("Move to P&revious Tab Group"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, cmd::kHelpFinder, QStringLiteral("&Help Topics"));
    help->addSeparator();
    AddCommand(help, cmd::kAppAbout, QStringLiteral("&About TQ3300 Scope Application..."));
}

void CMainFrame::CreateToolBar()
{
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("Standard"));
    QStyle* st = style();
    m_actions[cmd::kFileNew]->setIcon(st->standardIcon(QStyle::SP_FileIcon));
    m_actions[cmd::kOpenWorkspace]->setIcon(st->standardIcon(QStyle::SP_DialogOpenButton));
    m_actions[cmd::kSaveWorkspace]->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
    m_actions[cmd::kRecord]->setIcon(st->standardIcon(QStyle::SP_MediaPlay));
    m_actions[cmd::kAppAbout]->setIcon(st->standardIcon(QStyle::SP_MessageBoxInformation));
    bar->addAction(m_actions[cmd::kFileNew]);
    bar->addAction(m_actions[cmd::kOpenWorkspace]);
    bar->addAction(m_actions[cmd::kSaveWorkspace]);
    bar->addSeparator();
    bar->addAction(m_actions[cmd::kRecord]);
    bar->addSeparator();
    bar->addAction(m_actions[cmd::kAppAbout]);
}

void CMainFrame::CreateStatusBar()
{
    m_messagePane = new QLabel(this);
    m_modifiedIndicator = new QLabel(QStringLiteral("MODIFIED"), this);
    statusBar()->addWidget(m_messagePane, 1);
    statusBar()->addPermanentWidget(m_modifiedIndicator);
    m_status = new vlt::TimedStatusText(m_messagePane, this);
}

void CMainFrame::ShowStatusText(const std::wstring& text, unsigned timeoutMs)
{
    m_status->Show(text, timeoutMs);
}

void CMainFrame::ClearStatusText()
{
    m_status->Clear();
}

std::wstring CMainFrame::GetStatusText() const
{
    return m_status->PaneText();
}

QAction* CMainFrame::CommandAction(unsigned id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::UpdateCommandUI()
{
    IWorkspaceTQ8& ws = m_app.GetWorkspace();
    const bool files = ws.SupportsFiles();
    auto enable = [this](unsigned id, bool on) {
        if (QAction* a = CommandAction(id))
            a->setEnabled(on);
    };
    enable(cmd::kFileNew, m_app.CanNewLocalDevice());
    enable(cmd::kFileClose, m_mdi->activeSubWindow() != nullptr);
    enable(cmd::kNewWorkspace, files);
    enable(cmd::kOpenWorkspace, files);
    enable(cmd::kSaveWorkspace, files);
    enable(cmd::kSaveWorkspaceAs, files);
    enable(cmd::kUserFirmwareGenerator, true);
    enable(cmd::kAppAbout, true);
    enable(cmd::kAppExit, true);
    // Their windows are not built yet (connect dialog, recording window,
    // details pages, sync manager, option pages, help), and the document
    // area has no tab groups.
    for (unsigned id : {cmd::kNewRemoteDevice, cmd::kRecord, cmd::kRecordedDataDetails, cmd::kSyncManager,
                        cmd::kProgramOptions, cmd::kHelpFinder, cmd::kNewHorzTabGroup, cmd::kNewVertTabGroup,
                        cmd::kMoveToNextTabGroup, cmd::kMoveToPrevTabGroup})
        enable(id, false);
    if (QAction* a = CommandAction(cmd::kViewToolbar)) {
        const auto bars = findChildren<QToolBar*>();
        a->setChecked(!bars.isEmpty() && bars.front()->isVisible());
    }
    if (QAction* a = CommandAction(cmd::kViewStatusBar))
        a->setChecked(statusBar()->isVisible());
    m_modifiedIndicator->setEnabled(ws.IsModified());
}

void CMainFrame::UpdateRecentFileMenu()
{
    for (QAction* a : m_recentActions)
        delete a;
    m_recentActions.clear();
    const CRecentFileList& list = m_app.GetRecentFileList();
    QAction* before = m_fileMenu->actions().value(m_fileMenu->actions().indexOf(m_recentSeparator) + 1);
    for (size_t i = 0; i < list.GetSize(); ++i) {
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(Q(list[i])), this);
        // Opening a settings file is the board document's command.
        a->setEnabled(false);
        m_fileMenu->insertAction(before, a);
        m_recentActions.push_back(a);
    }
}

bool CMainFrame::OnCommand(unsigned id)
{
    UpdateCommandUI();
    QAction* action = CommandAction(id);
    if (action && !action->isEnabled())
        return false;
    switch (id) {
    case cmd::kFileNew: m_app.OnFileNewLocalDevice(); return true;
    case cmd::kFileClose:
        if (QMdiSubWindow* sub = m_mdi->activeSubWindow())
            sub->close();
        return true;
    case cmd::kNewWorkspace: m_app.OnFileNewWorkspace(); return true;
    case cmd::kOpenWorkspace: m_app.OnFileOpenWorkspace(); return true;
    case cmd::kSaveWorkspace: m_app.OnFileSaveWorkspace(); return true;
    case cmd::kSaveWorkspaceAs: m_app.OnFileSaveWorkspaceAs(); return true;
    case cmd::kUserFirmwareGenerator: OnUserFirmwareGenerator(); return true;
    case cmd::kAppAbout: m_app.OnAppAbout(); return true;
    case cmd::kAppExit: close(); return true;
    case cmd::kViewToolbar:
        for (QToolBar* bar : findChildren<QToolBar*>())
            bar->setVisible(!bar->isVisible());
        return true;
    case cmd::kViewStatusBar: statusBar()->setVisible(!statusBar()->isVisible()); return true;
    case cmd::kTabMenuCancel: return true;
    default: return false;
    }
}

intptr_t CMainFrame::OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam)
{
    if (msg == WM_APP)
        return OnContinuousAcquisition(wParam, reinterpret_cast<IBoardDocument*>(lParam));
    if (msg == WM_APP + 2) {
        ApplyFileToNextDevice();
        return 0;
    }
    if (msg == WM_COMMAND)
        return OnCommand(static_cast<unsigned>(wParam)) ? 1 : 0;
    return 0;
}

CChildFrame* CMainFrame::CreateChildFrame(std::unique_ptr<IBoardDocument> doc)
{
    auto* child = new CChildFrame(std::move(doc), m_app);
    QMdiSubWindow* sub = m_mdi->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(child->windowTitle());
    sub->showMaximized();
    child->AddControlPages();
    return child;
}

std::vector<CChildFrame*> CMainFrame::GetChildFrames() const
{
    std::vector<CChildFrame*> frames;
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (auto* child = qobject_cast<CChildFrame*>(sub->widget()))
            frames.push_back(child);
    return frames;
}

std::vector<IBoardDocument*> CMainFrame::GetDocuments() const
{
    std::vector<IBoardDocument*> docs;
    for (CChildFrame* child : GetChildFrames())
        if (child->GetDocument())
            docs.push_back(child->GetDocument());
    return docs;
}

IBoardDocument* CMainFrame::FindDocument(TQ8_HANDLE device) const
{
    for (IBoardDocument* doc : GetDocuments())
        if (device && doc->GetDeviceHandle() == device)
            return doc;
    return nullptr;
}

CChildFrame* CMainFrame::FindChildFrame(const IBoardDocument* doc) const
{
    for (CChildFrame* child : GetChildFrames())
        if (child->GetDocument() == doc)
            return child;
    return nullptr;
}

void CMainFrame::CloseAllDocumentFrames()
{
    if (!m_mdi)
        return;
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (auto* child = qobject_cast<CChildFrame*>(sub->widget()))
            child->CloseDocument();
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        delete sub;
    }
}

bool CMainFrame::CloseRecordingWindow(bool)
{
    return true;
}

int CMainFrame::CommandLineFileKind(const std::wstring& path)
{
    std::wstring ext = vlt::Utf8ToWide(std::filesystem::path(vlt::WideToUtf8(path)).extension().string());
    QString e = Q(ext).toLower();
    if (e == QLatin1String(".tq8set"))
        return 1;
    if (e == QLatin1String(".tq8fw"))
        return 2;
    if (e == QLatin1String(".rd8") || e == QLatin1String(".rd16"))
        return 3;
    return 0;
}

bool CMainFrame::ApplyCommandLineFile(const std::wstring& path)
{
    m_cmdLineKind = 0;
    m_cmdLineDevices.clear();
    if (path.empty())
        return true;
    int kind = CommandLineFileKind(path);
    if (kind == 0)
        return true;
    IWorkspaceTQ8& ws = m_app.GetWorkspace();
    std::vector<TQ8_HANDLE> devices;
    if (!ws.SelectDevices(devices, std::wstring(L"Please select the device(s) for which to apply the ") + KindText(kind),
                          path))
        return true;
    if (kind == 2) {
        // Firmware cannot be uploaded to a board on another computer.
        auto remote = std::remove_if(devices.begin(), devices.end(),
                                     [&ws](TQ8_HANDLE d) { return ws.IsRemoteDevice(d); });
        if (remote != devices.end()) {
            devices.erase(remote, devices.end());
            vlt::ShowMessageBox(L"Remote firmware uploading is not supported", MB_ICONERROR, this);
        }
        if (devices.size() > 1)
            vlt::ShowMessageBox(L"Firmware will be uploaded to multiple devices. If you are prompted to reboot, only "
                                L"select Yes for the last device so all firmware gets uploaded.",
                                MB_ICONWARNING, this);
    }
    if (kind == 1) {
        int answer = vlt::ShowMessageBox(L"Load saved hardware settings into selected TQ3300 device(s)?",
                                         MB_YESNOCANCEL | MB_ICONQUESTION, this);
        if (answer == IDCANCEL)
            return false;
        if (answer == IDNO)
            kind = 0;
    }
    if (kind != 0 && !devices.empty()) {
        m_cmdLineKind = kind;
        m_cmdLineDevices.insert(devices.begin(), devices.end());
        ApplyFileToNextDevice();
    }
    return true;
}

void CMainFrame::ApplyFileToNextDevice()
{
    if (m_cmdLineDevices.empty())
        return;
    TQ8_HANDLE device = *m_cmdLineDevices.begin();
    m_cmdLineDevices.erase(m_cmdLineDevices.begin());
    IBoardDocument* doc = FindDocument(device);
    CChildFrame* child = doc ? FindChildFrame(doc) : nullptr;
    if (!child) {
        m_cmdLineDevices.clear();
        return;
    }
    vlt::PostCommand(child, cmd::kApplyCommandLineFile);
}

intptr_t CMainFrame::OnContinuousAcquisition(uintptr_t on, IBoardDocument* doc)
{
    if (!doc)
        return 0;
    if (on == 0) {
        m_continuous.erase(doc);
        return 0;
    }
    if (m_continuous.count(doc))
        return 0;
    const bool wasEmpty = m_continuous.empty();
    m_continuous.insert(doc);
    if (!wasEmpty)
        return 0; // the loop is already running further down the stack
    while (!m_continuous.empty()) {
        // Starting an acquisition may dispatch messages that change the set:
        // walk a copy and start only documents still in it.
        const std::vector<IBoardDocument*> pass(m_continuous.begin(), m_continuous.end());
        for (IBoardDocument* d : pass) {
            if (!m_continuous.count(d))
                continue;
            const uint32_t flags = d->GetStateFlags();
            if (d->IsIdle() || (flags & 0x821) == 0x20)
                d->StartAcquisition();
        }
        if (!PumpWaitingMessages())
            break;
    }
    return 0;
}

bool CMainFrame::PumpWaitingMessages()
{
    // Sleep until something arrives (a completion, a timer, input) rather
    // than spin a core while every board of the set is busy.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return !m_closed && !QCoreApplication::closingDown();
}

int CMainFrame::RunOptionsSheet(CVltPropertySheet& sheet)
{
    sheet.SetActivePage(m_optionsPage);
    int result = sheet.exec();
    m_optionsPage = sheet.GetOkPageIndex();
    return result;
}

void CMainFrame::OnUserFirmwareGenerator()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    LaunchFirmwareGenerator(m_app.GetInstallPath(), this);
    QGuiApplication::restoreOverrideCursor();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_app.SaveModifiedWorkspace()) {
        event->ignore();
        return;
    }
    IWorkspaceTQ8& ws = m_app.GetWorkspace();
    const bool interactive = ws.IsInteractive();
    ws.SetInteractive(false);
    CloseAllDocumentFrames();
    ws.SetInteractive(interactive);
    m_closed = true;
    event->accept();
}

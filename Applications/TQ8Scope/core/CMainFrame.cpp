#include "CMainFrame.h"

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "CChildFrame.h"
#include "CDocumentTabGroups.h"
#include "CFormView_WithEdit.h"
#include "CMainApp.h"
#include "CVltHub6Mgr.h"
#include "CVltPropertySheet.h"
#include "CommandIds.h"
#include "DocStateFlags.h"
#include "ErrorBeep.h"
#include "FirmwareGeneratorLauncher.h"
#include "LockKeyIndicators.h"
#include "MessageBox.h"
#include "Mnemonic.h"
#include "PopupMenu.h"
#include "TextConv.h"
#include "TimedStatusText.h"

namespace {

const QString kModifiedText = QStringLiteral("MODIFIED");

QString Q(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

constexpr int kCommandUiIntervalMs = 250;

// Commands that the active board document serves (besides its recent files).
constexpr unsigned kDocumentCommands[] = {
    cmd::kOpenSettings,       cmd::kSaveSettings,           cmd::kSaveSettingsAs,   cmd::kSendSettings,
    cmd::kSaveBoardData,      cmd::kPlotDataInScope,        cmd::kFrequencyDomain,  cmd::kDriverStatistics,
    cmd::kSetPowerupDefaults, cmd::kRewriteHardwareSettings, cmd::kValidateEeprom,  cmd::kCalibrateAdcs,
    cmd::kCopySettingsFrom,   cmd::kCopySettingsToAll,      cmd::kCopySettingsToSelected,
    cmd::kRefreshFromDriver,  cmd::kRefreshFromHardware,    cmd::kUploadFirmware,       cmd::kGoToSample,
};

// The Edit menu's commands, served by the board window's focused form.
constexpr unsigned kEditCommands[] = {CFormView_WithEdit::ID_EDIT_UNDO, CFormView_WithEdit::ID_EDIT_CUT,
                                      CFormView_WithEdit::ID_EDIT_COPY, CFormView_WithEdit::ID_EDIT_PASTE};

bool IsEditCommand(unsigned id)
{
    return std::find(std::begin(kEditCommands), std::end(kEditCommands), id) != std::end(kEditCommands);
}

bool IsDocumentCommand(unsigned id)
{
    return std::find(std::begin(kDocumentCommands), std::end(kDocumentCommands), id) != std::end(kDocumentCommands);
}

bool IsRecentFileCommand(unsigned id)
{
    return id >= cmd::kFileMruFirst && id <= cmd::kFileMruLast;
}

// Asks the document for a command's state; a document that does not serve
// the command leaves it disabled.
void ApplyDocumentState(QAction* action, const IBoardDocument* doc, unsigned id)
{
    if (!action)
        return;
    bool enabled = false;
    bool checked = false;
    if (!doc || !doc->GetCommandState(id, enabled, checked))
        enabled = checked = false;
    action->setEnabled(enabled);
    if (action->isCheckable())
        action->setChecked(checked);
}

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
    m_tabs = new CDocumentTabGroups(this);
    setCentralWidget(m_tabs);
    // The board document's menus follow the active window at once.
    connect(m_tabs, &CDocumentTabGroups::subWindowActivated, this, [this] {
        if (!m_closed)
            UpdateCommandUI();
    });
    connect(m_tabs, &CDocumentTabGroups::tabContextMenuRequested, this,
            [this](const QPoint& at) { ShowTabContextMenu(at, TabMenuAllowedItems(), false); });
    connect(m_tabs, &CDocumentTabGroups::tabDropped, this,
            [this](const QPoint& at) { ShowTabContextMenu(at, TabMenuAllowedItems(), true); });
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
    m_tabs->disconnect(this);
    DestroyRecordingWindow();
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

QAction* CMainFrame::AddDocumentCommand(QMenu* menu, unsigned id, const QString& text)
{
    QAction* action = AddCommand(menu, id, text);
    action->setVisible(false);
    m_documentOnly.push_back(action);
    return action;
}

void CMainFrame::AddDocumentSeparator(QMenu* menu)
{
    QAction* separator = menu->addSeparator();
    separator->setVisible(false);
    m_documentOnly.push_back(separator);
}

void CMainFrame::CreateMenus()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(m_fileMenu, cmd::kFileNew, QStringLiteral("&New Local TQ3300 Device\tCtrl+N"));
    AddCommand(m_fileMenu, cmd::kNewRemoteDevice, QStringLiteral("New Remote TQ3300 Device..."));
    AddCommand(m_fileMenu, cmd::kFileClose, QStringLiteral("&Close TQ3300 Device"));
    AddDocumentSeparator(m_fileMenu);
    AddDocumentCommand(m_fileMenu, cmd::kOpenSettings, QStringLiteral("&Open and Apply Board Settings...\tCtrl+O"));
    AddDocumentCommand(m_fileMenu, cmd::kSaveSettings, QStringLiteral("&Save Board Settings\tCtrl+S"));
    AddDocumentCommand(m_fileMenu, cmd::kSaveSettingsAs, QStringLiteral("Save Board Settings &As..."));
    AddDocumentCommand(m_fileMenu, cmd::kSendSettings, QStringLiteral("Sen&d Board Settings..."));
    AddDocumentSeparator(m_fileMenu);
    AddDocumentCommand(m_fileMenu, cmd::kSaveBoardData, QStringLiteral("Save Board Data..."));
    AddDocumentCommand(m_fileMenu, cmd::kPlotDataInScope, QStringLiteral("&Plot Data in Scope...\tCtrl+Shift+P"));
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

    CreateEditMenu();

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    AddCommand(view, cmd::kViewToolbar, QStringLiteral("&Toolbar"))->setCheckable(true);
    AddCommand(view, cmd::kViewStatusBar, QStringLiteral("&Status Bar"))->setCheckable(true);
    AddDocumentSeparator(view);
    AddDocumentCommand(view, cmd::kFrequencyDomain, QStringLiteral("&Frequency Domain Window\tCtrl+Shift+F"))
        ->setCheckable(true);
    AddDocumentCommand(view, cmd::kDriverStatistics, QStringLiteral("&Device Driver Statistics Window"))
        ->setCheckable(true);
    AddDocumentCommand(view, cmd::kGoToSample, QStringLiteral("Go to Sample...\tCtrl+G"));

    CreateHardwareMenu();

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

void CMainFrame::CreateEditMenu()
{
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->menuAction()->setVisible(false);
    m_documentOnly.push_back(edit->menuAction());
    AddDocumentCommand(edit, CFormView_WithEdit::ID_EDIT_UNDO, QStringLiteral("&Undo\tCtrl+Z"));
    AddDocumentSeparator(edit);
    AddDocumentCommand(edit, CFormView_WithEdit::ID_EDIT_CUT, QStringLiteral("Cu&t\tCtrl+X"));
    AddDocumentCommand(edit, CFormView_WithEdit::ID_EDIT_COPY, QStringLiteral("&Copy\tCtrl+C"));
    AddDocumentCommand(edit, CFormView_WithEdit::ID_EDIT_PASTE, QStringLiteral("&Paste\tCtrl+V"));
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::CreateHardwareMenu()
{
    QMenu* hardware = menuBar()->addMenu(QStringLiteral("&Hardware"));
    hardware->menuAction()->setVisible(false);
    m_documentOnly.push_back(hardware->menuAction());
    AddDocumentCommand(hardware, cmd::kSetPowerupDefaults, QStringLiteral("Set Power Up Defaults "));
    AddDocumentCommand(hardware, cmd::kRewriteHardwareSettings, QStringLiteral("Rewrite Hardware Settings"));
    AddDocumentCommand(hardware, cmd::kValidateEeprom, QStringLiteral("Validate Configuration Eeprom"));
    AddDocumentCommand(hardware, cmd::kCalibrateAdcs, QStringLiteral("Calibrate ADCs..."));
    AddDocumentSeparator(hardware);
    AddDocumentCommand(hardware, cmd::kCopySettingsFrom, QStringLiteral("Copy Settings From Other Device..."));
    AddDocumentCommand(hardware, cmd::kCopySettingsToAll, QStringLiteral("Copy Settings To All Other Devices"));
    AddDocumentCommand(hardware, cmd::kCopySettingsToSelected, QStringLiteral("Copy Settings To Selected Devices..."));
    AddDocumentSeparator(hardware);
    AddDocumentCommand(hardware, cmd::kRefreshFromDriver, QStringLiteral("Refresh Local Settings From Driver"));
    AddDocumentCommand(hardware, cmd::kRefreshFromHardware, QStringLiteral("Refresh Local Settings From Hardware"));
    AddDocumentSeparator(hardware);
    AddDocumentCommand(hardware, cmd::kUploadFirmware, QStringLiteral("Upload Firmware..."));
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
    // The indicator's pane keeps its width; the text is lit only while the
    // workspace is modified, as the framework's indicators show nothing when off.
    m_modifiedIndicator = new QLabel(this);
    m_modifiedIndicator->setObjectName(QString::number(cmd::kIndicatorModified));
    m_modifiedIndicator->setMinimumWidth(m_modifiedIndicator->fontMetrics().horizontalAdvance(kModifiedText) +
                                         2 * m_modifiedIndicator->fontMetrics().averageCharWidth());
    statusBar()->addWidget(m_messagePane, 1);
    new vlt::LockKeyIndicators(statusBar());
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

CChildFrame* CMainFrame::GetActiveChildFrame() const
{
    QMdiSubWindow* sub = m_tabs ? m_tabs->CurrentSubWindow() : nullptr;
    auto* child = sub ? qobject_cast<CChildFrame*>(sub->widget()) : nullptr;
    return child && !child->IsDocumentClosed() ? child : nullptr;
}

IBoardDocument* CMainFrame::GetActiveDocument() const
{
    CChildFrame* child = GetActiveChildFrame();
    return child ? child->GetDocument() : nullptr;
}

void CMainFrame::UpdateCommandUI()
{
    if (m_modalDepth > 0) {
        DisableAllCommands();
        return;
    }
    IWorkspaceTQ8& ws = m_app.GetWorkspace();
    const bool files = ws.SupportsFiles();
    auto enable = [this](unsigned id, bool on) {
        if (QAction* a = CommandAction(id))
            a->setEnabled(on);
    };
    enable(cmd::kFileNew, m_app.CanNewLocalDevice());
    enable(cmd::kFileClose, m_tabs->CurrentSubWindow() != nullptr);
    enable(cmd::kNewWorkspace, files);
    enable(cmd::kOpenWorkspace, files);
    enable(cmd::kSaveWorkspace, files);
    enable(cmd::kSaveWorkspaceAs, files);
    enable(cmd::kUserFirmwareGenerator, true);
    enable(cmd::kAppAbout, true);
    enable(cmd::kAppExit, true);
    // Offered with more than one document; they act where a group can be
    // made (the tab menu offers them only there).
    const bool documents = m_tabs->SubWindows().size() > 1;
    enable(cmd::kNewHorzTabGroup, documents);
    enable(cmd::kNewVertTabGroup, documents);
    enable(cmd::kMoveToNextTabGroup, m_tabs->CanMoveToGroup(true));
    enable(cmd::kMoveToPrevTabGroup, m_tabs->CanMoveToGroup(false));
    // No help content exists to show.
    enable(cmd::kHelpFinder, false);
    enable(cmd::kSyncManager, IsHub6SoftwareInstalled() && SyncManagerWindowFactory());
    enable(cmd::kProgramOptions, bool(ProgramOptionsPages()));
    enable(cmd::kRecordedDataDetails, bool(RecordedDataDetailsCommand()));
    enable(cmd::kNewRemoteDevice, bool(NewRemoteDeviceCommand()));
    enable(cmd::kRecord, bool(RecordingWindowFactory()) && ws.GetRecParamsManager());
    if (QAction* a = CommandAction(cmd::kViewToolbar)) {
        const auto bars = findChildren<QToolBar*>();
        a->setChecked(!bars.isEmpty() && bars.front()->isVisible());
    }
    if (QAction* a = CommandAction(cmd::kViewStatusBar))
        a->setChecked(statusBar()->isVisible());
    m_modifiedIndicator->setText(ws.IsModified() ? kModifiedText : QString());
    IBoardDocument* doc = GetActiveDocument();
    ShowDocumentMenus(doc != nullptr);
    UpdateDocumentCommands(doc);
    // The framework's idle update of the frames' titles.
    for (CChildFrame* frame : GetChildFrames())
        frame->UpdateTitle();
    CChildFrame* child = GetActiveChildFrame();
    for (unsigned id : kEditCommands) {
        bool on = false;
        if (child)
            child->GetEditCommandState(id, on);
        enable(id, on);
    }
}

void CMainFrame::ShowDocumentMenus(bool show)
{
    if (m_documentMenusShown == int(show))
        return;
    m_documentMenusShown = int(show);
    for (QAction* a : m_documentOnly)
        a->setVisible(show);
}

void CMainFrame::UpdateDocumentCommands(IBoardDocument* doc)
{
    for (unsigned id : kDocumentCommands)
        ApplyDocumentState(CommandAction(id), doc, id);
    for (size_t i = 0; i < m_recentActions.size(); ++i)
        ApplyDocumentState(m_recentActions[i], doc, cmd::kFileMruFirst + unsigned(i));
}

void CMainFrame::DisableAllCommands()
{
    for (auto& [id, action] : m_actions)
        action->setEnabled(false);
    for (QAction* a : m_recentActions)
        a->setEnabled(false);
}

void CMainFrame::UpdateRecentFileMenu()
{
    for (QAction* a : m_recentActions)
        delete a;
    m_recentActions.clear();
    const CRecentFileList& list = m_app.GetRecentFileList();
    QAction* before = m_fileMenu->actions().value(m_fileMenu->actions().indexOf(m_recentSeparator) + 1);
    const size_t count = std::min<size_t>(list.GetSize(), cmd::kFileMruLast - cmd::kFileMruFirst + 1);
    for (size_t i = 0; i < count; ++i) {
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(vlt::NoPrefixText(Q(list[i]))), this);
        const unsigned id = cmd::kFileMruFirst + unsigned(i);
        a->setData(id);
        // Opening a settings file is the board document's command.
        connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
        m_fileMenu->insertAction(before, a);
        m_recentActions.push_back(a);
    }
    if (m_modalDepth > 0)
        DisableAllCommands();
    else
        UpdateDocumentCommands(GetActiveDocument());
}

bool CMainFrame::OnCommand(unsigned id)
{
    if (m_modalDepth > 0)
        return false;
    UpdateCommandUI();
    if (IsDocumentCommand(id) || IsRecentFileCommand(id))
        return OnDocumentCommand(id);
    if (IsEditCommand(id)) {
        CChildFrame* child = GetActiveChildFrame();
        return child && child->OnEditCommand(id);
    }
    QAction* action = CommandAction(id);
    if (action && !action->isEnabled())
        return false;
    switch (id) {
    case cmd::kFileNew: m_app.OnFileNewLocalDevice(); return true;
    case cmd::kFileClose:
        if (QMdiSubWindow* sub = m_tabs->CurrentSubWindow())
            sub->close();
        return true;
    case cmd::kNewWorkspace: m_app.OnFileNewWorkspace(); return true;
    case cmd::kOpenWorkspace: m_app.OnFileOpenWorkspace(); return true;
    case cmd::kSaveWorkspace: m_app.OnFileSaveWorkspace(); return true;
    case cmd::kSaveWorkspaceAs: m_app.OnFileSaveWorkspaceAs(); return true;
    case cmd::kUserFirmwareGenerator: OnUserFirmwareGenerator(); return true;
    case cmd::kSyncManager: return ShowSyncManagerWindow(false, 0);
    case cmd::kRecord: return ShowRecordingWindow(false);
    case cmd::kProgramOptions: OnProgramOptions(); return true;
    case cmd::kRecordedDataDetails: RecordedDataDetailsCommand()(this); return true;
    case cmd::kNewRemoteDevice: NewRemoteDeviceCommand()(this, m_app); return true;
    case cmd::kAppAbout: m_app.OnAppAbout(); return true;
    case cmd::kAppExit: close(); return true;
    case cmd::kViewToolbar:
        for (QToolBar* bar : findChildren<QToolBar*>())
            bar->setVisible(!bar->isVisible());
        return true;
    case cmd::kViewStatusBar: statusBar()->setVisible(!statusBar()->isVisible()); return true;
    case cmd::kNewHorzTabGroup: return m_tabs->NewGroup(false);
    case cmd::kNewVertTabGroup: return m_tabs->NewGroup(true);
    case cmd::kMoveToNextTabGroup: return m_tabs->MoveToGroup(true);
    case cmd::kMoveToPrevTabGroup: return m_tabs->MoveToGroup(false);
    case cmd::kTabMenuCancel: return true;
    default: return false;
    }
}

uint32_t CMainFrame::TabMenuAllowedItems() const
{
    uint32_t allowed = 0;
    if (m_tabs->CanCreateGroup(true))
        allowed |= kTabNewVertGroup;
    if (m_tabs->CanCreateGroup(false))
        allowed |= kTabNewHorzGroup;
    if (m_tabs->CanMoveToGroup(false))
        allowed |= kTabMovePrev;
    if (m_tabs->CanMoveToGroup(true))
        allowed |= kTabMoveNext;
    return allowed;
}

bool CMainFrame::ShowTabContextMenu(const QPoint& point, uint32_t allowedItems, bool tabDrop)
{
    UpdateCommandUI();
    QMenu menu(this);
    auto add = [&](unsigned id, const QString& text, bool enabled) {
        vlt::AddMenuCommand(menu, int(id), text)->setEnabled(enabled);
    };
    auto addCommand = [&](unsigned id) {
        const QAction* action = CommandAction(id);
        add(id, action->text(), action->isEnabled());
    };
    const std::pair<unsigned, uint32_t> groupItems[] = {{cmd::kNewHorzTabGroup, kTabNewHorzGroup},
                                                        {cmd::kNewVertTabGroup, kTabNewVertGroup},
                                                        {cmd::kMoveToNextTabGroup, kTabMoveNext},
                                                        {cmd::kMoveToPrevTabGroup, kTabMovePrev}};
    for (const auto& [id, bit] : groupItems)
        if (allowedItems & bit)
            addCommand(id);
    menu.addSeparator();
    if (tabDrop) {
        add(cmd::kTabMenuCancel, QStringLiteral("&Cancel"), true);
    } else {
        if (allowedItems & kTabToDocument)
            add(cmd::kTabbedDocument, QStringLiteral("&Tabbed Document"), false);
        // Copying settings needs another board.
        if (GetDocuments().size() >= 2) {
            menu.addSeparator();
            addCommand(cmd::kCopySettingsToAll);
            addCommand(cmd::kCopySettingsToSelected);
        }
    }
    const QList<QAction*> items = menu.actions();
    if (std::none_of(items.begin(), items.end(), [](const QAction* a) { return !a->isSeparator(); }))
        return true; // nothing to offer
    if (const int chosen = vlt::TrackPopupMenu(menu, point))
        OnCommand(unsigned(chosen));
    return true;
}

bool CMainFrame::OnDocumentCommand(unsigned id)
{
    IBoardDocument* doc = GetActiveDocument();
    if (!doc)
        return false;
    // Only entries the File menu can show.
    if (IsRecentFileCommand(id) && id - cmd::kFileMruFirst >= m_app.GetRecentFileList().GetSize())
        return false;
    bool enabled = false;
    bool checked = false;
    if (!doc->GetCommandState(id, enabled, checked) || !enabled)
        return false;
    return doc->OnCommand(id);
}

void CMainFrame::EnterModalState(const QWidget* except)
{
    if (m_modalDepth++ > 0)
        return;
    std::vector<QWidget*> parts{menuBar(), m_tabs};
    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w == except || w == menuBar() || w == m_tabs)
            continue;
        // The toolbars, and the main window's own tool windows that are up.
        if (qobject_cast<QToolBar*>(w) || (w->isWindow() && w->isVisible()))
            parts.push_back(w);
    }
    for (QWidget* w : parts) {
        if (w->isEnabled()) {
            w->setEnabled(false);
            m_modalDisabled.emplace_back(w);
        }
    }
    DisableAllCommands();
}

void CMainFrame::LeaveModalState()
{
    if (m_modalDepth == 0 || --m_modalDepth > 0)
        return;
    for (const QPointer<QWidget>& w : m_modalDisabled)
        if (w)
            w->setEnabled(true);
    m_modalDisabled.clear();
    UpdateCommandUI();
    if (!m_closed && isVisible()) {
        raise();
        activateWindow();
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
    // A new board window becomes the active one, with its document's menu.
    QMdiSubWindow* sub = m_tabs->AddSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(child->windowTitle());
    child->AddControlPages();
    return child;
}

std::vector<CChildFrame*> CMainFrame::GetChildFrames() const
{
    std::vector<CChildFrame*> frames;
    for (QMdiSubWindow* sub : m_tabs->SubWindows())
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
    if (!m_tabs)
        return;
    for (QMdiSubWindow* sub : m_tabs->SubWindows()) {
        if (auto* child = qobject_cast<CChildFrame*>(sub->widget()))
            child->CloseDocument();
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        delete sub;
    }
}

IRecordingWindow::Factory& CMainFrame::RecordingWindowFactory()
{
    static IRecordingWindow::Factory factory;
    return factory;
}

void CMainFrame::DestroyRecordingWindow()
{
    // Its destructor stores the recording settings.
    delete m_recordWidget.data();
    m_recordWindow = nullptr;
}

bool CMainFrame::CloseRecordingWindow(bool loading)
{
    IRecordingWindow* window = GetRecordingWindow();
    if (!window)
        return true;
    if (window->IsRecording()) {
        std::wstring text = loading ? L"Loading" : L"Creating";
        text += L" a new workspace will stop the current recording. Continue with the new workspace?";
        if (vlt::ShowMessageBox(text, MB_YESNO | MB_ICONQUESTION, this) != IDYES)
            return false;
        window->StopRecording();
    }
    DestroyRecordingWindow();
    return true;
}

bool CMainFrame::ShowRecordingWindow(bool forceShow)
{
    if (!m_recordWidget) {
        m_recordWindow = nullptr;
        CRecParamsManager* manager = m_app.GetWorkspace().GetRecParamsManager();
        const IRecordingWindow::Factory& factory = RecordingWindowFactory();
        IRecordingWindow* window = manager && factory ? factory(this, *manager, &m_app.GetPersistentOpts()) : nullptr;
        if (!window || !window->GetWidget()) {
            vlt::ShowMessageBox(L"Failed to create Recording TQ3300 Data window", MB_ICONERROR, this);
            return false;
        }
        m_recordWindow = window;
        m_recordWidget = window->GetWidget();
        m_recordWidget->setWindowFlag(Qt::Window);
        m_recordWidget->adjustSize();
        m_recordWidget->move(geometry().center() - m_recordWidget->rect().center());
    }
    QWidget* w = m_recordWidget;
    if (w->isMinimized())
        w->showNormal();
    else if (forceShow || w->isHidden())
        w->show();
    else
        w->hide();
    return true;
}

void CMainFrame::StopRecording()
{
    if (ShowRecordingWindow(true))
        m_recordWindow->StopRecording();
}

ISyncManagerWindow::Factory& CMainFrame::SyncManagerWindowFactory()
{
    static ISyncManagerWindow::Factory factory;
    return factory;
}

bool CMainFrame::ShowSyncManagerWindow(bool showAndFocus, int32_t syncId)
{
    if (!m_syncWidget) {
        m_syncWindow = nullptr;
        CVltHub6Mgr* manager = m_app.GetWorkspace().GetSyncManager();
        const ISyncManagerWindow::Factory& factory = SyncManagerWindowFactory();
        ISyncManagerWindow* window = manager && factory ? factory(this, *manager) : nullptr;
        if (!window || !window->GetWidget()) {
            vlt::ShowMessageBox(L"Failed to create External Synchronization Manager window", MB_ICONERROR, this);
            return false;
        }
        m_syncWindow = window;
        m_syncWidget = window->GetWidget();
        m_syncWidget->adjustSize();
        m_syncWidget->move(geometry().center() - m_syncWidget->rect().center());
    }
    QWidget* w = m_syncWidget;
    if (w->isMinimized()) {
        w->showNormal();
    } else if (showAndFocus || w->isHidden()) {
        w->show();
        if (showAndFocus) {
            w->raise();
            w->activateWindow();
        }
    } else {
        w->hide();
    }
    if (syncId != 0)
        m_syncWindow->SelectDevice(syncId);
    return true;
}

void CMainFrame::OnSyncDevicesChanged()
{
    if (!m_closed && m_syncWidget && m_syncWindow)
        m_syncWindow->RefillFromManager();
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
        // Boards of another computer take it too: their server uploads it.
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
            if (d->IsIdle() || (flags & docstate::kBusy) == docstate::kContinuous)
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
    // And what those events posted: a completion's plot refresh paints later,
    // and a paint after the next start finds the board busy and draws nothing.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !m_closed && !QCoreApplication::closingDown();
}

int CMainFrame::RunOptionsSheet(CVltPropertySheet& sheet)
{
    sheet.SetActivePage(m_optionsPage);
    int result = sheet.exec();
    m_optionsPage = sheet.GetOkPageIndex();
    return result;
}

CMainFrame::OptionsPagesFactory& CMainFrame::ProgramOptionsPages()
{
    static OptionsPagesFactory factory;
    return factory;
}

std::function<void(QWidget*)>& CMainFrame::RecordedDataDetailsCommand()
{
    static std::function<void(QWidget*)> command;
    return command;
}

std::function<void(QWidget*, CMainApp&)>& CMainFrame::NewRemoteDeviceCommand()
{
    static std::function<void(QWidget*, CMainApp&)> command;
    return command;
}

void CMainFrame::OnProgramOptions()
{
    if (!ProgramOptionsPages())
        return;
    CVltPropertySheet sheet(QStringLiteral("Program Options"), this, 0);
    ProgramOptionsPages()(sheet, m_app);
    RunOptionsSheet(sheet);
}

void CMainFrame::OnUserFirmwareGenerator()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    LaunchFirmwareGenerator(m_app.GetInstallPath(), this);
    QGuiApplication::restoreOverrideCursor();
}

bool CMainFrame::PromptSaveAllSettings()
{
    for (CChildFrame* child : GetChildFrames())
        if (IBoardDocument* doc = child->IsDocumentClosed() ? nullptr : child->GetDocument();
            doc && !doc->PromptSaveSettings())
            return false;
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_modalDepth > 0) {
        // The blocking window (a firmware upload) must end first.
        vlt::ErrorBeep();
        event->ignore();
        return;
    }
    if (IRecordingWindow* window = GetRecordingWindow(); window && window->IsRecording()
        && vlt::ShowMessageBox(L"Closing the application will terminate the current recording. Are you sure you "
                               L"would like to quit?",
                               MB_YESNOCANCEL | MB_ICONQUESTION, this) != IDYES) {
        event->ignore();
        return;
    }
    if (!m_app.SaveModifiedWorkspace() || !PromptSaveAllSettings()) {
        event->ignore();
        return;
    }
    // Ends the recording, and stores the window's settings before the options are written.
    if (IRecordingWindow* window = GetRecordingWindow())
        window->StopRecording();
    DestroyRecordingWindow();
    IWorkspaceTQ8& ws = m_app.GetWorkspace();
    const bool interactive = ws.IsInteractive();
    ws.SetInteractive(false);
    CloseAllDocumentFrames();
    ws.SetInteractive(interactive);
    m_closed = true;
    event->accept();
}

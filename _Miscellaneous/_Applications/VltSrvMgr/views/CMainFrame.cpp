#include "CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSessionManager>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

#include "CEditAccelerators.h"
#include "CMainDoc.h"
#include "CMainView.h"
#include "CProgOptSheet.h"
#include "CProgramOptions.h"
#include "CSingleInstance.h"
#include "INotifyIcon.h"
#include "LockKeyIndicators.h"
#include "ServiceIcons.h"
#include "TextConv.h"
#include "TimedStatusText.h"
#include "WindowPlacement.h"

const wchar_t* const kServiceManagerTitle = L"Veltrane Service Manager";

namespace {

// The framework's text of an idle status bar.
const QString kIdleText = QStringLiteral("Ready");

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

CMainFrame::CMainFrame(CMainDoc& doc, CProgramOptions& options, std::unique_ptr<INotifyIcon> icon,
                       std::string programPath)
    : m_doc(doc)
    , m_options(options)
    , m_icon(std::move(icon))
    , m_programPath(std::move(programPath))
    , m_view(new CMainView(doc, this))
{
    setWindowTitle(QString::fromWCharArray(kServiceManagerTitle));
    setWindowIcon(ProgramIcon());
    setCentralWidget(m_view);
    // The window system's default size; the form's initial update fits it.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size() * 3 / 4);
    CreateMenus();
    new CEditAccelerators(this);
    m_messagePane = new QLabel(kIdleText, this);
    statusBar()->addWidget(m_messagePane, 1);
    new vlt::LockKeyIndicators(statusBar());
    m_status = new vlt::TimedStatusText(m_messagePane, this);
    CreateNotifyMenu();
    m_icon->SetMenu(m_notifyMenu);
    m_icon->SetHandlers([this] { OnOpenWindow(); }, [this] { OnTrayStarted(); }, [this] { OnTrayGone(); });
    m_doc.SetFrame(this);
    RefreshNotifyIcon();
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { OnEndSession(); });
}

CMainFrame::~CMainFrame()
{
    if (!m_closed) {
        SaveWindowPlacement();
        RemoveNotifyIcon();
    }
    m_doc.SetFrame(nullptr);
}

QAction* CMainFrame::AddCommand(QMenu* menu, unsigned id, const QString& text, const QString& prompt)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QStringLiteral("action%1").arg(id));
    action->setStatusTip(prompt);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(file, ID_APP_EXIT, QStringLiteral("E&xit"));

    m_editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    // Their keys are the window's accelerators (CEditAccelerators).
    AddCommand(m_editMenu, CFormView_WithEdit::ID_EDIT_UNDO, QStringLiteral("&Undo\tCtrl+Z"));
    m_editMenu->addSeparator();
    AddCommand(m_editMenu, CFormView_WithEdit::ID_EDIT_CUT, QStringLiteral("Cu&t\tCtrl+X"));
    AddCommand(m_editMenu, CFormView_WithEdit::ID_EDIT_COPY, QStringLiteral("&Copy\tCtrl+C"));
    AddCommand(m_editMenu, CFormView_WithEdit::ID_EDIT_PASTE, QStringLiteral("&Paste\tCtrl+V"));
    m_editMenu->addSeparator();
    AddCommand(m_editMenu, ID_OPTIONS, QStringLiteral("Options..."), QStringLiteral("View or edit program options"));
    connect(m_editMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateEditCommands);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* status = view->addAction(QStringLiteral("&Status Bar"));
    status->setObjectName(QStringLiteral("action%1").arg(ID_VIEW_STATUS_BAR));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);
    m_actions[ID_VIEW_STATUS_BAR] = status;

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, ID_APP_ABOUT, QStringLiteral("&About VltSrvMgr..."));
}

void CMainFrame::CreateNotifyMenu()
{
    m_notifyMenu = new QMenu(this);
    // Its text follows the running state each time the menu opens.
    AddCommand(m_notifyMenu, CMainDoc::ID_TOGGLE_SERVICES, QStringLiteral("Start  Services"),
               QStringLiteral("Start or stop services"));
    m_notifyMenu->addSeparator();
    QAction* exit = m_notifyMenu->addAction(QStringLiteral("Exit Veltrane Service Manager"));
    exit->setObjectName(QStringLiteral("notifyExit"));
    connect(exit, &QAction::triggered, this, [this] { OnCommand(ID_APP_EXIT); });
    QAction* open = AddCommand(m_notifyMenu, ID_OPEN_WINDOW, QStringLiteral("Open Veltrane Service Manager"),
                               QStringLiteral("Show the Veltrane Service Manager window"));
    m_notifyMenu->setDefaultAction(open);
    connect(m_notifyMenu, &QMenu::aboutToShow, this, [this] {
        m_actions[CMainDoc::ID_TOGGLE_SERVICES]->setText(Text(m_doc.ToggleCommandText()));
    });
}

// The Edit menu's items show whether they can act on the focused field.
void CMainFrame::UpdateEditCommands()
{
    for (unsigned id : {CFormView_WithEdit::ID_EDIT_UNDO, CFormView_WithEdit::ID_EDIT_CUT,
                        CFormView_WithEdit::ID_EDIT_COPY, CFormView_WithEdit::ID_EDIT_PASTE})
        m_actions[id]->setEnabled(CEditAccelerators::IsCommandEnabled(id));
}

QAction* CMainFrame::CommandAction(unsigned id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

std::string CMainFrame::MessageText() const
{
    return m_messagePane->text().toStdString();
}

void CMainFrame::SetTimedStatusText(const std::string& text, unsigned timeoutMs)
{
    m_status->Show(vlt::Utf8ToWide(text), timeoutMs);
}

void CMainFrame::SetMessageText(const std::string& text)
{
    m_status->Show(vlt::Utf8ToWide(text), 0);
}

void CMainFrame::RefreshNotifyIcon()
{
    const bool running = m_doc.IsRunning();
    const INotifyIcon::State state = running ? INotifyIcon::State::Running : INotifyIcon::State::NotRunning;
    const QString tip = running ? QStringLiteral("Services running") : QStringLiteral("Services not running");
    // A failure is not reported: the next refresh tries again.
    if (m_iconPresent ? m_icon->Modify(state, tip) : m_icon->Add(state, tip))
        m_iconPresent = true;
}

void CMainFrame::RemoveNotifyIcon()
{
    if (m_icon->Remove())
        m_iconPresent = false;
}

void CMainFrame::OnTrayStarted()
{
    m_iconPresent = false;
    RefreshNotifyIcon();
}

void CMainFrame::OnTrayGone()
{
    m_iconPresent = false;
    // Nothing would bring a window hidden in the tray back any more.
    if (m_hiddenInTray && !isVisible())
        OnOpenWindow();
    m_hiddenInTray = false;
}

bool CMainFrame::ShouldHideWhenMinimized() const
{
    // Never without a tray to bring the window back from.
    return m_iconPresent && m_options.Test(CProgramOptions::kMinimizeToTray) && m_icon->IsAvailable();
}

bool CMainFrame::RestoreWindowPlacement()
{
    const std::optional<WindowPlacement> placement = WindowPlacement::Load();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!placement || !screen)
        return false;
    const QRect area = screen->geometry();
    if (!placement->IsOnScreen(area.x() + area.width(), area.y() + area.height()))
        return false;
    setGeometry(QRect(QPoint(placement->left, placement->top), QPoint(placement->right - 1, placement->bottom - 1)));
    if (placement->RestoreShowCommand() == WindowPlacement::kShowMaximized)
        showMaximized();
    else
        showNormal();
    return true;
}

void CMainFrame::SaveWindowPlacement() const
{
    WindowPlacement placement;
    placement.showCmd = isMinimized()   ? WindowPlacement::kShowMinimized
                        : isMaximized() ? WindowPlacement::kShowMaximized
                        : isVisible()   ? WindowPlacement::kShowNormal
                                        : WindowPlacement::kHide;
    QRect normal = normalGeometry();
    if (!normal.isValid())
        normal = geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    placement.Save();
}

bool CMainFrame::OnCommand(unsigned id)
{
    switch (id) {
    case ID_OPEN_WINDOW:
        OnOpenWindow();
        return true;
    case ID_OPTIONS:
        OnOptions();
        return true;
    case ID_APP_ABOUT:
        emit aboutRequested();
        return true;
    case ID_APP_EXIT:
        close();
        return true;
    default:
        break;
    }
    return m_doc.OnCommand(id) || CFormView_WithEdit::OnEditCommand(id);
}

void CMainFrame::OnOpenWindow()
{
    CSingleInstance::BringToFront(this);
}

void CMainFrame::OnOptions()
{
    CProgOptSheet sheet(m_options, m_programPath, this);
    sheet.exec();
}

void CMainFrame::OnSingletonActivated()
{
    SetTimedStatusText("Singleton application instance enforced", 1700);
}

void CMainFrame::OnEndSession()
{
    m_options.Save();
}

intptr_t CMainFrame::OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t)
{
    if (msg == WM_COMMAND)
        return OnCommand(static_cast<unsigned>(wParam)) ? 1 : 0;
    if (msg == WM_SINGLETON)
        OnSingletonActivated();
    return 0;
}

bool CMainFrame::event(QEvent* event)
{
    // Menu prompts go to the message pane, not over the whole status bar.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        m_status->Show(vlt::Utf8ToWide((tip.isEmpty() ? kIdleText : tip).toStdString()), 0);
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && ShouldHideWhenMinimized()) {
        // Hidden once the state change is over.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && ShouldHideWhenMinimized()) {
                hide();
                m_hiddenInTray = true;
            }
        });
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        SaveWindowPlacement();
        RemoveNotifyIcon();
        m_closed = true;
    }
    event->accept();
    emit closed();
}

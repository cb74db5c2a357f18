#pragma once
// The service host's main window "Veltrane Service Manager": menus and the
// keys of the Edit and pane commands, the status bar with timed texts and
// the CAPS, NUM and SCRL indicators, the icon in the notification area with its
// menu, hiding when minimised, and the remembered placement.
#include <map>
#include <memory>
#include <string>

#include <QMainWindow>

#include "AppMessages.h"
#include "IMainFrameServices.h"

class CMainDoc;
class CMainView;
class CProgramOptions;
class INotifyIcon;
class QAction;
class QLabel;
class QMenu;
namespace vlt {
class TimedStatusText;
}

extern const wchar_t* const kServiceManagerTitle;

class CMainFrame : public QMainWindow, public IMainFrameServices, public vlt::IAppMessageTarget {
    Q_OBJECT
public:
    static constexpr unsigned ID_OPTIONS = 32771;
    static constexpr unsigned ID_OPEN_WINDOW = 32776;
    static constexpr unsigned ID_APP_ABOUT = 57664;
    static constexpr unsigned ID_APP_EXIT = 57665;
    static constexpr unsigned ID_VIEW_STATUS_BAR = 59393;
    // From a second start of the program.
    static constexpr unsigned WM_SINGLETON = WM_APP + 1;

    // programPath: the running program, for its log-on entry.
    CMainFrame(CMainDoc& doc, CProgramOptions& options, std::unique_ptr<INotifyIcon> icon, std::string programPath);
    ~CMainFrame() override;

    CMainView* View() const { return m_view; }
    QMenu* NotifyMenu() const { return m_notifyMenu; }
    QAction* CommandAction(unsigned id) const;
    INotifyIcon& NotifyIcon() const { return *m_icon; }
    bool IsNotifyIconPresent() const { return m_iconPresent; }
    vlt::TimedStatusText& StatusText() const { return *m_status; }
    std::string MessageText() const;

    // IMainFrameServices
    void SetTimedStatusText(const std::string& text, unsigned timeoutMs) override;
    void SetMessageText(const std::string& text) override;
    void RefreshNotifyIcon() override;

    // The saved placement applied; false when there is none or it is off the
    // primary screen.
    bool RestoreWindowPlacement();
    void SaveWindowPlacement() const;

    // false for an id this window does not handle.
    bool OnCommand(unsigned id);
    void OnOpenWindow();
    void OnOptions();
    void OnSingletonActivated();
    // At the end of the session: the options are saved, nothing is asked.
    void OnEndSession();

    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

signals:
    void aboutRequested();
    void closed();

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenus();
    void CreateNotifyMenu();
    QAction* AddCommand(QMenu* menu, unsigned id, const QString& text, const QString& prompt = {});
    void UpdateEditCommands();
    bool ShouldHideWhenMinimized() const;
    void RemoveNotifyIcon();
    void OnTrayStarted();

    CMainDoc& m_doc;
    CProgramOptions& m_options;
    std::unique_ptr<INotifyIcon> m_icon;
    std::string m_programPath;
    CMainView* m_view;
    QLabel* m_messagePane = nullptr;
    vlt::TimedStatusText* m_status = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_notifyMenu = nullptr;
    std::map<unsigned, QAction*> m_actions;
    bool m_iconPresent = false;
    bool m_closed = false;
};

#pragma once
// The main window: menus and commands, the status bar with timed texts, the
// board documents' windows as tabs, the command-line file chain, the
// continuous-acquisition loop and the launch of the firmware generator.
//
// Menus: the commands of the active board document (settings files, board
// data, its tool windows, the Hardware menu) are shown only while a board
// document is active, and are enabled, checked and served by that document;
// its Edit menu is served by the board window's focused form.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>

#include "AppMessages.h"
#include "IRecordingWindow.h"
#include "ISyncManagerWindow.h"
#include "TQ8_64.h"

class CChildFrame;
class CDocumentTabGroups;
class CMainApp;
class CVltPropertySheet;
class IBoardDocument;
class QAction;
class QLabel;
class QMdiSubWindow;
class QMenu;
namespace vlt {
class TimedStatusText;
}

class CMainFrame : public QMainWindow, public vlt::IAppMessageTarget {
    Q_OBJECT
public:
    explicit CMainFrame(CMainApp& app);
    ~CMainFrame() override;

    // A text and a non-zero time-out (ms) clear themselves; 0 stays until replaced.
    void ShowStatusText(const std::wstring& text, unsigned timeoutMs);
    void ClearStatusText();
    std::wstring GetStatusText() const;
    vlt::TimedStatusText& StatusText() { return *m_status; }

    // Board documents' windows.
    CChildFrame* CreateChildFrame(std::unique_ptr<IBoardDocument> doc);
    std::vector<IBoardDocument*> GetDocuments() const;
    std::vector<CChildFrame*> GetChildFrames() const;
    IBoardDocument* FindDocument(TQ8_HANDLE device) const;
    CChildFrame* FindChildFrame(const IBoardDocument* doc) const;
    void CloseAllDocumentFrames();
    // The document of the current board window (kept while another window
    // has the focus); none when there is none or its document has closed.
    IBoardDocument* GetActiveDocument() const;
    CChildFrame* GetActiveChildFrame() const;

    // The file named on the command line: the boards are picked and served
    // one after another. false when the user cancels.
    bool ApplyCommandLineFile(const std::wstring& path);
    void ApplyFileToNextDevice();
    int GetCommandLineFileKind() const { return m_cmdLineKind; }
    // Command-line file kind by extension: 0 none, 1 settings, 2 firmware, 3 sample data.
    static int CommandLineFileKind(const std::wstring& path);

    // Before a new or loaded workspace: while a recording runs, the user
    // may refuse (false); otherwise the recording ends and the window goes.
    bool CloseRecordingWindow(bool loading);
    // Creates the window on first use (false, after a box, when it cannot
    // be made); then restores it when minimised, shows it when forced or
    // hidden, hides it otherwise.
    bool ShowRecordingWindow(bool forceShow);
    // Shows the window and ends its recording.
    void StopRecording();
    IRecordingWindow* GetRecordingWindow() const { return m_recordWidget ? m_recordWindow : nullptr; }
    // How the window is made; set once at program start-up.
    static IRecordingWindow::Factory& RecordingWindowFactory();
    // Creates the window on first use (false, after a box, when it cannot
    // be made); then restores it when minimised, shows it (and focuses it
    // with showAndFocus) when hidden or asked to, hides it otherwise; a
    // non-zero id selects that device's row.
    bool ShowSyncManagerWindow(bool showAndFocus, int32_t syncId);
    // The sync devices or the open boards changed: the window, if there is
    // one, refills itself.
    void OnSyncDevicesChanged();
    // How the window is made; set once at program start-up.
    static ISyncManagerWindow::Factory& SyncManagerWindowFactory();

    // Continuous acquisition (WM_APP): wParam 1 on, 0 off.
    intptr_t OnContinuousAcquisition(uintptr_t on, IBoardDocument* doc);
    bool IsInContinuousSet(IBoardDocument* doc) const { return m_continuous.count(doc) != 0; }

    // The program-options sheet opens on the page left with OK last time.
    int RunOptionsSheet(CVltPropertySheet& sheet);
    int GetOptionsPage() const { return m_optionsPage; }
    // The pages of the program options and the recorded-data details
    // command; set once at program start-up, the commands are disabled
    // without them.
    using OptionsPagesFactory = std::function<void(CVltPropertySheet& sheet, CMainApp& app)>;
    static OptionsPagesFactory& ProgramOptionsPages();
    static std::function<void(QWidget* owner)>& RecordedDataDetailsCommand();
    // "New Remote TQ3300 Device...": asks for the server and connects its boards.
    static std::function<void(QWidget* owner, CMainApp& app)>& NewRemoteDeviceCommand();
    void OnProgramOptions();

    // The main window's modal state, for a modeless window that must block
    // it while it exists (the firmware upload): the menu bar, the toolbars,
    // the document area and the main window's other visible windows take no
    // input, every command is refused and the main window does not close.
    // The modeless window itself stays usable: create it after entering, or
    // name it as except. Calls nest; each Enter needs one Leave, a Leave
    // without an Enter does nothing. The last Leave restores what Enter
    // disabled and gives the main window the focus back.
    void EnterModalState(const QWidget* except = nullptr);
    void LeaveModalState();
    bool IsInModalState() const { return m_modalDepth > 0; }

    // The tab menu's allowed items, as the document area gives them for
    // the active tab.
    static constexpr uint32_t kTabNewVertGroup = 0x1;
    static constexpr uint32_t kTabNewHorzGroup = 0x2;
    static constexpr uint32_t kTabMovePrev = 0x4;
    static constexpr uint32_t kTabMoveNext = 0x8;
    static constexpr uint32_t kTabToDocument = 0x10; // a docked window shown as a tab: none here
    uint32_t TabMenuAllowedItems() const;
    // The menu of a tab (a dropped tab's menu with tabDrop) at a point on
    // the screen, with the items the bits allow; the chosen command runs.
    bool ShowTabContextMenu(const QPoint& point, uint32_t allowedItems, bool tabDrop);
    CDocumentTabGroups* GetTabGroups() const { return m_tabs; }

    // Commands by id; false for an id this window does not handle or that
    // is disabled. The board document's commands, and the recent settings
    // files (cmd::kFileMruFirst + index), go to the active document.
    bool OnCommand(unsigned id);
    QAction* CommandAction(unsigned id) const;
    void UpdateCommandUI();

    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Each board's save-modified question; false at the first Cancel.
    bool PromptSaveAllSettings();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    QAction* AddCommand(QMenu* menu, unsigned id, const QString& text);
    QAction* AddDocumentCommand(QMenu* menu, unsigned id, const QString& text);
    void AddDocumentSeparator(QMenu* menu);
    void CreateEditMenu();
    void CreateHardwareMenu();
    void ShowDocumentMenus(bool show);
    void UpdateDocumentCommands(IBoardDocument* doc);
    bool OnDocumentCommand(unsigned id);
    void DisableAllCommands();
    void UpdateRecentFileMenu();
    bool PumpWaitingMessages();
    void OnUserFirmwareGenerator();

    CMainApp& m_app;
    CDocumentTabGroups* m_tabs = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_modifiedIndicator = nullptr;
    vlt::TimedStatusText* m_status = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentSeparator = nullptr;
    std::vector<QAction*> m_recentActions;
    std::vector<QAction*> m_documentOnly; // items, separators and menus of a board document
    int m_documentMenusShown = -1;        // unknown until the first update
    int m_modalDepth = 0;
    std::vector<QPointer<QWidget>> m_modalDisabled;
    std::map<unsigned, QAction*> m_actions;
    std::set<IBoardDocument*> m_continuous;
    int m_cmdLineKind = 0;
    std::set<TQ8_HANDLE> m_cmdLineDevices;
    int m_optionsPage = 0;
    void DestroyRecordingWindow();

    IRecordingWindow* m_recordWindow = nullptr;
    QPointer<QWidget> m_recordWidget;
    ISyncManagerWindow* m_syncWindow = nullptr;
    QPointer<QWidget> m_syncWidget; // tells when the window has gone
    bool m_closed = false;
};

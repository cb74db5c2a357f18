#pragma once
// The service host's start-up and exit: one instance per user, the options,
// the document with its service manager, the main window, the command line
// and the automatic start of the services.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CProgramOptions.h"

class CMainDoc;
class CMainFrame;
class CSingleInstance;
class CVltServiceMgr;
class INotifyIcon;

class CMainApp {
public:
    // What the program is made of; tests put stand-ins in.
    struct Environment {
        std::function<std::unique_ptr<CVltServiceMgr>(const CProgramOptions&)> makeManager;
        std::function<std::unique_ptr<INotifyIcon>()> makeNotifyIcon;
        std::string programPath; // the running program, for its log-on entry
        std::string configPath;  // the services' configuration
    };
    // The real parts: the program's own path and its folder's configuration.
    static Environment DefaultEnvironment();

    explicit CMainApp(Environment environment = DefaultEnvironment());
    ~CMainApp();
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // false when the program is to end at once: another instance runs (it
    // was asked to come to the front).
    bool InitInstance(const std::vector<std::string>& arguments);
    // Closes the window, saves the options when start-up loaded them, and
    // stops the services. Runs once; the destructor runs it too.
    int ExitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CMainDoc* Document() const { return m_doc.get(); }
    CProgramOptions& Options() { return m_options; }
    bool IsBootTime() const { return m_bootTime; }

    void OnAppAbout();

private:
    bool ClaimInstance();
    void LoadOptions();
    void ShowMainWindow();

    Environment m_environment;
    std::unique_ptr<CSingleInstance> m_instance;
    CProgramOptions m_options;
    std::unique_ptr<CMainDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    bool m_bootTime = false;
    bool m_exited = false;
};

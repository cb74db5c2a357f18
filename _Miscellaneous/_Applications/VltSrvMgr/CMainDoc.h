#pragma once
// The service host's one document: the service manager for the life of the
// program and whether its services run. Starting and stopping run on the
// user-interface thread; the manager's own threads never reach this object.
#include <cstdint>
#include <memory>
#include <string>

#include <QObject>

class CProgramOptions;
class CVltServiceMgr;
class IMainFrameServices;

class CMainDoc : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned ID_AUTO_START = 104;
    static constexpr unsigned ID_TOGGLE_SERVICES = 32777;
    // The update hint after a start or stop.
    static constexpr int kHintServices = 1;

    CMainDoc(CProgramOptions& options, std::unique_ptr<CVltServiceMgr> manager, std::string configPath,
             QObject* parent = nullptr);
    ~CMainDoc() override;

    // The manager with the built-in services: the file service, and the
    // power service when the options allow it at the time of a start.
    static std::unique_ptr<CVltServiceMgr> CreateServiceManager(const CProgramOptions& options);
    // "VltSvcCfg.xml" in the folder of the running program.
    static std::string DefaultConfigPath();

    void SetFrame(IMainFrameServices* frame) { m_frame = frame; }
    bool IsRunning() const { return m_running; }
    CVltServiceMgr& ServiceManager() { return *m_manager; }
    CProgramOptions& Options() { return m_options; }
    // This computer's address as dotted text; empty when there is none.
    std::string GetHostAddressText();

    // true when the services run afterwards (also after a partial load).
    bool StartServices();
    void StopServices();
    void OnToggleServices();
    // The toggle command's menu text for the current state.
    std::string ToggleCommandText() const;
    void OnAutoStart();
    // false for an id the document does not handle.
    bool OnCommand(unsigned id);

signals:
    // Every view updates: hint, and whether the services now run.
    void viewsUpdated(int hint, bool running);

private:
    int32_t LoadServices();
    void SetTimedStatusText(const std::string& text, unsigned timeoutMs);
    void ShowServiceError(const std::string& prefix, int32_t code);

    CProgramOptions& m_options;
    std::unique_ptr<CVltServiceMgr> m_manager;
    std::string m_configPath;
    IMainFrameServices* m_frame = nullptr;
    bool m_running = false;
};

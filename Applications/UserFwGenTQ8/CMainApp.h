#pragma once
// Start-up of the firmware package generator: profile, message boxes, the
// one running instance and the main window.
#include <memory>

#include <QObject>

class CMainFrame;
class CSingleInstance;

class CMainApp : public QObject {
    Q_OBJECT
public:
    CMainApp();
    ~CMainApp() override;

    // False when the program is to end at once (another instance is running
    // and was brought to the front).
    bool InitInstance();
    void OnAppAbout();

    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CMainFrame> m_frame;
};

#pragma once
// Start-up of the firmware package generator: profile, message boxes, the
// main window, and the title claim by which the scope application finds a
// running generator. A second start is not refused: it opens its own window.
#include <memory>

#include <QObject>

class CMainFrame;
class CSingleInstance;

class CMainApp : public QObject {
    Q_OBJECT
public:
    CMainApp();
    ~CMainApp() override;

    void InitInstance();
    void OnAppAbout();

    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CMainFrame> m_frame;
};

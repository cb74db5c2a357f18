#pragma once
// One running instance of a program, found by its main window's exact title
// (case counts). The running instance claims the title; a second start asks
// it to bring its window to the front instead of opening another one. Used by
// the firmware package generator for itself and by the scope application to
// raise a running generator.
//
//   CSingleInstance instance(L"TQ3300 User Firmware File Generator");
//   if (!instance.Claim()) { CSingleInstance::RaiseRunning(title); return 0; }
//   instance.SetWindow(&mainWindow);
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(std::wstring title, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Claims the title for this process; false while another process (or
    // another object of this one) holds it. A claim left behind by a program
    // that ended without releasing it is taken over.
    bool Claim();
    bool IsClaimed() const;

    // The window brought to the front when another start asks for it.
    void SetWindow(QWidget* window);

    // Asks the holder of the title to bring its window to the front; true
    // when a holder answered. Blocks up to the time-out; may be called from
    // any thread, but not from the thread of a holder in the same process.
    static bool RaiseRunning(const std::wstring& title, int timeoutMs = 3000);

    // True when some process holds the title.
    static bool IsRunning(const std::wstring& title, int timeoutMs = 1000);

    // The local socket name of a title (per user).
    static QString ServerName(const std::wstring& title);

    // Brings a top-level window to the front: restored when minimised.
    static void BringToFront(QWidget* window);

signals:
    void raiseRequested();

private:
    void OnNewConnection();

    std::wstring m_title;
    QLocalServer* m_server = nullptr;
    QPointer<QWidget> m_window;
};

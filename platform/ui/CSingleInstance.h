#pragma once
// One running instance of a program, found by its main window's exact title
// (case counts). The running instance claims the title; a second start asks
// it to bring its window to the front instead of opening another one. Used by
// the service host for itself, and by the scope application to raise a
// running firmware package generator, which may run more than once and
// keeps one of its windows findable (ClaimWhenFree).
//
//   CSingleInstance instance(L"Veltrane Service Manager");
//   if (!instance.Claim()) { CSingleInstance::RaiseRunning(title); return 0; }
//   instance.SetWindow(&mainWindow);
//
// The claim is a lock on a file in the user's private runtime folder, held
// for as long as the claim lasts, so two programs starting at the same moment
// cannot both become the holder, and a holder that crashed leaves nothing
// that blocks the next start. Beside the lock, the holder listens on a local
// socket that only this user can reach.
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QTimer;
class QWidget;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(std::wstring title, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Claims the title for this process; false while another process (or
    // another object of this one) holds it, and false with LastError() set
    // when no private runtime folder, lock or socket could be had.
    bool Claim();
    bool IsClaimed() const;
    // Claims the title now, or else once its holder has let it go (tried
    // again every retryMs): of several copies of a program one holds the
    // title while any runs, but for up to retryMs after a holder ends. True
    // when claimed now.
    bool ClaimWhenFree(int retryMs = 200);
    const std::string& LastError() const { return m_error; }

    // The window brought to the front when another start asks for it.
    void SetWindow(QWidget* window);

    // Asks the holder of the title to bring its window to the front; true
    // when a holder answered. A holder still starting up (claimed, not yet
    // listening) is waited for up to the time-out; without a holder it
    // returns at once. May be called from any thread, but not from the
    // thread of a holder in the same process.
    static bool RaiseRunning(const std::wstring& title, int timeoutMs = 3000);

    // True when some process holds the title.
    static bool IsRunning(const std::wstring& title);

    // The full path of a title's local socket, in RuntimeDir().
    static QString ServerName(const std::wstring& title);

    // The user's private runtime folder: $XDG_RUNTIME_DIR when it is a folder
    // of this user's that nobody else may enter, else /tmp/vlt-runtime-<uid>
    // made so. Empty (with a reason) when neither can be had.
    static QString RuntimeDir(std::string* error = nullptr);

    // Brings a top-level window to the front: restored when minimised (also
    // when hidden while minimised), shown when hidden.
    static void BringToFront(QWidget* window);

signals:
    void raiseRequested();

private:
    void OnNewConnection();
    static bool IsLockHeld(const QString& serverName);

    std::wstring m_title;
    std::string m_error;
    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
    QTimer* m_retry = nullptr;
    QPointer<QWidget> m_window;
};

#include "CSingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include "TextConv.h"

namespace {

const QByteArray kActivateRequest = "activate\n";
const QByteArray kActivateAnswer = "ok\n";

// A real folder (not a link) of this user's that nobody else may enter.
bool IsPrivateFolder(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

// Room for "/vlt-single-" and the 24 hex digits of ServerName in a socket
// address; a longer folder would leave the title unguarded.
bool FitsSocketName(const char* folder)
{
    constexpr size_t kNameBytes = 12 + 24;
    return std::strlen(folder) + kNameBytes < sizeof(sockaddr_un::sun_path);
}

std::string LockPath(const QString& serverName)
{
    return serverName.toStdString() + ".lock";
}

} // namespace

CSingleInstance::CSingleInstance(std::wstring title, QObject* parent)
    : QObject(parent), m_title(std::move(title))
{
}

CSingleInstance::~CSingleInstance()
{
    // The socket goes before the lock, so the next holder never finds ours.
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString CSingleInstance::RuntimeDir(std::string* error)
{
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && xdg[0] == '/' && FitsSocketName(xdg) && IsPrivateFolder(xdg))
        return QString::fromStdString(xdg);
    const std::string fallback = "/tmp/vlt-runtime-" + std::to_string(::getuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = "Cannot create '" + fallback + "': " + std::strerror(errno);
        return {};
    }
    struct stat info {};
    if (::lstat(fallback.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        if (error)
            *error = "'" + fallback + "' is not a folder of this user's";
        return {};
    }
    // Ours, so nobody else can swap it under /tmp's sticky bit.
    if ((info.st_mode & 077) != 0 && ::chmod(fallback.c_str(), 0700) != 0) {
        if (error)
            *error = "Cannot make '" + fallback + "' private: " + std::strerror(errno);
        return {};
    }
    return QString::fromStdString(fallback);
}

QString CSingleInstance::ServerName(const std::wstring& title)
{
    QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(vlt::WideToUtf8(title)),
                                               QCryptographicHash::Sha256);
    // Short: a socket path has room for about a hundred bytes.
    const QString name = QStringLiteral("vlt-single-%1").arg(QString::fromLatin1(hash.toHex().left(24)));
    const QString dir = RuntimeDir();
    return dir.isEmpty() ? name : dir + QLatin1Char('/') + name;
}

bool CSingleInstance::IsLockHeld(const QString& serverName)
{
    const int fd = ::open(LockPath(serverName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool CSingleInstance::IsRunning(const std::wstring& title)
{
    return IsLockHeld(ServerName(title));
}

bool CSingleInstance::Claim()
{
    if (m_server)
        return true;
    m_error.clear();
    if (RuntimeDir(&m_error).isEmpty())
        return false;
    const QString name = ServerName(m_title);
    const std::string lockPath = LockPath(name);
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_error = "Cannot open '" + lockPath + "': " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            m_error = "Cannot lock '" + lockPath + "': " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    // With the lock ours, a socket file left by a holder that crashed is stale.
    QLocalServer::removeServer(name);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        m_error = "Cannot listen on '" + name.toStdString() + "': " + server->errorString().toStdString();
        delete server;
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    return true;
}

bool CSingleInstance::IsClaimed() const
{
    return m_server != nullptr;
}

bool CSingleInstance::ClaimWhenFree(int retryMs)
{
    if (Claim())
        return true;
    if (!m_retry) {
        m_retry = new QTimer(this);
        connect(m_retry, &QTimer::timeout, this, [this] {
            if (Claim())
                m_retry->stop();
        });
    }
    m_retry->start(retryMs);
    return false;
}

void CSingleInstance::SetWindow(QWidget* window)
{
    m_window = window;
}

void CSingleInstance::BringToFront(QWidget* window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            QByteArray line = socket->readLine(64);
            if (line != kActivateRequest) {
                socket->abort();
                return;
            }
            // Answer only once the window is up, so the asker sees it done.
            BringToFront(m_window);
            emit raiseRequested();
            socket->write(kActivateAnswer);
            socket->flush();
        });
    }
}

bool CSingleInstance::RaiseRunning(const std::wstring& title, int timeoutMs)
{
    const QString name = ServerName(title);
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(name);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
            break;
        // Nobody holds the title, or the holder did not come up in time.
        if (deadline.hasExpired() || !IsLockHeld(name))
            return false;
        QThread::msleep(20);
    }
    socket.write(kActivateRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine(64) == kActivateAnswer;
}

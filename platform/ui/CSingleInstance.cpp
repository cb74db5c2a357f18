#include "CSingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include "TextConv.h"

namespace {

const QByteArray kRaiseRequest = "raise\n";
const QByteArray kRaiseAnswer = "ok\n";

} // namespace

CSingleInstance::CSingleInstance(std::wstring title, QObject* parent)
    : QObject(parent), m_title(std::move(title))
{
}

CSingleInstance::~CSingleInstance()
{
    if (m_server)
        m_server->close();
}

QString CSingleInstance::ServerName(const std::wstring& title)
{
    QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(vlt::WideToUtf8(title)),
                                               QCryptographicHash::Sha256);
    return QStringLiteral("vlt-single-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash.toHex().left(24)));
}

bool CSingleInstance::IsRunning(const std::wstring& title, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(ServerName(title));
    bool connected = socket.waitForConnected(timeoutMs);
    socket.abort();
    return connected;
}

bool CSingleInstance::Claim()
{
    if (m_server)
        return true;
    // Listening replaces an existing socket file, so ask first whether a
    // holder answers; a file without a listener is what a crashed holder
    // leaves, and is removed.
    if (IsRunning(m_title))
        return false;
    const QString name = ServerName(m_title);
    QLocalServer::removeServer(name);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    return true;
}

bool CSingleInstance::IsClaimed() const
{
    return m_server != nullptr;
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
            if (line != kRaiseRequest) {
                socket->abort();
                return;
            }
            // Answer only once the window is up, so the asker sees it done.
            BringToFront(m_window);
            emit raiseRequested();
            socket->write(kRaiseAnswer);
            socket->flush();
        });
    }
}

bool CSingleInstance::RaiseRunning(const std::wstring& title, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(ServerName(title));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readLine(64) == kRaiseAnswer;
}

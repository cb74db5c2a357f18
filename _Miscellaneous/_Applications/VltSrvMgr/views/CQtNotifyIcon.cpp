#include "CQtNotifyIcon.h"

#include <QTimer>

#include "ServiceIcons.h"

namespace {

// How often the tray's presence is checked.
constexpr int kPollMs = 2000;

} // namespace

CQtNotifyIcon::CQtNotifyIcon(QObject* parent)
    : QObject(parent), m_poll(new QTimer(this)), m_trayWasAvailable(QSystemTrayIcon::isSystemTrayAvailable())
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick && m_doubleClicked)
            m_doubleClicked();
    });
    connect(m_poll, &QTimer::timeout, this, &CQtNotifyIcon::PollTray);
    m_poll->start(kPollMs);
}

bool CQtNotifyIcon::IsAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CQtNotifyIcon::Apply(State state, const QString& tip)
{
    m_icon.setIcon(state == State::Running ? ServicesRunningIcon() : ServicesStoppedIcon());
    m_icon.setToolTip(tip);
}

bool CQtNotifyIcon::Add(State state, const QString& tip)
{
    if (!IsAvailable())
        return false;
    Apply(state, tip);
    // Shown afresh, so that a restarted tray takes the icon again.
    m_icon.hide();
    m_icon.show();
    return m_icon.isVisible();
}

bool CQtNotifyIcon::Modify(State state, const QString& tip)
{
    Apply(state, tip);
    return m_icon.isVisible();
}

bool CQtNotifyIcon::Remove()
{
    m_icon.hide();
    return true;
}

void CQtNotifyIcon::SetMenu(QMenu* menu)
{
    m_icon.setContextMenu(menu);
}

void CQtNotifyIcon::SetHandlers(std::function<void()> doubleClicked, std::function<void()> trayStarted,
                                std::function<void()> trayGone)
{
    m_doubleClicked = std::move(doubleClicked);
    m_trayStarted = std::move(trayStarted);
    m_trayGone = std::move(trayGone);
}

void CQtNotifyIcon::PollTray()
{
    const bool available = IsAvailable();
    const bool was = m_trayWasAvailable;
    m_trayWasAvailable = available;
    if (available && !was && m_trayStarted)
        m_trayStarted();
    else if (!available && was && m_trayGone)
        m_trayGone();
}

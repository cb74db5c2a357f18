#pragma once
// The notification icon on the desktop's tray through QSystemTrayIcon. The
// tray's coming and going is watched, so that the icon can be added again
// after the tray restarts and a window hidden in it shown when it goes.
#include <QObject>
#include <QSystemTrayIcon>

#include "INotifyIcon.h"

class QTimer;

class CQtNotifyIcon : public QObject, public INotifyIcon {
    Q_OBJECT
public:
    explicit CQtNotifyIcon(QObject* parent = nullptr);

    bool IsAvailable() const override;
    bool Add(State state, const QString& tip) override;
    bool Modify(State state, const QString& tip) override;
    bool Remove() override;
    void SetMenu(QMenu* menu) override;
    void SetHandlers(std::function<void()> doubleClicked, std::function<void()> trayStarted,
                     std::function<void()> trayGone) override;

private:
    void Apply(State state, const QString& tip);
    void PollTray();

    QSystemTrayIcon m_icon;
    QTimer* m_poll;
    bool m_trayWasAvailable;
    std::function<void()> m_doubleClicked;
    std::function<void()> m_trayStarted;
    std::function<void()> m_trayGone;
};

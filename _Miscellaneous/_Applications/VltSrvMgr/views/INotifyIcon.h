#pragma once
// The main window's icon in the notification area, behind an interface so
// that tests can stand in for the desktop's tray.
#include <functional>

class QMenu;
class QString;

class INotifyIcon {
public:
    enum class State { NotRunning, Running };

    virtual ~INotifyIcon() = default;

    // true while the desktop has a notification area to show icons in.
    virtual bool IsAvailable() const = 0;
    // Each true on success.
    virtual bool Add(State state, const QString& tip) = 0;
    virtual bool Modify(State state, const QString& tip) = 0;
    virtual bool Remove() = 0;
    // The menu of the icon (not owned).
    virtual void SetMenu(QMenu* menu) = 0;
    // doubleClicked: the user double-clicked the icon; trayStarted: a
    // notification area appeared (the desktop's tray started or restarted),
    // so the icon must be added again; trayGone: the notification area went
    // away, and the icon with it.
    virtual void SetHandlers(std::function<void()> doubleClicked, std::function<void()> trayStarted,
                             std::function<void()> trayGone) = 0;
};

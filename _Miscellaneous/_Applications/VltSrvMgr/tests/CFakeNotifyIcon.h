#pragma once
// A notification area for tests: records what the window asks of it and
// can be made to fail, vanish, or restart.
#include <functional>
#include <vector>

#include <QString>

#include "INotifyIcon.h"

class CFakeNotifyIcon : public INotifyIcon {
public:
    struct Call {
        char what; // 'A'dd, 'M'odify, 'R'emove
        State state;
        QString tip;
    };

    bool IsAvailable() const override { return available; }
    bool Add(State state, const QString& tip) override { return Record('A', state, tip); }
    bool Modify(State state, const QString& tip) override { return Record('M', state, tip); }
    bool Remove() override { return Record('R', State::NotRunning, {}); }
    void SetMenu(QMenu* m) override { menu = m; }
    void SetHandlers(std::function<void()> doubleClicked, std::function<void()> trayStarted,
                     std::function<void()> trayGone) override
    {
        onDoubleClick = std::move(doubleClicked);
        onTrayStarted = std::move(trayStarted);
        onTrayGone = std::move(trayGone);
    }

    bool available = true;
    bool fail = false;
    std::vector<Call> calls;
    QMenu* menu = nullptr;
    std::function<void()> onDoubleClick;
    std::function<void()> onTrayStarted;
    std::function<void()> onTrayGone;

private:
    bool Record(char what, State state, const QString& tip)
    {
        calls.push_back({what, state, tip});
        return available && !fail;
    }
};

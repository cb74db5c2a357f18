#pragma once
// Timers by id, as a window keeps them: setting an id that runs restarts it
// with the new interval; each expiry calls the handler with the id until the
// timer is killed.
#include <functional>
#include <map>
#include <memory>

#include <QObject>

class QTimer;

namespace vlt {

class TimerSet : public QObject {
    Q_OBJECT
public:
    explicit TimerSet(std::function<void(unsigned)> onTimer, QObject* parent = nullptr);
    ~TimerSet() override;

    void SetTimer(unsigned id, int intervalMs);
    void KillTimer(unsigned id);
    bool IsActive(unsigned id) const;
    int Interval(unsigned id) const; // -1 when not active

    // Handles an expiry of the id now, as the running timer would.
    void Expire(unsigned id);

private:
    std::function<void(unsigned)> m_onTimer;
    std::map<unsigned, QTimer*> m_timers;
};

} // namespace vlt

#include "TimerSet.h"

#include <QTimer>

namespace vlt {

TimerSet::TimerSet(std::function<void(unsigned)> onTimer, QObject* parent)
    : QObject(parent), m_onTimer(std::move(onTimer))
{
}

TimerSet::~TimerSet() = default;

void TimerSet::SetTimer(unsigned id, int intervalMs)
{
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { Expire(id); });
    }
    timer->start(intervalMs < 0 ? 0 : intervalMs);
}

void TimerSet::KillTimer(unsigned id)
{
    auto it = m_timers.find(id);
    if (it != m_timers.end())
        it->second->stop();
}

bool TimerSet::IsActive(unsigned id) const
{
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

int TimerSet::Interval(unsigned id) const
{
    return IsActive(id) ? m_timers.at(id)->interval() : -1;
}

void TimerSet::Expire(unsigned id)
{
    if (m_onTimer)
        m_onTimer(id);
}

} // namespace vlt

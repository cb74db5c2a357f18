#include "TimedStatusText.h"

#include <QLabel>

#include "TextConv.h"
#include "TimerSet.h"

namespace vlt {

TimedStatusText::TimedStatusText(QLabel* pane, QObject* parent)
    : QObject(parent), m_pane(pane), m_timers(new TimerSet([this](unsigned id) { OnTimer(id); }, this))
{
}

void TimedStatusText::Show(const std::wstring& text, unsigned timeoutMs)
{
    m_pane->setText(QString::fromStdString(WideToUtf8(text)));
    if (timeoutMs != 0) {
        m_timers->SetTimer(kTimerId, static_cast<int>(std::min<unsigned>(timeoutMs, INT32_MAX)));
        m_timedText = text;
    }
}

void TimedStatusText::Clear()
{
    m_pane->clear();
}

void TimedStatusText::OnTimer(unsigned id)
{
    if (id != kTimerId)
        return;
    m_timers->KillTimer(kTimerId);
    if (PaneText() == m_timedText)
        m_pane->clear();
    m_timedText.clear();
}

std::wstring TimedStatusText::PaneText() const
{
    return Utf8ToWide(m_pane->text().toStdString());
}

} // namespace vlt

#include "TimedStatusText.h"

#include <QLabel>

#include "MessageBoxWatch.h"
#include "TextConv.h"
#include "TimerSet.h"

namespace vlt {

TimedStatusText::TimedStatusText(QLabel* pane, QObject* parent)
    : QObject(parent), m_pane(pane), m_timers(new TimerSet([this](unsigned id) { OnTimer(id); }, this))
{
    connect(&MessageBoxWatch::Instance(), &MessageBoxWatch::allAnswered, this, [this] {
        if (m_waitingForBoxes)
            StartTimeOut();
    });
}

void TimedStatusText::Show(const std::wstring& text, unsigned timeoutMs)
{
    m_pane->setText(QString::fromStdString(WideToUtf8(text)));
    if (timeoutMs != 0) {
        m_timedText = text;
        m_timeoutMs = timeoutMs;
        StartTimeOut();
    }
}

void TimedStatusText::StartTimeOut()
{
    m_waitingForBoxes = MessageBoxWatch::Instance().IsBoxOpen();
    if (m_waitingForBoxes)
        m_timers->KillTimer(kTimerId);
    else
        m_timers->SetTimer(kTimerId, static_cast<int>(std::min<unsigned>(m_timeoutMs, INT32_MAX)));
}

void TimedStatusText::Clear()
{
    m_pane->clear();
}

void TimedStatusText::OnTimer(unsigned id)
{
    if (id != kTimerId)
        return;
    // A box came up meanwhile: the text waits for it to be answered.
    if (!m_timedText.empty() && MessageBoxWatch::Instance().IsBoxOpen()) {
        StartTimeOut();
        return;
    }
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

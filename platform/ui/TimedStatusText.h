#pragma once
// The status bar's message pane with texts that clear themselves: a text
// shown with a time-out is cleared when the time-out ends, unless another
// text has replaced it in the pane meanwhile. The time-out runs only while
// no message box is open: a text shown before or during a box gets its whole
// time-out once the boxes are answered.
#include <string>

#include <QObject>

class QLabel;

namespace vlt {

class TimerSet;

class TimedStatusText : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned kTimerId = 1;

    explicit TimedStatusText(QLabel* pane, QObject* parent = nullptr);

    // Shows the text; with a text and a non-zero time-out the timer
    // (re)starts and the text becomes the timed text. A zero time-out leaves
    // timer and timed text alone.
    void Show(const std::wstring& text, unsigned timeoutMs);
    // Null text: the pane is cleared, timer and timed text are left alone.
    void Clear();

    void OnTimer(unsigned id);

    std::wstring PaneText() const;
    const std::wstring& TimedText() const { return m_timedText; }
    TimerSet& Timers() { return *m_timers; }

private:
    void StartTimeOut();

    QLabel* m_pane;
    TimerSet* m_timers;
    std::wstring m_timedText;
    unsigned m_timeoutMs = 0;
    bool m_waitingForBoxes = false;
};

} // namespace vlt

#pragma once
// The status bar's lock-key indicators, added after the panes it already
// has: "CAP", "NUM" and "SCRL", each lit while its lock is on and dimmed
// while it is off. They follow the keyboard (GetLockKeyState) when a lock key
// is pressed or released anywhere in the application and when the bar's
// window is activated. UI thread only.
#include <QObject>

class QLabel;
class QStatusBar;

namespace vlt {

class LockKeyIndicators : public QObject {
    Q_OBJECT
public:
    // The framework's indicator ids; each pane is named after its id.
    static constexpr unsigned ID_INDICATOR_CAPS = 0xE701;
    static constexpr unsigned ID_INDICATOR_NUM = 0xE702;
    static constexpr unsigned ID_INDICATOR_SCRL = 0xE703;

    explicit LockKeyIndicators(QStatusBar* bar);

    // The pane of an indicator id, or null.
    QLabel* Pane(unsigned id) const;
    // Reads the lock state again and lights or dims the panes.
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* AddPane(QStatusBar* bar, unsigned id, const QString& text);

    QStatusBar* m_bar;
    QLabel* m_caps;
    QLabel* m_num;
    QLabel* m_scroll;
};

} // namespace vlt

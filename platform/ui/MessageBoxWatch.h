#pragma once
// Whether a message box is open, and a signal once the last open box has
// been answered: what is timed for the user to read (the timed status text)
// waits for the boxes. ShowMessageBox counts the boxes from any thread; the
// signal reaches receivers on their own thread.
#include <atomic>

#include <QObject>

namespace vlt {

class MessageBoxWatch : public QObject {
    Q_OBJECT
public:
    static MessageBoxWatch& Instance();

    bool IsBoxOpen() const { return m_open.load() > 0; }
    void Opened() { ++m_open; }
    void Answered()
    {
        if (--m_open == 0)
            emit allAnswered();
    }

signals:
    void allAnswered();

private:
    std::atomic<int> m_open{0};
};

} // namespace vlt

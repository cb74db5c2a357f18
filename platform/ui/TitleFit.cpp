#include "TitleFit.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QWidget>

namespace vlt {
namespace {

// The icon, the three buttons and the margins of a title bar, each about a
// line of its font high with some padding.
constexpr int kTitleBarButtonRooms = 5;
constexpr int kButtonPadding = 6;

void FitToTitle(QWidget* window)
{
    const int need = std::max(TitleBarWidth(window->windowTitle()), window->minimumSizeHint().width());
    if (window->minimumWidth() < need)
        window->setMinimumWidth(need);
}

class TitleWatch : public QObject {
public:
    explicit TitleWatch(QWidget* window) : QObject(window) { window->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::Show)
            FitToTitle(static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

int TitleBarWidth(const QString& title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(title) + kTitleBarButtonRooms * (metrics.height() + kButtonPadding);
}

void KeepTitleShown(QWidget* window)
{
    if (!window)
        return;
    new TitleWatch(window);
    FitToTitle(window);
}

} // namespace vlt

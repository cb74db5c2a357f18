#include "WindowWalker.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>

#include "Mnemonic.h"
#include "TextFitCheck.h"

namespace {

// Windows opened from windows opened from ... the main window: enough for
// every chain the programs have, and an end to any loop.
constexpr int kMaxDepth = 4;

QString WindowName(const QWidget* window)
{
    return window->windowTitle().isEmpty() ? vlt::TextFitCheck::WidgetName(window) : window->windowTitle();
}

// A button or command that opens a window says so with "...".
bool OpensWindow(const QString& text)
{
    return vlt::RemoveMnemonic(text).trimmed().endsWith(QStringLiteral("..."));
}

} // namespace

namespace vlt {

WindowWalker::WindowWalker(TextFitCheck& check, QWidget* mainWindow) : m_check(check), m_mainWindow(mainWindow)
{
    qApp->installEventFilter(this);
}

WindowWalker::~WindowWalker()
{
    qApp->removeEventFilter(this);
}

void WindowWalker::Settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void WindowWalker::Visit(QWidget* window)
{
    const QString name = WindowName(window);
    m_check.CheckWindow(window, name);
    if (m_depth >= kMaxDepth || !m_opened.insert(name).second)
        return;
    ++m_depth;
    QPointer<QWidget> alive(window);
    OpenFurther(window);
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        if (!alive)
            break;
        if (!tabs->isVisible())
            continue;
        const int kept = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            Settle();
            OpenFurther(tabs->widget(i));
        }
        tabs->setCurrentIndex(kept);
    }
    --m_depth;
}

void WindowWalker::OpenFurther(QWidget* root)
{
    QPointer<QWidget> alive(root);
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (!alive)
            return; // the window went
        if (button->isVisible() && button->isEnabled() && button->window() == root->window() &&
            OpensWindow(button->text())) {
            button->click();
            Settle();
        }
    }
}

void WindowWalker::RunMenuCommands(QMenuBar* bar, const std::function<bool(QAction*)>& leave,
                                   const std::function<void()>& before, const std::function<void(QAction*)>& after)
{
    std::vector<QAction*> actions;
    std::vector<QMenu*> menus;
    for (QAction* top : bar->actions())
        if (top->menu())
            menus.push_back(top->menu());
    for (size_t m = 0; m < menus.size(); ++m)
        for (QAction* action : menus[m]->actions()) {
            if (action->menu())
                menus.push_back(action->menu());
            else if (!action->isSeparator())
                actions.push_back(action);
        }
    for (QAction* action : actions) {
        if (before)
            before();
        if (!action->isVisible() || !action->isEnabled() || leave(action))
            continue;
        const bool checked = action->isChecked();
        action->trigger();
        Settle();
        if (action->isCheckable() && action->isChecked() != checked)
            action->trigger();
        Settle();
        if (after)
            after(action);
    }
}

void WindowWalker::VisitAndClose(QWidget* window)
{
    QPointer<QWidget> shown(window);
    Visit(window);
    if (!shown)
        return;
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isModal())
        dialog->done(QDialog::Rejected);
    else
        window->close();
}

bool WindowWalker::eventFilter(QObject* watched, QEvent* event)
{
    auto* window = qobject_cast<QWidget*>(watched);
    if (event->type() != QEvent::Show || !window || !window->isWindow() || window == m_mainWindow)
        return false;
    if (qobject_cast<QMenu*>(window) || qobject_cast<QFileDialog*>(window)) {
        // A pop-up menu's loop ends as it closes; the system's file dialog
        // is not the program's window.
        QTimer::singleShot(0, window, &QWidget::close);
        return false;
    }
    if (window->windowType() == Qt::ToolTip || window->windowType() == Qt::Popup)
        return false;
    QPointer<QWidget> shown(window);
    QTimer::singleShot(0, this, [this, shown] {
        if (shown && shown->isVisible())
            VisitAndClose(shown);
    });
    return false;
}

} // namespace vlt

#pragma once
// Opens what a program offers, as a new user would, and checks every window
// that appears with a TextFitCheck: each tab of a window's tab widgets, each
// button that opens a further window ("..."), and each command of a menu
// bar. A window that appears is checked and closed again (a modal one from
// inside its own loop); pop-up menus and the system's file dialogs are
// closed unchecked. Message boxes and file choices are the caller's to
// answer through the platform layer. Used by the programs' tests.
#include <functional>
#include <set>

#include <QObject>
#include <QString>

class QAction;
class QMenuBar;
class QWidget;

namespace vlt {

class TextFitCheck;

class WindowWalker : public QObject {
public:
    // The main window is checked only when visited, never closed.
    WindowWalker(TextFitCheck& check, QWidget* mainWindow);
    ~WindowWalker() override;

    // Checks the window, then opens what it and each of its tabs offer.
    void Visit(QWidget* window);
    // Clicks every shown, enabled button under root that opens a window.
    void OpenFurther(QWidget* root);
    // Triggers every visible, enabled command of the menu bar that leave
    // does not name; a checkable one is toggled back. before runs ahead of
    // each command, after once it is done.
    void RunMenuCommands(QMenuBar* bar, const std::function<bool(QAction*)>& leave,
                         const std::function<void()>& before = {}, const std::function<void(QAction*)>& after = {});

    // Lets queued work run: layouts, posted messages, windows to visit.
    static void Settle();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void VisitAndClose(QWidget* window);

    TextFitCheck& m_check;
    QWidget* m_mainWindow;
    std::set<QString> m_opened;
    int m_depth = 0;
};

} // namespace vlt

#pragma once
// The accelerator keys of a window's Edit and pane commands: Ctrl+Z and
// Alt+Backspace undo, Ctrl+X and Shift+Delete cut, Ctrl+C and Ctrl+Insert
// copy, Ctrl+V and Shift+Insert paste, F6 and Shift+F6 next and previous
// pane. A key pressed in the window (not in its dialogs) is taken before the
// focused control sees it, so an edit field's own key handling never stands
// in for the command: the Edit command runs on the focused edit field
// exactly as CFormView_WithEdit runs it from a menu, and only while its
// enable rule allows it; a disabled command's key does nothing. The windows
// that use it have no split window: the pane keys find no pane to move to
// and do nothing.
#include <QKeyCombination>
#include <QObject>

class QWidget;

class CEditAccelerators : public QObject {
    Q_OBJECT
public:
    static constexpr unsigned ID_NEXT_PANE = 0xE150;
    static constexpr unsigned ID_PREV_PANE = 0xE151;

    explicit CEditAccelerators(QWidget* window);

    // The command of a key, 0 for a key that is not in the table. A key of
    // the numeric keypad counts as its main-keyboard twin.
    static unsigned CommandOfKey(QKeyCombination key);
    // Whether the command would act if its key were pressed now.
    static bool IsCommandEnabled(unsigned id);
    // Runs the command when it is enabled; false when it is not.
    static bool RunCommand(unsigned id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
};

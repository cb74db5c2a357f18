#pragma once
// The base of the programs' forms: a widget built for one template id that
// serves the Edit commands (Undo, Redo, Cut, Copy, Paste) for the edit field
// that has the keyboard focus, the edit field of an editable combo box
// included. With the focus anywhere else the commands are disabled and do
// nothing.
//
// A menu opened over a form leaves its field as it is: the field keeps its
// selection and stays the one the Edit commands act on, also while the menu
// bar holds the focus for a menu opened from the keyboard, and a field that
// applies its value when it loses the focus does not apply it then.
#include <QWidget>

class QEvent;
class QLineEdit;

class CFormView_WithEdit : public QWidget {
    Q_OBJECT
public:
    static constexpr unsigned ID_EDIT_UNDO = 57643;
    static constexpr unsigned ID_EDIT_REDO = 57644;
    static constexpr unsigned ID_EDIT_CUT = 57635;
    static constexpr unsigned ID_EDIT_COPY = 57634;
    static constexpr unsigned ID_EDIT_PASTE = 57637;

    // templateId 0: the bare class.
    explicit CFormView_WithEdit(int templateId = 0, QWidget* parent = nullptr);

    int GetTemplateId() const { return m_templateId; }

    // The widget with the keyboard focus; while the menu bar holds it for a
    // menu opened from the keyboard, the widget it was taken from.
    static QWidget* FocusWidget();
    // The edit field that has the keyboard focus, or null.
    static QLineEdit* FocusedEditControl();
    // True for a focus-out by which the user leaves a field: for another
    // control, by Enter or by Tab. Opening a menu or a popup, or activating
    // another window, is not leaving it; the field keeps a pending edit.
    static bool LeavesField(const QEvent* event);

    // false when id is none of the Edit commands; otherwise enabled tells
    // whether the command can act on the focused edit field now.
    static bool GetEditCommandState(unsigned id, bool& enabled);
    // Runs an Edit command on the focused edit field; false when id is none
    // of them.
    static bool OnEditCommand(unsigned id);

private:
    int m_templateId;
};

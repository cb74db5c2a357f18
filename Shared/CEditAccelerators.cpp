#include "CEditAccelerators.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "CFormView_WithEdit.h"

namespace {

struct Accelerator {
    QKeyCombination key;
    unsigned id;
};

using Form = CFormView_WithEdit;

const Accelerator kTable[] = {
    {Qt::CTRL | Qt::Key_Z, Form::ID_EDIT_UNDO},
    {Qt::ALT | Qt::Key_Backspace, Form::ID_EDIT_UNDO},
    {Qt::CTRL | Qt::Key_X, Form::ID_EDIT_CUT},
    {Qt::SHIFT | Qt::Key_Delete, Form::ID_EDIT_CUT},
    {Qt::CTRL | Qt::Key_C, Form::ID_EDIT_COPY},
    {Qt::CTRL | Qt::Key_Insert, Form::ID_EDIT_COPY},
    {Qt::CTRL | Qt::Key_V, Form::ID_EDIT_PASTE},
    {Qt::SHIFT | Qt::Key_Insert, Form::ID_EDIT_PASTE},
    {QKeyCombination(Qt::Key_F6), CEditAccelerators::ID_NEXT_PANE},
    {Qt::SHIFT | Qt::Key_F6, CEditAccelerators::ID_PREV_PANE},
};

bool IsPaneCommand(unsigned id)
{
    return id == CEditAccelerators::ID_NEXT_PANE || id == CEditAccelerators::ID_PREV_PANE;
}

} // namespace

CEditAccelerators::CEditAccelerators(QWidget* window) : QObject(window), m_window(window)
{
    // The key goes to the focused control, which may sit deep in the window.
    qApp->installEventFilter(this);
}

unsigned CEditAccelerators::CommandOfKey(QKeyCombination key)
{
    const QKeyCombination plain(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key());
    for (const Accelerator& a : kTable)
        if (a.key == plain)
            return a.id;
    return 0;
}

bool CEditAccelerators::IsCommandEnabled(unsigned id)
{
    bool enabled = false;
    return Form::GetEditCommandState(id, enabled) && enabled;
}

bool CEditAccelerators::RunCommand(unsigned id)
{
    return IsCommandEnabled(id) && Form::OnEditCommand(id);
}

bool CEditAccelerators::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != m_window)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const unsigned id = CommandOfKey(key->keyCombination());
    if (id == 0)
        return false;
    // Accepting the override keeps the key from any shortcut: it comes back
    // as a key press, which runs the command instead of the control's own
    // handling of the key.
    key->accept();
    if (type == QEvent::KeyPress && !IsPaneCommand(id))
        RunCommand(id);
    return true;
}

#include "CFormView_WithEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>

namespace {

bool ClipboardHoldsText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QLineEdit* EditControlOf(QWidget* w)
{
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit;
    // A combo box may hold the focus for its own edit field.
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->isEditable() ? combo->lineEdit() : nullptr;
    return nullptr;
}

bool InForm(const QWidget* w)
{
    for (; w; w = w->parentWidget())
        if (qobject_cast<const CFormView_WithEdit*>(w))
            return true;
    return false;
}

// A menu opened from the keyboard (Alt and a menu's letter), or a menu
// closed with Escape, takes the focus to the menu bar. A form's field is not
// told so, since it would drop its selection, and the widget the bar took
// the focus from is remembered: to the Edit commands it still has the focus,
// as the keys have it. When the bar gives the focus to another control
// instead of back, the field is told then that it lost it. Runs on the UI
// thread only.
class MenuBarFocusWatch : public QObject {
public:
    explicit MenuBarFocusWatch(QCoreApplication* app) : QObject(app)
    {
        app->installEventFilter(this);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            if (qobject_cast<QMenuBar*>(now))
                m_behindBar = old;
        });
    }
    QWidget* BehindBar() const { return m_behindBar; }

    static MenuBarFocusWatch* Instance()
    {
        static QPointer<MenuBarFocusWatch> watch;
        if (!watch && qobject_cast<QApplication*>(QCoreApplication::instance()))
            watch = new MenuBarFocusWatch(QCoreApplication::instance());
        return watch;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn && watched == m_held)
            m_held = nullptr;
        if (event->type() != QEvent::FocusOut)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (qobject_cast<QMenuBar*>(watched)) {
            if (reason != Qt::MenuBarFocusReason && reason != Qt::PopupFocusReason)
                TellHeldField(reason);
            return false;
        }
        auto* w = qobject_cast<QWidget*>(watched);
        if (reason != Qt::MenuBarFocusReason || !w || !EditControlOf(w) || !InForm(w))
            return false;
        m_held = w;
        return true;
    }

private:
    void TellHeldField(Qt::FocusReason reason)
    {
        QPointer<QWidget> held = m_held;
        m_held = nullptr;
        if (held && held != QApplication::focusWidget()) {
            QFocusEvent out(QEvent::FocusOut, reason);
            QCoreApplication::sendEvent(held, &out);
        }
    }

    QPointer<QWidget> m_behindBar;
    QPointer<QWidget> m_held;
};

} // namespace

CFormView_WithEdit::CFormView_WithEdit(int templateId, QWidget* parent) : QWidget(parent), m_templateId(templateId)
{
    MenuBarFocusWatch::Instance();
}

QWidget* CFormView_WithEdit::FocusWidget()
{
    QWidget* focus = QApplication::focusWidget();
    if (!qobject_cast<QMenuBar*>(focus))
        return focus;
    const MenuBarFocusWatch* watch = MenuBarFocusWatch::Instance();
    return watch ? watch->BehindBar() : nullptr;
}

QLineEdit* CFormView_WithEdit::FocusedEditControl()
{
    return EditControlOf(FocusWidget());
}

bool CFormView_WithEdit::LeavesField(const QEvent* event)
{
    if (event->type() != QEvent::FocusOut)
        return false;
    switch (static_cast<const QFocusEvent*>(event)->reason()) {
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
    case Qt::ActiveWindowFocusReason: return false;
    default: return true;
    }
}

bool CFormView_WithEdit::GetEditCommandState(unsigned id, bool& enabled)
{
    const QLineEdit* edit = FocusedEditControl();
    switch (id) {
    case ID_EDIT_UNDO: enabled = edit && edit->isUndoAvailable(); return true;
    case ID_EDIT_REDO: enabled = edit && edit->isRedoAvailable(); return true;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY: enabled = edit && edit->hasSelectedText(); return true;
    case ID_EDIT_PASTE: enabled = edit && !edit->isReadOnly() && ClipboardHoldsText(); return true;
    default: return false;
    }
}

bool CFormView_WithEdit::OnEditCommand(unsigned id)
{
    QLineEdit* edit = FocusedEditControl();
    switch (id) {
    case ID_EDIT_UNDO: if (edit) edit->undo(); return true;
    case ID_EDIT_REDO: if (edit) edit->redo(); return true;
    // A read-only field keeps its text, as a read-only edit control does.
    case ID_EDIT_CUT: if (edit && !edit->isReadOnly()) edit->cut(); return true;
    case ID_EDIT_COPY: if (edit) edit->copy(); return true;
    case ID_EDIT_PASTE: if (edit) edit->paste(); return true;
    default: return false;
    }
}

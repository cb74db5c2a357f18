#include "CFormView_WithEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>

namespace {

bool ClipboardHoldsText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

} // namespace

CFormView_WithEdit::CFormView_WithEdit(int templateId, QWidget* parent) : QWidget(parent), m_templateId(templateId)
{
}

QLineEdit* CFormView_WithEdit::FocusedEditControl()
{
    QWidget* focus = QApplication::focusWidget();
    if (auto* edit = qobject_cast<QLineEdit*>(focus))
        return edit;
    // A combo box may hold the focus for its own edit field.
    if (auto* combo = qobject_cast<QComboBox*>(focus))
        return combo->isEditable() ? combo->lineEdit() : nullptr;
    return nullptr;
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

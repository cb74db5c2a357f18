#include "CNumericEditField.h"

#include <QEvent>
#include <QLineEdit>

#include "CSettingFormView.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "FormApply.h"

using formapply::EditAction;

CNumericEditField::CNumericEditField(CSettingFormView& form, QLineEdit* edit, uint32_t editingBit, const Spec& spec)
    : QObject(edit), m_form(form), m_edit(edit), m_bit(editingBit), m_spec(spec)
{
    connect(edit, &QLineEdit::textChanged, this, &CNumericEditField::OnChange);
    edit->installEventFilter(this);
}

void CNumericEditField::Refresh()
{
    m_edit->setText(QString::number(m_spec.get(m_form.GetDeviceHandle(), 1)));
}

bool CNumericEditField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && CFormView_WithEdit::LeavesField(event))
        OnKillFocus();
    return QObject::eventFilter(watched, event);
}

void CNumericEditField::OnChange()
{
    if (m_form.TestFlag(m_bit) || m_form.TestFlag(CSettingFormView::kRefreshing))
        return;
    m_form.ShowStatus(m_spec.editingText, 0);
    m_form.SetFlag(m_bit, true);
}

void CNumericEditField::OnKillFocus()
{
    const bool editing = m_form.TestFlag(m_bit);
    m_form.SetFlag(m_bit, false);
    uint32_t typed = 0;
    const bool valid = editing && GetDlgItemUInt32(m_edit, typed);
    const TQ8_HANDLE device = m_form.GetDeviceHandle();
    switch (formapply::DecideEditAction(editing, valid, typed, editing ? m_spec.get(device, 1) : 0)) {
    case EditAction::None: return;
    case EditAction::Refuse: ShowInvalidNumberMessage(m_spec.fieldName, m_edit, MB_ICONERROR); return;
    case EditAction::ClearStatus: m_form.ShowStatus(L""); return;
    case EditAction::Apply: break;
    }
    const int32_t result = m_spec.set(device, typed);
    ShowBoardValue();
    if (!m_form.CheckResult(result, m_spec.failurePrefix))
        return;
    if (m_spec.hint != 0)
        m_form.NotifyOtherViews(m_spec.hint);
    m_form.ShowStatus(formapply::AppliedText(m_spec.successText, typed, m_spec.get(device, 1)));
    m_form.SetModified();
}

void CNumericEditField::ShowBoardValue()
{
    // Written with the editing bit set, so that it starts no edit.
    m_form.SetFlag(m_bit, true);
    Refresh();
    m_form.SetFlag(m_bit, false);
}

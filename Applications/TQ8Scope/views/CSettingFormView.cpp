#include "CSettingFormView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "CMainDoc.h"
#include "ErrorBox.h"

CSettingFormView::CSettingFormView(int templateId, CMainDoc& doc, QWidget* parent)
    : CFormView_WithEdit(templateId, parent), m_doc(doc)
{
    m_doc.AddView(this);
}

CSettingFormView::~CSettingFormView()
{
    m_doc.RemoveView(this);
}

void CSettingFormView::OnInitialUpdate()
{
    m_device = m_doc.GetDeviceHandle();
}

void CSettingFormView::SetFlag(uint32_t bit, bool on)
{
    m_formFlags = on ? (m_formFlags | bit) : (m_formFlags & ~bit);
}

QWidget* CSettingFormView::Item(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

void CSettingFormView::ShowStatus(const std::wstring& text, unsigned timeoutMs)
{
    m_doc.ShowStatusText(text, timeoutMs);
}

void CSettingFormView::SetModified()
{
    m_doc.SetModified(true);
}

void CSettingFormView::NotifyOtherViews(int hint, void* object)
{
    m_doc.UpdateAllViews(hint, object, this);
}

bool CSettingFormView::CheckResult(int32_t result, const wchar_t* failurePrefix, bool boxNamesDevice)
{
    if (result == 0)
        return true;
    ShowDeviceErrorBox(result, failurePrefix, boxNamesDevice ? m_device : nullptr, MB_ICONERROR);
    return false;
}

bool CSettingFormView::ApplyComboSetting(QComboBox* combo, const ChoiceSetting& setting)
{
    if (!CheckResult(setting.set(m_device, combo->currentIndex()), setting.failurePrefix, setting.boxNamesDevice)) {
        RefreshScope refreshing(*this);
        combo->setCurrentIndex(setting.get(m_device, 1));
        return false;
    }
    ShowStatus(setting.successText);
    if (setting.marksModified)
        SetModified();
    return true;
}

bool CSettingFormView::ApplyCheckSetting(QCheckBox* box, const ChoiceSetting& setting)
{
    if (!CheckResult(setting.set(m_device, box->isChecked() ? 1 : 0), setting.failurePrefix,
                     setting.boxNamesDevice)) {
        RefreshScope refreshing(*this);
        box->setChecked(setting.get(m_device, 1) != 0);
        return false;
    }
    ShowStatus(setting.successText);
    if (setting.marksModified)
        SetModified();
    return true;
}

void CSettingFormView::AddDefaultButton(int id, const QString& caption, QWidget* focusTarget)
{
    m_defaultButton = AddItem(new QPushButton(caption, this), id);
    m_defaultButton->hide();
    connect(m_defaultButton, &QPushButton::clicked, this, [focusTarget] { focusTarget->setFocus(Qt::OtherFocusReason); });
}

void CSettingFormView::ConnectEnter(QLineEdit* edit)
{
    connect(edit, &QLineEdit::returnPressed, this, [this] {
        if (m_defaultButton)
            m_defaultButton->click();
    });
}

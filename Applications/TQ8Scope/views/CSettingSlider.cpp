#include "CSettingSlider.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QSlider>

#include "CNumericInputDlg.h"
#include "CSettingFormView.h"
#include "FormApply.h"

CSettingSlider::CSettingSlider(CSettingFormView& form, QSlider* slider, QAbstractButton* browse, const Spec& spec)
    : QObject(slider), m_form(form), m_slider(slider), m_spec(spec)
{
    connect(slider, &QSlider::sliderMoved, this, &CSettingSlider::OnTracking);
    slider->installEventFilter(this);
    if (browse)
        connect(browse, &QAbstractButton::clicked, this, &CSettingSlider::OnBrowse);
}

void CSettingSlider::Refresh()
{
    m_slider->setValue(m_spec.get(m_form.GetDeviceHandle(), 1));
}

bool CSettingSlider::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_slider)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
        // After the slider has taken the event.
        QMetaObject::invokeMethod(this, &CSettingSlider::OnEndScroll, Qt::QueuedConnection);
        break;
    case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            QMetaObject::invokeMethod(this, &CSettingSlider::OnEndScroll, Qt::QueuedConnection);
        break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void CSettingSlider::OnTracking(int position)
{
    m_form.ShowStatus(formapply::SliderTrackingText(m_spec.words, uint32_t(position)));
}

void CSettingSlider::OnEndScroll()
{
    const int position = m_slider->value();
    const TQ8_HANDLE device = m_form.GetDeviceHandle();
    if (!m_form.CheckResult(m_spec.set(device, position), formapply::SliderFailurePrefix(m_spec.words).c_str())) {
        if (m_spec.resetOnFailure) {
            CSettingFormView::RefreshScope refreshing(m_form);
            Refresh();
        }
        return;
    }
    m_form.ShowStatus(formapply::SliderUpdatedText(m_spec.words, uint32_t(position)));
    m_form.SetModified();
}

void CSettingSlider::OnBrowse()
{
    const auto maximum = uint32_t(m_slider->maximum());
    CNumericInputDlg dlg(&m_form, uint32_t(m_slider->value()), m_spec.inputLabel, formapply::RangeText(maximum),
                         m_spec.inputCaption);
    dlg.SetRange(0, maximum);
    dlg.SetDefault(m_spec.inputDefault);
    if (dlg.exec() != QDialog::Accepted || dlg.GetValue() == uint32_t(m_slider->value()))
        return;
    m_slider->setValue(int(dlg.GetValue()));
    QMetaObject::invokeMethod(this, &CSettingSlider::OnEndScroll, Qt::QueuedConnection);
}

#include "CHub6SettingsDlg.h"

#include "VltHUB6.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

CHub6SettingsDlg::CHub6SettingsDlg(QWidget* parent, const QString& caption, double clockRate) : QDialog(parent)
{
    setWindowTitle(caption);
    m_clockRate = new QDoubleSpinBox(this);
    m_clockRate->setObjectName("clockRate");
    m_clockRate->setDecimals(3);
    m_clockRate->setRange(kHub6MinClockRate, kHub6MaxClockRate);
    m_clockRate->setSuffix(" MHz");
    m_clockRate->setValue(clockRate);
    m_shownRate = m_clockRate->value();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow("&Clock rate:", m_clockRate);
    layout->addRow(buttons);
}

double CHub6SettingsDlg::GetClockRate() const
{
    return m_clockRate->value();
}

bool CHub6SettingsDlg::IsRateChanged() const
{
    return m_clockRate->value() != m_shownRate;
}

#include "CAdcCalDlg.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "CWaitCursor.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "TextConv.h"

namespace {

QString ToQt(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

const wchar_t* const kFailurePrefixes[] = {L"Failed to calibrate ADC#1: ", L"Failed to calibrate ADC#2: "};

} // namespace

const wchar_t* const CAdcCalDlg::kInformation =
    L"Initial calibration is performed automatically by the TQ3300 driver.\r\n\r\n"
    L"ADC calibration trims the 100\u03A9 analog input differential termination resistor and minimizes "
    L"full-scale error, offset error, DNL and INL, resulting in maximizing SNR, THD, SINAD (SNDR) and ENOB. "
    L"Internal bias currents are also set during the calibration process.";

CAdcCalDlg::CAdcCalDlg(QWidget* parent, TQ8_HANDLE device, int32_t adcChoice)
    : QDialog(parent), m_device(device),
      m_choice(adcChoice >= kBoth && adcChoice <= kAdc2 ? adcChoice : kBoth)
{
    BuildControls();
    setWindowTitle(QStringLiteral("TQ3300 ADC Calibration"));
    AppendBoardNameToTitle(this, m_device, kErrorBoxNameFlags);
}

void CAdcCalDlg::BuildControls()
{
    setObjectName(QStringLiteral("adcCalDlg"));
    m_information = new QLabel(this);
    m_information->setObjectName(QStringLiteral("information"));
    m_information->setWordWrap(true);
    // The text's line breaks are "\r\n"; a label breaks on "\n".
    m_information->setText(ToQt(kInformation).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    m_target = new QComboBox(this);
    m_target->setObjectName(QStringLiteral("targetAdcs"));
    m_target->addItems({QStringLiteral("Calibrate both ADCs"), QStringLiteral("Calibrate ADC#1 only"),
                        QStringLiteral("Calibrate ADC#2 only")});
    m_target->setCurrentIndex(m_choice);
    auto* targetLabel = new QLabel(QStringLiteral("&Target ADC(s):"), this);
    targetLabel->setBuddy(m_target);

    m_calibrate = new QPushButton(QStringLiteral("&Calibrate Now"), this);
    m_calibrate->setObjectName(QStringLiteral("calibrateNow"));
    m_calibrate->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setDefault(true);
    connect(m_calibrate, &QPushButton::clicked, this, &CAdcCalDlg::OnCalibrateNow);
    connect(m_close, &QPushButton::clicked, this, &CAdcCalDlg::accept);

    auto* target = new QHBoxLayout;
    target->addWidget(targetLabel);
    target->addWidget(m_target, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_calibrate);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_information);
    layout->addLayout(target);
    layout->addLayout(buttons);
    setMinimumWidth(420);
}

std::vector<int32_t> CAdcCalDlg::AdcIndexesOf(int32_t choice)
{
    std::vector<int32_t> indexes;
    if (choice == kBoth || choice == kAdc1)
        indexes.push_back(0);
    if (choice == kBoth || choice == kAdc2)
        indexes.push_back(1);
    return indexes;
}

bool CAdcCalDlg::CalibrateAdcs(TQ8_HANDLE device, int32_t choice)
{
    const std::vector<int32_t> indexes = AdcIndexesOf(choice);
    bool failed = indexes.empty();
    for (int32_t adc : indexes) {
        int32_t rc = TQ8_OK;
        {
            // Over the call only: a message box keeps the normal cursor.
            CWaitCursor wait;
            rc = CalibrateAdcTQ8(device, adc);
        }
        if (rc != TQ8_OK) {
            ShowDeviceErrorBox(rc, kFailurePrefixes[adc], device);
            failed = true;
        }
    }
    return !failed;
}

void CAdcCalDlg::OnCalibrateNow()
{
    if (!CalibrateAdcs(m_device, m_target->currentIndex()))
        return;
    vlt::ShowMessageBox(L"Select ADC(s) calibrated", MB_ICONINFORMATION, this);
    m_close->setFocus();
}

void CAdcCalDlg::accept()
{
    m_choice = m_target->currentIndex();
    QDialog::accept();
}

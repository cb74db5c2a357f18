#include "CForm_FLPC2_Dec.h"

#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CMainDoc.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "MessageBox.h"

CForm_FLPC2_Dec::CForm_FLPC2_Dec(CMainDoc& doc, QWidget* parent) : CProcessingForm(kTemplateId, doc, parent)
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(CreateEnableBox(kEnableId, "E&nable decimation processing", L"Failed to set decimation enable: ",
                                    L"Decimation enable updated"),
                    0, 0, 1, 3);
    m_factor = AddItem(new QComboBox(this), kFactorId);
    m_factor->addItem(QStringLiteral("1 (No decimation)"));
    for (int n = 1; n <= 13; ++n)
        m_factor->addItem(QString::number(1 << n));
    m_factor->setCurrentIndex(-1);
    auto* factorLabel = new QLabel(QStringLiteral("&Decimation factor:"), this);
    factorLabel->setBuddy(m_factor);
    m_nco = AddItem(new QLineEdit(this), kNcoId);
    auto* ncoLabel = new QLabel(QStringLiteral("NC&O frequency:"), this);
    ncoLabel->setBuddy(m_nco);
    grid->addWidget(factorLabel, 1, 0);
    grid->addWidget(m_factor, 1, 1);
    grid->addWidget(ncoLabel, 2, 0);
    grid->addWidget(m_nco, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("MHz"), this), 2, 2);
    grid->addWidget(CreateUpdateButton(kEnableId), 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("NCO frequency will be automatically reapplied if acquisition clock "
                                              "rate is changed by this application."),
                               this),
                    4, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Note: Decimation parameters are currently write-only."), this), 5, 0,
                    1, 3);
    grid->setRowStretch(6, 1);
    connect(m_factor, &QComboBox::activated, this, &CForm_FLPC2_Dec::OnFactorChange);
    WatchEdit(m_nco, L"Editing NCO frequency. Press ENTER to apply changes", [this] { OnNcoApply(); });
}

CForm_FLPC2_Dec::~CForm_FLPC2_Dec() = default;

QSize CForm_FLPC2_Dec::GetTemplateSize()
{
    return {420, 190};
}

void CForm_FLPC2_Dec::OnDocumentUpdate(IDocView* sender, int hint, void* object)
{
    CProcessingForm::OnDocumentUpdate(sender, hint, object);
    if (hint == dochint::kClock)
        ReapplyNco();
}

void CForm_FLPC2_Dec::OnFactorChange()
{
    const int index = m_factor->currentIndex();
    if (index < 0)
        return;
    if (!CheckResult(FLPC2_SetDecimationFactorTQ8(GetDeviceHandle(), uint32_t(index)),
                     L"Failed to set decimation factor: ", true)) {
        m_factor->setCurrentIndex(-1);
        return;
    }
    ShowStatus(L"Decimation factor updated");
}

void CForm_FLPC2_Dec::OnNcoApply()
{
    double mhz = 0;
    // The C library's parser also takes "nan" and "inf".
    if (!GetDlgItemDouble(m_nco, mhz) || !std::isfinite(mhz)) {
        vlt::ShowMessageBox(L"Please enter a valid NCO frequency", MB_ICONERROR, this);
        m_nco->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!CheckResult(FLPC2_SetNcoFrequencyTQ8(GetDeviceHandle(), mhz), L"Failed to set NCO frequency: ", true)) {
        m_nco->clear();
        m_lastNco = -1.0;
        return;
    }
    m_lastNco = mhz;
    ShowStatus(L"NCO frequency updated");
}

void CForm_FLPC2_Dec::ReapplyNco()
{
    if (m_lastNco < 0)
        return;
    if (!CheckResult(FLPC2_SetNcoFrequencyTQ8(GetDeviceHandle(), m_lastNco), L"Failed to auto-update NCO frequency: ",
                     true))
        m_lastNco = -1.0;
}

#include "COpts_RecPP.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "CMainApp.h"
#include "CRecParamsManager.h"
#include "MessageBox.h"

COpts_RecPP::COpts_RecPP(CMainApp& app, QWidget* parent)
    : CPropertyPage(QStringLiteral("Data Recording"), parent), m_params(app.GetWorkspace().GetRecParamsManager())
{
    auto* group = new QGroupBox(QStringLiteral("Data transfer size"), this);
    auto* grid = new QGridLayout(group);
    m_transfer = new QLineEdit(group);
    auto* label = new QLabel(QStringLiteral("Transfer si&ze:"), group);
    label->setBuddy(m_transfer);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_transfer, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("samples"), group), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("0 = Let TQ3300 library decide (recommended)"), group), 1, 0, 1, 3);
    auto* note = new QLabel(QStringLiteral("The data transfer size defines the size of the DMA transfer used to "
                                           "obtain acquisition date."),
                            group);
    note->setWordWrap(true);
    grid->addWidget(note, 2, 0, 1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch(1);

    m_transfer->setText(QString::number(m_params ? m_params->TransferSamples : 0));
    m_transfer->setEnabled(m_params != nullptr);
    connect(m_transfer, &QLineEdit::textEdited, this, [this] { SetModified(); });
}

bool COpts_RecPP::ParseUnsigned(const QString& text, uint32_t& value)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return false;
    uint64_t number = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return false;
        number = number * 10 + uint64_t(c.unicode() - u'0');
        if (number > UINT32_MAX)
            return false;
    }
    value = uint32_t(number);
    return true;
}

bool COpts_RecPP::OnApply()
{
    if (!m_params)
        return CPropertyPage::OnApply();
    uint32_t samples = 0;
    if (!ParseUnsigned(m_transfer->text(), samples)) {
        vlt::ShowMessageBox(L"Please enter a positive integer.", MB_ICONWARNING, this);
        m_transfer->setFocus();
        m_transfer->selectAll();
        return false;
    }
    // The workspace is not marked modified: the value goes with its next save.
    m_params->TransferSamples = samples;
    return CPropertyPage::OnApply();
}

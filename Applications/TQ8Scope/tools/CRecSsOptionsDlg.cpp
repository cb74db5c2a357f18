#include "CRecSsOptionsDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "CRecParamsManager.h"
#include "DialogItems.h"
#include "ErrorBox.h"

namespace {

QLineEdit* NumberEdit(QWidget* parent, const char* name, uint32_t value)
{
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

CRecSsOptionsDlg::CRecSsOptionsDlg(QWidget* parent, CRecParamsManager& manager) : QDialog(parent), m_manager(manager)
{
    setWindowTitle(QStringLiteral("Recording Snapshot Options"));
    auto* grid = new QGridLayout(this);
    m_samples = NumberEdit(this, "snapshotSamples", manager.SnapshotSamples);
    m_frequency = NumberEdit(this, "snapshotFreqMs", manager.SnapshotFreqMs);
    grid->addWidget(new QLabel(QStringLiteral("Snapshot length:"), this), 0, 0);
    grid->addWidget(m_samples, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("samples"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Snapshot frequency:"), this), 1, 0);
    grid->addWidget(m_frequency, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("ms"), this), 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, 2, 0, 1, 3);
}

void CRecSsOptionsDlg::accept()
{
    uint32_t samples = 0;
    uint32_t frequency = 0;
    if (!GetDlgItemUInt32(m_samples, samples)) {
        ShowInvalidNumberMessage(nullptr, m_samples);
        return;
    }
    if (!GetDlgItemUInt32(m_frequency, frequency)) {
        ShowInvalidNumberMessage(nullptr, m_frequency);
        return;
    }
    m_manager.SnapshotSamples = samples;
    m_manager.SnapshotFreqMs = frequency;
    QDialog::accept();
}

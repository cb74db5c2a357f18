#include "CProgOptSheet.h"

#include <utility>

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "CProgOptPP_Gen.h"

CProgOptSheet::CProgOptSheet(CProgramOptions& options, std::string programPath, QWidget* parent)
    : QDialog(parent), m_page(new CProgOptPP_Gen(options, std::move(programPath), this))
{
    setWindowTitle(QStringLiteral("Program Options"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->addTab(m_page, QStringLiteral("General"));
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_apply = buttons->button(QDialogButtonBox::Apply);
    m_apply->setEnabled(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CProgOptSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_apply, &QPushButton::clicked, m_page, &CProgOptPP_Gen::OnApply);
    connect(m_page, &CProgOptPP_Gen::modifiedChanged, m_apply, &QPushButton::setEnabled);
}

void CProgOptSheet::accept()
{
    m_page->OnApply();
    QDialog::accept();
}

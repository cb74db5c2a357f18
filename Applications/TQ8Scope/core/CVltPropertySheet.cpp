#include "CVltPropertySheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

CVltPropertySheet::CVltPropertySheet(const QString& caption, QWidget* parent, int firstPage)
    : QDialog(parent), m_tabs(new QTabWidget(this)), m_firstPage(firstPage)
{
    setWindowTitle(caption);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CVltPropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CVltPropertySheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

int CVltPropertySheet::AddPage(QWidget* page, const QString& caption)
{
    return m_tabs->addTab(page, caption);
}

void CVltPropertySheet::SetActivePage(int index)
{
    m_firstPage = index;
    if (index >= 0 && index < m_tabs->count())
        m_tabs->setCurrentIndex(index);
}

int CVltPropertySheet::GetActivePage() const
{
    return m_tabs->currentIndex();
}

void CVltPropertySheet::showEvent(QShowEvent* event)
{
    SetActivePage(m_firstPage);
    QDialog::showEvent(event);
}

void CVltPropertySheet::accept()
{
    m_okPage = std::max(0, m_tabs->currentIndex());
    QDialog::accept();
}

#include "CVltPropertySheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "CPropertyPage.h"
#include "TitleFit.h"

CVltPropertySheet::CVltPropertySheet(const QString& caption, QWidget* parent, int firstPage)
    : QDialog(parent), m_tabs(new QTabWidget(this)), m_firstPage(firstPage)
{
    setWindowTitle(caption);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_apply = buttons->button(QDialogButtonBox::Apply);
    m_apply->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &CVltPropertySheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CVltPropertySheet::reject);
    connect(m_apply, &QPushButton::clicked, this, &CVltPropertySheet::ApplyPages);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (isVisible())
            ActivatePage(index);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    // A sheet of one narrow page would cut its title.
    vlt::KeepTitleShown(this);
}

int CVltPropertySheet::AddPage(QWidget* page, const QString& caption)
{
    if (auto* propertyPage = qobject_cast<CPropertyPage*>(page))
        connect(propertyPage, &CPropertyPage::modifiedChanged, this, [this](bool modified) {
            if (modified)
                m_apply->setEnabled(true);
        });
    return m_tabs->addTab(page, caption);
}

void CVltPropertySheet::HideApplyButton()
{
    m_apply->hide();
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

void CVltPropertySheet::ActivatePage(int index)
{
    if (auto* page = qobject_cast<CPropertyPage*>(m_tabs->widget(index)))
        page->Activate();
}

void CVltPropertySheet::showEvent(QShowEvent* event)
{
    SetActivePage(m_firstPage);
    ActivatePage(m_tabs->currentIndex());
    QDialog::showEvent(event);
}

bool CVltPropertySheet::ApplyPages()
{
    for (int i = 0; i < m_tabs->count(); ++i) {
        auto* page = qobject_cast<CPropertyPage*>(m_tabs->widget(i));
        if (!page || !page->WasShown())
            continue;
        if (!page->OnApply()) {
            m_tabs->setCurrentIndex(i);
            return false;
        }
    }
    m_apply->setEnabled(false);
    return true;
}

void CVltPropertySheet::accept()
{
    if (!ApplyPages())
        return;
    m_okPage = std::max(0, m_tabs->currentIndex());
    QDialog::accept();
}

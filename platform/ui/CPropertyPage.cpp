#include "CPropertyPage.h"

CPropertyPage::CPropertyPage(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption) {}

void CPropertyPage::SetModified(bool modified)
{
    m_modified = modified;
    emit modifiedChanged(modified);
}

bool CPropertyPage::OnApply()
{
    SetModified(false);
    return true;
}

void CPropertyPage::Activate()
{
    if (m_shown)
        return;
    m_shown = true;
    OnInitDialog();
}

#pragma once
// "Data Recording" page of the program options: the DMA transfer size of the
// open workspace's recording parameters. Without a workspace's parameters
// the field is disabled and the page changes nothing.
#include <cstdint>

#include "CPropertyPage.h"

class CMainApp;
class CRecParamsManager;
class QLineEdit;

class COpts_RecPP : public CPropertyPage {
    Q_OBJECT
public:
    explicit COpts_RecPP(CMainApp& app, QWidget* parent = nullptr);

    bool OnApply() override;
    QLineEdit* TransferEdit() const { return m_transfer; }

    // Decimal digits only, blanks around them allowed, within 32 bits.
    static bool ParseUnsigned(const QString& text, uint32_t& value);

private:
    CRecParamsManager* m_params;
    QLineEdit* m_transfer;
};

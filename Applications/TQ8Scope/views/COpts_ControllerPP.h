#pragma once
// "Controller" page of the program options: how masters and controlled
// boards behave as controllers.
#include "CPropertyPage.h"

class CMainApp;
class QCheckBox;

class COpts_ControllerPP : public CPropertyPage {
    Q_OBJECT
public:
    explicit COpts_ControllerPP(CMainApp& app, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    bool OnApply() override;
    QCheckBox* MastersBox() const { return m_masters; }
    QCheckBox* SyncPlotsBox() const { return m_syncPlots; }

private:
    CMainApp& m_app;
    QCheckBox* m_masters;
    QCheckBox* m_syncPlots;
    class QLabel* m_note;
};

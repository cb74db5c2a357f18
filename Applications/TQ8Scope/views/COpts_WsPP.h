#pragma once
// "Workspaces" page of the program options: what the program does at
// start-up, and whether an unnamed workspace is offered for saving at exit.
#include <cstdint>

#include "CPropertyPage.h"

class CMainApp;
class QCheckBox;
class QComboBox;

class COpts_WsPP : public CPropertyPage {
    Q_OBJECT
public:
    explicit COpts_WsPP(CMainApp& app, QWidget* parent = nullptr);

    bool OnApply() override;
    QComboBox* StartupCombo() const { return m_startup; }
    QCheckBox* NoPromptBox() const { return m_noPrompt; }

private:
    CMainApp& m_app;
    QComboBox* m_startup;
    QCheckBox* m_noPrompt;
};

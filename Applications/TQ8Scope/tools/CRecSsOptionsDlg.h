#pragma once
// "Recording Snapshot Options": the length and frequency of the snapshots
// a recording shows. OK copies both into the manager, Cancel leaves it.
#include <QDialog>

class CRecParamsManager;
class QLineEdit;

class CRecSsOptionsDlg : public QDialog {
    Q_OBJECT
public:
    CRecSsOptionsDlg(QWidget* parent, CRecParamsManager& manager);

    void accept() override;

private:
    CRecParamsManager& m_manager;
    QLineEdit* m_samples = nullptr;
    QLineEdit* m_frequency = nullptr;
};

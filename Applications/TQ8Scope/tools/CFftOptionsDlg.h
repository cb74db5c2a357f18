#pragma once
// The modal "FFT Options" dialog of the spectrum window. It edits the
// caller's copy of the record: OK writes the controls back into it, Cancel
// leaves it as it was. Invalid input keeps the dialog open with a message.
#include <QDialog>

#include "CFFTOptions.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class CFftOptionsDlg : public QDialog {
    Q_OBJECT
public:
    CFftOptionsDlg(QWidget* parent, CFFTOptions& options);

    void accept() override;

private:
    void BuildControls();
    void LoadControls();
    QWidget* WidgetOf(int field) const;

    CFFTOptions& m_options;
    QComboBox* m_size = nullptr;
    QComboBox* m_window = nullptr;
    QButtonGroup* m_grab = nullptr;
    QLineEdit* m_offset = nullptr;
    QCheckBox* m_averaging = nullptr;
    QLineEdit* m_restart = nullptr;
    QCheckBox* m_peakTracking = nullptr;
    QSpinBox* m_maxPeaks = nullptr;
    QLineEdit* m_exclusion = nullptr;
};

#pragma once
// "Advanced Data Destination Options": edits a destination-file options
// object in place. OK keeps the controls, Cancel (Close when read-only)
// leaves the object as it was.
#include <QDialog>

#include "TQ8_64.h"

class CDestFileOpts;
class CVltEditBrowseCtrl;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CAdvDstFileOptsDlg : public QDialog {
    Q_OBJECT
public:
    CAdvDstFileOptsDlg(QWidget* parent, CDestFileOpts* options, bool readOnly, bool recording, TQ8_HANDLE device);

    void accept() override;

private:
    void BuildControls();
    void SetUpBrowsers();
    void LoadControls();
    bool SaveControls();
    void ApplyEnabling();
    QCheckBox* AddCheck(const char* name, const char* text);
    static int32_t PrepareTimestampBrowse(intptr_t self, CVltEditBrowseCtrl* control);

    CDestFileOpts* m_options;
    bool m_readOnly;
    bool m_recording;
    TQ8_HANDLE m_device;

    QCheckBox* m_assumeFormat = nullptr;
    QComboBox* m_format = nullptr;
    QCheckBox* m_deinterleave = nullptr;
    QLabel* m_pathLabel[3] = {};
    CVltEditBrowseCtrl* m_path[3] = {};
    QCheckBox* m_span = nullptr;
    QLabel* m_spanLabel = nullptr;
    QLineEdit* m_spanSize = nullptr;
    QComboBox* m_spanUnits = nullptr;
    QCheckBox* m_skip = nullptr;
    QLineEdit* m_skipBytes = nullptr;
    QLabel* m_skipLabel = nullptr;
    QCheckBox* m_append = nullptr;
    QCheckBox* m_text = nullptr;
    QCheckBox* m_hex = nullptr;
    QCheckBox* m_noUnbuffered = nullptr;
    QCheckBox* m_signed = nullptr;
    QCheckBox* m_tsFile = nullptr;
    QCheckBox* m_tsText = nullptr;
    QCheckBox* m_tsMarker = nullptr;
    QLabel* m_tsPathLabel = nullptr;
    CVltEditBrowseCtrl* m_tsPath = nullptr;
    QCheckBox* m_tsAbort = nullptr;
    QCheckBox* m_context = nullptr;
    QLabel* m_noteLabel = nullptr;
    QLineEdit* m_note = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

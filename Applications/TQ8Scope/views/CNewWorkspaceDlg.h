#pragma once
// "New TQ3300 Workspace": what a new workspace starts with (nothing, the
// local boards, a server's boards, one virtual board or a workspace file) and
// whether it connects sync devices and applies power-up defaults. The
// choices are remembered in the options, also when the dialog is cancelled.
#include <cstdint>
#include <string>

#include <QDialog>

#include "CWorkspaceTQ8.h"

class CPersistentOpts;
class CVltEditBrowseCtrl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CNewWorkspaceDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTypeCount = 5;
    static constexpr uint16_t kServerPort = 3494;
    // The controls' template ids.
    enum ControlId : int {
        kFirstChoiceId = 1001,  // one for each of the kTypeCount choices
        kServerLabelId = 1010,
        kServerId = 1011,
        kVirtualSyncId = 1012,
        kFileLabelId = 1013,
        kFileId = 1014,
        kDetectSyncId = 1015,
        kPowerUpId = 1016,
        kNoteId = 1017,
        kSoftwareNoteId = 1018,
    };

    // connectedBoards: boards of the current workspace (the default type).
    CNewWorkspaceDlg(QWidget* parent, CPersistentOpts& options, size_t connectedBoards);
    // Stores all six choices in the options.
    ~CNewWorkspaceDlg() override;

    // Lets the workspace ask with this dialog.
    static void Register();

    // The choices after OK, as the workspace takes them.
    CWorkspaceTQ8::NewWorkspace GetChoice() const;

    int m_type = 0;
    int32_t m_syncDevices = 0;
    int32_t m_virtualSync = 0;
    int32_t m_powerupDefaults = 0;
    std::wstring m_server;
    std::wstring m_path;

    void accept() override;
    void UpdateDependentControls();

private:
    void ReadOptions(size_t connectedBoards);
    void BuildControls();
    void InitDialog();
    // Controls into the members; false, with the focus on the field and a
    // box shown, at the first field that cannot be taken.
    bool SaveControls();
    bool VerifyServer();
    int CheckedType() const;

    CPersistentOpts& m_options;
    bool m_softwareInstalled = false;
    QRadioButton* m_radios[kTypeCount] = {};
    QLabel* m_serverLabel = nullptr;
    QLineEdit* m_serverEdit = nullptr;
    QCheckBox* m_virtualSyncCheck = nullptr;
    QLabel* m_fileLabel = nullptr;
    CVltEditBrowseCtrl* m_fileEdit = nullptr;
    QCheckBox* m_syncCheck = nullptr;
    QCheckBox* m_powerupCheck = nullptr;
    QLabel* m_softwareNote = nullptr;
};

#pragma once
// The generator's one form: firmware files, identity and the Generate button.
// A right click on the form opens the Edit menu, whose items act on the
// edit field that has the focus.
#include <map>
#include <string>

#include "CFormView_WithEdit.h"
#include "CFwGenSettings.h"
#include "FwGenFormExchange.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class CVltEditBrowseCtrl;

class CMainView : public CFormView_WithEdit {
    Q_OBJECT
public:
    static constexpr int IDD = 101;

    explicit CMainView(QWidget* parent = nullptr);
    ~CMainView() override; // stores the settings

    // Puts the settings into the controls, sets up the browse controls and
    // applies the FPGA type; then looks for the custom-logic provider.
    void OnInitialUpdate();
    // Reads the provider file in the folder; nothing changes on failure.
    void ShowCustomLogicProvider(const std::wstring& installFolder);
    // The provider line's row is there only while the line has a text.
    void ShowProviderRow(bool show);

    void LoadSaveSettings(bool store);
    // true: controls to settings (false after a refused value, which has
    // been reported and focused); false: settings to controls.
    bool UpdateData(bool save);

    void OnFpgaTypeChange();
    void OnDetectFromHardware();
    void OnGenerate();
    void OnLinkClick();

    // The Edit menu at a point on the screen: Cut, Copy and Paste, enabled
    // as they can act on the focused edit field; the chosen one runs.
    void ShowEditMenu(const QPoint& globalPos);

    // The control with a form id (see FwGenControls.h), or null.
    QWidget* Control(int id) const;
    const CFwGenSettings& Settings() const { return m_settings; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    void SetUpBrowseControls();
    void FocusControl(int id, bool selectAll);
    FwGenFormValues ValuesFromControls() const;
    void ValuesToControls(const FwGenFormValues& values);

    CFwGenSettings m_settings;
    std::map<int, QWidget*> m_controls;
    QComboBox* m_fpgaType = nullptr;
    CVltEditBrowseCtrl* m_xcf32p = nullptr;
    CVltEditBrowseCtrl* m_xcf16p = nullptr;
    CVltEditBrowseCtrl* m_output = nullptr;
    CVltEditBrowseCtrl* m_readme = nullptr;
    QLineEdit* m_custEnum = nullptr;
    QLineEdit* m_version = nullptr;
    QCheckBox* m_preRelease = nullptr;
    QCheckBox* m_overwritePrompt = nullptr;
    QComboBox* m_readmeSev = nullptr;
    QLabel* m_provider = nullptr;
    QLabel* m_link = nullptr;
};

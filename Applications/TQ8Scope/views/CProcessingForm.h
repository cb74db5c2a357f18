#pragma once
// The base of the pages of the board's fixed FPGA processing blocks. Their
// parameters are write-only, so the fields start empty; they never mark the
// document modified. The processing enable is shared by every such page and
// the "FPGA Proc" page through the document's hint.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CSettingFormView.h"

class CVltEditBrowseCtrl;
class QCheckBox;
class QLineEdit;
class QPushButton;

class CProcessingForm : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr uint32_t kEditing = 0x1;
    // The controls' template ids the processing pages share.
    enum ControlId : int {
        kUpdateId = 1030,
        kFormatBoxId = 1421,
        kFormatTextId = 1422,
    };

    // A coefficient upload: `count` values, zero-padded.
    struct CoefficientUpload {
        size_t count;
        int32_t (*load)(TQ8_HANDLE device, const int16_t* taps, uint32_t flags);
        const wchar_t* failurePrefix;
        const wchar_t* successFormat; // with the count
    };

    CProcessingForm(int templateId, CMainDoc& doc, QWidget* parent = nullptr);
    ~CProcessingForm() override;

    void OnInitialUpdate() override;
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    QCheckBox* EnableBox() const { return m_enable; }
    // Clamped to the signed 16-bit range the block takes.
    static int16_t ToParam(int32_t value);
    // The file's values as parameters: native ones as integers, others as
    // fractions of full scale. False when the file was refused (it said why).
    static bool ReadParams(const std::wstring& path, size_t maxCount, bool native, std::vector<int16_t>& params);
    bool IsNativeFormat() const;

protected:
    QCheckBox* CreateEnableBox(int id, const char* caption, const wchar_t* failurePrefix, const wchar_t* successText);
    // The "File data is native format" box and the element-format text.
    QWidget* CreateFormatControls();
    // A file field with its "Upload" button, enabled while the field has text.
    CVltEditBrowseCtrl* CreateFileField(int id, int buttonId, std::function<void()> upload);
    // An edit applied when it loses the focus after a change.
    void WatchEdit(QLineEdit* edit, const wchar_t* editingText, std::function<void()> apply);
    // The "Update" button: the focus goes away and back, applying an edit.
    QPushButton* CreateUpdateButton(int focusId);
    // The trimmed path of the field; an empty one only beeps.
    bool TakePath(CVltEditBrowseCtrl* field, std::wstring& path);

    // Uploads the first `count` values of the field's file, zero-padded.
    void UploadCoefficients(CVltEditBrowseCtrl* field, const CoefficientUpload& upload);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateFormatText();
    void UpdateUploadButtons();

    struct WatchedEdit {
        QLineEdit* edit;
        const wchar_t* editingText;
        std::function<void()> apply;
    };
    QCheckBox* m_enable = nullptr;
    std::vector<WatchedEdit> m_edits;
    std::vector<std::pair<CVltEditBrowseCtrl*, QPushButton*>> m_uploads;
};

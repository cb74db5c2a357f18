#pragma once
// The base of the control panel's setting forms. A form shows some of its
// board's settings, each read from the device library's cached copy, and
// changes them on the board at once; it keeps no copy of a setting. Every
// control carries its template id as its object name.
//
// Form flags: bit i is the "editing" bit of the form's i-th numeric edit
// field; kRefreshing is set while the form writes board values into its own
// controls, so that those writes never start an edit.
#include <cstdint>
#include <string>

#include "CFormView_WithEdit.h"
#include "FormControls.h"
#include "IDocView.h"
#include "TQ8_64.h"

class CMainDoc;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class CSettingFormView : public CFormView_WithEdit, public IDocView {
    Q_OBJECT
public:
    static constexpr uint32_t kRefreshing = 0x80000000u;
    static constexpr unsigned kStatusMs = 2500;

    // A setting whose value is a combo box's item index or a check state.
    struct ChoiceSetting {
        int32_t (*get)(TQ8_HANDLE device, int32_t cached);
        int32_t (*set)(TQ8_HANDLE device, int32_t value);
        const wchar_t* successText;
        const wchar_t* failurePrefix;
        bool marksModified = true;
        bool boxNamesDevice = false;
    };

    // Registers with the document as one of its views.
    CSettingFormView(int templateId, CMainDoc& doc, QWidget* parent = nullptr);
    ~CSettingFormView() override;

    // Takes the device handle; the forms add their own steps after it.
    virtual void OnInitialUpdate();

    CMainDoc& GetDocument() const { return m_doc; }
    TQ8_HANDLE GetDeviceHandle() const { return m_device; }
    uint32_t GetFormFlags() const { return m_formFlags; }
    bool TestFlag(uint32_t bit) const { return (m_formFlags & bit) != 0; }
    void SetFlag(uint32_t bit, bool on);

    // The control with the template id, or null.
    QWidget* Item(int id) const;
    template <class T>
    T* ItemAs(int id) const
    {
        return qobject_cast<T*>(Item(id));
    }

    void ShowStatus(const std::wstring& text, unsigned timeoutMs = kStatusMs);
    void SetModified();
    // The hint to the document's other views, with this form as sender.
    void NotifyOtherViews(int hint, void* object = nullptr);
    // Shows the error box for a failed call (result not 0); true on success.
    bool CheckResult(int32_t result, const wchar_t* failurePrefix, bool boxNamesDevice = false);

    // The apply pattern for a combo box (item index) and a check box (check
    // state): success shows the text and may mark the document modified; a
    // failure shows the box and puts the control back from the getter.
    bool ApplyComboSetting(QComboBox* combo, const ChoiceSetting& setting);
    bool ApplyCheckSetting(QCheckBox* box, const ChoiceSetting& setting);

    // While it lives, the form is refreshing.
    class RefreshScope {
    public:
        explicit RefreshScope(CSettingFormView& form) : m_form(form) { m_form.SetFlag(kRefreshing, true); }
        ~RefreshScope() { m_form.SetFlag(kRefreshing, false); }
        RefreshScope(const RefreshScope&) = delete;
        RefreshScope& operator=(const RefreshScope&) = delete;

    private:
        CSettingFormView& m_form;
    };

protected:
    // Names the control by its template id.
    template <class T>
    T* AddItem(T* control, int id)
    {
        return WithId(control, id);
    }
    // The hidden default button: Enter in any of the form's edit fields
    // clicks it, and it moves the focus to focusTarget, so that the field
    // loses the focus and applies its value.
    void AddDefaultButton(int id, const QString& caption, QWidget* focusTarget);
    void ConnectEnter(QLineEdit* edit);

private:
    CMainDoc& m_doc;
    TQ8_HANDLE m_device = nullptr;
    uint32_t m_formFlags = 0;
    QPushButton* m_defaultButton = nullptr;
};

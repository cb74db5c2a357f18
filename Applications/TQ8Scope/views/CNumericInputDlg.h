#pragma once
// "TQ3300 Numeric Input": asks for one unsigned 32-bit value within a range,
// with an optional default. OK refuses a value that is not a number or lies
// outside the range, and the dialog stays open.
#include <cstdint>
#include <string>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class CNumericInputDlg : public QDialog {
    Q_OBJECT
public:
    // The controls' template ids.
    enum ControlId : int {
        kNoteId = 1257,
        kLabelId = 1354,
        kEditId = 1355,
        kUseDefaultId = 1087,
    };
    static constexpr int kTemplateId = 131;

    // Empty texts keep the template's ("Numeric value:", no note, the
    // dialog's caption).
    CNumericInputDlg(QWidget* parent, uint32_t value, const std::wstring& label = {}, const std::wstring& note = {},
                     const std::wstring& caption = {});

    void SetRange(uint32_t minimum, uint32_t maximum);
    void SetDefault(uint32_t value);
    // The accepted number after OK.
    uint32_t GetValue() const { return m_value; }

    void accept() override;
    // Puts the default into the value field, selected and focused.
    void OnUseDefault();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void InitDialog();

    uint32_t m_value;
    std::wstring m_label;
    std::wstring m_note;
    std::wstring m_caption;
    uint32_t m_minimum = 0;
    uint32_t m_maximum = 0xFFFFFFFFu;
    bool m_hasDefault = false;
    uint32_t m_default = 0;
    bool m_initialised = false;
    QLabel* m_labelItem = nullptr;
    QLabel* m_noteItem = nullptr;
    QLineEdit* m_edit = nullptr;
    QPushButton* m_useDefault = nullptr;
};

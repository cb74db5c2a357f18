#pragma once
// One numeric edit field of a setting form and its apply pattern: the first
// change starts an edit (the field's editing text stays in the status bar),
// leaving the field applies it, and the field then shows what the board
// holds.
#include <cstdint>

#include <QObject>

#include "TQ8_64.h"

class CSettingFormView;
class QLineEdit;

class CNumericEditField : public QObject {
    Q_OBJECT
public:
    struct Spec {
        uint32_t (*get)(TQ8_HANDLE device, int32_t cached);
        int32_t (*set)(TQ8_HANDLE device, uint32_t value);
        const wchar_t* editingText;
        const wchar_t* fieldName;
        const wchar_t* successText;
        const wchar_t* failurePrefix;
        int hint = 0; // sent to the other views after success (0: none)
    };

    // editingBit: the field's bit in the form flags.
    CNumericEditField(CSettingFormView& form, QLineEdit* edit, uint32_t editingBit, const Spec& spec);

    QLineEdit* Edit() const { return m_edit; }
    // Writes the board's value; call it while the form refreshes.
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnChange();
    void OnKillFocus();
    void ShowBoardValue();

    CSettingFormView& m_form;
    QLineEdit* m_edit;
    uint32_t m_bit;
    Spec m_spec;
};

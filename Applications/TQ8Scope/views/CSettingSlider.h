#pragma once
// One slider of a setting form and its apply pattern: dragging shows a
// tracking text, the end of the scroll (mouse released, key released, wheel
// turned) applies the position once, and a "..." button beside it asks for
// the value with the numeric input. A failed setter leaves the slider where
// it was, unless its form asks for it to be put back to the board's value.
#include <cstdint>

#include <QObject>

#include "TQ8_64.h"

class CSettingFormView;
class QAbstractButton;
class QSlider;

class CSettingSlider : public QObject {
    Q_OBJECT
public:
    struct Spec {
        int32_t (*get)(TQ8_HANDLE device, int32_t cached);
        int32_t (*set)(TQ8_HANDLE device, int32_t value);
        const wchar_t* words;        // "trigger level A"
        const wchar_t* inputCaption; // of the numeric input
        const wchar_t* inputLabel;
        uint32_t inputDefault;
        bool resetOnFailure = false;
    };

    CSettingSlider(CSettingFormView& form, QSlider* slider, QAbstractButton* browse, const Spec& spec);

    QSlider* Slider() const { return m_slider; }
    // Writes the board's value; call it while the form refreshes.
    void Refresh();
    // The end of a scroll: applies the position.
    void OnEndScroll();
    // The "..." button.
    void OnBrowse();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTracking(int position);

    CSettingFormView& m_form;
    QSlider* m_slider;
    Spec m_spec;
};

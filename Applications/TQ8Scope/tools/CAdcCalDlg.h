#pragma once
// The modal "TQ3300 ADC Calibration" dialog of a board: calibrates one or
// both ADCs on demand. "Close" takes the ADC choice from the combo; the
// caller reads it afterwards with GetAdcChoice.
#include <cstdint>
#include <vector>

#include <QDialog>

#include "TQ8_64.h"

class QComboBox;
class QLabel;
class QPushButton;

class CAdcCalDlg : public QDialog {
    Q_OBJECT
public:
    // ADC choices, in the order of the combo's entries.
    static constexpr int32_t kBoth = 0;
    static constexpr int32_t kAdc1 = 1;
    static constexpr int32_t kAdc2 = 2;

    static const wchar_t* const kInformation;

    // adcChoice outside 0..2 starts with both ADCs.
    CAdcCalDlg(QWidget* parent, TQ8_HANDLE device, int32_t adcChoice);

    int32_t GetAdcChoice() const { return m_choice; }

    // The library's ADC indexes a choice calibrates, in calling order.
    static std::vector<int32_t> AdcIndexesOf(int32_t choice);
    // Calibrates the ADCs of the choice, each one even when an earlier one
    // failed; every failure shows its error box. True when none failed.
    static bool CalibrateAdcs(TQ8_HANDLE device, int32_t choice);

public slots:
    void OnCalibrateNow();
    // "Close": takes the choice from the combo and ends the dialog.
    void accept() override;

private:
    void BuildControls();

    TQ8_HANDLE m_device;
    int32_t m_choice;
    QComboBox* m_target = nullptr;
    QLabel* m_information = nullptr;
    QPushButton* m_calibrate = nullptr;
    QPushButton* m_close = nullptr;
};

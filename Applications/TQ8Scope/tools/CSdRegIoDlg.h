#pragma once
// The modeless "TQ3300 Serial Device IO" window of a board: writes single
// ADC registers or the ADCs' start values, reads and writes single
// clock-generator registers, each at its place in the library's register
// image. "Close" and Escape hide it.
#include <cstdint>
#include <functional>

#include <QDialog>

#include "RegisterPlacement.h"
#include "TQ8_64.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CSdRegIoDlg : public QDialog {
    Q_OBJECT
public:
    // WriteAdcRegTQ8 without its delays; tests put their own in its place.
    using AdcWriter = std::function<int32_t(TQ8_HANDLE, int32_t adc, uint32_t reg, uint32_t mask, uint16_t value,
                                            uint32_t logIdx, uint32_t subIdx)>;

    CSdRegIoDlg(QWidget* parent, TQ8_HANDLE device);

    void SetAdcWriter(AdcWriter writer) { m_writeAdc = std::move(writer); }
    // The register the window would act on, or -1 when none is valid.
    int32_t AdcRegister() const { return m_adcReg; }
    int32_t ClockGenRegister() const { return m_cgReg; }
    RegPlacement AdcPlacement() const { return m_adcAt; }
    RegPlacement ClockGenPlacement() const { return m_cgAt; }

    bool WriteAdcRegister();
    // Writes the start values of every register of the selected ADC, in
    // order, up to the first failure; false after a failure.
    bool InitializeAllAdcRegisters();
    bool ReadClockGenRegister();
    bool WriteClockGenRegister();

private:
    void BuildControls();
    QWidget* BuildClockGenGroup();
    QWidget* BuildAdcGroup();
    void FillAdcRegisterList();
    void OnAdcRegisterChosen(int index);
    void OnAdcRegisterTyped();
    void SetAdcRegister(int64_t reg);
    void OnClockGenRegisterTyped();
    std::wstring PlacementText() const;

    TQ8_HANDLE m_device;
    AdcWriter m_writeAdc;
    int32_t m_cgReg = -1;
    RegPlacement m_cgAt;
    int32_t m_adcReg = -1;
    RegPlacement m_adcAt;

    QComboBox* m_cgIndex = nullptr;
    QLineEdit* m_cgRegister = nullptr;
    QPushButton* m_cgWrite = nullptr;
    QLineEdit* m_cgValue = nullptr;
    QPushButton* m_cgRead = nullptr;
    QLineEdit* m_cgResult = nullptr;
    QComboBox* m_adcIndex = nullptr;
    QComboBox* m_adcRegister = nullptr;
    QPushButton* m_adcWrite = nullptr;
    QLineEdit* m_adcValue = nullptr;
    QLabel* m_adcPlacement = nullptr;
    QPushButton* m_initAdcs = nullptr;
};

#pragma once
// The "Troubleshooting" page, present only in unsafe mode: raw register
// access by BAR, EEPROM-stored SDRAM input delays, the external trigger
// delay, ADC offset trims, resynchronisation commands, RAM bypass, test
// acquisitions and the stop condition of continuous acquisitions.
#include <cstdint>

#include <QSize>

#include "CSettingFormView.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class CForm_Troubleshooting : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 113;
    // Form flag of the minimum SNR field's edit.
    static constexpr uint32_t kSnrEditing = 0x1;
    static constexpr uint32_t kDelayWord = 61;
    static constexpr uint32_t kChecksumWord = 127;

    explicit CForm_Troubleshooting(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_Troubleshooting() override;

    static QSize GetTemplateSize();

    void OnInitialUpdate() override;
    void Refresh();
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    void OnBarSelChange();
    void OnRawWrite();
    void OnRawRead();
    void OnSnrChange();
    void OnSnrKillFocus();
    void OnReadTimestamp();
    void OnRamBypass();
    void OnStopCondition();
    void OnAdcOffsetAdjust();
    void OnReadSdram();
    void OnWriteSdram();
    void OnWriteExtTriggerDelay();
    void OnSynchronizeAdcs();
    void OnNewVirtualDevice();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    QWidget* CreateRegisterGroup();
    QWidget* CreateDelayGroup();
    QWidget* CreateCommandGroup();
    void FillRegisterList(int bar);
    bool ReadBarAndRegister(int32_t& bar, uint32_t& reg);
    bool ReadDelay(int id, const wchar_t* fieldName, uint32_t& delay);
    bool WriteEepromChecksum();
    void ProgramSdramDelays(uint32_t d1, uint32_t d2);

    int m_lastBar = -2;
    QComboBox* m_bar = nullptr;
    QComboBox* m_register = nullptr;
    QLineEdit* m_snr = nullptr;
    QCheckBox* m_ramBypass = nullptr;
    QCheckBox* m_dcmOverride = nullptr;
};

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
    // The controls' template ids.
    enum ControlId : int {
        kUpdateNowId = 1029,
        kRegisterCacheId = 1067,
        kResetDcmsId = 1087,
        kWriteId = 1088,
        kRegisterId = 1098,
        kResultId = 1099,
        kValueId = 1100,
        kReadId = 1101,
        kRamBypassId = 1154,
        kPciAcquisitionId = 1155,
        kPciTransferId = 1156,
        kTimestampId = 1292,
        kReadTimestampId = 1293,
        kNoPlotId = 1308,
        kDcmOverrideId = 1314,
        kBarId = 1341,
        kStopChannelId = 1347,
        kMinSnrId = 1350,
        kRegisterIoId = 1359,
        kNewVirtualId = 1379,
        kGreetingId = 1397,
        kResyncId = 1402,
        kSyncAdcsId = 1427,
        kStopOnThresholdId = 1428,
        kStopSampleId = 1429,
        kAdcId = 1434,
        kAdcOffsetId = 1435,
        kAdcOffsetApplyId = 1436,
        kSdram1TapsId = 1438,
        kSdram2TapsId = 1439,
        kSdram1DelayId = 1440,
        kSdram2DelayId = 1441,
        kWriteSdramId = 1442,
        kReadSdramId = 1443,
        kWriteExtTriggerId = 1444,
        kExtTriggerDelayId = 1445,
    };
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

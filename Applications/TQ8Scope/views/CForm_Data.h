#pragma once
// The "Data" page: the active memory region (applied by the document before
// each acquisition, transfer or read, not when edited), the plot limit, the
// active channels and input ranges, the master of a slave board and the
// digital I/O port.
#include <QSize>

#include "CSettingFormView.h"
#include "IDataForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class CForm_Data : public CSettingFormView, public IDataForm {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 106;
    // The controls' template ids.
    enum ControlId : int {
        kStartSampleId = 1005,
        kSampleCountId = 1006,
        kActiveChannelsId = 1007,
        kDioEnableId = 1013,
        kDioModeId = 1014,
        kMasterId = 1016,
        kMasterLabelId = 1045,
        kPulseId = 1087,
        kSdram2RouteId = 1154,
        kRangeValueId = 1188,  // channel N: + N - 1
        kLimitPlotId = 1249,
        kMasterSlaveConfigId = 1358,
        kRangeLabelId = 1392,  // channel N: + N - 1
        kSyncConfigId = 1396,
    };

    explicit CForm_Data(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_Data() override;

    static QSize GetTemplateSize();

    void OnInitialUpdate() override;
    void Refresh();
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    // ---- IDataForm
    // Sets the typed region on the board and shows what the board took;
    // false, after telling the user, when it cannot be set.
    bool ApplyActiveMemoryRegion() override;

    void OnActiveChannels();
    void OnPulse();
    void OnMaster();

private:
    void CreateControls();
    void FillSampleCounts();
    void FillChannelList();
    void FillMasterList();
    void ShowMasterSlaveTexts();
    void ShowVoltageRanges();
    void ShowRegion();
    void ApplySdram2Rule();
    void ApplyPulseRule();
    void OnDigitalIoEnable();
    void OnDigitalIoMode();
    void OnLimitPlotData();
    void StoreWorkspaceState();
    void RestoreWorkspaceState();

    QLineEdit* m_startSample = nullptr;
    QComboBox* m_sampleCount = nullptr;
    QCheckBox* m_limitPlot = nullptr;
    QComboBox* m_channels = nullptr;
    QComboBox* m_master = nullptr;
    QCheckBox* m_sdram2 = nullptr;
    QCheckBox* m_dioEnable = nullptr;
    QComboBox* m_dioMode = nullptr;
};

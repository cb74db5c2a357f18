#pragma once
// The "Sampling Rate" page: ADC clock source, internal rate and reference,
// external rate (or the rate of the sync device that drives the board), the
// external clock's dividers and three troubleshooting switches. Every clock
// change is passed on to the slaves and the other views.
#include <QSize>

#include "CSettingFormView.h"

class QComboBox;
class QLineEdit;

class CForm_Clocks : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 109;
    // The controls' template ids.
    enum ControlId : int {
        kUpdateId = 1030,
        kClockSourceId = 1070,
        kInternalRateId = 1071,
        kDividersId = 1072,
        kExternalRateId = 1073,
        kReferenceId = 1074,
        kInternalRateLabelId = 1075,
        kExternalRateLabelId = 1076,
        kDividersLabelId = 1077,
        kInternalRangeId = 1078,
        kExternalRangeId = 1079,
        kPostAdcDividerId = 1080,
        kPostAdcTextId = 1081,
        kDividerTextId = 1082,
        kResetDcmsId = 1088,
        kPllDisableId = 1154,
        kFpgaSlaveId = 1308,
        kDcmOverrideId = 1315,
    };
    // Editing bits of the two rate fields.
    static constexpr uint32_t kEditingInternalRate = 0x1;
    static constexpr uint32_t kEditingExternalRate = 0x2;

    explicit CForm_Clocks(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_Clocks() override;

    static QSize GetTemplateSize();

    void OnInitialUpdate() override;
    void Refresh();
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    void OnClockSource();
    void OnInternalRateKillFocus();
    void OnExternalRateKillFocus();
    void OnDividers();
    void OnResetDcms();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void OnRateChanged(uint32_t editingBit, const wchar_t* editingText);
    void AfterClockChange();
    void FillDividerList();
    void FillPostAdcList();
    void ShowDividers();
    void ShowExternalRate();
    void ShowRateField(QLineEdit* edit, uint32_t editingBit, double rate);
    void ShowExternalLabel();
    void ApplyEnableRules();
    bool HasAssignedMaster() const;
    // Reads an edited rate field; false when it was not edited or, after
    // the box, holds no rate.
    bool TakeTypedRate(QLineEdit* edit, uint32_t editingBit, const wchar_t* invalidText, double& typed);
    // True, with the field rewritten and the editing text gone, when the
    // typed rate is the current one.
    bool KeepsRate(QLineEdit* edit, uint32_t editingBit, double typed, double current);
    void ApplySyncDeviceRate(double typed);
    // The library's code when the sync device's clock would drive the board
    // outside its rates on that source and those dividers; else 0.
    int32_t SyncClockRefusal(int32_t source, int32_t divider1, int32_t divider2) const;
    void OnMasterClock(TQ8_HANDLE master);

    QComboBox* m_source = nullptr;
    QLineEdit* m_internalRate = nullptr;
    QComboBox* m_reference = nullptr;
    QLineEdit* m_externalRate = nullptr;
    QComboBox* m_dividers = nullptr;
    QComboBox* m_postAdc = nullptr;
    bool m_busy = false; // the board acquires or records
};

#pragma once
// The "Trigger" page: source, mode, segment size, pre-trigger and trigger
// delay sample counts, and level and slope of the internal triggers A and B
// (B only in unsafe mode).
#include <QSize>

#include "CSettingFormView.h"

class CNumericEditField;
class CSettingSlider;
class QComboBox;

class CForm_Trig : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 107;
    // The controls' template ids.
    enum ControlId : int {
        kModeId = 1017,
        kSegmentId = 1018,
        kSourceId = 1019,
        kPreTriggerId = 1020,
        kDelayId = 1021,
        kLevelAId = 1022,
        kBrowseAId = 1023,
        kLevelBId = 1025,
        kBrowseBId = 1026,
        kSlopeAId = 1028,
        kSlopeBId = 1029,
        kUpdateId = 1030,
        kSegmentLabelId = 1031,
    };
    // Editing bits of the three fields.
    static constexpr uint32_t kEditingSegmentSize = 0x1;
    static constexpr uint32_t kEditingPreTrigger = 0x2;
    static constexpr uint32_t kEditingTriggerDelay = 0x4;

    explicit CForm_Trig(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_Trig() override;

    static QSize GetTemplateSize();
    // The segment size can be set only in segmented mode (1).
    static bool IsSegmentSizeEnabled(int32_t triggerMode) { return triggerMode == 1; }

    void OnInitialUpdate() override;
    void Refresh();
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

private:
    void CreateControls();
    void OnTriggerSource();
    void OnTriggerMode();
    void ApplySegmentSizeRule();

    QComboBox* m_source = nullptr;
    QComboBox* m_mode = nullptr;
    // Owned by their controls.
    CNumericEditField* m_segmentSize = nullptr;
    CNumericEditField* m_preTrigger = nullptr;
    CNumericEditField* m_triggerDelay = nullptr;
    CSettingSlider* m_levelA = nullptr;
    CSettingSlider* m_levelB = nullptr;
};

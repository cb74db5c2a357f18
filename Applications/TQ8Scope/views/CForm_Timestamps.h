#pragma once
// The "Timestamps" page: time-stamp and counter modes, draining and (in
// unsafe mode) resetting the board's time-stamp FIFO, and "Save Now", which
// writes what the FIFO holds to a raw or a text time-stamp file.
#include <QSize>

#include "CSettingFormView.h"

class CVltEditBrowseCtrl;
struct TimestampSaveResult;
class QCheckBox;
class QComboBox;

class CForm_Timestamps : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 126;
    // The controls' template ids.
    enum ControlId : int {
        kAsTextId = 1170,
        kResetCounterId = 1294,
        kModeId = 1295,
        kDestinationId = 1296,
        kSaveNowId = 1297,
        kExplanationId = 1298,
        kFifoDepthId = 1299,
        kCounterModeId = 1300,
        kResetFifoId = 1305,
        kDrainId = 1306,
        kTroubleshootingId = 1351,
    };

    explicit CForm_Timestamps(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_Timestamps() override;

    static QSize GetTemplateSize();

    void OnInitialUpdate() override;
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    void OnSaveNow();
    void OnDrain();

private:
    void CreateControls();
    void SelectModes();
    void ApplySaveNowRule();
    void ShowSaveFailure(const TimestampSaveResult& result);
    void StoreWorkspaceState();
    void RestoreWorkspaceState();
    // The browse dialog offers the kind of file the check box asks for.
    static int32_t BeforeBrowse(intptr_t form, CVltEditBrowseCtrl* control);

    QComboBox* m_mode = nullptr;
    QComboBox* m_counterMode = nullptr;
    CVltEditBrowseCtrl* m_destination = nullptr;
    QCheckBox* m_asText = nullptr;
};

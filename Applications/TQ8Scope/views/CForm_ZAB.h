#pragma once
// The "ZAB" page: the board's settings on the auxiliary bus.
#include <QSize>

#include "CSettingFormView.h"

class CForm_ZAB : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 121;
    // The controls' template ids.
    enum ControlId : int {
        kBoardNumberId = 1150,
        kConfigurationId = 1151,
        kClockId = 1152,
    };

    explicit CForm_ZAB(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_ZAB() override;

    static QSize GetTemplateSize();

    void OnInitialUpdate() override;
    void Refresh();
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

private:
    void CreateControls();
};

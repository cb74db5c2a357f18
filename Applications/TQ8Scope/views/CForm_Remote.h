#pragma once
// The "Remote" page: the server and port through which the board is reached.
#include <QSize>

#include "CSettingFormView.h"

class CForm_Remote : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 127;
    // The controls' template ids.
    enum ControlId : int {
        kServerId = 1324,
        kPortId = 1325,
    };

    explicit CForm_Remote(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_Remote() override;

    static QSize GetTemplateSize();

    void OnInitialUpdate() override;
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;
};

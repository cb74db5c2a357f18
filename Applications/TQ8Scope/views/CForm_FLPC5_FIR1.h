#pragma once
// The "FIR1" page: the one-channel FIR filter and its 129 coefficients.
#include <QSize>

#include "CProcessingForm.h"

class CForm_FLPC5_FIR1 : public CProcessingForm {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 170;
    // The controls' template ids.
    enum ControlId : int {
        kUploadId = 1420,
        kEnableId = 1423,
        kFileId = 1424,
    };
    static constexpr size_t kTaps = 129;

    explicit CForm_FLPC5_FIR1(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_FLPC5_FIR1() override;

    static QSize GetTemplateSize();

private:
    CVltEditBrowseCtrl* m_file = nullptr;
};

#pragma once
// The "FIR2" page: the two-channel FIR filter, 65 coefficients per channel.
#include <QSize>

#include "CProcessingForm.h"

class CForm_FLPC6_FIR2 : public CProcessingForm {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 171;
    // The controls' template ids.
    enum ControlId : int {
        kUpload1Id = 1420,
        kEnableId = 1423,
        kFile1Id = 1424,
        kFile2Id = 1425,
        kUpload2Id = 1426,
    };
    static constexpr size_t kTaps = 65;

    explicit CForm_FLPC6_FIR2(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_FLPC6_FIR2() override;

    static QSize GetTemplateSize();

private:
    CVltEditBrowseCtrl* m_file1 = nullptr;
    CVltEditBrowseCtrl* m_file2 = nullptr;
};

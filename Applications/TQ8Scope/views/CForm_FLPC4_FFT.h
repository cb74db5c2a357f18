#pragma once
// The "FFT" page: FFT size, magnitude-squared output, zero padding and the
// window, uploaded from a file one point at a time.
#include <cstdint>

#include <QSize>

#include "CProcessingForm.h"

class QComboBox;
class QLineEdit;

class CForm_FLPC4_FFT : public CProcessingForm {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 169;
    // The controls' template ids.
    enum ControlId : int {
        kSizeId = 1112,
        kEnableId = 1416,
        kMagnitudeId = 1417,
        kZeroPadId = 1418,
        kWindowFileId = 1419,
        kWindowUploadId = 1420,
    };
    // The window index is 16 bits wide.
    static constexpr uint32_t kMaxWindowPoints = 65536;

    explicit CForm_FLPC4_FFT(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_FLPC4_FFT() override;

    static QSize GetTemplateSize();
    // How many window values are read for an FFT of at most maxSize points.
    static size_t WindowLimit(uint32_t maxSize);

    void OnInitialUpdate() override;
    void OnMagnitudeSquared();
    void OnSizeChange();
    void OnZeroPadApply();
    void OnUpload();

private:
    void FillSizeList();

    CVltEditBrowseCtrl* m_window = nullptr;
    QComboBox* m_size = nullptr;
    QLineEdit* m_zeroPad = nullptr;
    uint32_t m_minSize = 1024;
    uint32_t m_maxSize = 2048;
};

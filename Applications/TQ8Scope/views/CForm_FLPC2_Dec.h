#pragma once
// The "Decimation" page: decimation factor and NCO frequency. The NCO
// frequency is applied again when the acquisition clock changes.
#include <QSize>

#include "CProcessingForm.h"

class QComboBox;
class QLineEdit;

class CForm_FLPC2_Dec : public CProcessingForm {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 168;
    // The controls' template ids.
    enum ControlId : int {
        kEnableId = 1413,
        kFactorId = 1414,
        kNcoId = 1415,
    };

    explicit CForm_FLPC2_Dec(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_FLPC2_Dec() override;

    static QSize GetTemplateSize();

    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;
    void OnFactorChange();
    void OnNcoApply();
    double GetLastNcoFrequency() const { return m_lastNco; }

private:
    void ReapplyNco();

    QComboBox* m_factor = nullptr;
    QLineEdit* m_nco = nullptr;
    double m_lastNco = -1.0;
};

#pragma once
// The "FPGA Proc" page: the switch of the board's FPGA processing, shared
// with the processing pages through the document's hint, and a raw write of
// one processing parameter.
#include <QSize>

#include "CSettingFormView.h"

class QCheckBox;

class CForm_FPGAProc : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 167;
    // The controls' template ids.
    enum ControlId : int {
        kWriteId = 1088,
        kIndexId = 1098,
        kValueId = 1100,
        kEnableId = 1412,
    };
    static constexpr uint32_t kMaxParam = 65535;

    explicit CForm_FPGAProc(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_FPGAProc() override;

    static QSize GetTemplateSize();
    // The enable pattern of every processing page.
    static void ApplyEnable(CSettingFormView& form, QCheckBox* box, const wchar_t* failurePrefix,
                            const wchar_t* successText);
    static void RefreshEnable(CSettingFormView& form, QCheckBox* box);

    void OnInitialUpdate() override;
    void Refresh();
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;
    void OnWrite();

private:
    bool ReadParam(int id, const wchar_t* fieldName, const wchar_t* tooLarge, uint32_t& value);

    QCheckBox* m_enable = nullptr;
};

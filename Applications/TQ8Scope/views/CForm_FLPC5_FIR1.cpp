#include "CForm_FLPC5_FIR1.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

#include "CVltEditBrowseCtrl.h"

namespace {

constexpr CProcessingForm::CoefficientUpload kUpload{CForm_FLPC5_FIR1::kTaps, FLPC5_LoadCoefficientsTQ8,
                                                     L"Failed to upload filter coefficients: ",
                                                     L"Uploaded %u filter coefficients"};

} // namespace

CForm_FLPC5_FIR1::CForm_FLPC5_FIR1(CMainDoc& doc, QWidget* parent) : CProcessingForm(kTemplateId, doc, parent)
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(CreateEnableBox(kEnableId, "Enable FIR filtering", L"Failed to set FIR filter enable: ",
                                    L"FIR filter enable updated"),
                    0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Load filter coefficients from file:"), this), 1, 0, 1, 2);
    m_file = CreateFileField(kFileId, kUploadId, [this] { UploadCoefficients(m_file, kUpload); });
    grid->addWidget(m_file, 2, 0);
    grid->addWidget(Item(kUploadId), 2, 1);
    grid->addWidget(CreateFormatControls(), 3, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Note: FIR parameters are currently write-only."), this), 4, 0, 1, 2);
    grid->setRowStretch(5, 1);
}

CForm_FLPC5_FIR1::~CForm_FLPC5_FIR1() = default;

QSize CForm_FLPC5_FIR1::GetTemplateSize()
{
    return {440, 190};
}

#include "CForm_FLPC6_FIR2.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

#include "CVltEditBrowseCtrl.h"

namespace {

constexpr CProcessingForm::CoefficientUpload kUpload1{CForm_FLPC6_FIR2::kTaps, FLPC6_LoadCoefficientsCh1TQ8,
                                                      L"Failed to upload Ch. 1 filter coefficients: ",
                                                      L"Uploaded %u Ch. 1 filter coefficients"};
constexpr CProcessingForm::CoefficientUpload kUpload2{CForm_FLPC6_FIR2::kTaps, FLPC6_LoadCoefficientsCh2TQ8,
                                                      L"Failed to upload Ch. 2 filter coefficients: ",
                                                      L"Uploaded %u Ch. 2 filter coefficients"};

} // namespace

CForm_FLPC6_FIR2::CForm_FLPC6_FIR2(CMainDoc& doc, QWidget* parent) : CProcessingForm(kTemplateId, doc, parent)
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(CreateEnableBox(kEnableId, "Enable FIR filtering", L"Failed to set FIR filter enable: ",
                                    L"FIR filter enable updated"),
                    0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Load Ch. 1 filter coefficients from file:"), this), 1, 0, 1, 2);
    m_file1 = CreateFileField(kFile1Id, kUpload1Id, [this] { UploadCoefficients(m_file1, kUpload1); });
    grid->addWidget(m_file1, 2, 0);
    grid->addWidget(Item(kUpload1Id), 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Load Ch. 2 filter coefficients from file:"), this), 3, 0, 1, 2);
    m_file2 = CreateFileField(kFile2Id, kUpload2Id, [this] { UploadCoefficients(m_file2, kUpload2); });
    grid->addWidget(m_file2, 4, 0);
    grid->addWidget(Item(kUpload2Id), 4, 1);
    grid->addWidget(CreateFormatControls(), 5, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Note: FIR parameters are currently write-only."), this), 6, 0, 1, 2);
    grid->setRowStretch(7, 1);
}

CForm_FLPC6_FIR2::~CForm_FLPC6_FIR2() = default;

QSize CForm_FLPC6_FIR2::GetTemplateSize()
{
    return {440, 240};
}

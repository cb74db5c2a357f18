#include "CForm_FLPC4_FFT.h"

#include <algorithm>
#include <cstdio>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CMainDoc.h"
#include "CVltEditBrowseCtrl.h"
#include "DialogItems.h"
#include "MessageBox.h"

namespace {

std::wstring CountText(const wchar_t* format, size_t count)
{
    wchar_t text[96];
    std::swprintf(text, 96, format, unsigned(count));
    return text;
}

} // namespace

CForm_FLPC4_FFT::CForm_FLPC4_FFT(CMainDoc& doc, QWidget* parent) : CProcessingForm(kTemplateId, doc, parent)
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(CreateEnableBox(kEnableId, "Enable FFT processing", L"Failed to set FFT enable: ", L"FFT enable updated"),
                    0, 0, 1, 3);
    auto* magnitude = AddItem(new QCheckBox(QStringLiteral("Return magnitude-squared data"), this), kMagnitudeId);
    grid->addWidget(magnitude, 1, 0, 1, 3);
    m_size = AddItem(new QComboBox(this), kSizeId);
    auto* sizeLabel = new QLabel(QStringLiteral("FFT si&ze:"), this);
    sizeLabel->setBuddy(m_size);
    grid->addWidget(sizeLabel, 2, 0);
    grid->addWidget(m_size, 2, 1);
    m_zeroPad = AddItem(new QLineEdit(this), kZeroPadId);
    grid->addWidget(new QLabel(QStringLiteral("Zero-pad sample count:"), this), 3, 0);
    grid->addWidget(m_zeroPad, 3, 1);
    grid->addWidget(CreateUpdateButton(kSizeId), 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Load window data from file:"), this), 4, 0, 1, 3);
    m_window = CreateFileField(kWindowFileId, kWindowUploadId, [this] { OnUpload(); });
    grid->addWidget(m_window, 5, 0, 1, 2);
    grid->addWidget(Item(kWindowUploadId), 5, 2);
    grid->addWidget(CreateFormatControls(), 6, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Note: FFT parameters are currently write-only."), this), 7, 0, 1, 3);
    grid->setRowStretch(8, 1);
    connect(magnitude, &QCheckBox::clicked, this, &CForm_FLPC4_FFT::OnMagnitudeSquared);
    connect(m_size, &QComboBox::activated, this, &CForm_FLPC4_FFT::OnSizeChange);
    WatchEdit(m_zeroPad, L"Editing zero-pad count. Press ENTER to apply changes", [this] { OnZeroPadApply(); });
}

CForm_FLPC4_FFT::~CForm_FLPC4_FFT() = default;

QSize CForm_FLPC4_FFT::GetTemplateSize()
{
    return {460, 260};
}

size_t CForm_FLPC4_FFT::WindowLimit(uint32_t maxSize)
{
    return std::min(maxSize, kMaxWindowPoints);
}

void CForm_FLPC4_FFT::OnInitialUpdate()
{
    CProcessingForm::OnInitialUpdate();
    FillSizeList();
}

void CForm_FLPC4_FFT::FillSizeList()
{
    m_minSize = 1024;
    m_maxSize = 2048;
    uint32_t minSize = 0;
    uint32_t maxSize = 0;
    if (FLPC4_GetFftSizeLimitsTQ8(GetDeviceHandle(), &minSize, &maxSize) == 0) {
        m_minSize = minSize;
        m_maxSize = maxSize;
    }
    m_size->clear();
    for (uint64_t size = m_minSize; size != 0 && size <= m_maxSize; size *= 2)
        m_size->addItem(QString::number(size), QVariant::fromValue(uint32_t(size)));
    m_size->setCurrentIndex(-1);
}

void CForm_FLPC4_FFT::OnMagnitudeSquared()
{
    auto* box = ItemAs<QCheckBox>(kMagnitudeId);
    const bool on = box->isChecked();
    if (!CheckResult(FLPC4_SetMagnitudeSquaredEnableTQ8(GetDeviceHandle(), on ? 1 : 0),
                     L"Failed to set magnitude squared enable: ", true)) {
        box->setChecked(!on);
        return;
    }
    ShowStatus(L"Magnitude-squared enable updated");
}

void CForm_FLPC4_FFT::OnSizeChange()
{
    if (m_size->currentIndex() < 0)
        return;
    if (!CheckResult(FLPC4_SetFftSizeTQ8(GetDeviceHandle(), m_size->currentData().toUInt()),
                     L"Failed to set FFT size: ", true)) {
        m_size->setCurrentIndex(-1);
        return;
    }
    ShowStatus(L"FFT size updated");
}

void CForm_FLPC4_FFT::OnZeroPadApply()
{
    uint32_t count = 0;
    if (!GetDlgItemUInt32(m_zeroPad, count)) {
        vlt::ShowMessageBox(L"Please enter a valid zero-pad sample count", MB_ICONERROR, this);
        m_zeroPad->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!CheckResult(FLPC4_SetZeroPadPointsTQ8(GetDeviceHandle(), count), L"Failed to set zero-pad count: ", true)) {
        m_zeroPad->setFocus(Qt::OtherFocusReason);
        return;
    }
    ShowStatus(L"Zero-pad count updated");
}

void CForm_FLPC4_FFT::OnUpload()
{
    std::wstring path;
    std::vector<int16_t> points;
    if (!TakePath(m_window, path) || !ReadParams(path, WindowLimit(m_maxSize), IsNativeFormat(), points))
        return;
    ShowStatus(CountText(L"Uploading window data (%u points)...", points.size()), 0);
    for (size_t i = 0; i < points.size(); ++i) {
        const int32_t result = SetBoardProcessingParamTQ8(GetDeviceHandle(), uint16_t(i), uint16_t(points[i]));
        if (!CheckResult(result, L"Failed to write board processing parameter: ", true))
            return;
    }
    ShowStatus(CountText(L"Uploaded window data (%u points)...", points.size()));
}

#include "CForm_Trig.h"

#include <tuple>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "CMainDoc.h"
#include "CNumericEditField.h"
#include "CSettingSlider.h"

namespace {

constexpr CSettingFormView::ChoiceSetting kSource{GetTriggerSourceTQ8, SetTriggerSourceTQ8, L"Trigger source updated",
                                                  L"Failed to change trigger source: "};
constexpr CSettingFormView::ChoiceSetting kMode{GetTriggerModeTQ8, SetTriggerModeTQ8, L"Trigger mode updated",
                                                L"Failed to change trigger mode: "};
constexpr CSettingFormView::ChoiceSetting kDirectionA{GetTriggerDirectionATQ8, SetTriggerDirectionATQ8,
                                                      L"Trigger A direction updated",
                                                      L"Failed to change trigger A direction: "};
constexpr CSettingFormView::ChoiceSetting kDirectionB{GetTriggerDirectionBTQ8, SetTriggerDirectionBTQ8,
                                                      L"Trigger B direction updated",
                                                      L"Failed to change trigger B direction: "};

const CNumericEditField::Spec kSegmentSize{GetSegmentSizeTQ8,
                                           SetSegmentSizeTQ8,
                                           L"Editing segment size. Press ENTER to apply changes",
                                           L"segment size",
                                           L"Segment size updated",
                                           L"Failed to change segment size: ",
                                           dochint::kTriggerMode};
const CNumericEditField::Spec kPreTrigger{GetPreTriggerSamplesTQ8,
                                          SetPreTriggerSamplesTQ8,
                                          L"Editing pre-trigger sample count. Press ENTER to apply changes",
                                          L"pre-trigger samples",
                                          L"Pre-trigger sample count updated",
                                          L"Failed to change pre-trigger sample count: ",
                                          dochint::kPlotOptions};
const CNumericEditField::Spec kTriggerDelay{GetTriggerDelaySamplesTQ8,
                                            SetTriggerDelaySamplesTQ8,
                                            L"Editing trigger delay sample count. Press ENTER to apply changes",
                                            L"trigger delay sample count",
                                            L"Trigger delay sample count updated",
                                            L"Failed to change trigger delay sample count: ",
                                            dochint::kPlotOptions};

const CSettingSlider::Spec kLevelA{GetTriggerLevelATQ8, SetTriggerLevelATQ8, L"trigger level A",
                                   L"Select Trigger Level", L"Trigger Level A", 128};
const CSettingSlider::Spec kLevelB{GetTriggerLevelBTQ8, SetTriggerLevelBTQ8, L"trigger level B",
                                   L"Select Trigger Level", L"Trigger Level B", 128};

constexpr int kLevelMax = 255;
constexpr int kLevelPage = 16;

} // namespace

CForm_Trig::CForm_Trig(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    CreateControls();
}

CForm_Trig::~CForm_Trig() = default;

QSize CForm_Trig::GetTemplateSize()
{
    return {520, 236};
}

void CForm_Trig::CreateControls()
{
    auto* params = new QGroupBox(QStringLiteral("Trigger parameters"), this);
    auto* grid = new QGridLayout(params);
    m_source = AddItem(new QComboBox(params), kSourceId);
    m_source->addItems({QStringLiteral("Internal - Ch. 1"), QStringLiteral("Internal - Ch. 2"),
                        QStringLiteral("Internal - Ch. 3"), QStringLiteral("Internal - Ch. 4"),
                        QStringLiteral("External")});
    m_mode = AddItem(new QComboBox(params), kModeId);
    m_mode->addItems({QStringLiteral("Post trigger"), QStringLiteral("Segmented")});
    auto* segmentLabel = AddItem(new QLabel(QStringLiteral("Segment size (in samples):"), params), kSegmentLabelId);
    auto* segment = AddItem(new QLineEdit(params), kSegmentId);
    auto* preTrigger = AddItem(new QLineEdit(params), kPreTriggerId);
    auto* delay = AddItem(new QLineEdit(params), kDelayId);
    grid->addWidget(new QLabel(QStringLiteral("Trigger source:"), params), 0, 0);
    grid->addWidget(m_source, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Trigger mode:"), params), 1, 0);
    grid->addWidget(m_mode, 1, 1);
    grid->addWidget(segmentLabel, 2, 0);
    grid->addWidget(segment, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Pre-trigger sample count:"), params), 3, 0);
    grid->addWidget(preTrigger, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Trigger delay sample count:"), params), 4, 0);
    grid->addWidget(delay, 4, 1);
    grid->setRowStretch(5, 1);

    auto* levels = new QWidget(this);
    auto* levelGrid = new QGridLayout(levels);
    levelGrid->setContentsMargins(0, 0, 0, 0);
    auto addLevel = [&](int row, const QString& title, int sliderId, int browseId, int slopeId, bool shown) {
        auto* heading = new QLabel(title, levels);
        auto* level = new QLabel(QStringLiteral("Level:"), levels);
        auto* slider = AddItem(new QSlider(Qt::Horizontal, levels), sliderId);
        slider->setRange(0, kLevelMax);
        slider->setPageStep(kLevelPage);
        slider->setMinimumWidth(120);
        auto* browse = AddItem(new QPushButton(QStringLiteral("..."), levels), browseId);
        browse->setMaximumWidth(32);
        auto* slope = AddItem(new QCheckBox(QStringLiteral("Negative-going slope"), levels), slopeId);
        levelGrid->addWidget(heading, row, 0, 1, 4);
        levelGrid->addWidget(level, row + 1, 0);
        levelGrid->addWidget(slider, row + 1, 1);
        levelGrid->addWidget(browse, row + 1, 2);
        levelGrid->addWidget(slope, row + 1, 3);
        heading->setVisible(shown);
        level->setVisible(shown);
        return std::make_tuple(slider, browse, slope);
    };
    auto [sliderA, browseA, slopeA] = addLevel(0, QStringLiteral(" Internal Trigger A "), kLevelAId, kBrowseAId, kSlopeAId, true);
    auto [sliderB, browseB, slopeB] = addLevel(2, QStringLiteral(" Internal Trigger B "), kLevelBId, kBrowseBId, kSlopeBId, false);
    // Trigger B is for unsafe mode only (the initial update shows it).
    for (QWidget* w : {static_cast<QWidget*>(sliderB), static_cast<QWidget*>(browseB), static_cast<QWidget*>(slopeB)}) {
        w->setEnabled(false);
        w->setVisible(false);
    }
    levelGrid->setRowStretch(4, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(params, 1);
    layout->addWidget(levels, 1);
    AddDefaultButton(kUpdateId, QStringLiteral("Update"), m_source);

    m_segmentSize = new CNumericEditField(*this, segment, kEditingSegmentSize, kSegmentSize);
    m_preTrigger = new CNumericEditField(*this, preTrigger, kEditingPreTrigger, kPreTrigger);
    m_triggerDelay = new CNumericEditField(*this, delay, kEditingTriggerDelay, kTriggerDelay);
    for (QLineEdit* edit : {segment, preTrigger, delay})
        ConnectEnter(edit);
    m_levelA = new CSettingSlider(*this, sliderA, browseA, kLevelA);
    m_levelB = new CSettingSlider(*this, sliderB, browseB, kLevelB);
    connect(m_source, &QComboBox::activated, this, &CForm_Trig::OnTriggerSource);
    connect(m_mode, &QComboBox::activated, this, &CForm_Trig::OnTriggerMode);
    connect(slopeA, &QCheckBox::clicked, this, [this, box = slopeA] { ApplyCheckSetting(box, kDirectionA); });
    connect(slopeB, &QCheckBox::clicked, this, [this, box = slopeB] { ApplyCheckSetting(box, kDirectionB); });
}

void CForm_Trig::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    if (GetDocument().IsUnsafeMode()) {
        for (int id : {kLevelBId, kBrowseBId, kSlopeBId}) {
            Item(id)->setEnabled(true);
            Item(id)->setVisible(true);
        }
    }
    Refresh();
}

void CForm_Trig::Refresh()
{
    RefreshScope refreshing(*this);
    const TQ8_HANDLE device = GetDeviceHandle();
    m_mode->setCurrentIndex(GetTriggerModeTQ8(device, 1));
    m_source->setCurrentIndex(GetTriggerSourceTQ8(device, 1));
    m_segmentSize->Refresh();
    m_preTrigger->Refresh();
    m_triggerDelay->Refresh();
    m_levelA->Refresh();
    m_levelB->Refresh();
    ItemAs<QCheckBox>(kSlopeAId)->setChecked(GetTriggerDirectionATQ8(device, 1) != 0);
    ItemAs<QCheckBox>(kSlopeBId)->setChecked(GetTriggerDirectionBTQ8(device, 1) != 0);
    ApplySegmentSizeRule();
}

void CForm_Trig::ApplySegmentSizeRule()
{
    const bool enabled = IsSegmentSizeEnabled(GetTriggerModeTQ8(GetDeviceHandle(), 1));
    Item(kSegmentLabelId)->setEnabled(enabled);
    Item(kSegmentId)->setEnabled(enabled);
}

void CForm_Trig::OnTriggerSource()
{
    ApplyComboSetting(m_source, kSource);
}

void CForm_Trig::OnTriggerMode()
{
    if (ApplyComboSetting(m_mode, kMode))
        GetDocument().NotifyTriggerModeChanged();
    ApplySegmentSizeRule();
}

void CForm_Trig::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    if (hint == dochint::kAcquisitionState)
        m_mode->setEnabled(object == nullptr);
    else if (hint == dochint::kBoardSettings)
        Refresh();
}

#include "CForm_Data.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "DataFormRules.h"
#include "DialogItems.h"
#include "EnumTexts.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "IScopeView.h"
#include "ValueFormat.h"

namespace {

constexpr CSettingFormView::ChoiceSetting kSdram2{GetRouteToSdram2EnableTQ8, SetRouteToSdram2EnableTQ8,
                                                  L"SDRAM2 route updated", L"Failed to set SDRAM2 route enable: ",
                                                  false, true};
constexpr CSettingFormView::ChoiceSetting kDioMode{GetDigitalIoModeTQ8, SetDigitalIoModeTQ8,
                                                   L"Digital output mode updated",
                                                   L"Failed to change digital output mode: "};
constexpr wchar_t kDioEnableFailure[] = L"Failed to change digitial output enable: ";
constexpr wchar_t kChannelsFailure[] = L"Failed to change active channel setting: ";

QVariant HandleData(TQ8_HANDLE handle)
{
    return QVariant::fromValue<qulonglong>(reinterpret_cast<uintptr_t>(handle));
}

using RangeGetter = int32_t (*)(TQ8_HANDLE, double*, int32_t);
constexpr RangeGetter kRangeGetters[4] = {GetInputVoltageRangeVoltsCh1TQ8, GetInputVoltageRangeVoltsCh2TQ8,
                                          GetInputVoltageRangeVoltsCh3TQ8, GetInputVoltageRangeVoltsCh4TQ8};

} // namespace

CForm_Data::CForm_Data(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    CreateControls();
}

CForm_Data::~CForm_Data()
{
    GetDocument().SetDataForm(nullptr);
}

QSize CForm_Data::GetTemplateSize()
{
    return {560, 250};
}

void CForm_Data::CreateControls()
{
    auto* region = new QGroupBox(QStringLiteral("Active TQ3300 memory region"), this);
    auto* regionGrid = new QGridLayout(region);
    auto* note = new QLabel(QStringLiteral("The active memory region defines the length of RAM and ZAB acquisitions. "
                                           "Total sample count is independent of channel."),
                            region);
    note->setWordWrap(true);
    m_startSample = AddItem(new QLineEdit(region), kStartSampleId);
    m_sampleCount = AddItem(new QComboBox(region), kSampleCountId);
    m_sampleCount->setEditable(true);
    m_sampleCount->setInsertPolicy(QComboBox::NoInsert);
    m_limitPlot = AddItem(new QCheckBox(QStringLiteral("Limit plot data to acquired data"), region), kLimitPlotId);
    regionGrid->addWidget(note, 0, 0, 1, 2);
    regionGrid->addWidget(new QLabel(QStringLiteral("Starting sample:"), region), 1, 0);
    regionGrid->addWidget(m_startSample, 1, 1);
    regionGrid->addWidget(new QLabel(QStringLiteral("Total sample count:"), region), 2, 0);
    regionGrid->addWidget(m_sampleCount, 2, 1);
    regionGrid->addWidget(m_limitPlot, 3, 0, 1, 2);
    regionGrid->setRowStretch(4, 1);

    auto* front = new QGroupBox(QStringLiteral("Analog front end"), this);
    auto* frontGrid = new QGridLayout(front);
    m_channels = AddItem(new QComboBox(front), kActiveChannelsId);
    frontGrid->addWidget(new QLabel(QStringLiteral("Active channels:"), front), 0, 0);
    frontGrid->addWidget(m_channels, 0, 1);
    for (int ch = 0; ch < 4; ++ch) {
        auto* label = AddItem(new QLabel(QStringLiteral("Ch. %1 input voltage range:").arg(ch + 1), front), kRangeLabelId + ch);
        frontGrid->addWidget(label, 1 + ch, 0);
        frontGrid->addWidget(AddItem(new QLabel(QStringLiteral("500 mVp-p"), front), kRangeValueId + ch), 1 + ch, 1);
    }
    m_sdram2 = AddItem(new QCheckBox(QStringLiteral("Route all data to SDRAM2 for FPGA processing"), front), kSdram2RouteId);
    m_sdram2->hide();
    frontGrid->addWidget(m_sdram2, 5, 0, 1, 2);
    frontGrid->setRowStretch(6, 1);

    auto* masterSlave = new QGroupBox(QStringLiteral("Master/slave"), this);
    auto* msGrid = new QGridLayout(masterSlave);
    m_master = AddItem(new QComboBox(masterSlave), kMasterId);
    msGrid->addWidget(new QLabel(QStringLiteral("Configuration:"), masterSlave), 0, 0);
    msGrid->addWidget(AddItem(new QLabel(masterSlave), kMasterSlaveConfigId), 0, 1);
    msGrid->addWidget(AddItem(new QLabel(QStringLiteral("Master is:"), masterSlave), kMasterLabelId), 1, 0);
    msGrid->addWidget(m_master, 1, 1);
    msGrid->addWidget(AddItem(new QLabel(masterSlave), kSyncConfigId), 2, 0, 1, 2);
    msGrid->setRowStretch(3, 1);

    auto* dio = new QGroupBox(QStringLiteral("Digital IO"), this);
    auto* dioGrid = new QGridLayout(dio);
    m_dioEnable = AddItem(new QCheckBox(QStringLiteral("Enable digital IO port"), dio), kDioEnableId);
    m_dioMode = AddItem(new QComboBox(dio), kDioModeId);
    m_dioMode->addItems({QStringLiteral("Output: 0V"), QStringLiteral("Output: Synchronized trigger"),
                         QStringLiteral("Output: ADC clock / 8"), QStringLiteral("Output: 3.3V"),
                         QStringLiteral("Input: Timestamp request/FPGA sync"), QStringLiteral("5"),
                         QStringLiteral("6"), QStringLiteral("7")});
    auto* pulse = AddItem(new QPushButton(QStringLiteral("Pulse"), dio), kPulseId);
    pulse->setEnabled(false);
    dioGrid->addWidget(m_dioEnable, 0, 0, 1, 2);
    dioGrid->addWidget(new QLabel(QStringLiteral("Mode:"), dio), 1, 0);
    dioGrid->addWidget(m_dioMode, 1, 1);
    dioGrid->addWidget(pulse, 2, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(masterSlave);
    right->addWidget(dio);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(region, 1);
    layout->addWidget(front, 1);
    layout->addLayout(right, 1);

    connect(m_channels, &QComboBox::activated, this, &CForm_Data::OnActiveChannels);
    connect(m_master, &QComboBox::activated, this, &CForm_Data::OnMaster);
    connect(m_limitPlot, &QCheckBox::clicked, this, &CForm_Data::OnLimitPlotData);
    connect(m_sdram2, &QCheckBox::clicked, this, [this] { ApplyCheckSetting(m_sdram2, kSdram2); });
    connect(m_dioEnable, &QCheckBox::clicked, this, &CForm_Data::OnDigitalIoEnable);
    connect(m_dioMode, &QComboBox::activated, this, &CForm_Data::OnDigitalIoMode);
    connect(pulse, &QPushButton::clicked, this, &CForm_Data::OnPulse);
}

void CForm_Data::OnInitialUpdate()
{
    GetDocument().SetDataForm(this);
    CSettingFormView::OnInitialUpdate();
    FillChannelList();
    FillMasterList();
    ShowMasterSlaveTexts();
    Refresh();
    m_limitPlot->setChecked(GetDocument().IsPlotDataLimited());
}

void CForm_Data::Refresh()
{
    RefreshScope refreshing(*this);
    const TQ8_HANDLE device = GetDeviceHandle();
    FillSampleCounts();
    ShowRegion();
    SelectComboItemByData(m_channels, uint64_t(GetActiveChannelsTQ8(device, 1)));
    m_sdram2->setChecked(GetRouteToSdram2EnableTQ8(device, 1) != 0);
    ApplySdram2Rule();
    m_dioEnable->setChecked(GetDigitalIoEnableTQ8(device, 1) != 0);
    m_dioMode->setCurrentIndex(GetDigitalIoModeTQ8(device, 1));
    ApplyPulseRule();
    ShowVoltageRanges();
    FillMasterList();
}

void CForm_Data::ShowRegion()
{
    m_startSample->setText(QString::number(GetDocument().GetStartSample()));
    const uint32_t count = GetDocument().GetSampleCount();
    if (!SelectComboItemByData(m_sampleCount, count))
        m_sampleCount->setEditText(QString::number(count));
}

// The presets up to the most the board holds with its active channels; a
// typed count stays in the field.
void CForm_Data::FillSampleCounts()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    uint32_t largest = UINT32_MAX;
    if (GetMaxSampleCountForActiveChanSelTQ8(device, GetActiveChannelsTQ8(device, 1), &largest) != 0)
        largest = UINT32_MAX;
    const QString text = m_sampleCount->currentText();
    const bool filled = m_sampleCount->count() != 0;
    FillSampleCountCombo(m_sampleCount, false, largest);
    if (filled)
        m_sampleCount->setEditText(text);
}

void CForm_Data::FillChannelList()
{
    m_channels->clear();
    for (int32_t selection : dataform::ListedChannelSelections(GetDocument().IsTwoChannelModel()))
        m_channels->addItem(ToQt(ActiveChannelsToText(selection)), QVariant::fromValue<qulonglong>(uint64_t(selection)));
}

void CForm_Data::FillMasterList()
{
    m_master->clear();
    m_master->addItem(QStringLiteral("<Undefined>"), HandleData(nullptr));
    CDeviceManagerTQ8* devices = GetDocument().GetDeviceManager();
    if (!devices)
        return;
    const TQ8_HANDLE device = GetDeviceHandle();
    CDeviceManagerTQ8::HandleList masters;
    devices->GetMasters(masters, true);
    for (TQ8_HANDLE master : masters)
        if (master != device)
            m_master->addItem(ToQt(GetDocument().GetDeviceDisplayName(true, master)), HandleData(master));
    SelectComboItemByData(m_master, reinterpret_cast<uintptr_t>(devices->GetMaster(device)));
}

void CForm_Data::ShowMasterSlaveTexts()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    const int32_t config = GetMasterSlaveConfigurationTQ8(device, 1);
    ItemAs<QLabel>(kMasterSlaveConfigId)->setText(ToQt(MasterSlaveConfigToText(config)));
    ItemAs<QLabel>(kSyncConfigId)->setText(QStringLiteral("Sync. configuration: ") +
                                  ToQt(SyncConfigToText(GetSyncConfigurationTQ8(device, 1))));
    const bool slave = config == 2 || config == 3;
    Item(kMasterLabelId)->setEnabled(slave);
    m_master->setEnabled(slave);
}

void CForm_Data::ShowVoltageRanges()
{
    const bool twoChannel = GetDocument().IsTwoChannelModel();
    const int shown = twoChannel ? 2 : 4;
    double ranges[4] = {};
    bool read[4] = {};
    for (int ch = 0; ch < shown; ++ch)
        read[ch] = kRangeGetters[ch](GetDeviceHandle(), &ranges[ch], 1) == 0;
    const bool allEqual = dataform::AllRangesEqual(ranges, read, shown);
    for (int ch = 0; ch < 4; ++ch) {
        const bool visible = ch < shown && (ch == 0 || !allEqual);
        Item(kRangeLabelId + ch)->setVisible(visible);
        Item(kRangeValueId + ch)->setVisible(visible);
        ItemAs<QLabel>(kRangeValueId + ch)->setText(read[ch] ? ToQt(FormatVoltageRange(ranges[ch])) : QString());
    }
    ItemAs<QLabel>(kRangeLabelId)->setText(allEqual ? QStringLiteral("Input voltage range:")
                                           : QStringLiteral("Ch. 1 input voltage range:"));
}

void CForm_Data::ApplySdram2Rule()
{
    const QVariant selection = m_channels->currentData();
    m_sdram2->setEnabled(selection.isValid() && dataform::AllowsSdram2Route(int32_t(selection.toLongLong())));
}

void CForm_Data::ApplyPulseRule()
{
    Item(kPulseId)->setEnabled(dataform::AllowsPulse(m_dioMode->currentIndex()));
}

bool CForm_Data::ApplyActiveMemoryRegion()
{
    uint32_t start = 0;
    if (!GetDlgItemUInt32(m_startSample, start)) {
        ShowInvalidNumberMessage(L"starting sample", m_startSample, MB_ICONERROR);
        return false;
    }
    uint32_t count = 0;
    const std::wstring countText = GetDlgItemText(m_sampleCount);
    if (!dataform::IsFreeRunText(countText) && !GetDlgItemUInt32(m_sampleCount, count)) {
        ShowInvalidNumberMessage(L"total sample count", m_sampleCount, MB_ICONERROR);
        return false;
    }
    const TQ8_HANDLE device = GetDeviceHandle();
    int32_t result = SetActiveMemoryRegionTQ8(device, count, start);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to setup active memory region: ", device);
        return false;
    }
    uint32_t boardCount = 0;
    uint32_t boardStart = 0;
    // An unknown region must not reach the acquisition.
    result = GetActiveMemoryRegionTQ8(device, &boardCount, &boardStart, 1);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to read active memory region: ", device);
        return false;
    }
    const bool startDiffers = boardStart != start;
    const bool countDiffers = boardCount != count;
    if (startDiffers)
        m_startSample->setText(ToQt(FormatWithThousandsSeparator(boardStart)));
    GetDocument().SetStartSample(boardStart);
    if (countDiffers)
        m_sampleCount->setEditText(ToQt(FormatWithThousandsSeparator(boardCount)));
    GetDocument().SetSampleCount(boardCount);
    const std::wstring text = dataform::RegionUpdatedText(startDiffers, countDiffers);
    if (!text.empty())
        ShowStatus(text);
    return true;
}

void CForm_Data::OnActiveChannels()
{
    if (auto* view = dynamic_cast<IScopeView*>(GetDocument().GetScopeView()))
        view->ClearPlot();
    const QVariant data = m_channels->currentData();
    if (m_channels->currentIndex() < 0 || !data.isValid()) {
        vlt::ErrorBeep();
        return;
    }
    const TQ8_HANDLE device = GetDeviceHandle();
    const auto selection = int32_t(data.toLongLong());
    if (!CheckResult(SetActiveChannelsTQ8(device, selection), kChannelsFailure)) {
        RefreshScope refreshing(*this);
        SelectComboItemByData(m_channels, uint64_t(GetActiveChannelsTQ8(device, 1)));
        ApplySdram2Rule();
        return;
    }
    if (m_sdram2->isChecked() && !dataform::AllowsSdram2Route(selection)) {
        vlt::ShowMessageBox(L"SDRMA2 data routing is not a valid selection for this active channel setting and will "
                            L"be disabled",
                            MB_ICONWARNING, this);
        SetRouteToSdram2EnableTQ8(device, 0);
        m_sdram2->setChecked(false);
    }
    ShowStatus(L"Active channel setting updated");
    {
        RefreshScope refreshing(*this);
        FillSampleCounts();
    }
    if (GetTriggerModeTQ8(device, 1) == 1)
        GetDocument().NotifyTriggerModeChanged();
    ApplySdram2Rule();
    SetModified();
}

void CForm_Data::OnPulse()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    int32_t first = 0;
    int32_t second = 0;
    std::wstring text;
    if (!dataform::PlanPulse(GetDigitalIoModeTQ8(device, 1), first, second, text)) {
        vlt::ErrorBeep();
        return;
    }
    const bool pulsed = CheckResult(SetDigitalIoModeTQ8(device, first), kDioMode.failurePrefix) &&
                        CheckResult(SetDigitalIoModeTQ8(device, second), kDioMode.failurePrefix);
    if (!pulsed) {
        // The port may be left at the pulse's level: show what the board holds.
        RefreshScope refreshing(*this);
        m_dioMode->setCurrentIndex(GetDigitalIoModeTQ8(device, 1));
        ApplyPulseRule();
        return;
    }
    ShowStatus(text);
    if (GetDigitalIoEnableTQ8(device, 1) == 0)
        vlt::ShowMessageBox(L"Digital IO port must be enabled for pulse to have effect.", MB_ICONERROR, this);
}

void CForm_Data::OnMaster()
{
    CDeviceManagerTQ8* devices = GetDocument().GetDeviceManager();
    const QVariant data = m_master->currentData();
    if (!devices || m_master->currentIndex() < 0 || !data.isValid())
        return;
    if (devices->SetSlaveMaster(GetDeviceHandle(), reinterpret_cast<TQ8_HANDLE>(uintptr_t(data.toULongLong())))) {
        ShowStatus(L"Master selection updated");
        SetModified();
    }
}

void CForm_Data::OnDigitalIoEnable()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    const bool on = m_dioEnable->isChecked();
    if (!CheckResult(SetDigitalIoEnableTQ8(device, on ? 1 : 0), kDioEnableFailure)) {
        RefreshScope refreshing(*this);
        m_dioEnable->setChecked(GetDigitalIoEnableTQ8(device, 1) != 0);
        return;
    }
    ShowStatus(on ? L"Digital output enabled" : L"Digital output disabled");
    SetModified();
}

void CForm_Data::OnDigitalIoMode()
{
    ApplyComboSetting(m_dioMode, kDioMode);
    ApplyPulseRule();
}

void CForm_Data::OnLimitPlotData()
{
    GetDocument().SetLimitPlotData(m_limitPlot->isChecked());
}

void CForm_Data::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    switch (hint) {
    case dochint::kRelationsChanged: FillMasterList(); break;
    case dochint::kAcquisitionState:
        for (QWidget* w : {static_cast<QWidget*>(m_master), static_cast<QWidget*>(m_channels),
                           static_cast<QWidget*>(m_startSample), static_cast<QWidget*>(m_sampleCount)})
            w->setEnabled(object == nullptr);
        // Only a slave chooses its master.
        if (!object)
            ShowMasterSlaveTexts();
        break;
    case dochint::kBoardSettings: Refresh(); break;
    case dochint::kAcquisitionRegion: {
        RefreshScope refreshing(*this);
        ShowRegion();
        break;
    }
    case dochint::kBeforeWorkspaceSave: StoreWorkspaceState(); break;
    case dochint::kAfterWorkspaceLoad: RestoreWorkspaceState(); break;
    default: break;
    }
}

void CForm_Data::StoreWorkspaceState()
{
    CMainDocWsData& ws = GetDocument().GetWsData();
    bool changed = false;
    auto store = [&changed](auto& field, auto value) {
        if (field != value) {
            field = value;
            changed = true;
        }
    };
    store(ws.LimitPlotData, int32_t(m_limitPlot->isChecked() ? 1 : 0));
    uint32_t value = 0;
    if (GetDlgItemUInt32(m_startSample, value))
        store(ws.DataStartSample, value);
    if (GetDlgItemUInt32(m_sampleCount, value))
        store(ws.DataSampleCount, value);
    if (changed)
        SetModified();
}

void CForm_Data::RestoreWorkspaceState()
{
    const CMainDocWsData& ws = GetDocument().GetWsData();
    {
        RefreshScope refreshing(*this);
        m_startSample->setText(ToQt(FormatWithThousandsSeparator(ws.DataStartSample)));
        m_sampleCount->setEditText(ToQt(FormatWithThousandsSeparator(ws.DataSampleCount)));
        m_limitPlot->setChecked(ws.LimitPlotData != 0);
    }
    GetDocument().SetLimitPlotData(ws.LimitPlotData != 0);
    FillMasterList();
    ShowMasterSlaveTexts();
}

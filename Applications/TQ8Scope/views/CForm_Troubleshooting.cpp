#include "CForm_Troubleshooting.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "CDeviceManagerTQ8.h"
#include "CMainApp.h"
#include "CMainDoc.h"
#include "CWaitCursor.h"
#include "DialogItems.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "TextConv.h"

namespace {

// Letters of a register's name the register box shows without its list.
constexpr int kRegisterNameLetters = 16;

constexpr CSettingFormView::ChoiceSetting kDcmOverride{GetAutoDcmResetOverrideTQ8, SetAutoDcmResetOverrideTQ8,
                                                       L"Auto DCM reset override updated",
                                                       L"Failed to set auto DCM reset override: ", true, true};
constexpr wchar_t kWriteFailed[] = L"Failed to write device register: ";
constexpr uint32_t kRamBypassReg = 6;
constexpr uint32_t kAdcSyncReg = 5;
constexpr uint32_t kAdcSyncBit = 0x10000000;
constexpr uint32_t kSdram1Reg = 8;
constexpr uint32_t kSdram2Reg = 10;
constexpr uint32_t kMaxDelay = 255;
constexpr uint8_t kMidscale = 128;
constexpr int32_t kMaxOffsetAdj = 255;

const char* const kDmaRegisters[] = {
    "0  : DCR", "1  : DCSR", "2  : Write Addr", "3  : Write Size", "4  : Write Count", "5  : Write Pattern",
    "6  : Read Pattern", "7  : Read Addr", "8  : Read Size", "9  : Read Count", "10 : Write DMA Perf",
    "11 : Read DMA Perf", "12 : Read DMA Status", "13 : Read DMA Complete", "14 : Read DMA Complete Size",
    "15 : Link Width Status", "16 : Link Trans Size"};
const char* const kConfigRegisters[] = {"0  : EEPROM", "1  : JTAG"};
const char* const kDeviceRegisters[] = {
    "0  : Segment Size", "1  : Sample Count", "2  : Start Sample", "3  : Delay/Pretrigger Samples",
    "4  : Trigger Levels", "5  : Trigger/Clock Settings", "6  : Board Settings", "7  : Analog Front End",
    "8  : ---", "9  : ZAB #1", "10 : ZAB #2", "11 : Operating Mode", "12 : ---", "13 : Status/Monitor (Read Only)",
    "14 : Timestamp MSB (Read Only)", "15 : Timestamp LSB (Read Only)", "16 : Offset DAC", "17 : ADC #1",
    "18 : ADC #1", "32 : Clock Gen #1", "48 : Clock Gen #2"};

template <size_t N>
void AddAll(QComboBox* combo, const char* const (&items)[N])
{
    for (const char* item : items)
        combo->addItem(QString::fromLatin1(item));
}

// The whole text is one finite number.
bool ParseThreshold(const std::wstring& text, double& value)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    const double parsed = std::wcstod(text.c_str(), &end);
    if (end == text.c_str() || *end != L'\0' || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

QPushButton* Button(QWidget* parent, const char* caption)
{
    return new QPushButton(QString::fromUtf8(caption), parent);
}

} // namespace

CForm_Troubleshooting::CForm_Troubleshooting(CMainDoc& doc, QWidget* parent)
    : CSettingFormView(kTemplateId, doc, parent)
{
    CreateControls();
}

CForm_Troubleshooting::~CForm_Troubleshooting() = default;

QSize CForm_Troubleshooting::GetTemplateSize()
{
    return {760, 300};
}

void CForm_Troubleshooting::CreateControls()
{
    auto* layout = new QGridLayout(this);
    // The warning has a row of its own, so that its width does not widen
    // the columns of the groups below it.
    auto* warning = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(24, 24));
    warning->addWidget(icon);
    warning->addWidget(new QLabel(QStringLiteral("Warning: Items on this page are for troubleshooting only. "
                                                 "Improper usage may make the TQ3300 unstable."),
                                  this),
                       1, Qt::AlignCenter);
    layout->addLayout(warning, 0, 0, 1, 3);
    layout->addWidget(CreateRegisterGroup(), 1, 0);
    layout->addWidget(CreateDelayGroup(), 1, 1);
    layout->addWidget(CreateCommandGroup(), 1, 2);
    layout->setRowStretch(2, 1);
    AddDefaultButton(kUpdateNowId, QStringLiteral("UpdateNow"), m_register);
}

QWidget* CForm_Troubleshooting::CreateRegisterGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Raw, uncached device register IO"), this);
    auto* grid = new QGridLayout(group);
    m_bar = AddItem(new QComboBox(group), kBarId);
    m_bar->addItems({QStringLiteral("0 : DMA registers"), QStringLiteral("1 : Device registers"),
                     QStringLiteral("2 : Configuration registers")});
    m_register = AddItem(new QComboBox(group), kRegisterId);
    m_register->setEditable(true);
    // The longest register names need not widen the page: the drop-down
    // list shows them whole.
    m_register->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_register->setMinimumContentsLength(kRegisterNameLetters);
    auto* value = AddItem(new QLineEdit(group), kValueId);
    auto* result = AddItem(new QLineEdit(group), kResultId);
    result->setReadOnly(true);
    auto* write = AddItem(Button(group, "Write"), kWriteId);
    auto* read = AddItem(Button(group, "Read"), kReadId);
    grid->addWidget(new QLabel(QStringLiteral("BAR index:"), group), 0, 0);
    grid->addWidget(m_bar, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Register index:"), group), 1, 0);
    grid->addWidget(m_register, 1, 1, 1, 2);
    grid->addWidget(value, 2, 0);
    grid->addWidget(write, 2, 1);
    grid->addWidget(read, 2, 2);
    grid->addWidget(result, 3, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Note: Hexadecimal input must be prefixed with '0x'"), group), 4, 0, 1, 3);

    m_snr = AddItem(new QLineEdit(group), kMinSnrId);
    m_snr->installEventFilter(this);
    ConnectEnter(m_snr);
    grid->addWidget(new QLabel(QStringLiteral("Stop cont acq when any SNR drops below:"), group), 5, 0);
    grid->addWidget(m_snr, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("dB"), group), 5, 2);
    auto* stop = AddItem(new QCheckBox(QStringLiteral("Stop cont acq when"), group), kStopOnThresholdId);
    auto* channel = AddItem(new QComboBox(group), kStopChannelId);
    channel->addItems({QStringLiteral("channel 1"), QStringLiteral("channel 2"), QStringLiteral("channel 3"),
                       QStringLiteral("channel 4")});
    grid->addWidget(stop, 6, 0);
    grid->addWidget(channel, 6, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("does not pass midscale at sample index:"), group), 7, 0);
    grid->addWidget(AddItem(new QLineEdit(group), kStopSampleId), 7, 1, 1, 2);
    auto* readTs = AddItem(Button(group, "Read TS:"), kReadTimestampId);
    auto* ts = AddItem(new QLineEdit(group), kTimestampId);
    ts->setReadOnly(true);
    grid->addWidget(readTs, 8, 0);
    grid->addWidget(ts, 8, 1, 1, 2);

    connect(m_bar, &QComboBox::activated, this, &CForm_Troubleshooting::OnBarSelChange);
    connect(write, &QPushButton::clicked, this, &CForm_Troubleshooting::OnRawWrite);
    connect(read, &QPushButton::clicked, this, &CForm_Troubleshooting::OnRawRead);
    connect(m_snr, &QLineEdit::textEdited, this, &CForm_Troubleshooting::OnSnrChange);
    connect(stop, &QCheckBox::clicked, this, &CForm_Troubleshooting::OnStopCondition);
    connect(readTs, &QPushButton::clicked, this, &CForm_Troubleshooting::OnReadTimestamp);
    return group;
}

QWidget* CForm_Troubleshooting::CreateDelayGroup()
{
    auto* group = new QWidget(this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("SDRAM1 Idelay:"), group), 0, 0);
    grid->addWidget(AddItem(new QLabel(group), kSdram1TapsId), 0, 1);
    grid->addWidget(AddItem(new QLineEdit(group), kSdram1DelayId), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("SDRAM2 Idelay:"), group), 1, 0);
    grid->addWidget(AddItem(new QLabel(group), kSdram2TapsId), 1, 1);
    grid->addWidget(AddItem(new QLineEdit(group), kSdram2DelayId), 1, 2);
    auto* writeSdram = AddItem(Button(group, "Write sdram"), kWriteSdramId);
    auto* readSdram = AddItem(Button(group, "Read Sdram"), kReadSdramId);
    grid->addWidget(readSdram, 2, 1);
    grid->addWidget(writeSdram, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Ext. Trig. delay"), group), 3, 0);
    grid->addWidget(AddItem(new QLineEdit(group), kExtTriggerDelayId), 3, 1);
    auto* writeExt = AddItem(Button(group, "Write "), kWriteExtTriggerId);
    grid->addWidget(writeExt, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("ADC offset adjustment:"), group), 4, 0);
    auto* adc = AddItem(new QComboBox(group), kAdcId);
    adc->addItems({QStringLiteral("Ch.1"), QStringLiteral("Ch.2"), QStringLiteral("Ch.3"), QStringLiteral("Ch.4")});
    adc->setCurrentIndex(-1);
    grid->addWidget(adc, 4, 1);
    grid->addWidget(AddItem(new QLineEdit(group), kAdcOffsetId), 4, 2);
    auto* doIt = AddItem(Button(group, "Do It"), kAdcOffsetApplyId);
    grid->addWidget(doIt, 5, 2);
    m_ramBypass = AddItem(new QCheckBox(QStringLiteral("Enable RAM bypass"), group), kRamBypassId);
    m_dcmOverride = AddItem(new QCheckBox(QStringLiteral("Enable auto DCM reset override"), group), kDcmOverrideId);
    auto* noPlot = AddItem(new QCheckBox(QStringLiteral("Do not plot data after acquisition"), group), kNoPlotId);
    grid->addWidget(m_ramBypass, 6, 0, 1, 3);
    grid->addWidget(m_dcmOverride, 7, 0, 1, 3);
    grid->addWidget(noPlot, 8, 0, 1, 3);

    connect(readSdram, &QPushButton::clicked, this, &CForm_Troubleshooting::OnReadSdram);
    connect(writeSdram, &QPushButton::clicked, this, &CForm_Troubleshooting::OnWriteSdram);
    connect(writeExt, &QPushButton::clicked, this, &CForm_Troubleshooting::OnWriteExtTriggerDelay);
    connect(doIt, &QPushButton::clicked, this, &CForm_Troubleshooting::OnAdcOffsetAdjust);
    connect(m_ramBypass, &QCheckBox::clicked, this, &CForm_Troubleshooting::OnRamBypass);
    connect(m_dcmOverride, &QCheckBox::clicked, this, [this] { ApplyCheckSetting(m_dcmOverride, kDcmOverride); });
    connect(noPlot, &QCheckBox::clicked, this, [this](bool on) { GetDocument().SetNoPlotAfterAcquisition(on); });
    return group;
}

QWidget* CForm_Troubleshooting::CreateCommandGroup()
{
    auto* group = new QWidget(this);
    auto* column = new QVBoxLayout(group);
    auto add = [&](int id, const char* caption) {
        auto* button = AddItem(Button(group, caption), id);
        column->addWidget(button);
        return button;
    };
    auto* pciAcq = add(kPciAcquisitionId, "Temporary PCI-Buf Acq");
    auto* pciRead = add(kPciTransferId, "Temporary PCI Transfer");
    auto* newVirtual = add(kNewVirtualId, "Create New Virtual Device");
    auto* resync = add(kResyncId, "Resync CG outputs Now");
    auto* resetDcms = add(kResetDcmsId, "Reset DCMs Now");
    auto* syncAdcs = add(kSyncAdcsId, "Synchronize ADCs Now");
    // A register window whose maker is not registered stays disabled, as the
    // board window does with a missing tool.
    auto* registerIo = add(kRegisterIoId, "CG/ADC/DAC Register IO...");
    auto* registerCache = add(kRegisterCacheId, "View Register Cache...");
    registerIo->setEnabled(bool(CMainDoc::Factories().serialDeviceIo));
    registerCache->setEnabled(bool(CMainDoc::Factories().registerCache));
    auto* greeting = add(kGreetingId, "-_-_-_-_-");
    column->addStretch(1);

    connect(pciAcq, &QPushButton::clicked, this, [this] {
        if (GetDocument().IsIdle())
            GetDocument().AcquirePciBuffered();
    });
    connect(pciRead, &QPushButton::clicked, this, [this] {
        if (GetDocument().IsIdle())
            GetDocument().ReadSampleRam();
    });
    connect(newVirtual, &QPushButton::clicked, this, &CForm_Troubleshooting::OnNewVirtualDevice);
    connect(registerIo, &QPushButton::clicked, this, [this] { GetDocument().OnSerialDeviceRegisterIo(); });
    connect(registerCache, &QPushButton::clicked, this, [this] { GetDocument().OnViewRegisterCache(); });
    connect(resync, &QPushButton::clicked, this, [this] {
        if (CheckResult(ResyncClockOutputsTQ8(GetDeviceHandle()), L"Failed to resynch CG clock outputs: ", true))
            ShowStatus(L"CG outputs synchronized");
    });
    connect(resetDcms, &QPushButton::clicked, this, [this] {
        if (CheckResult(SyncFirmwareToAdcClockTQ8(GetDeviceHandle(), 1), L"Failed to reset DCMs: ", true))
            ShowStatus(L"DCMs reset");
    });
    connect(syncAdcs, &QPushButton::clicked, this, &CForm_Troubleshooting::OnSynchronizeAdcs);
    connect(greeting, &QPushButton::clicked, this,
            [this] { vlt::ShowMessageBox(L"I hope you're having a great day!", MB_ICONINFORMATION, this); });
    return group;
}

void CForm_Troubleshooting::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    m_lastBar = -1;
    FillRegisterList(m_lastBar);
    ItemAs<QLineEdit>(kValueId)->setPlaceholderText(QStringLiteral("  Register Value"));
    m_bar->setCurrentIndex(1);
    ItemAs<QComboBox>(kStopChannelId)->setCurrentIndex(0);
    ItemAs<QLineEdit>(kStopSampleId)->setText(QStringLiteral("32"));
    ItemAs<QCheckBox>(kNoPlotId)->setChecked(GetDocument().GetStateFlags() & docstate::kNoPlot);
    Refresh();
}

void CForm_Troubleshooting::Refresh()
{
    RefreshScope refreshing(*this);
    SetDlgItemDouble(m_snr, GetDocument().GetMinSnrThreshold(), "%0.3f");
    SetFlag(kSnrEditing, false);
    uint32_t value = 0;
    // A failed read leaves the box as the user last saw it.
    if (ReadDeviceRegTQ8(GetDeviceHandle(), kRamBypassReg, &value, 3, 0) == 0)
        m_ramBypass->setChecked(value & 1u);
    m_dcmOverride->setChecked(GetAutoDcmResetOverrideTQ8(GetDeviceHandle(), 1) > 0);
}

void CForm_Troubleshooting::OnDocumentUpdate(IDocView*, int hint, void*)
{
    if (hint == dochint::kBoardSettings)
        Refresh();
}

void CForm_Troubleshooting::FillRegisterList(int bar)
{
    m_register->clear();
    if (bar == 0)
        AddAll(m_register, kDmaRegisters);
    else if (bar == 2)
        AddAll(m_register, kConfigRegisters);
    else
        AddAll(m_register, kDeviceRegisters);
    m_register->setCurrentIndex(0);
}

void CForm_Troubleshooting::OnBarSelChange()
{
    const int bar = m_bar->currentIndex();
    if (bar == m_lastBar)
        return;
    m_lastBar = bar;
    FillRegisterList(bar);
}

bool CForm_Troubleshooting::ReadBarAndRegister(int32_t& bar, uint32_t& reg)
{
    uint32_t barIndex = 0;
    if (!GetDlgItemUInt32(m_bar, barIndex) || barIndex > uint32_t(INT32_MAX)) {
        ShowInvalidNumberMessage(L"BAR index", m_bar);
        return false;
    }
    if (!GetDlgItemUInt32(m_register, reg)) {
        ShowInvalidNumberMessage(L"register index", m_register);
        return false;
    }
    bar = int32_t(barIndex);
    return true;
}

void CForm_Troubleshooting::OnRawWrite()
{
    int32_t bar = 0;
    uint32_t reg = 0;
    uint32_t value = 0;
    if (!ReadBarAndRegister(bar, reg))
        return;
    QWidget* valueField = Item(kValueId);
    if (!GetDlgItemUInt32(valueField, value)) {
        ShowInvalidNumberMessage(L"register value", valueField);
        return;
    }
    if (!CheckResult(_RawRegWriteTQ8(GetDeviceHandle(), bar, reg, value), kWriteFailed, true))
        return;
    ShowStatus(L"Device register written");
    // A raw write can move the clock as well as any other setting.
    GetDocument().NotifyBoardSettingsChanged();
}

void CForm_Troubleshooting::OnRawRead()
{
    int32_t bar = 0;
    uint32_t reg = 0;
    if (!ReadBarAndRegister(bar, reg))
        return;
    uint32_t value = 0;
    if (!CheckResult(_RawRegReadTQ8(GetDeviceHandle(), bar, reg, &value), L"Failed to read device register: ", true))
        return;
    char text[64];
    std::snprintf(text, sizeof text, "Reg %u: 0x%08X (%u)", reg, value, value);
    ItemAs<QLineEdit>(kResultId)->setText(QString::fromLatin1(text));
}

bool CForm_Troubleshooting::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_snr && LeavesField(event))
        OnSnrKillFocus();
    return CSettingFormView::eventFilter(watched, event);
}

void CForm_Troubleshooting::OnSnrChange()
{
    if (TestFlag(kRefreshing))
        return;
    SetFlag(kSnrEditing, true);
    ShowStatus(L"Editing minimum SNR threshold. Press ENTER to apply changes", 0);
}

void CForm_Troubleshooting::OnSnrKillFocus()
{
    if (!TestFlag(kSnrEditing))
        return;
    SetFlag(kSnrEditing, false);
    double value = 0;
    if (!ParseThreshold(GetDlgItemText(m_snr), value)) {
        vlt::ShowMessageBox(L"Bad minimum SNR value.", MB_ICONERROR, this);
        return;
    }
    GetDocument().SetMinSnrThreshold(value);
    ShowStatus(L"Minimum SNR threshold updated");
}

void CForm_Troubleshooting::OnStopCondition()
{
    auto* box = ItemAs<QCheckBox>(kStopOnThresholdId);
    if (!box->isChecked()) {
        GetDocument().SetStopOnThresholdChange(false, 0, 0, kMidscale);
        ShowStatus(L"Stop on threshold change disabled");
        return;
    }
    const int channel = ItemAs<QComboBox>(kStopChannelId)->currentIndex();
    uint32_t sample = 0;
    if (channel < 0 || channel > 3 || !GetDlgItemUInt32(Item(kStopSampleId), sample)) {
        vlt::ErrorBeep();
        return;
    }
    GetDocument().SetStopOnThresholdChange(true, channel, sample, kMidscale);
    ShowStatus(L"Stop on threshold change enabled");
}

void CForm_Troubleshooting::OnReadTimestamp()
{
    uint64_t value = 0;
    uint32_t count = 0;
    if (!CheckResult(ReadTimestampDataTQ8(GetDeviceHandle(), &value, 1, &count, 1, 0, nullptr),
                     L"Failed to read timestamps: ", true))
        return;
    if (count == 0) {
        vlt::ShowMessageBox(L"No timestamps available", MB_ICONINFORMATION, this);
        return;
    }
    ItemAs<QLineEdit>(kTimestampId)->setText(QString::number(qulonglong(value)));
}

void CForm_Troubleshooting::OnRamBypass()
{
    const bool on = m_ramBypass->isChecked();
    if (!CheckResult(WriteDeviceRegTQ8(GetDeviceHandle(), kRamBypassReg, 1, on ? 1 : 0, 0, 0, 0),
                     L"Failed to update RAM bypass: ", true)) {
        m_ramBypass->setChecked(!on);
        return;
    }
    ShowStatus(L"RAM bypass updated");
}

void CForm_Troubleshooting::OnSynchronizeAdcs()
{
    // A pulse: the bit goes back down only when it went up.
    int32_t result = WriteDeviceRegTQ8(GetDeviceHandle(), kAdcSyncReg, kAdcSyncBit, kAdcSyncBit, 0, 0, 0);
    if (result == 0)
        result = WriteDeviceRegTQ8(GetDeviceHandle(), kAdcSyncReg, kAdcSyncBit, 0, 0, 0, 0);
    if (CheckResult(result, L"Failed to synchronize ADCs: ", true))
        ShowStatus(L"ADCs synchronized");
}

void CForm_Troubleshooting::OnAdcOffsetAdjust()
{
    auto* channel = ItemAs<QComboBox>(kAdcId);
    if (channel->currentIndex() < 0) {
        vlt::ShowMessageBox(L"Please select a channel to adjust", MB_ICONERROR, this);
        channel->setFocus();
        return;
    }
    int32_t value = 0;
    if (!GetDlgItemInt32(Item(kAdcOffsetId), value) || value < -kMaxOffsetAdj || value > kMaxOffsetAdj) {
        vlt::ShowMessageBox(L"Please enter an integer in the range [-255,255] for [-45mV,+45mV] offset.",
                            MB_ICONERROR, this);
        return;
    }
    if (CheckResult(_SetAdcChanOffsetAdjTQ8(GetDeviceHandle(), channel->currentIndex(), value),
                    L"Failed to set ADC channel offset adjustment: ", true))
        ShowStatus(L"ADC channel offset adjustment applied");
}

void CForm_Troubleshooting::OnReadSdram()
{
    uint16_t word = 0;
    if (!CheckResult(InternReadConfigEepromTQ8(GetDeviceHandle(), kDelayWord, &word), L"Failed to read EEPROM: ",
                     true))
        return;
    ItemAs<QLabel>(kSdram1TapsId)->setText(QString::number(word & 0xFFu));
    ItemAs<QLabel>(kSdram2TapsId)->setText(QString::number(word >> 8));
}

bool CForm_Troubleshooting::ReadDelay(int id, const wchar_t* fieldName, uint32_t& delay)
{
    // Each delay has one byte of the EEPROM word and 8 bits of programming.
    if (GetDlgItemUInt32(Item(id), delay) && delay <= kMaxDelay)
        return true;
    ShowInvalidNumberMessage(fieldName, Item(id));
    return false;
}

void CForm_Troubleshooting::OnWriteSdram()
{
    uint32_t d1 = 0;
    uint32_t d2 = 0;
    if (!ReadDelay(kSdram1DelayId, L"Idelay sdram1", d1) || !ReadDelay(kSdram2DelayId, L"Idelay sdram2", d2))
        return;
    CWaitCursor wait;
    const uint16_t word = uint16_t(d2 * 256 + d1);
    if (CheckResult(InternWriteConfigEepromTQ8(GetDeviceHandle(), kDelayWord, word), kWriteFailed, true)) {
        ShowStatus(L"EEPROM register written");
        GetDocument().UpdateAllViews(dochint::kBoardSettings);
        WriteEepromChecksum();
    }
    ProgramSdramDelays(d1, d2);
}

bool CForm_Troubleshooting::WriteEepromChecksum()
{
    uint16_t sum = 0;
    for (uint32_t w = 0; w < kChecksumWord; ++w) {
        uint16_t value = 0;
        if (!CheckResult(InternReadConfigEepromTQ8(GetDeviceHandle(), w, &value),
                         L"Failed to read EEPROM for its checksum: ", true))
            return false;
        sum = uint16_t(sum + value);
    }
    return CheckResult(InternWriteConfigEepromTQ8(GetDeviceHandle(), kChecksumWord, sum),
                       L"Failed to write EEPROM checksum: ", true);
}

void CForm_Troubleshooting::ProgramSdramDelays(uint32_t d1, uint32_t d2)
{
    const TQ8_HANDLE device = GetDeviceHandle();
    _RawRegWriteTQ8(device, 1, kSdram1Reg, 0x800);
    for (uint32_t i = 0; i < (d1 & 0xFFu); ++i) {
        _RawRegWriteTQ8(device, 1, kSdram1Reg, 0x400);
        _RawRegWriteTQ8(device, 1, kSdram1Reg, 0x600);
    }
    _RawRegWriteTQ8(device, 1, kSdram2Reg, 0x8008006);
    for (uint32_t i = 0; i < (d2 & 0xFFu); ++i) {
        _RawRegWriteTQ8(device, 1, kSdram2Reg, 0x4008006);
        _RawRegWriteTQ8(device, 1, kSdram2Reg, 0x6008006);
    }
}

void CForm_Troubleshooting::OnWriteExtTriggerDelay()
{
    uint32_t taps = 0;
    if (!GetDlgItemUInt32(Item(kExtTriggerDelayId), taps)) {
        ShowInvalidNumberMessage(L"Idelay external trigger", Item(kExtTriggerDelayId));
        return;
    }
    CheckResult(WriteRegExternalTriggerClockIDelay(GetDeviceHandle(), taps), L"Failed to write external trigger delay ",
                true);
}

void CForm_Troubleshooting::OnNewVirtualDevice()
{
    CDeviceManagerTQ8* devices = GetDocument().GetDeviceManager();
    CMainApp* app = GetDocument().GetApp();
    if (!devices || !app)
        return;
    TQ8_HANDLE device = devices->ConnectVirtualDevice(0);
    if (!device) {
        vlt::ShowMessageBox(devices->GetLastErrorText(), MB_ICONERROR, this);
        return;
    }
    app->OpenDeviceDocument(device, docstate::kLimitPlotData);
}

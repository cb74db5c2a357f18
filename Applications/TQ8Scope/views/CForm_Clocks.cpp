#include "CForm_Clocks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "CVltHub6Mgr.h"
#include "CWaitCursor.h"
#include "ClocksFormRules.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "VltHUB6.h"

namespace {

constexpr CSettingFormView::ChoiceSetting kReference{
    GetInternalAdcClockReferenceTQ8, SetInternalAdcClockReferenceTQ8, L"ADC clock reference updated",
    L"Failed to change ADC clock reference: "};
// The troubleshooting switches are not board settings worth saving.
constexpr CSettingFormView::ChoiceSetting kPllDisable{_GetPllDisableTQ8, _SetPllDisableTQ8,
                                                      L"PLL disable troubleshooting setting updated",
                                                      L"Failed to set PLL disable: ", false, true};
constexpr CSettingFormView::ChoiceSetting kDcmOverride{GetAutoDcmResetOverrideTQ8, SetAutoDcmResetOverrideTQ8,
                                                       L"Auto DCM reset override updated",
                                                       L"Failed to set auto DCM reset override: ", false, true};
constexpr wchar_t kWaitingForPll[] = L"Waiting for PLL to lock...";
constexpr wchar_t kExternalRateFailure[] = L"Failed to set external clock rate: ";

QLabel* Label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

CForm_Clocks::CForm_Clocks(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    CreateControls();
}

CForm_Clocks::~CForm_Clocks() = default;

QSize CForm_Clocks::GetTemplateSize()
{
    return {560, 250};
}

void CForm_Clocks::CreateControls()
{
    auto* clocks = new QGroupBox(QStringLiteral("ADC clock selection"), this);
    auto* grid = new QGridLayout(clocks);
    m_source = AddItem(new QComboBox(clocks), kClockSourceId);
    m_source->addItems({QStringLiteral("Internal clock"), QStringLiteral("External clock")});
    m_internalRate = AddItem(new QLineEdit(clocks), kInternalRateId);
    m_reference = AddItem(new QComboBox(clocks), kReferenceId);
    m_reference->addItems({QStringLiteral("Internal 10MHz"), QStringLiteral("External (10MHz)")});
    m_externalRate = AddItem(new QLineEdit(clocks), kExternalRateId);
    m_dividers = AddItem(new QComboBox(clocks), kDividersId);
    grid->addWidget(Label(QStringLiteral("Clock &source:"), m_source, clocks), 0, 0);
    grid->addWidget(m_source, 0, 1, 1, 2);
    grid->addWidget(AddItem(Label(QStringLiteral("I&nternal clock rate:"), m_internalRate, clocks), kInternalRateLabelId), 1, 0);
    grid->addWidget(m_internalRate, 1, 1);
    grid->addWidget(AddItem(new QLabel(QStringLiteral("MHz  [200, 1500]"), clocks), kInternalRangeId), 1, 2);
    grid->addWidget(Label(QStringLiteral("&Reference clock:"), m_reference, clocks), 2, 0);
    grid->addWidget(m_reference, 2, 1, 1, 2);
    grid->addWidget(AddItem(Label(QStringLiteral("E&xternal clock rate:"), m_externalRate, clocks), kExternalRateLabelId), 3, 0);
    grid->addWidget(m_externalRate, 3, 1);
    grid->addWidget(AddItem(new QLabel(QStringLiteral("MHz  [200, 1500]"), clocks), kExternalRangeId), 3, 2);
    grid->addWidget(AddItem(Label(QStringLiteral("D&ivide ext. clock to:"), m_dividers, clocks), kDividersLabelId), 4, 0);
    grid->addWidget(m_dividers, 4, 1);
    grid->addWidget(AddItem(new QLabel(clocks), kDividerTextId), 4, 2);
    auto* fpgaSlave = AddItem(new QCheckBox(QStringLiteral("This device is an FPGA slave device"), clocks), kFpgaSlaveId);
    fpgaSlave->setEnabled(false);
    grid->addWidget(fpgaSlave, 5, 0, 1, 3);
    grid->setRowStretch(6, 1);

    // Post-ADC division is shown only, and not even that for now.
    auto* postAdc = new QGroupBox(QStringLiteral("Post-ADC emulated clock division"), this);
    auto* postGrid = new QGridLayout(postAdc);
    m_postAdc = AddItem(new QComboBox(postAdc), kPostAdcDividerId);
    m_postAdc->setEnabled(false);
    postGrid->addWidget(new QLabel(QStringLiteral("Effectively divide down to:"), postAdc), 0, 0);
    postGrid->addWidget(m_postAdc, 0, 1);
    postGrid->addWidget(AddItem(new QLabel(postAdc), kPostAdcTextId), 0, 2);
    postAdc->hide();

    auto* trouble = new QGroupBox(QStringLiteral("Troubleshooting"), this);
    auto* troubleLayout = new QVBoxLayout(trouble);
    auto* pll = AddItem(new QCheckBox(QStringLiteral("Disable internal clock PLL"), trouble), kPllDisableId);
    auto* dcm = AddItem(new QCheckBox(QStringLiteral("Enable auto DCM reset override"), trouble), kDcmOverrideId);
    auto* resetDcms = AddItem(new QPushButton(QStringLiteral("Reset DCMs Now"), trouble), kResetDcmsId);
    troubleLayout->addWidget(pll);
    troubleLayout->addWidget(dcm);
    troubleLayout->addWidget(resetDcms);
    troubleLayout->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(postAdc);
    right->addWidget(trouble);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(clocks, 2);
    layout->addLayout(right, 1);
    AddDefaultButton(kUpdateId, QStringLiteral("Update"), resetDcms);

    for (QLineEdit* edit : {m_internalRate, m_externalRate}) {
        edit->installEventFilter(this);
        ConnectEnter(edit);
    }
    connect(m_internalRate, &QLineEdit::textChanged, this, [this] {
        OnRateChanged(kEditingInternalRate, L"Editing internal clock rate. Press ENTER to apply changes");
    });
    connect(m_externalRate, &QLineEdit::textChanged, this, [this] {
        OnRateChanged(kEditingExternalRate, L"Editing external clock rate. Press ENTER to apply changes");
    });
    connect(m_source, &QComboBox::activated, this, &CForm_Clocks::OnClockSource);
    connect(m_reference, &QComboBox::activated, this, [this] { ApplyComboSetting(m_reference, kReference); });
    connect(m_dividers, &QComboBox::activated, this, &CForm_Clocks::OnDividers);
    connect(pll, &QCheckBox::clicked, this, [this, pll] { ApplyCheckSetting(pll, kPllDisable); });
    connect(dcm, &QCheckBox::clicked, this, [this, dcm] { ApplyCheckSetting(dcm, kDcmOverride); });
    connect(resetDcms, &QPushButton::clicked, this, &CForm_Clocks::OnResetDcms);
}

void CForm_Clocks::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    const TQ8_HANDLE device = GetDeviceHandle();
    const int32_t config = GetMasterSlaveConfigurationTQ8(device, 1);
    if (config == 2 || config == 3) {
        m_source->addItems({QStringLiteral("Slave #1"), QStringLiteral("Slave #2")});
        const int32_t source = GetAdcClockSourceTQ8(device, 1);
        m_source->setEnabled(source != TQ8_CLOCK_SLAVE1 && source != TQ8_CLOCK_SLAVE2);
    }
    Refresh();
}

bool CForm_Clocks::eventFilter(QObject* watched, QEvent* event)
{
    if (LeavesField(event)) {
        if (watched == m_internalRate)
            OnInternalRateKillFocus();
        else if (watched == m_externalRate)
            OnExternalRateKillFocus();
    }
    return CSettingFormView::eventFilter(watched, event);
}

void CForm_Clocks::Refresh()
{
    RefreshScope refreshing(*this);
    const TQ8_HANDLE device = GetDeviceHandle();
    m_source->setCurrentIndex(GetAdcClockSourceTQ8(device, 1));
    ApplyEnableRules();
    FillDividerList();
    FillPostAdcList();
    ShowDividers();
    double rate = 0.0;
    if (GetInternalAdcClockRateTQ8(device, &rate, 1) == 0)
        SetDlgItemDouble(m_internalRate, rate);
    else
        m_internalRate->clear();
    ShowExternalRate();
    m_reference->setCurrentIndex(GetInternalAdcClockReferenceTQ8(device, 1));
    ItemAs<QCheckBox>(kDcmOverrideId)->setChecked(GetAutoDcmResetOverrideTQ8(device, 1) > 0);
    ItemAs<QCheckBox>(kFpgaSlaveId)->setChecked(GetFpgaSlaveEnableTQ8(device, 1) > 0);
    ItemAs<QCheckBox>(kPllDisableId)->setChecked(_GetPllDisableTQ8(device, 1) > 0);
    const QString range = ToQt(clocksform::RateRangeText(GetAdcInterleaveEnableTQ8(device, 1) > 0));
    ItemAs<QLabel>(kInternalRangeId)->setText(range);
    ItemAs<QLabel>(kExternalRangeId)->setText(range);
    ShowExternalLabel();
}

void CForm_Clocks::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    switch (hint) {
    case dochint::kRelationsChanged:
    case dochint::kBoardSettings:
    case dochint::kClock: Refresh(); break;
    case dochint::kAcquisitionState: {
        m_busy = object != nullptr;
        const int32_t source = GetAdcClockSourceTQ8(GetDeviceHandle(), 1);
        // A slave clocked by its master keeps its source.
        const bool slaveSource = m_source->count() > 2 && (source == TQ8_CLOCK_SLAVE1 || source == TQ8_CLOCK_SLAVE2);
        m_source->setEnabled(!m_busy && !slaveSource);
        ApplyEnableRules();
        break;
    }
    case dochint::kMasterClock: OnMasterClock(static_cast<TQ8_HANDLE>(object)); break;
    case dochint::kSyncDevice: ShowExternalLabel(); break;
    default: break;
    }
}

void CForm_Clocks::OnRateChanged(uint32_t editingBit, const wchar_t* editingText)
{
    if (TestFlag(editingBit) || TestFlag(kRefreshing))
        return;
    ShowStatus(editingText, 0);
    SetFlag(editingBit, true);
}

void CForm_Clocks::AfterClockChange()
{
    FillPostAdcList();
    CMainDoc& doc = GetDocument();
    if (doc.IsMaster()) {
        doc.UpdateSlaveViews();
        SynchronizeAdcsTQ8(GetDeviceHandle());
        ShowStatus(L"Slave clocks updated and synchronized");
    }
    doc.NotifyClockChanged();
}

void CForm_Clocks::OnClockSource()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    const int source = m_source->currentIndex();
    int32_t result = SyncClockRefusal(source, GetExtClockDivider1TQ8(device, 1), GetExtClockDivider2TQ8(device, 1));
    if (result == 0) {
        CWaitCursor wait;
        if (source == TQ8_CLOCK_INTERNAL)
            ShowStatus(kWaitingForPll, 0);
        result = SetAdcClockSourceTQ8(device, source);
    }
    if (result != 0) {
        ShowStatus(L"");
        CheckResult(result, L"Failed to change ADC clock source: ");
        RefreshScope refreshing(*this);
        m_source->setCurrentIndex(GetAdcClockSourceTQ8(device, 1));
        return;
    }
    AfterClockChange();
    FillDividerList();
    ApplyEnableRules();
    ShowStatus(L"ADC clock source updated");
    SetModified();
}

void CForm_Clocks::OnInternalRateKillFocus()
{
    double typed = 0.0;
    if (!TakeTypedRate(m_internalRate, kEditingInternalRate, L"Please enter a valid acquisition rate", typed))
        return;
    const TQ8_HANDLE device = GetDeviceHandle();
    double current = 0.0;
    GetInternalAdcClockRateTQ8(device, &current, 1);
    if (KeepsRate(m_internalRate, kEditingInternalRate, typed, current))
        return;
    int32_t result = 0;
    {
        CWaitCursor wait;
        if (GetAdcClockSourceTQ8(device, 1) == TQ8_CLOCK_INTERNAL)
            ShowStatus(kWaitingForPll, 0);
        result = SetInternalAdcClockRateTQ8(device, typed);
    }
    if (result != 0) {
        // The waiting text must not outlive the attempt.
        ShowStatus(L"");
        CheckResult(result, L"Failed to set internal clock rate: ");
    } else {
        ShowStatus(L"Internal clock acqiusition rate updated");
        SetModified();
    }
    // The board may have moved even when the call failed.
    AfterClockChange();
    GetInternalAdcClockRateTQ8(device, &current, 1);
    ShowRateField(m_internalRate, kEditingInternalRate, current);
}

void CForm_Clocks::OnExternalRateKillFocus()
{
    const bool sync = GetDocument().HasSyncOutput();
    const std::wstring invalid =
        std::wstring(L"Please enter a valid ") + (sync ? L"HUB3300" : L"external") + L" clock rate in MHz";
    double typed = 0.0;
    if (!TakeTypedRate(m_externalRate, kEditingExternalRate, invalid.c_str(), typed))
        return;
    if (sync) {
        ApplySyncDeviceRate(typed);
        return;
    }
    const TQ8_HANDLE device = GetDeviceHandle();
    double current = 0.0;
    GetExternalClockRateTQ8(device, &current, 1);
    if (KeepsRate(m_externalRate, kEditingExternalRate, typed, current))
        return;
    if (CheckResult(SetExternalClockRateTQ8(device, typed), kExternalRateFailure)) {
        AfterClockChange();
        FillDividerList();
        ShowStatus(L"External clock rate updated");
        SetModified();
    }
    GetExternalClockRateTQ8(device, &current, 1);
    ShowRateField(m_externalRate, kEditingExternalRate, current);
}

bool CForm_Clocks::TakeTypedRate(QLineEdit* edit, uint32_t editingBit, const wchar_t* invalidText, double& typed)
{
    if (!TestFlag(editingBit))
        return false;
    SetFlag(editingBit, false);
    // Non-finite rates ("nan", "inf") are refused here too.
    if (GetDlgItemDouble(edit, typed))
        return true;
    vlt::ShowMessageBox(invalidText, MB_ICONERROR, this);
    edit->setFocus(Qt::OtherFocusReason);
    return false;
}

bool CForm_Clocks::KeepsRate(QLineEdit* edit, uint32_t editingBit, double typed, double current)
{
    if (typed != current)
        return false;
    ShowRateField(edit, editingBit, current);
    ShowStatus(L"");
    return true;
}

void CForm_Clocks::ApplySyncDeviceRate(double typed)
{
    CVltHub6Mgr* manager = GetDocument().SyncManager();
    CVltHub6Mgr::CSyncInst* inst = manager ? manager->FindInstance(GetDocument().GetSyncDeviceId()) : nullptr;
    IVltHUB6* object = inst ? inst->GetObject() : nullptr;
    double current = 0.0;
    if (!object || FAILED(object->GetDeviceClockRate(&current))) {
        // The unit went away meanwhile: show what there is now.
        Refresh();
        return;
    }
    if (KeepsRate(m_externalRate, kEditingExternalRate, typed, current))
        return;
    SetFlag(kEditingExternalRate, true);
    const bool set = inst->SetClockRate(typed);
    SetFlag(kEditingExternalRate, false);
    if (set) {
        ShowStatus(L"HUB3300 clock rate updated");
        SetModified();
        return;
    }
    const std::wstring text = kHub6RateRefusedContext + manager->GetLastErrorText();
    object->GetDeviceClockRate(&current);
    ShowRateField(m_externalRate, kEditingExternalRate, current);
    vlt::ShowMessageBox(text, MB_ICONERROR, this);
}

void CForm_Clocks::OnMasterClock(TQ8_HANDLE master)
{
    if (!GetDocument().IsSlave())
        return;
    double rate = 0.0;
    if (GetActualAdcAcqRateTQ8(master, &rate) != 0)
        return;
    double before = 0.0;
    const bool changed = GetExternalClockRateTQ8(GetDeviceHandle(), &before, 1) != 0 || before != rate;
    // A slave that did not take the rate keeps showing what it runs at.
    if (!CheckResult(SetExternalClockRateTQ8(GetDeviceHandle(), rate), kExternalRateFailure, true))
        return;
    {
        RefreshScope refreshing(*this);
        m_externalRate->setText(QStringLiteral("Master: ") + ToQt(clocksform::RateText(rate)));
    }
    NotifyOtherViews(dochint::kClock);
    // The master's other changes reach the slaves too; only a new rate is a change.
    if (changed)
        SetModified();
}

void CForm_Clocks::OnDividers()
{
    const QVariant data = m_dividers->currentData();
    if (m_dividers->currentIndex() < 0 || !data.isValid())
        return;
    const auto packed = uint32_t(data.toUInt());
    const auto div1 = int32_t(clocksform::Divider1(packed));
    const auto div2 = int32_t(clocksform::Divider2(packed));
    const TQ8_HANDLE device = GetDeviceHandle();
    int32_t result = SyncClockRefusal(GetAdcClockSourceTQ8(device, 1), div1, div2);
    if (result == 0)
        result = SetExtClockDividersTQ8(device, div1, div2);
    if (!CheckResult(result, L"Failed to set clock dividers: ")) {
        RefreshScope refreshing(*this);
        FillDividerList();
        return;
    }
    // The dividers set the acquisition rate as much as the clock does: the
    // other views and a master's slaves follow.
    AfterClockChange();
    ShowDividers();
    ShowStatus(L"Clock dividers updated (div1:" + std::to_wstring(div1) + L", div2:" + std::to_wstring(div2) + L")");
    SetModified();
}

// A board on its sync device's clock runs at what the unit gives it: a
// source or dividers that would take it outside its rates are refused, as a
// unit rate that would is.
int32_t CForm_Clocks::SyncClockRefusal(int32_t source, int32_t divider1, int32_t divider2) const
{
    CMainDoc& doc = GetDocument();
    CVltHub6Mgr* manager = doc.HasSyncOutput() ? doc.SyncManager() : nullptr;
    const CVltHub6Mgr::CSyncInst* inst = manager ? manager->FindInstance(doc.GetSyncDeviceId()) : nullptr;
    return inst ? inst->ClockRefusal(GetDeviceHandle(), source, divider1, divider2) : 0;
}

void CForm_Clocks::OnResetDcms()
{
    if (CheckResult(SyncFirmwareToAdcClockTQ8(GetDeviceHandle(), 1), L"Failed to reset DCMs: ", true))
        ShowStatus(L"DCMs reset");
}

void CForm_Clocks::FillDividerList()
{
    m_dividers->clear();
    const TQ8_HANDLE device = GetDeviceHandle();
    if (GetAdcClockSourceTQ8(device, 1) != TQ8_CLOCK_EXTERNAL)
        return;
    double rate = 0.0;
    GetExternalClockRateTQ8(device, &rate, 1);
    const std::vector<clocksform::DividerItem> items = clocksform::DividerListItems(rate);
    for (const clocksform::DividerItem& item : items)
        m_dividers->addItem(ToQt(item.text), QVariant::fromValue(item.packed));
    m_dividers->setCurrentIndex(clocksform::DividerSelection(items, uint32_t(GetExtClockDivider1TQ8(device, 1)),
                                                             uint32_t(GetExtClockDivider2TQ8(device, 1))));
}

void CForm_Clocks::FillPostAdcList()
{
    m_postAdc->clear();
    for (const std::wstring& item : clocksform::PostAdcItems(GetDocument().GetAcquisitionRate(true)))
        m_postAdc->addItem(ToQt(item));
    const int32_t divider = GetPostAdcClockDividerTQ8(GetDeviceHandle(), 1);
    m_postAdc->setCurrentIndex(divider >= 0 && divider <= 5 ? divider : -1);
    ItemAs<QLabel>(kPostAdcTextId)->setText(divider >= 0 && divider <= 5 ? QStringLiteral("÷ %1").arg(1u << divider)
                                                               : QString());
}

void CForm_Clocks::ShowDividers()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    const int32_t div1 = GetExtClockDivider1TQ8(device, 1);
    const int32_t div2 = GetExtClockDivider2TQ8(device, 1);
    ItemAs<QLabel>(kDividerTextId)->setText(div1 > 0 && div2 > 0 ? ToQt(clocksform::DividerText(uint32_t(div1), uint32_t(div2)))
                                                       : QString());
}

void CForm_Clocks::ShowExternalRate()
{
    double rate = 0.0;
    bool read = false;
    if (GetDocument().HasSyncOutput()) {
        IVltHUB6* sync = GetDocument().GetSyncDeviceObject();
        read = sync && SUCCEEDED(sync->GetDeviceClockRate(&rate));
    } else {
        read = GetExternalClockRateTQ8(GetDeviceHandle(), &rate, 1) == 0;
    }
    QString text;
    if (read) {
        text = ToQt(clocksform::RateText(rate));
        if (GetDocument().IsSlave() && HasAssignedMaster())
            text.prepend(QStringLiteral("Master: "));
    }
    m_externalRate->setText(text);
}

void CForm_Clocks::ShowRateField(QLineEdit* edit, uint32_t editingBit, double rate)
{
    // Written with the editing bit set, so that it starts no edit.
    SetFlag(editingBit, true);
    SetDlgItemDouble(edit, rate);
    SetFlag(editingBit, false);
}

void CForm_Clocks::ShowExternalLabel()
{
    ItemAs<QLabel>(kExternalRateLabelId)->setText(GetDocument().HasSyncOutput() ? QStringLiteral("HUB3300 clock rate:")
                                                                : QStringLiteral("E&xternal clock rate:"));
}

bool CForm_Clocks::HasAssignedMaster() const
{
    CDeviceManagerTQ8* devices = GetDocument().GetDeviceManager();
    return devices && devices->GetMaster(GetDeviceHandle()) != nullptr;
}

void CForm_Clocks::ApplyEnableRules()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    const clocksform::Enables on = clocksform::DecideEnables(
        GetAdcClockSourceTQ8(device, 1), GetMasterSlaveConfigurationTQ8(device, 1), HasAssignedMaster());
    for (int id : {kInternalRateLabelId, kInternalRateId, kInternalRangeId, kReferenceId})
        Item(id)->setEnabled(on.internal && !m_busy);
    for (int id : {kExternalRateLabelId, kExternalRateId, kExternalRangeId})
        Item(id)->setEnabled(on.external && !m_busy);
    for (int id : {kDividersLabelId, kDividerTextId, kDividersId})
        Item(id)->setEnabled(on.divider && !m_busy);
    ShowExternalLabel();
}

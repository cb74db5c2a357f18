#include "CForm_Timestamps.h"

#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CMainDoc.h"
#include "CVltEditBrowseCtrl.h"
#include "CWaitCursor.h"
#include "ErrorBox.h"
#include "TextConv.h"
#include "TimestampFiles.h"

namespace {

constexpr CSettingFormView::ChoiceSetting kMode{GetTimestampModeTQ8, SetTimestampModeTQ8, L"Timestamp mode updated",
                                                L"Failed to change timestamp mode: "};
constexpr CSettingFormView::ChoiceSetting kCounterMode{GetTimestampCounterModeTQ8, SetTimestampCounterModeTQ8,
                                                       L"Timestamp counter mode updated",
                                                       L"Failed to change timestamp counter mode: "};
constexpr wchar_t kFilter[] = L"TQ3300 Timestamp Files (*.tq8ts)|*.tq8ts|TQ3300 Text Timestamp Files "
                              L"(*.tq8ts.txt)|*.tq8ts.txt|Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr uint32_t kDefaultDepth = 2048;

std::wstring Plural(uint32_t count)
{
    return count == 1 ? L"" : L"s";
}

uint32_t FifoDepth(TQ8_HANDLE device)
{
    uint32_t depth = kDefaultDepth;
    GetTimestampFifoDepthTQ8(device, &depth);
    return depth;
}

} // namespace

CForm_Timestamps::CForm_Timestamps(CMainDoc& doc, QWidget* parent) : CSettingFormView(kTemplateId, doc, parent)
{
    CreateControls();
}

CForm_Timestamps::~CForm_Timestamps() = default;

QSize CForm_Timestamps::GetTemplateSize()
{
    return {600, 250};
}

void CForm_Timestamps::CreateControls()
{
    auto* modes = new QWidget(this);
    auto* modeGrid = new QGridLayout(modes);
    modeGrid->setContentsMargins(0, 0, 0, 0);
    m_mode = AddItem(new QComboBox(modes), kModeId);
    m_mode->addItems({QStringLiteral("No timestamps"), QStringLiteral("Timestamp per segment"),
                      QStringLiteral("Timestamp per trigger"), QStringLiteral("Timestamp per digital IO pulse")});
    m_counterMode = AddItem(new QComboBox(modes), kCounterModeId);
    m_counterMode->addItems({QStringLiteral("Increments unconditionally"),
                             QStringLiteral("Pauses when waiting for trigger")});
    auto* modeLabel = new QLabel(QStringLiteral("Timestamp &mode:"), modes);
    modeLabel->setBuddy(m_mode);
    auto* counterLabel = new QLabel(QStringLiteral("TS &counter mode:"), modes);
    counterLabel->setBuddy(m_counterMode);
    auto* drain = AddItem(new QPushButton(QStringLiteral("D&rain Timestamps FIFO Now"), modes), kDrainId);
    modeGrid->addWidget(modeLabel, 0, 0);
    modeGrid->addWidget(m_mode, 0, 1);
    modeGrid->addWidget(counterLabel, 1, 0);
    modeGrid->addWidget(m_counterMode, 1, 1);
    modeGrid->addWidget(drain, 2, 0);
    modeGrid->addWidget(new QLabel(QStringLiteral("Reset all timestamp data by reading from FIFO"), modes), 2, 1);
    modeGrid->addWidget(new QLabel(QStringLiteral("Timestamp FIFO depth:"), modes), 3, 0);
    modeGrid->addWidget(AddItem(new QLabel(modes), kFifoDepthId), 3, 1);

    // Troubleshooting resets, for unsafe mode only.
    auto* trouble = AddItem(new QGroupBox(QStringLiteral("Troubleshooting"), modes), kTroubleshootingId);
    auto* troubleLayout = new QHBoxLayout(trouble);
    auto* resetFifo = AddItem(new QPushButton(QStringLiteral("Reset FIFO only"), trouble), kResetFifoId);
    auto* resetCounter = AddItem(new QPushButton(QStringLiteral("Reset Counter Only"), trouble), kResetCounterId);
    troubleLayout->addWidget(resetFifo);
    troubleLayout->addWidget(resetCounter);
    for (QWidget* w : {static_cast<QWidget*>(trouble), static_cast<QWidget*>(resetFifo),
                       static_cast<QWidget*>(resetCounter)}) {
        w->setEnabled(false);
        w->hide();
    }
    modeGrid->addWidget(trouble, 4, 0, 1, 2);
    modeGrid->setRowStretch(5, 1);

    auto* save = new QGroupBox(QStringLiteral("Save timestamp data to file"), this);
    auto* saveGrid = new QGridLayout(save);
    m_destination = AddItem(new CVltEditBrowseCtrl(save), kDestinationId);
    auto* destLabel = new QLabel(QStringLiteral("&Destination file:"), save);
    destLabel->setBuddy(m_destination->Edit());
    auto* saveNow = AddItem(new QPushButton(QStringLiteral("Save &Now"), save), kSaveNowId);
    m_asText = AddItem(new QCheckBox(QStringLiteral("Save as te&xt (newline-delimited values)"), save), kAsTextId);
    auto* explanation = AddItem(new QLabel(save), kExplanationId);
    explanation->setWordWrap(true);
    auto* automatic = new QLabel(QStringLiteral("Timestamp data can also be automatically saved when recording or "
                                                "saving TQ3300 acquisition data to disk; see Advanced Options for "
                                                "respective operation"),
                                 save);
    automatic->setWordWrap(true);
    saveGrid->addWidget(destLabel, 0, 0);
    saveGrid->addWidget(m_destination, 0, 1);
    saveGrid->addWidget(saveNow, 0, 2);
    saveGrid->addWidget(m_asText, 1, 1, 1, 2);
    saveGrid->addWidget(explanation, 2, 0, 1, 3);
    saveGrid->addWidget(automatic, 3, 0, 1, 3);
    saveGrid->setRowStretch(4, 1);
    saveGrid->setColumnStretch(1, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(modes, 2);
    layout->addWidget(save, 3);

    connect(m_mode, &QComboBox::activated, this, [this] { ApplyComboSetting(m_mode, kMode); });
    connect(m_counterMode, &QComboBox::activated, this, [this] { ApplyComboSetting(m_counterMode, kCounterMode); });
    connect(drain, &QPushButton::clicked, this, &CForm_Timestamps::OnDrain);
    connect(saveNow, &QPushButton::clicked, this, &CForm_Timestamps::OnSaveNow);
    connect(m_destination->Edit(), &QLineEdit::textChanged, this, &CForm_Timestamps::ApplySaveNowRule);
    connect(resetFifo, &QPushButton::clicked, this, [this] {
        if (CheckResult(ResetTimestampFifoTQ8(GetDeviceHandle()), L"Failed to reset timestamp FIFO: ", true))
            ShowStatus(L"Timestamp FIFO reset");
    });
    connect(resetCounter, &QPushButton::clicked, this, [this] {
        if (CheckResult(ResetTimestampCounterTQ8(GetDeviceHandle()), L"Failed to reset timestamp counter: ", true))
            ShowStatus(L"Timestamp counter reset");
    });
}

void CForm_Timestamps::OnInitialUpdate()
{
    CSettingFormView::OnInitialUpdate();
    SelectModes();
    ItemAs<QLabel>(kExplanationId)->setText(QStringLiteral(
        "Select Save Now to save timestamp data from the last data acquisition. During acquisition, timestamps are "
        "stored according to the current timestamp mode in an onboard FIFO on the TQ3300. This FIFO is reset "
        "whenever an acquisition operating mode is entered."));
    ItemAs<QLabel>(kFifoDepthId)->setText(QStringLiteral("%1 timestamps").arg(FifoDepth(GetDeviceHandle())));
    ApplySaveNowRule();
    m_destination->EnableFileBrowseButton(L"", kFilter);
    m_destination->SetOpenMode(0);
    m_destination->SetDialogTitle(L"Save Timestamp Data");
    m_destination->SetBrowseCallback(&CForm_Timestamps::BeforeBrowse, reinterpret_cast<intptr_t>(this));
    if (GetDocument().IsUnsafeMode()) {
        for (int id : {kTroubleshootingId, kResetFifoId, kResetCounterId}) {
            Item(id)->setEnabled(true);
            Item(id)->show();
        }
    }
}

int32_t CForm_Timestamps::BeforeBrowse(intptr_t form, CVltEditBrowseCtrl* control)
{
    const bool asText = reinterpret_cast<CForm_Timestamps*>(form)->m_asText->isChecked();
    control->EnableFileBrowseButton(asText ? L"tq8ts.txt" : L"tq8ts", kFilter);
    control->SetFilterIndex(asText ? 2 : 1);
    return 1;
}

void CForm_Timestamps::SelectModes()
{
    RefreshScope refreshing(*this);
    m_mode->setCurrentIndex(GetTimestampModeTQ8(GetDeviceHandle(), 1));
    m_counterMode->setCurrentIndex(GetTimestampCounterModeTQ8(GetDeviceHandle(), 1));
}

void CForm_Timestamps::ApplySaveNowRule()
{
    Item(kSaveNowId)->setEnabled(!m_destination->Edit()->text().isEmpty() && m_destination->isEnabled());
}

void CForm_Timestamps::OnSaveNow()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    if (IsDeviceVirtualTQ8(device) != 0) {
        vlt::ShowMessageBox(L"TQ3300 is virtual, no timestamp data exists", MB_ICONERROR, this);
        return;
    }
    const std::wstring path = TimestampSavePath(m_destination->GetText(), m_asText->isChecked());
    if (path.empty())
        return;
    const int32_t available = GetTimestampAvailabilityTQ8(device);
    if (available < 0) {
        ShowDeviceErrorBox(available, L"Failed to read timestamp FIFO: ", device);
        return;
    }
    if (available == 0) {
        vlt::ShowMessageBox(L"Timestamp FIFO is empty; no timestamp data is available", MB_ICONINFORMATION, this);
        return;
    }
    const bool overflow = GetTimestampOverflowFlagTQ8(device) >= 1;
    std::vector<uint64_t> buffer(kTimestampBlock);
    const TimestampSaveResult result =
        SaveTimestamps(vlt::WideToUtf8(path), m_asText->isChecked(), DeviceTimestampFifo(device), buffer);
    if (result.status != TimestampSaveResult::Saved) {
        ShowSaveFailure(result);
        return;
    }
    std::wstring text = L"Wrote " + std::to_wstring(result.count) + L" timestamp" + Plural(result.count) +
                        L" to output file";
    if (overflow)
        text += L"\n\nWarning: Timestamp FIFO was full; one or more timestamps could have been missed.";
    vlt::ShowMessageBox(text, MB_ICONINFORMATION, this);
}

void CForm_Timestamps::ShowSaveFailure(const TimestampSaveResult& result)
{
    switch (result.status) {
    case TimestampSaveResult::OpenFailed:
        ShowSystemErrorBox(result.systemError, L"Failed to open timestamp output file: ");
        break;
    case TimestampSaveResult::WriteFailed:
        ShowSystemErrorBox(result.systemError, L"Failed to write timestamp data: ");
        break;
    default: ShowDeviceErrorBox(result.readCode, L"Failed to read timestamp FIFO: ", GetDeviceHandle()); break;
    }
}

void CForm_Timestamps::OnDrain()
{
    const TQ8_HANDLE device = GetDeviceHandle();
    TimestampDrainResult result;
    {
        CWaitCursor wait;
        result = DrainTimestamps(DeviceTimestampFifo(device), FifoDepth(device));
    }
    if (result.readCode != 0) {
        ShowDeviceErrorBox(result.readCode, L"Failed to read timestamps: ", device);
        return;
    }
    vlt::ShowMessageBox(L"Drained " + std::to_wstring(result.count) + L" timestamp" + Plural(result.count) +
                            L" from timestamp FIFO",
                        MB_ICONINFORMATION, this);
}

void CForm_Timestamps::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    switch (hint) {
    case dochint::kAcquisitionState:
        for (QWidget* w : {static_cast<QWidget*>(m_mode), static_cast<QWidget*>(m_destination), Item(kSaveNowId),
                           static_cast<QWidget*>(m_asText)})
            w->setEnabled(object == nullptr);
        if (!object)
            ApplySaveNowRule();
        break;
    case dochint::kBoardSettings: SelectModes(); break;
    case dochint::kBeforeWorkspaceSave: StoreWorkspaceState(); break;
    case dochint::kAfterWorkspaceLoad: RestoreWorkspaceState(); break;
    default: break;
    }
}

void CForm_Timestamps::StoreWorkspaceState()
{
    CMainDocWsData& ws = GetDocument().GetWsData();
    const std::wstring file = m_destination->GetText();
    const int32_t asText = m_asText->isChecked() ? 1 : 0;
    if (ws.TsDestFile == file && ws.TsSaveAsText == asText)
        return;
    ws.TsDestFile = file;
    ws.TsSaveAsText = asText;
    SetModified();
}

void CForm_Timestamps::RestoreWorkspaceState()
{
    const CMainDocWsData& ws = GetDocument().GetWsData();
    m_destination->SetText(ws.TsDestFile);
    m_asText->setChecked(ws.TsSaveAsText != 0);
}

#include "CForm_Action.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "CDeviceManagerTQ8.h"
#include "CLabel.h"
#include "CMainApp.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CSysLink.h"
#include "CVltHub6Mgr.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "TimerSet.h"
#include "ValueFormat.h"

namespace {

constexpr unsigned kStatusMs = 2500;
constexpr uint32_t kActivityRunning = 0x1;
constexpr uint32_t kRateRunning = 0x2;
constexpr uint32_t kSelectControllerFlags = CDeviceManagerTQ8::kSelSingle | CDeviceManagerTQ8::kSelAlwaysAsk |
                                            CDeviceManagerTQ8::kSelNoDeviceRow;
constexpr wchar_t kSelectControllerPrompt[] = L"Please select a controller for this device. When a controller "
                                              L"acquires data, all controlled devices will also acquire.";

} // namespace

CForm_Action::CForm_Action(CMainDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_timers(new vlt::TimerSet([this](unsigned id) { OnTimer(id); }, this))
{
    m_doc.AddView(this);
    CreateControls();
}

CForm_Action::~CForm_Action()
{
    if (m_doc.GetActionForm() == this)
        m_doc.SetActionForm(nullptr);
    m_doc.RemoveView(this);
}

QSize CForm_Action::GetTemplateSize()
{
    return {236, 300};
}

void CForm_Action::CreateControls()
{
    auto* placeholder = WithId(new QLabel(QStringLiteral("TQ3300 #123456"), this), kBoardNameId);
    placeholder->hide();
    auto* layout = new QVBoxLayout(this);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(new QLabel(QStringLiteral("Acquisition rate:"), this));
    m_rate = WithId(new QLabel(this), kRateId);
    rateRow->addWidget(m_rate, 1);
    layout->addLayout(rateRow);
    m_startStop = WithId(new QPushButton(QStringLiteral("&Acquire and Display Data"), this), kStartStopId);
    auto* record = WithId(new QPushButton(QStringLiteral("Record Data..."), this), kRecordId);
    m_forceTrigger = WithId(new QCheckBox(QStringLiteral("Always force trigger"), this), kAlwaysForceTriggerId);
    m_continuous = WithId(new QCheckBox(QStringLiteral("Acquire continuously"), this), kContinuousId);
    m_perSecond = WithId(new QLabel(this), kPerSecondId);
    auto* standby = WithId(new QPushButton(QStringLiteral("Standby Mode"), this), kStandbyId);
    auto* trigger = WithId(new QPushButton(QStringLiteral("Force Trigger"), this), kForceTriggerId);
    for (QWidget* w : {static_cast<QWidget*>(m_startStop), static_cast<QWidget*>(record),
                       static_cast<QWidget*>(m_forceTrigger), static_cast<QWidget*>(m_continuous),
                       static_cast<QWidget*>(m_perSecond)})
        layout->addWidget(w);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(standby);
    buttons->addWidget(trigger);
    layout->addLayout(buttons);
    auto* links = new QGridLayout;
    m_controllerLink = WithId(new CSysLink(this), kControllerLinkId);
    m_controllerLink->SetMarkup(L"None");
    m_syncLink = WithId(new CSysLink(this), kSyncLinkId);
    m_syncLink->SetMarkup(L"None");
    links->addWidget(WithId(new QLabel(QStringLiteral("Controller for this device:"), this), kControllerLabelId), 0, 0);
    links->addWidget(m_controllerLink, 1, 0);
    links->addWidget(WithId(new QLabel(QStringLiteral("External synchronization device:"), this), kSyncLabelId), 2, 0);
    links->addWidget(m_syncLink, 3, 0);
    layout->addLayout(links);
    layout->addStretch(1);

    connect(m_startStop, &QPushButton::clicked, this, &CForm_Action::OnStartStop);
    connect(record, &QPushButton::clicked, this, [this] {
        if (CMainFrame* frame = MainFrame())
            frame->ShowRecordingWindow(false);
    });
    // Standby is best effort: its result is not reported.
    connect(standby, &QPushButton::clicked, this, [this] { SetOperatingModeTQ8(m_device, TQ8_MODE_STANDBY); });
    connect(trigger, &QPushButton::clicked, this, &CForm_Action::OnSoftwareTrigger);
    connect(m_forceTrigger, &QCheckBox::clicked, this, [this](bool on) { m_doc.SetAlwaysForceTrigger(on); });
    connect(m_controllerLink, &CSysLink::linkClicked, this, &CForm_Action::OnControllerLink);
    connect(m_syncLink, &CSysLink::linkClicked, this, &CForm_Action::OnSyncLink);
}

QWidget* CForm_Action::Item(int id) const
{
    return findChild<QWidget*>(QString::number(id));
}

CMainFrame* CForm_Action::MainFrame() const
{
    return m_doc.GetApp() ? m_doc.GetApp()->GetMainFrame() : nullptr;
}

void CForm_Action::OnInitialUpdate()
{
    m_doc.SetActionForm(this);
    m_device = m_doc.GetDeviceHandle();
    CreateNameLabel();
    ShowControllerLink();
    if (!m_controllerLink->isHidden())
        RefreshControllerLink();
    ShowRate();
    if (GetSyncConfigurationTQ8(m_device, 1) == 1) {
        RefreshSyncLink();
    } else {
        for (QWidget* w : {Item(kSyncLinkId), Item(kSyncLabelId)}) {
            w->setEnabled(false);
            w->hide();
        }
    }
    m_forceTrigger->setChecked(m_doc.IsAlwaysForceTrigger());
}

void CForm_Action::CreateNameLabel()
{
    // The placeholder's place: the top of the pane, across its width.
    const QMargins margins = layout()->contentsMargins();
    const int width = GetTemplateSize().width() - margins.left() - margins.right();
    const QString text = ToQt(m_doc.GetDeviceDisplayName(true));
    m_nameLabel = new CLabel;
    if (!m_nameLabel->Create(text, SS_CENTER | SS_CENTERIMAGE, QRect(0, 0, width, 28), this, kBoardNameId)) {
        delete m_nameLabel;
        m_nameLabel = nullptr;
        return;
    }
    m_nameLabel->setMinimumHeight(28);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_nameLabel);
    const QPalette& palette = QApplication::palette();
    m_nameLabel->SetBkColor(palette.color(QPalette::Active, QPalette::Highlight));
    m_nameLabel->SetTextColor(palette.color(QPalette::Active, QPalette::HighlightedText));
    QFont font = QApplication::font();
    font.setBold(true);
    const int tenths = actionform::FitLabelFontTenths(width, [&](int size) {
        font.setPointSizeF(size / 10.0);
        return QFontMetrics(font).horizontalAdvance(text);
    });
    if (tenths != 0) {
        font.setPointSizeF(tenths / 10.0);
        m_nameLabel->setFont(font);
    }
}

void CForm_Action::ShowControllerLink()
{
    CDeviceManagerTQ8* devices = m_doc.GetDeviceManager();
    const bool shown = devices && devices->GetDeviceCount() > 1;
    Item(kControllerLabelId)->setVisible(shown);
    Item(kControllerLabelId)->setEnabled(shown);
    m_controllerLink->setVisible(shown);
    // A busy board's link stays disabled until its acquisition ends.
    m_controllerLink->setEnabled(shown && !m_busy);
}

void CForm_Action::RefreshControllerLink()
{
    std::wstring name;
    const TQ8_HANDLE controller = m_doc.GetControllerDevice();
    if (controller)
        name = m_doc.GetDeviceDisplayName(true, controller);
    m_controllerLink->SetMarkup(actionform::ControllerLinkText(m_doc.IsController(), controller ? &name : nullptr));
    ShowStartButton();
}

// The role may change while the board acquires (a board of its group
// closed): the running state stays shown until the acquisition ends.
void CForm_Action::ShowStartButton()
{
    const bool controlled = m_doc.IsControlled();
    m_continuous->setEnabled(!controlled && !m_busy);
    m_startStop->setEnabled(!controlled);
    m_startStop->setText(controlled ? QStringLiteral("Controlled Device")
                                    : ToQt(actionform::StartButtonCaption(m_busy, m_doc.IsRecording(),
                                                                          m_continuous->isChecked())));
}

void CForm_Action::RefreshSyncLink()
{
    const int32_t id = m_doc.GetSyncDeviceId();
    std::wstring name;
    if (CVltHub6Mgr* manager = m_doc.SyncManager())
        if (const CVltHub6Mgr::CSyncInst* inst = manager->FindInstance(id))
            name = inst->GetName();
    const bool installed = id == 0 && IsHub6SoftwareInstalled();
    m_syncLink->SetMarkup(actionform::SyncLinkText(id, name, m_doc.GetSyncOutputIndex(), installed));
}

void CForm_Action::ShowRate()
{
    m_rate->setText(ToQt(FormatFrequencyMHz(m_doc.GetAcquisitionRate(false))));
}

void CForm_Action::SetAcquisitionActiveTimer(unsigned ms)
{
    if (ms == 0) {
        m_timers->KillTimer(kActivityTimer);
        m_timerFlags &= ~kActivityRunning;
        m_deadline.reset();
        return;
    }
    if (!(m_timerFlags & kActivityRunning)) {
        m_timers->SetTimer(kActivityTimer, kActivityPeriodMs);
        m_timerFlags |= kActivityRunning;
    }
    m_deadline = actionform::Clock::now() + std::chrono::milliseconds(ms);
}

bool CForm_Action::IsAcquireContinuouslyChecked() const
{
    return m_continuous->isChecked();
}

void CForm_Action::SetAcquireContinuouslyChecked(bool on)
{
    m_continuous->setChecked(on);
}

void CForm_Action::OnTimer(unsigned id)
{
    if (id == kActivityTimer) {
        if (actionform::DeadlineReached(m_deadline, actionform::Clock::now())) {
            SetAcquisitionActiveTimer(0);
            m_doc.MarkAcquisitionActive();
        }
    } else if (id == kRateTimer) {
        const uint32_t count = m_doc.GetAcquisitionCount();
        const uint32_t perSecond = actionform::AcquisitionsSince(count, m_lastCount);
        m_lastCount = count;
        m_perSecond->setText(ToQt(actionform::RateText(perSecond)));
    }
}

void CForm_Action::OnStartStop()
{
    if (m_doc.IsRecording()) {
        if (CMainFrame* frame = MainFrame())
            frame->StopRecording();
    } else if (m_doc.GetStateFlags() & docstate::kBusy) {
        m_doc.StopAcquisition();
    } else if (m_doc.IsIdle()) {
        if (!m_doc.StartAcquisition(nullptr))
            m_doc.SetContinuousMode(false, true, true);
    } else {
        vlt::ErrorBeep();
    }
}

void CForm_Action::OnSoftwareTrigger()
{
    const int32_t result = IssueSoftwareTriggerTQ8(m_device);
    if (result != 0)
        ShowDeviceErrorBox(result, L"Failed to issue software trigger: ", m_device, MB_ICONERROR);
    else
        m_doc.ShowStatusText(L"Software trigger event issued", kStatusMs);
}

void CForm_Action::OnControllerLink(int index)
{
    CDeviceManagerTQ8* devices = m_doc.GetDeviceManager();
    if (index != 0 || !devices)
        return;
    if (m_doc.IsController()) {
        vlt::ErrorBeep();
        return;
    }
    CDeviceManagerTQ8::HandleSet exclude = {m_device};
    CDeviceManagerTQ8::HandleList withDocument;
    devices->GetDevicesWithDocument(withDocument);
    for (TQ8_HANDLE h : withDocument)
        if (devices->IsControlledDevice(h))
            exclude.insert(h);
    const TQ8_HANDLE current = devices->GetController(m_device);
    CDeviceManagerTQ8::HandleSet preselect;
    if (current)
        preselect.insert(current);
    CDeviceManagerTQ8::HandleList chosen;
    if (!devices->SelectDevices(chosen, CDeviceManagerTQ8::kWithDocument, kSelectControllerFlags,
                                kSelectControllerPrompt, exclude, preselect) ||
        chosen.empty() || chosen.front() == current)
        return;
    if (!devices->SetController(m_device, chosen.front()))
        vlt::ShowMessageBox(L"Failed to set controlling device.", MB_ICONERROR, this);
}

void CForm_Action::OnSyncLink(int index)
{
    if (index != 0)
        return;
    if (CMainFrame* frame = MainFrame())
        frame->ShowSyncManagerWindow(true, m_doc.GetSyncDeviceId());
}

void CForm_Action::OnAcquisitionState(bool busy)
{
    m_busy = busy;
    const bool selfDriven = !m_doc.IsControlled();
    const CMainDoc* controller = selfDriven ? nullptr : m_doc.GetControllerDocument();
    const bool continuous = selfDriven ? m_continuous->isChecked() : controller && controller->IsContinuousMode();
    const bool recording = m_doc.IsRecording();
    if (busy && !recording && continuous) {
        m_timers->SetTimer(kRateTimer, kRatePeriodMs);
        m_timerFlags |= kRateRunning;
        // The first tick counts from now.
        m_lastCount = m_doc.GetAcquisitionCount();
    } else if (!busy && (m_timerFlags & kRateRunning)) {
        m_timerFlags &= ~kRateRunning;
        m_timers->KillTimer(kRateTimer);
        m_perSecond->clear();
    }
    ShowStartButton();
    m_syncLink->setEnabled(!busy);
    m_controllerLink->setEnabled(!busy);
    if (!busy)
        SetAcquisitionActiveTimer(0);
}

void CForm_Action::OnDocumentUpdate(IDocView*, int hint, void* object)
{
    switch (hint) {
    case dochint::kControllerRole: RefreshControllerLink(); break;
    case dochint::kAcquisitionState: OnAcquisitionState(object != nullptr); break;
    case dochint::kClock: ShowRate(); break;
    case dochint::kSyncDevice: RefreshSyncLink(); break;
    case dochint::kDeviceList: ShowControllerLink(); break;
    case dochint::kBeforeWorkspaceSave: StoreWorkspaceState(); break;
    case dochint::kAfterWorkspaceLoad: RestoreWorkspaceState(); break;
    default: break;
    }
}

void CForm_Action::StoreWorkspaceState()
{
    const int32_t continuous = m_continuous->isChecked() ? 1 : 0;
    CMainDocWsData& ws = m_doc.GetWsData();
    if (ws.ActionContinuous != continuous) {
        ws.ActionContinuous = continuous;
        m_doc.SetModified(true);
    }
}

void CForm_Action::RestoreWorkspaceState()
{
    m_continuous->setChecked(m_doc.GetWsData().ActionContinuous != 0);
    RefreshControllerLink();
}

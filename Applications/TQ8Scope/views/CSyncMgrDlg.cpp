#include "CSyncMgrDlg.h"

#include <new>

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "CComBSTR.h"
#include "CDeviceManagerTQ8.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "DialogItems.h"
#include "ErrorBox.h"
#include "FormControls.h"
#include "MessageBox.h"

namespace {

constexpr int kIdRole = Qt::UserRole;

QPushButton* Button(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

// The board's handle as a list entry's data.
QVariant HandleData(TQ8_HANDLE handle)
{
    return QVariant::fromValue(static_cast<qulonglong>(reinterpret_cast<uintptr_t>(handle)));
}

TQ8_HANDLE HandleOf(const QComboBox* combo)
{
    return reinterpret_cast<TQ8_HANDLE>(static_cast<uintptr_t>(combo->currentData().toULongLong()));
}

std::wstring LocationText(const CVltHub6Mgr::CSyncInst& inst)
{
    IVltHUB6* object = inst.GetObject();
    if (!object)
        return {};
    // The component answers 0 for yes.
    if (object->IsVirtual() == 0)
        return L"Virtual device";
    if (object->IsLocal() == 0)
        return L"Local device";
    if (object->IsRemote() == 0)
        return inst.GetServer() + L":" + std::to_wstring(inst.GetPort());
    return {};
}

} // namespace

CSyncMgrDlg::CSyncMgrDlg(QWidget* parent, CVltHub6Mgr& manager) : QDialog(parent), m_manager(manager)
{
    setWindowTitle(QStringLiteral("External Synchronization Device Manager"));
    BuildControls();
    RefillFromManager();
}

void CSyncMgrDlg::RegisterWithMainFrame()
{
    CMainFrame::SyncManagerWindowFactory() = [](QWidget* owner, CVltHub6Mgr& manager) -> ISyncManagerWindow* {
        return new (std::nothrow) CSyncMgrDlg(owner, manager);
    };
}

void CSyncMgrDlg::BuildControls()
{
    setObjectName(QStringLiteral("syncMgrDlg"));
    auto* listLabel = new QLabel(QStringLiteral("External synchronization &devices:"), this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("deviceList"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Sync Device"), QStringLiteral("Location")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformRowHeights(true);
    m_list->header()->setStretchLastSection(false);
    m_list->setMinimumWidth(360);
    m_list->viewport()->installEventFilter(this);
    listLabel->setBuddy(m_list);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CSyncMgrDlg::OnCurrentRowChanged);

    m_disconnect = Button(this, "disconnect", QStringLiteral("Disconnect"));
    m_resetAll = Button(this, "resetAllOutputs", QStringLiteral("Reset All Outputs"));
    m_connectRemote = Button(this, "connectRemote", QStringLiteral("Connect to &Remote HUB3300-6 Device..."));
    m_connectLocal = Button(this, "connectAllLocal", QStringLiteral("Connect to All &Local HUB3300-6 Devices"));
    m_addVirtual = Button(this, "addVirtual", QStringLiteral("Add &Virtual HUB3300-6 Device Now"));
    m_connectRemote->setEnabled(bool(ConnectRemoteCommand()));
    connect(m_connectRemote, &QPushButton::clicked, this, &CSyncMgrDlg::OnConnectRemote);
    connect(m_disconnect, &QPushButton::clicked, this, &CSyncMgrDlg::OnDisconnect);
    connect(m_resetAll, &QPushButton::clicked, this, &CSyncMgrDlg::OnResetAllOutputs);
    connect(m_connectLocal, &QPushButton::clicked, this, &CSyncMgrDlg::OnConnectAllLocal);
    connect(m_addVirtual, &QPushButton::clicked, this, &CSyncMgrDlg::OnAddVirtual);

    auto* group = new QGroupBox(QStringLiteral("Selected HUB3300-6 device settings"), this);
    group->setObjectName(QStringLiteral("selectedDevice"));
    auto* grid = new QGridLayout(group);
    for (int n = 0; n < kOutputs; ++n) {
        m_outputLabels[n] = new QLabel(QStringLiteral("Output &%1 device:").arg(n + 1), group);
        m_outputLabels[n]->setObjectName(QStringLiteral("outputLabel%1").arg(n + 1));
        m_outputs[n] = new QComboBox(group);
        m_outputs[n]->setObjectName(QStringLiteral("output%1").arg(n + 1));
        m_outputs[n]->setMinimumContentsLength(24);
        m_outputLabels[n]->setBuddy(m_outputs[n]);
        // Only the user's choice binds; the window's own selections do not.
        connect(m_outputs[n], &QComboBox::activated, this, [this, n] { OnOutputChosen(n); });
        grid->addWidget(m_outputLabels[n], n, 0);
        grid->addWidget(m_outputs[n], n, 1);
    }
    m_hardware = Button(group, "hardwareSettings", QStringLiteral("&Hardware Settings..."));
    m_trigger = Button(group, "triggerNow", QStringLiteral("&Trigger Now"));
    m_sync = Button(group, "syncNow", QStringLiteral("&Sync Now"));
    connect(m_hardware, &QPushButton::clicked, this, &CSyncMgrDlg::OnHardwareSettings);
    connect(m_trigger, &QPushButton::clicked, this, &CSyncMgrDlg::OnTriggerNow);
    connect(m_sync, &QPushButton::clicked, this, &CSyncMgrDlg::OnSyncNow);
    auto* actions = new QVBoxLayout;
    actions->addWidget(m_hardware);
    actions->addWidget(m_trigger);
    actions->addWidget(m_sync);
    actions->addStretch(1);
    grid->addLayout(actions, 0, 2, kOutputs, 1);

    m_close = Button(this, "close", QStringLiteral("Close"));
    connect(m_close, &QPushButton::clicked, this, &CSyncMgrDlg::reject);

    auto* deviceButtons = new QVBoxLayout;
    for (QPushButton* b : {m_connectLocal, m_connectRemote, m_addVirtual, m_disconnect, m_resetAll})
        deviceButtons->addWidget(b);
    deviceButtons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(deviceButtons);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addLayout(top, 1);
    layout->addWidget(group);
    layout->addLayout(bottom);
}

bool CSyncMgrDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The columns share the list's client width, whatever size it is given.
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        SizeColumns();
    return QDialog::eventFilter(watched, event);
}

void CSyncMgrDlg::SizeColumns()
{
    const int width = m_list->viewport()->width();
    m_list->setColumnWidth(0, width * 45 / 100);
    m_list->setColumnWidth(1, width - width * 45 / 100);
}

void CSyncMgrDlg::reject()
{
    hide();
}

void CSyncMgrDlg::ShowStatusText(const std::wstring& text, unsigned timeoutMs)
{
    CMainApp* app = CMainApp::Instance();
    if (CMainFrame* frame = app ? app->GetMainFrame() : nullptr)
        frame->ShowStatusText(text, timeoutMs);
}

// ---- Rows and output lists ------------------------------------------------------------

void CSyncMgrDlg::RefillFromManager()
{
    const int32_t selected = GetSelectedId();
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
    }
    m_selectedRow = -1;
    FillOutputCombos();
    std::vector<int32_t> ids;
    m_manager.GetInstanceIds(ids);
    for (int32_t id : ids)
        AddRow(id);
    // The same device stays selected; else the first one.
    if (SelectDevice(selected) < 0 && m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    UpdateControls();
}

void CSyncMgrDlg::FillOutputCombos()
{
    CDeviceManagerTQ8::HandleList boards;
    if (CDeviceManagerTQ8* devices = m_manager.GetDeviceManager())
        devices->GetDevicesWithDocument(boards);
    for (QComboBox* combo : m_outputs) {
        const QSignalBlocker block(combo);
        combo->clear();
        combo->addItem(QStringLiteral("<No device>"), HandleData(nullptr));
        for (TQ8_HANDLE board : boards) {
            std::wstring name;
            GetBoardNameString(board, name, 0);
            combo->addItem(ToQt(name), HandleData(board));
        }
    }
}

int CSyncMgrDlg::FindRow(int32_t instanceId) const
{
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        if (m_list->topLevelItem(row)->data(0, kIdRole).toInt() == instanceId)
            return row;
    return -1;
}

int CSyncMgrDlg::AddRow(int32_t instanceId)
{
    if (instanceId == 0)
        return -1;
    if (const int row = FindRow(instanceId); row >= 0)
        return row;
    const CVltHub6Mgr::CSyncInst* inst = m_manager.FindInstance(instanceId);
    if (!inst)
        return -1;
    auto* item = new QTreeWidgetItem({ToQt(inst->GetName()), ToQt(LocationText(*inst))});
    item->setData(0, kIdRole, instanceId);
    const QSignalBlocker block(m_list);
    m_list->addTopLevelItem(item);
    return m_list->topLevelItemCount() - 1;
}

int CSyncMgrDlg::SelectDevice(int32_t instanceId)
{
    const int row = instanceId == 0 ? -1 : FindRow(instanceId);
    if (row >= 0)
        m_list->setCurrentItem(m_list->topLevelItem(row));
    return row;
}

int32_t CSyncMgrDlg::GetSelectedId() const
{
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? 0 : items.front()->data(0, kIdRole).toInt();
}

CVltHub6Mgr::CSyncInst* CSyncMgrDlg::SelectedInstance()
{
    const int32_t id = GetSelectedId();
    if (id == 0)
        return nullptr;
    CVltHub6Mgr::CSyncInst* inst = m_manager.FindInstance(id);
    // A row left over from devices that have gone: show what there is.
    if (!inst)
        RefillFromManager();
    return inst;
}

void CSyncMgrDlg::OnCurrentRowChanged()
{
    const int32_t id = GetSelectedId();
    const int row = id == 0 ? -1 : FindRow(id);
    if (row == m_selectedRow)
        return;
    m_selectedRow = row;
    UpdateControls();
}

void CSyncMgrDlg::UpdateControls()
{
    m_selectedRow = FindRow(GetSelectedId());
    const bool selected = m_selectedRow >= 0;
    for (QWidget* w : {static_cast<QWidget*>(m_disconnect), static_cast<QWidget*>(m_resetAll),
                       static_cast<QWidget*>(m_hardware)})
        w->setEnabled(selected);
    for (int n = 0; n < kOutputs; ++n) {
        m_outputLabels[n]->setEnabled(selected);
        m_outputs[n]->setEnabled(selected);
    }
    ShowOutputs();
    UpdateActionButtons();
}

void CSyncMgrDlg::ShowOutputs()
{
    const CVltHub6Mgr::CSyncInst* inst = m_manager.FindInstance(GetSelectedId());
    for (int n = 0; n < kOutputs; ++n) {
        const QSignalBlocker block(m_outputs[n]);
        if (inst)
            SelectComboItemByData(m_outputs[n], reinterpret_cast<uintptr_t>(inst->GetOutputDevice(n)));
        else
            m_outputs[n]->setCurrentIndex(-1);
    }
}

void CSyncMgrDlg::UpdateActionButtons()
{
    const CVltHub6Mgr::CSyncInst* inst = m_manager.FindInstance(GetSelectedId());
    IVltHUB6* object = inst ? inst->GetObject() : nullptr;
    VARIANT_BOOL trigger = VARIANT_FALSE;
    VARIANT_BOOL sync = VARIANT_FALSE;
    if (object && FAILED(object->GetTriggerNowAvailable(&trigger)))
        trigger = VARIANT_FALSE;
    if (object && FAILED(object->GetSyncNowAvailable(&sync)))
        sync = VARIANT_FALSE;
    m_trigger->setEnabled(trigger != VARIANT_FALSE);
    m_sync->setEnabled(sync != VARIANT_FALSE);
}

// ---- Actions ---------------------------------------------------------------------------

void CSyncMgrDlg::OnConnectAllLocal()
{
    const uint32_t n = GetLocalHub6DeviceCount();
    if (n == 0) {
        vlt::ShowMessageBox(L"No local HUB3300-6 devices detected", MB_ICONWARNING, this);
        return;
    }
    const size_t before = m_manager.GetInstanceCount();
    for (uint32_t index = 1; index <= n; ++index)
        AddRow(m_manager.ConnectLocal(index));
    const int64_t connected = static_cast<int64_t>(m_manager.GetInstanceCount()) - static_cast<int64_t>(before);
    if (connected < 1) {
        vlt::ShowMessageBox(L"No unconnected local devices found", MB_ICONINFORMATION, this);
        return;
    }
    vlt::ShowMessageBox(L"Connected to " + std::to_wstring(connected) + L" local device" + (connected == 1 ? L"" : L"s"),
                        MB_ICONINFORMATION, this);
}

CSyncMgrDlg::ConnectRemoteFn& CSyncMgrDlg::ConnectRemoteCommand()
{
    static ConnectRemoteFn command;
    return command;
}

void CSyncMgrDlg::OnConnectRemote()
{
    if (!ConnectRemoteCommand())
        return;
    for (int32_t id : ConnectRemoteCommand()(this, m_manager))
        AddRow(id);
}

void CSyncMgrDlg::OnAddVirtual()
{
    const int32_t id = m_manager.AddVirtual(0);
    if (id == 0) {
        vlt::ShowMessageBox(L"Failed to virtual HUB3300-6 device", MB_OK, this);
        return;
    }
    AddRow(id);
}

void CSyncMgrDlg::OnDisconnect()
{
    const int32_t id = GetSelectedId();
    if (id == 0 || !m_manager.RemoveInstance(id)) {
        RefillFromManager();
        return;
    }
    {
        const QSignalBlocker block(m_list);
        delete m_list->topLevelItem(FindRow(id));
        m_list->clearSelection();
        m_list->setCurrentItem(nullptr);
    }
    UpdateControls();
}

void CSyncMgrDlg::OnResetAllOutputs()
{
    if (vlt::ShowMessageBox(L"Remove all current external device associations?", MB_YESNO | MB_ICONQUESTION, this)
        != IDYES)
        return;
    for (int n = 0; n < kOutputs; ++n) {
        {
            const QSignalBlocker block(m_outputs[n]);
            m_outputs[n]->setCurrentIndex(0);
        }
        OnOutputChosen(n);
    }
}

void CSyncMgrDlg::OnOutputChosen(int n)
{
    CVltHub6Mgr::CSyncInst* inst = SelectedInstance();
    if (!inst || n < 0 || n >= kOutputs)
        return;
    const TQ8_HANDLE board = HandleOf(m_outputs[n]);
    if (!inst->SetOutputDevice(n, board)) {
        const bool external = GetSyncConfigurationTQ8(board, 1) == 1;
        vlt::ShowMessageBox(external ? L"Failed to associate TQ3300 to this HUB3300-6 output. The selected TQ3300 may "
                                       L"already associated with an output on this or another HUB3300-6 device."
                                     : L"Failed to associate TQ3300 to this HUB3300-6 output. The selected TQ3300 "
                                       L"device is not hardware configured for external synchronization",
                            MB_ICONERROR, this);
        // The output is left free, and shows "<No device>".
        inst->SetOutputDevice(n, nullptr);
    }
    ShowOutputs();
}

void CSyncMgrDlg::OnHardwareSettings()
{
    if (CVltHub6Mgr::CSyncInst* inst = SelectedInstance())
        m_manager.ShowDeviceSettings(inst->GetId(), this, 0);
    UpdateActionButtons();
}

void CSyncMgrDlg::RunUnitAction(HRESULT (IVltHUB6::*action)(), const wchar_t* context, const wchar_t* done)
{
    CVltHub6Mgr::CSyncInst* inst = SelectedInstance();
    if (!inst || !inst->GetObject())
        return;
    if (FAILED((inst->GetObject()->*action)())) {
        std::wstring text;
        FormatHub6ErrorText(text, context, inst->GetObject());
        vlt::ShowMessageBox(text, MB_ICONERROR, this);
        return;
    }
    ShowStatusText(done, kStatusMs);
}

void CSyncMgrDlg::OnSyncNow()
{
    RunUnitAction(&IVltHUB6::SynchronizeExternal, L"Failed to synchronize external devices: ",
                  L"HUB3300-6 synchronized external device(s)");
}

void CSyncMgrDlg::OnTriggerNow()
{
    RunUnitAction(&IVltHUB6::SoftwareTrigger, L"Failed to issue software trigger: ",
                  L"Software trigger issued to HUB3300-6");
}

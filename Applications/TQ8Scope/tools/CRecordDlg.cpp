#include "CRecordDlg.h"

#include <algorithm>
#include <filesystem>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "CAdvDstFileOptsDlg.h"
#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CPersistentOpts.h"
#include "CRecParamsManager.h"
#include "CRecSsOptionsDlg.h"
#include "CVltEditBrowseCtrl.h"
#include "DialogItems.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "IRecordingWindow.h"
#include "MessageBox.h"
#include "Mnemonic.h"
#include "PersistentOptsKeys.h"
#include "RecordingTexts.h"
#include "TextConv.h"

namespace {

constexpr int kColumnName = 0;
constexpr int kColumnDest = 1;
constexpr int kColumnState = 2;
// The list's first width, and the share of it that each column takes.
constexpr int kListWidth = 620;
constexpr int kListHeight = 120;
constexpr int kColumnsWidth = kListWidth - 16;
constexpr int kNameColumnWidth = kColumnsWidth * 35 / 100;
constexpr wchar_t kRd8Filter[] = L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||";

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

TQ8_HANDLE HandleOf(const QTreeWidgetItem* item)
{
    return reinterpret_cast<TQ8_HANDLE>(item->data(0, Qt::UserRole).value<quintptr>());
}

QComboBox* UnitCombo(QWidget* parent, const char* name, int units)
{
    static const char* const kUnits[] = {"samples", "kibi-samples", "mebi-samples", "gibi-samples"};
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < units; ++i)
        combo->addItem(QString::fromLatin1(kUnits[i]));
    return combo;
}

QLineEdit* Edit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QLabel* Figure(QWidget* parent, const char* name)
{
    auto* label = new QLabel(QStringLiteral("---"), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setMinimumWidth(110);
    return label;
}

template <class W>
W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

CRecordDlg::CRecordDlg(QWidget* parent, CRecParamsManager& manager, CPersistentOpts* options, CMultiModeLog log)
    : QDialog(parent), m_manager(manager), m_options(options), m_controller(*this, manager, std::move(log))
{
    setObjectName(QStringLiteral("recordDlg"));
    setWindowTitle(QStringLiteral("Record TQ3300 Data"));
    LoadSettings();
    BuildControls();
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_controller.Tick(); });
    m_defaultDir->SetText(m_controller.DefaultDir);
    EnableAcquisitionSize();
    RefillList();
    m_controller.Exchange(false);
}

CRecordDlg::~CRecordDlg()
{
    m_timer.stop();
    StoreSettings();
}

void CRecordDlg::RegisterWithMainFrame()
{
    CMainFrame::RecordingWindowFactory() = [](QWidget* owner, CRecParamsManager& manager,
                                              CPersistentOpts* options) -> IRecordingWindow* {
        return new (std::nothrow) CRecordDlg(owner, manager, options);
    };
}

// ---- Settings ------------------------------------------------------------------------------

void CRecordDlg::LoadSettings()
{
    if (!m_options)
        return;
    CRecParamsManager& m = m_manager;
    m_options->GetItemString(opts::kDefaultRecFilesDir, m_controller.DefaultDir, m_controller.DefaultDir.c_str());
    m_options->GetItemUInt(opts::kRpmFlags, m.Flags, m.Flags);
    m_options->GetItemInt(opts::kRpmRecType, m.RecType, m.RecType);
    m_options->GetItemInt(opts::kRpmRecDurType, m.RecDurType, m.RecDurType);
    m_options->GetItemU64(opts::kRpmDurSamps, m.DurSamples, m.DurSamples);
    m_options->GetItemU64(opts::kRpmDurMs, m.DurMs, m.DurMs);
    m_options->GetItemUInt(opts::kRpmAcqSamps, m.AcqSamples, m.AcqSamples);
}

void CRecordDlg::StoreSettings()
{
    if (!m_options)
        return;
    const CRecParamsManager& m = m_manager;
    m_options->SetItem(opts::kDefaultRecFilesDir, m_controller.DefaultDir.c_str());
    m_options->SetItemUInt(opts::kRpmFlags, m.Flags);
    m_options->SetItemInt(opts::kRpmRecType, m.RecType);
    m_options->SetItemInt(opts::kRpmRecDurType, m.RecDurType);
    m_options->SetItemU64(opts::kRpmDurSamps, m.DurSamples);
    m_options->SetItemU64(opts::kRpmDurMs, m.DurMs);
    m_options->SetItemUInt(opts::kRpmAcqSamps, m.AcqSamples);
}

// ---- Controls ------------------------------------------------------------------------------

void CRecordDlg::BuildControls()
{
    auto* layout = new QVBoxLayout(this);
    m_trouble = Named(new QLabel(this), "trouble");
    m_trouble->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_trouble->hide();
    layout->addWidget(m_trouble);
    m_list = Named(new QTreeWidget(this), "deviceList");
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QStringLiteral("TQ3300 Device"), QStringLiteral("Destination File"), QStringLiteral("State")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformRowHeights(true);
    m_list->setMinimumSize(kListWidth, kListHeight);
    m_list->setColumnWidth(kColumnName, kNameColumnWidth);
    m_list->setColumnWidth(kColumnDest, kColumnsWidth * 25 / 100);
    m_list->setColumnWidth(kColumnState, kColumnsWidth * 40 / 100);
    connect(m_list, &QTreeWidget::itemChanged, this, &CRecordDlg::OnItemChanged);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CRecordDlg::OnSelectionChanged);
    layout->addWidget(m_list, 1);
    layout->addWidget(BuildDestinationGroup());
    layout->addWidget(BuildRecordingGroup());
    layout->addWidget(BuildStatusGroup());

    auto* buttons = new QHBoxLayout;
    m_snapshotOptions = Named(new QPushButton(QStringLiteral("Snapshot Options..."), this), "snapshotOptions");
    m_beginStop = Named(new QPushButton(QStringLiteral("Begin &Recording"), this), "beginStop");
    m_close = Named(new QPushButton(QStringLiteral("Close"), this), "close");
    buttons->addWidget(m_snapshotOptions);
    buttons->addStretch(1);
    buttons->addWidget(m_beginStop);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    connect(m_snapshotOptions, &QPushButton::clicked, this, &CRecordDlg::OnSnapshotOptions);
    connect(m_beginStop, &QPushButton::clicked, this, &CRecordDlg::OnBeginStop);
    connect(m_close, &QPushButton::clicked, this, &QWidget::hide);
    auto* hideKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), this);
    connect(hideKey, &QShortcut::activated, this, &QWidget::hide);
    // Enter in a field takes the field; with a default button it would start
    // a recording (or stop one). None is: Space presses the focused button.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
    for (QLineEdit* edit : {m_durCount, m_durMs, m_acqCount, m_repetitions})
        connect(edit, &QLineEdit::returnPressed, this, [this, edit] { ConfirmField(edit); });
}

void CRecordDlg::ConfirmField(QLineEdit* edit)
{
    uint64_t wide = 0;
    uint32_t narrow = m_manager.AcqSamples;
    if (edit == m_durCount)
        ReadDurationSamples(wide);
    else if (edit == m_durMs)
        ReadDurationMs(wide);
    else if (edit == m_acqCount)
        DDX_CountWithUnits32(true, m_acqCount, m_acqUnits, narrow);
    else if (edit == m_repetitions)
        ReadRepetitions(narrow);
}

QWidget* CRecordDlg::BuildDestinationGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Destination"), this);
    auto* grid = new QGridLayout(group);
    m_selectedLabel = Named(new QLabel(group), "selectedDevice");
    vlt::SetNoPrefix(m_selectedLabel);
    m_destLabel = new QLabel(QStringLiteral("&Destination file:"), group);
    m_dest = Named(new CVltEditBrowseCtrl(group), "destination");
    m_dest->EnableFileBrowseButton(L"rd8", kRd8Filter);
    m_dest->SetOpenMode(0);
    m_dest->SetDialogTitle(L"Save Acquisition Data");
    m_dest->SetBrowseCallback(&CRecordDlg::PrepareDestinationBrowse, reinterpret_cast<intptr_t>(this));
    m_destLabel->setBuddy(m_dest->Edit());
    m_advanced = Named(new QPushButton(QStringLiteral("Advanced Options..."), group), "advancedOptions");
    m_defaultDirLabel = new QLabel(QStringLiteral("Default data files directory:"), group);
    m_defaultDir = Named(new CVltEditBrowseCtrl(group), "defaultDir");
    m_defaultDir->EnableFolderBrowseButton();
    grid->addWidget(m_selectedLabel, 0, 0, 1, 3);
    grid->addWidget(m_destLabel, 1, 0);
    grid->addWidget(m_dest, 1, 1);
    grid->addWidget(m_advanced, 1, 2);
    grid->addWidget(m_defaultDirLabel, 2, 0);
    grid->addWidget(m_defaultDir, 2, 1, 1, 2);
    connect(m_dest->Edit(), &QLineEdit::textChanged, this, &CRecordDlg::OnDestinationEdited);
    connect(m_defaultDir->Edit(), &QLineEdit::textChanged, this,
            [this] { m_controller.DefaultDir = m_defaultDir->GetText(); });
    connect(m_advanced, &QPushButton::clicked, this, &CRecordDlg::OnAdvancedOptions);
    return group;
}

QWidget* CRecordDlg::BuildRecordingGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Recording"), this);
    auto* grid = new QGridLayout(group);
    m_type[0] = Named(new QRadioButton(QStringLiteral("&Acquire data directly to the host PC, buffering with TQ3300 RAM"), group), "typeToHost");
    m_type[1] = Named(new QRadioButton(QStringLiteral("Acquire data to TQ3300 RAM and then transfer to PC"), group), "typeViaBoard");
    auto* types = new QButtonGroup(group);
    grid->addWidget(m_type[0], 0, 0, 1, 4);
    grid->addWidget(m_type[1], 1, 0, 1, 4);
    m_acqLabel = new QLabel(QStringLiteral("Acquisition size:"), group);
    m_acqCount = Edit(group, "acqCount");
    m_acqUnits = UnitCombo(group, "acqUnits", 3);
    m_typeNote = new QLabel(QStringLiteral("(each acquisition is transferred to the PC after it ends)"), group);
    grid->addWidget(m_acqLabel, 2, 0);
    grid->addWidget(m_acqCount, 2, 1);
    grid->addWidget(m_acqUnits, 2, 2);
    grid->addWidget(m_typeNote, 2, 3);
    m_duration[0] = Named(new QRadioButton(QStringLiteral("&Infinite"), group), "durInfinite");
    m_duration[1] = Named(new QRadioButton(QStringLiteral("This much:"), group), "durSamples");
    m_duration[2] = Named(new QRadioButton(QStringLiteral("By time:"), group), "durTime");
    auto* durations = new QButtonGroup(group);
    m_durCount = Edit(group, "durCount");
    m_durUnits = UnitCombo(group, "durUnits", 4);
    m_durMs = Edit(group, "durMs");
    m_durMsLabel = new QLabel(QStringLiteral("ms"), group);
    grid->addWidget(m_duration[0], 3, 0);
    grid->addWidget(m_duration[1], 4, 0);
    grid->addWidget(m_durCount, 4, 1);
    grid->addWidget(m_durUnits, 4, 2);
    grid->addWidget(m_duration[2], 5, 0);
    grid->addWidget(m_durMs, 5, 1);
    grid->addWidget(m_durMsLabel, 5, 2);
    for (int i = 0; i < 2; ++i)
        types->addButton(m_type[i], i);
    for (int i = 0; i < 3; ++i)
        durations->addButton(m_duration[i], i);
    connect(types, &QButtonGroup::idClicked, this, [this] { EnableAcquisitionSize(); });
    connect(m_durCount, &QLineEdit::textEdited, this, [this] { m_duration[1]->setChecked(true); });
    connect(m_durUnits, &QComboBox::activated, this, [this] { m_duration[1]->setChecked(true); });
    connect(m_durMs, &QLineEdit::textEdited, this, [this] { m_duration[2]->setChecked(true); });

    m_pause = Named(new QCheckBox(QStringLiteral("Pause just prior to arming board(s) for recording"), group), "pause");
    m_snapshots = Named(new QCheckBox(QStringLiteral("Display snapshot of recording data"), group), "snapshots");
    m_keepOthers = Named(new QCheckBox(QStringLiteral("Keep recording other devices if one fails due to error"), group), "keepOthers");
    grid->addWidget(m_pause, 6, 0, 1, 4);
    grid->addWidget(m_snapshots, 7, 0, 1, 4);
    grid->addWidget(m_keepOthers, 8, 0, 1, 4);

    m_multiple = Named(new QCheckBox(QStringLiteral("Multiple mode Enable"), group), "multipleMode");
    m_repetitions = Edit(group, "repetitions");
    m_repetitions->setText(QStringLiteral("1"));
    m_passes = Edit(group, "passes");
    m_attempts = Edit(group, "attempts");
    m_passes->setReadOnly(true);
    m_attempts->setReadOnly(true);
    auto* multiple = new QHBoxLayout;
    multiple->addWidget(m_multiple);
    multiple->addWidget(new QLabel(QStringLiteral("Repetition"), group));
    multiple->addWidget(m_repetitions);
    multiple->addWidget(new QLabel(QStringLiteral("Statistics:"), group));
    multiple->addWidget(m_passes);
    multiple->addWidget(m_attempts);
    grid->addLayout(multiple, 9, 0, 1, 4);
    return group;
}

QWidget* CRecordDlg::BuildStatusGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Status"), this);
    auto* grid = new QGridLayout(group);
    m_elapsed = Figure(group, "elapsed");
    m_amount = Figure(group, "amount");
    m_throughput = Figure(group, "throughput");
    grid->addWidget(new QLabel(QStringLiteral("Elapsed time:"), group), 0, 0);
    grid->addWidget(m_elapsed, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Amount recorded:"), group), 0, 2);
    grid->addWidget(m_amount, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Throughput:"), group), 0, 4);
    grid->addWidget(m_throughput, 0, 5);
    m_progress = Named(new QProgressBar(group), "progress");
    m_progress->setRange(0, 10000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    grid->addWidget(m_progress, 1, 0, 1, 6);
    return group;
}

void CRecordDlg::EnableAcquisitionSize()
{
    const bool on = m_type[1]->isChecked() && !m_controller.IsRecording();
    for (QWidget* w : {static_cast<QWidget*>(m_acqLabel), static_cast<QWidget*>(m_acqCount),
                       static_cast<QWidget*>(m_acqUnits), static_cast<QWidget*>(m_typeNote)})
        w->setEnabled(on);
}

// ---- The list ------------------------------------------------------------------------------

std::wstring CRecordDlg::DisplayName(TQ8_HANDLE device) const
{
    const CRecParamsManager::CDevState* entry = m_manager.FindDeviceParams(device);
    CMainDoc* doc = entry ? entry->Document : nullptr;
    if (!doc && m_manager.GetDeviceManager())
        doc = m_manager.GetDeviceManager()->GetDocument(device);
    return doc ? doc->GetDeviceDisplayName() : L"TQ3300";
}

void CRecordDlg::RefillList()
{
    m_listByCode = true;
    m_list->clear();
    if (CDeviceManagerTQ8* devices = m_manager.GetDeviceManager()) {
        CDeviceManagerTQ8::HandleList withDocument;
        devices->GetDevicesWithDocument(withDocument);
        for (TQ8_HANDLE device : withDocument)
            AppendRow(device);
    }
    m_listByCode = false;
    FitNameColumn();
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    else
        RefreshDestinationControls();
}

void CRecordDlg::AppendRow(TQ8_HANDLE device)
{
    const bool byCode = m_listByCode;
    m_listByCode = true;
    CRecParamsManager::CDevState& entry = m_manager.GetDeviceParams(device);
    auto* item = new QTreeWidgetItem;
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(device)));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setText(kColumnName, Q(DisplayName(device)));
    item->setToolTip(kColumnName, item->text(kColumnName));
    item->setText(kColumnDest, Q(rectext::ShortDestPath(entry.RecParams.DestFileOpts.Pathname1)));
    item->setToolTip(kColumnDest, Q(entry.RecParams.DestFileOpts.Pathname1));
    item->setCheckState(0, (entry.StateFlags & CRecParamsManager::kStateSelected) ? Qt::Checked : Qt::Unchecked);
    m_list->addTopLevelItem(item);
    m_listByCode = byCode;
    FitNameColumn();
}

// A remote board's name is long: its column, and the list with it, grow so
// that every name is shown whole; the other columns keep their widths.
void CRecordDlg::FitNameColumn()
{
    const int names = static_cast<const QAbstractItemView*>(m_list)->sizeHintForColumn(kColumnName);
    const int width = std::max(kNameColumnWidth, names);
    m_list->setColumnWidth(kColumnName, width);
    m_list->setMinimumWidth(kListWidth + width - kNameColumnWidth);
}

QTreeWidgetItem* CRecordDlg::RowOf(TQ8_HANDLE device) const
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (HandleOf(m_list->topLevelItem(i)) == device)
            return m_list->topLevelItem(i);
    return nullptr;
}

void CRecordDlg::AddDevice(TQ8_HANDLE device)
{
    if (!device || RowOf(device))
        return;
    if (!m_manager.AddDevice(device))
        return;
    AppendRow(device);
}

void CRecordDlg::RemoveDevice(TQ8_HANDLE device)
{
    m_controller.RemoveDevice(device);
    m_manager.RemoveDevice(device);
    m_listByCode = true;
    delete RowOf(device);
    m_listByCode = false;
    FitNameColumn();
    if (m_selected == device) {
        m_selected = nullptr;
        RefreshDestinationControls();
    }
}

void CRecordDlg::RefreshDeviceNames()
{
    m_listByCode = true;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        item->setText(kColumnName, Q(DisplayName(HandleOf(item))));
    }
    m_listByCode = false;
    FitNameColumn();
}

void CRecordDlg::OnItemChanged(QTreeWidgetItem* item, int column)
{
    if (m_listByCode || column != 0)
        return;
    const TQ8_HANDLE device = HandleOf(item);
    CRecParamsManager::CDevState& entry = m_manager.GetDeviceParams(device);
    const bool checked = item->checkState(0) == Qt::Checked;
    if (m_controller.IsRecording()) {
        // The boards of a running recording stay as they are.
        m_listByCode = true;
        item->setCheckState(0, (entry.StateFlags & CRecParamsManager::kStateSelected) ? Qt::Checked : Qt::Unchecked);
        m_listByCode = false;
        return;
    }
    if (!checked) {
        entry.StateFlags &= ~CRecParamsManager::kStateSelected;
        return;
    }
    entry.StateFlags |= CRecParamsManager::kStateSelected;
    const int32_t config = GetMasterSlaveConfigurationTQ8(device, 1);
    CDeviceManagerTQ8* devices = m_manager.GetDeviceManager();
    if ((config == 2 || config == 3) && devices)
        if (QTreeWidgetItem* master = RowOf(devices->GetMaster(device)))
            master->setCheckState(0, Qt::Checked);
}

void CRecordDlg::OnSelectionChanged()
{
    if (m_listByCode || m_controller.IsRecording())
        return;
    const QList<QTreeWidgetItem*> rows = m_list->selectedItems();
    const TQ8_HANDLE device = rows.isEmpty() ? nullptr : HandleOf(rows.front());
    if (device == m_selected)
        return;
    m_selected = device;
    RefreshDestinationControls();
}

void CRecordDlg::RefreshDestinationControls()
{
    const CRecParamsManager::CDevState* entry = m_selected ? m_manager.FindDeviceParams(m_selected) : nullptr;
    if (!entry)
        m_selected = nullptr;
    const bool byCode = m_listByCode;
    m_listByCode = true;
    if (entry) {
        m_selectedLabel->setText(Q(L"Currently selected device: " + DisplayName(m_selected)));
        m_dest->SetText(entry->RecParams.DestFileOpts.Pathname1);
    } else {
        m_selectedLabel->setText(QStringLiteral("Please select a device above to edit destination file details"));
        m_dest->SetText(L"");
    }
    m_listByCode = byCode;
    const bool enable = entry && !m_controller.IsRecording();
    m_dest->setEnabled(enable);
    m_destLabel->setEnabled(enable);
    m_advanced->setEnabled(entry != nullptr);
}

void CRecordDlg::OnDestinationEdited()
{
    if (m_listByCode || !m_selected)
        return;
    CRecParamsManager::CDevState& entry = m_manager.GetDeviceParams(m_selected);
    entry.RecParams.DestFileOpts.Pathname1 = m_dest->GetText();
    if (QTreeWidgetItem* row = RowOf(m_selected)) {
        m_listByCode = true;
        row->setText(kColumnDest, Q(rectext::ShortDestPath(entry.RecParams.DestFileOpts.Pathname1)));
        row->setToolTip(kColumnDest, Q(entry.RecParams.DestFileOpts.Pathname1));
        m_listByCode = false;
    }
}

int32_t CRecordDlg::PrepareDestinationBrowse(intptr_t self, CVltEditBrowseCtrl* control)
{
    auto* dlg = reinterpret_cast<CRecordDlg*>(self);
    std::error_code ec;
    const std::wstring& folder = dlg->m_controller.DefaultDir;
    // The default folder is one of this computer: a board of another one
    // browses its own computer, from a folder there.
    const bool here = !dlg->m_selected || IsDeviceRemoteTQ8(dlg->m_selected) == 0;
    const bool exists = here && !folder.empty() && std::filesystem::is_directory(vlt::WideToUtf8(folder), ec);
    control->SetDefaultDir(exists ? folder : std::wstring());
    control->SetRemoteDevice(dlg->m_selected);
    return 1;
}

void CRecordDlg::OnAdvancedOptions()
{
    if (!m_selected) {
        vlt::ErrorBeep();
        return;
    }
    CRecParamsManager::CDevState& entry = m_manager.GetDeviceParams(m_selected);
    const bool readOnly = entry.Document && entry.Document->IsRecording();
    CAdvDstFileOptsDlg dialog(this, &entry.RecParams.DestFileOpts, readOnly, true, m_selected);
    dialog.exec();
    RefreshDestinationControls();
    OnDestinationEdited();
}

void CRecordDlg::OnSnapshotOptions()
{
    CRecSsOptionsDlg dialog(this, m_manager);
    dialog.exec();
}

// ---- Window --------------------------------------------------------------------------------

void CRecordDlg::reject()
{
    hide();
}

void CRecordDlg::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
}

// ---- What the controller asks of the window -------------------------------------------------

bool CRecordDlg::ExchangeData(bool save)
{
    CRecParamsManager& m = m_manager;
    if (!save) {
        m_type[m.RecType == CRecParams::kRecTypeViaBoard ? 1 : 0]->setChecked(true);
        m_duration[std::clamp(m.RecDurType, 0, 2)]->setChecked(true);
        m_durMs->setText(QString::number(m.DurMs));
        DDX_CountWithUnits(false, m_durCount, m_durUnits, m.DurSamples);
        DDX_CountWithUnits32(false, m_acqCount, m_acqUnits, m.AcqSamples);
        DDX_CheckFlag(false, m_pause, CRecordController::kFlagPause, m.Flags);
        DDX_CheckFlag(false, m_snapshots, CRecordController::kFlagSnapshots, m.Flags);
        DDX_CheckFlag(false, m_keepOthers, CRecordController::kFlagKeepOthers, m.Flags);
        EnableAcquisitionSize();
        return true;
    }
    // Only the chosen limit's field counts: another may hold anything.
    uint64_t durMs = m.DurMs;
    uint64_t durSamples = m.DurSamples;
    uint32_t acqSamples = m.AcqSamples;
    if ((m_duration[CRecParams::kDurTime]->isChecked() && !ReadDurationMs(durMs))
        || (m_duration[CRecParams::kDurSamples]->isChecked() && !ReadDurationSamples(durSamples))
        || !DDX_CountWithUnits32(true, m_acqCount, m_acqUnits, acqSamples))
        return false;
    m.RecType = m_type[1]->isChecked() ? CRecParams::kRecTypeViaBoard : CRecParams::kRecTypeToHost;
    m.RecDurType = m_duration[2]->isChecked() ? CRecParams::kDurTime
                   : m_duration[1]->isChecked() ? CRecParams::kDurSamples
                                                : CRecParams::kDurNoLimit;
    m.DurMs = durMs;
    m.DurSamples = durSamples;
    m.AcqSamples = acqSamples;
    DDX_CheckFlag(true, m_pause, CRecordController::kFlagPause, m.Flags);
    DDX_CheckFlag(true, m_snapshots, CRecordController::kFlagSnapshots, m.Flags);
    DDX_CheckFlag(true, m_keepOthers, CRecordController::kFlagKeepOthers, m.Flags);
    return true;
}

// To the library a length of 0 means no limit: only "Infinite" records
// without one, so a limit's field takes no 0 (nor an empty field).
bool CRecordDlg::ReadDurationMs(uint64_t& ms)
{
    uint64_t value = 0;
    if (!GetDlgItemUInt64(m_durMs, value) || value == 0) {
        ShowInvalidNumberMessage(L"recording time in milliseconds (at least 1)", m_durMs);
        return false;
    }
    ms = value;
    return true;
}

bool CRecordDlg::ReadDurationSamples(uint64_t& samples)
{
    return DDX_CountWithUnits(true, m_durCount, m_durUnits, samples, 1);
}

bool CRecordDlg::IsMultipleModeChecked() const
{
    return m_multiple->isChecked();
}

bool CRecordDlg::IsSnapshotDisplayChecked() const
{
    return m_snapshots->isChecked();
}

bool CRecordDlg::ReadRepetitions(uint32_t& count)
{
    if (GetDlgItemUInt32(m_repetitions, count))
        return true;
    ShowInvalidNumberMessage(L"Multimode repetition", m_repetitions);
    return false;
}

int CRecordDlg::ShowBox(const std::wstring& text, unsigned style)
{
    // The poll waits while a box is open, so that it cannot pile up boxes.
    const bool polling = m_timer.isActive();
    m_timer.stop();
    const int answer = vlt::ShowMessageBox(text, style, this);
    if (polling && m_controller.IsRecording())
        m_timer.start();
    return answer;
}

void CRecordDlg::ShowStatusText(const std::wstring& text, unsigned timeoutMs)
{
    m_lastStatus = text;
    if (auto* frame = qobject_cast<CMainFrame*>(parentWidget()))
        frame->ShowStatusText(text, timeoutMs);
}

void CRecordDlg::FocusDeviceList()
{
    m_list->setFocus();
}

void CRecordDlg::SetRecordingControls(bool recording, bool marquee)
{
    m_beginStop->setText(recording ? QStringLiteral("Stop &Recording") : QStringLiteral("Begin &Recording"));
    const bool idle = !recording;
    for (QWidget* w : {static_cast<QWidget*>(m_type[0]), static_cast<QWidget*>(m_type[1]),
                       static_cast<QWidget*>(m_duration[0]), static_cast<QWidget*>(m_duration[1]),
                       static_cast<QWidget*>(m_duration[2]), static_cast<QWidget*>(m_durCount),
                       static_cast<QWidget*>(m_durUnits), static_cast<QWidget*>(m_durMs),
                       static_cast<QWidget*>(m_durMsLabel), static_cast<QWidget*>(m_dest),
                       static_cast<QWidget*>(m_destLabel), static_cast<QWidget*>(m_defaultDir),
                       static_cast<QWidget*>(m_defaultDirLabel), static_cast<QWidget*>(m_pause),
                       static_cast<QWidget*>(m_keepOthers)})
        w->setEnabled(idle);
    EnableAcquisitionSize();
    if (recording) {
        for (QLabel* figure : {m_elapsed, m_amount, m_throughput})
            figure->setText(QStringLiteral("---"));
        // A range of 0..0 is Qt's marquee.
        m_progress->setRange(0, marquee ? 0 : 10000);
        m_progress->setValue(0);
        m_timer.start();
        return;
    }
    m_progress->setRange(0, 10000);
    m_timer.stop();
    RefreshDestinationControls();
}

void CRecordDlg::ClearStateColumn()
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setText(kColumnState, QString());
}

void CRecordDlg::SetRowState(TQ8_HANDLE device, const std::wstring& text)
{
    if (QTreeWidgetItem* row = RowOf(device)) {
        row->setText(kColumnState, Q(text));
        row->setToolTip(kColumnState, Q(text));
    }
}

void CRecordDlg::ShowStatistics(uint32_t passes, uint32_t attempts)
{
    m_passes->setText(QString::number(passes));
    m_attempts->setText(QString::number(attempts));
}

void CRecordDlg::ShowFigures(const std::wstring& elapsed, const std::wstring& amount, const std::wstring& throughput)
{
    m_elapsed->setText(Q(elapsed));
    m_amount->setText(Q(amount));
    m_throughput->setText(Q(throughput));
}

void CRecordDlg::SetProgressPosition(int position)
{
    if (m_progress->maximum() != 0)
        m_progress->setValue(position);
}

void CRecordDlg::ShowTroubleLine(const std::wstring& text)
{
    m_trouble->setText(Q(text));
    m_trouble->setVisible(!text.empty());
}

void CRecordDlg::QueueBeginStop()
{
    QMetaObject::invokeMethod(this, [this] { m_controller.OnQueuedBeginStop(); }, Qt::QueuedConnection);
}

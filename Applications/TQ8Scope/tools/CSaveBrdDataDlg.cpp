#include "CSaveBrdDataDlg.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "AtomicFile.h"
#include "CAdvDstFileOptsDlg.h"
#include "CMainDoc.h"
#include "CSaveBrdDataCtx.h"
#include "IScopePanel.h"
#include "TQ8UI.h"
#include "CVltEditBrowseCtrl.h"
#include "DialogItems.h"
#include "DstFileOptsRules.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "TextConv.h"
#include "ValueFormat.h"

namespace {

constexpr uint32_t kDmaBytes = 1048576;
constexpr wchar_t kSaveFailed[] = L"Save operation failed: ";

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* text)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

CSaveBrdDataDlg::CSaveBrdDataDlg(QWidget* parent, CMainDoc& doc)
    : QDialog(parent), m_doc(doc), m_ctx(doc.GetSaveBrdDataCtx()), m_device(doc.GetDeviceHandle())
{
    setWindowTitle(QStringLiteral("Save TQ3300 RAM Data to File"));
    BuildControls();
    // Only the counts that the board's memory holds.
    uint32_t ramSize = UINT32_MAX;
    if (GetSampleRamSizeTQ8(m_device, &ramSize) != TQ8_OK)
        ramSize = UINT32_MAX;
    FillSampleCountCombo(m_count, true, ramSize);
    if (!m_doc.GetSnapshotBuffer() || m_doc.GetSnapshotSamples() == 0) {
        m_ctx.Source = CSaveBrdDataCtx::kSourceBoardMemory;
        m_snapshot->setEnabled(false);
        m_noSnapshot = true;
    }
    LoadControls();
    ApplySourceEnabling();
    m_dest->EnableFileBrowseButton(L"rd8", L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||");
    m_dest->SetOpenMode(0);
    m_dest->SetDialogTitle(L"Save Acquisition Data");
    m_dest->SetRemoteDevice(m_device);
}

CSaveBrdDataDlg::~CSaveBrdDataDlg()
{
    // The worker points at this dialog: it must end first.
    if (m_worker.joinable()) {
        m_cancel = true;
        m_worker.join();
    }
}

void CSaveBrdDataDlg::BuildControls()
{
    auto* grid = new QGridLayout;
    m_ram = new QRadioButton(QStringLiteral("Data in TQ3300 RAM"), this);
    m_ram->setObjectName(QStringLiteral("sourceRam"));
    m_snapshot = new QRadioButton(QStringLiteral("Current data snapshot"), this);
    m_snapshot->setObjectName(QStringLiteral("sourceSnapshot"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_ram, 0);
    group->addButton(m_snapshot, 1);
    connect(group, &QButtonGroup::idClicked, this, [this](int) { ApplySourceEnabling(); });
    grid->addWidget(m_ram, 0, 0, 1, 2);
    grid->addWidget(m_snapshot, 0, 2, 1, 2);

    m_startLabel = new QLabel(QStringLiteral("Starting address:"), this);
    m_start = new QLineEdit(this);
    m_start->setObjectName(QStringLiteral("start"));
    m_countLabel = new QLabel(QStringLiteral("Sample count:"), this);
    m_count = new QComboBox(this);
    m_count->setObjectName(QStringLiteral("count"));
    m_count->setEditable(true);
    m_useCurrent = NewButton(this, "useCurrent", "Use Current");
    m_allRam = NewButton(this, "allRam", "All RAM");
    m_scopeData = NewButton(this, "scopeData", "Scope Data");
    grid->addWidget(m_startLabel, 1, 0);
    grid->addWidget(m_start, 1, 1);
    grid->addWidget(m_countLabel, 2, 0);
    grid->addWidget(m_count, 2, 1);
    grid->addWidget(m_useCurrent, 1, 2);
    grid->addWidget(m_allRam, 1, 3);
    grid->addWidget(m_scopeData, 2, 2);

    m_destLabel = new QLabel(QStringLiteral("Destination &file:"), this);
    m_dest = new CVltEditBrowseCtrl(this);
    m_dest->setObjectName(QStringLiteral("dest"));
    m_destLabel->setBuddy(m_dest->Edit());
    grid->addWidget(m_destLabel, 3, 0);
    grid->addWidget(m_dest, 3, 1, 1, 3);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 10000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));

    m_advanced = NewButton(this, "advanced", "&Advanced Options...");
    m_save = NewButton(this, "save", "Save Data");
    m_close = NewButton(this, "close", "Close");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_advanced);
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);

    connect(m_useCurrent, &QPushButton::clicked, this, &CSaveBrdDataDlg::OnUseCurrent);
    connect(m_allRam, &QPushButton::clicked, this, &CSaveBrdDataDlg::OnAllRam);
    connect(m_scopeData, &QPushButton::clicked, this, &CSaveBrdDataDlg::OnScopeData);
    connect(m_advanced, &QPushButton::clicked, this, &CSaveBrdDataDlg::OnAdvanced);
    connect(m_save, &QPushButton::clicked, this, &CSaveBrdDataDlg::OnSave);
    connect(m_close, &QPushButton::clicked, this, &CSaveBrdDataDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
}

void CSaveBrdDataDlg::LoadControls()
{
    m_start->setText(QString::number(m_ctx.FirstSample));
    m_count->setEditText(Q(FormatWithThousandsSeparator(m_ctx.SampleCount)));
    (m_ctx.Source == CSaveBrdDataCtx::kSourceSnapshot ? m_snapshot : m_ram)->setChecked(true);
    m_dest->SetText(m_ctx.DestFileOpts.Pathname1);
}

bool CSaveBrdDataDlg::SaveControls()
{
    uint32_t start = 0;
    if (!ParseDlgUInt32(GetDlgItemText(m_start), start)) {
        ShowInvalidNumberMessage(L"starting address", m_start);
        return false;
    }
    uint32_t count = 0;
    if (!ParseDlgUInt32(GetDlgItemText(m_count), count)) {
        ShowInvalidNumberMessage(L"total sample count", m_count);
        return false;
    }
    m_ctx.FirstSample = start;
    m_ctx.SampleCount = count;
    m_count->setEditText(Q(FormatWithThousandsSeparator(count)));
    m_ctx.Source = m_snapshot->isChecked() ? CSaveBrdDataCtx::kSourceSnapshot : CSaveBrdDataCtx::kSourceBoardMemory;
    m_ctx.DestFileOpts.Pathname1 = m_dest->GetText();
    return true;
}

void CSaveBrdDataDlg::ApplySourceEnabling()
{
    const bool ram = m_ram->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(m_startLabel), static_cast<QWidget*>(m_start),
                       static_cast<QWidget*>(m_countLabel), static_cast<QWidget*>(m_count),
                       static_cast<QWidget*>(m_useCurrent), static_cast<QWidget*>(m_allRam)})
        w->setEnabled(ram);
}

void CSaveBrdDataDlg::SetControlsEnabled(bool enabled)
{
    m_ram->setEnabled(enabled);
    m_snapshot->setEnabled(enabled && !m_noSnapshot);
    for (QWidget* w : {static_cast<QWidget*>(m_scopeData), static_cast<QWidget*>(m_destLabel),
                       static_cast<QWidget*>(m_dest), static_cast<QWidget*>(m_advanced),
                       static_cast<QWidget*>(m_save)})
        w->setEnabled(enabled);
    if (enabled) {
        ApplySourceEnabling();
        return;
    }
    for (QWidget* w : {static_cast<QWidget*>(m_startLabel), static_cast<QWidget*>(m_start),
                       static_cast<QWidget*>(m_countLabel), static_cast<QWidget*>(m_count),
                       static_cast<QWidget*>(m_useCurrent), static_cast<QWidget*>(m_allRam)})
        w->setEnabled(false);
}

void CSaveBrdDataDlg::OnUseCurrent()
{
    m_count->setEditText(Q(FormatWithThousandsSeparator(m_doc.GetSampleCount())));
    m_start->setText(QString::number(m_doc.GetStartSample()));
}

void CSaveBrdDataDlg::OnAllRam()
{
    uint32_t size = 0;
    if (GetSampleRamSizeTQ8(m_device, &size) != TQ8_OK)
        return;
    m_start->setText(QStringLiteral("0"));
    m_count->setEditText(Q(FormatWithThousandsSeparator(size)));
}

bool CSaveBrdDataDlg::ReadScopePlot(bool& haveStart, uint32_t& start, bool& haveWidth, uint32_t& width)
{
    IScopePanel* panel = m_doc.GetScopeFormView();
    IScopeTQ8* plot = panel ? panel->GetScopeControl() : nullptr;
    if (!plot)
        return false;
    uint64_t first = 0;
    haveStart = SUCCEEDED(plot->get_StartSample(&first)) && first <= UINT32_MAX;
    start = haveStart ? static_cast<uint32_t>(first) : 0;
    haveWidth = SUCCEEDED(plot->get_PageWidth(&width));
    return true;
}

void CSaveBrdDataDlg::OnScopeData()
{
    bool haveStart = false, haveWidth = false;
    uint32_t start = 0, width = 0;
    if (!ReadScopePlot(haveStart, start, haveWidth, width)) {
        vlt::ErrorBeep();
        return;
    }
    uint32_t ramSize = 0;
    if (haveStart && GetSampleRamSizeTQ8(m_device, &ramSize) == TQ8_OK && start < ramSize)
        m_start->setText(QString::number(start));
    if (haveWidth)
        m_count->setEditText(Q(FormatWithThousandsSeparator(width)));
}

void CSaveBrdDataDlg::OnAdvanced()
{
    CAdvDstFileOptsDlg dialog(this, &m_ctx.DestFileOpts, IsSaving(), false, m_device);
    dialog.exec();
}

bool CSaveBrdDataDlg::CheckOutput()
{
    const CDestFileOpts& o = m_ctx.DestFileOpts;
    if (o.SpanFiles && (o.Template.Fwp_flags & DstFileOptsRules::kText)) {
        vlt::ShowMessageBox(L"Spanning data across multiple files is only implemented for binary files.",
                            MB_ICONERROR, this);
        return false;
    }
    auto empty = [](const std::wstring& p) { return DstFileOptsRules::Trim(p).empty(); };
    bool none = empty(o.Pathname1);
    if (o.Template.Fwp_flags & DstFileOptsRules::kDeinterleave)
        none = none && empty(o.Pathname2) && empty(o.Pathname3) && empty(o.Pathname4);
    if (none) {
        vlt::ShowMessageBox(L"No output file(s) have been specified.", MB_ICONERROR, this);
        m_dest->Edit()->setFocus();
        return false;
    }
    return true;
}

void CSaveBrdDataDlg::OnSave()
{
    if (IsSaving() || !SaveControls() || !CheckOutput())
        return;
    // Built here: the named-stream question is a box, which the worker may not show.
    if (!m_ctx.DestFileOpts.BuildFileWriteParams(m_fwp, nullptr) || !CheckDestinations())
        return;
    m_fwp.Fwp_progressCb = reinterpret_cast<void*>(&CSaveBrdDataDlg::SaveCallback);
    m_fwp.Fwp_progressCtx = this;
    m_status->clear();
    m_progress->setValue(0);
    m_result = 0;
    m_cancel = false;
    m_lastProgress = 0;
    m_closeWhenDone = false;
    try {
        m_worker = std::thread(&CSaveBrdDataDlg::RunWorker, this);
    } catch (const std::system_error& e) {
        ShowSystemErrorBox(e.code().value(), L"Failed to create background thread: ");
        return;
    }
    SetControlsEnabled(false);
}

// A FIFO, a device or a folder where a file of this computer should go is
// refused before the save starts, with the reason; the library would refuse
// it too, but could only say that the file could not be written.
bool CSaveBrdDataDlg::CheckDestinations()
{
    if (IsDeviceRemoteTQ8(m_device) != 0)
        return true;
    const char* const paths[] = {m_fwp.Fwp_path1, m_fwp.Fwp_path2, m_fwp.Fwp_path3, m_fwp.Fwp_path4};
    // The other three are written only with a file per channel.
    const size_t used = (m_fwp.Fwp_flags & DstFileOptsRules::kDeinterleave) ? 4 : 1;
    for (size_t k = 0; k < used; ++k) {
        std::string reason;
        if (paths[k] && !vlt::CheckWriteTarget(paths[k], &reason)) {
            vlt::ShowMessageBox(ErrorBoxNamePrefix(m_device) + kSaveFailed + vlt::Utf8ToWide(reason), MB_ICONERROR,
                                this);
            m_dest->Edit()->setFocus();
            return false;
        }
    }
    return true;
}

void CSaveBrdDataDlg::RunWorker()
{
    const CSaveBrdDataCtx& ctx = m_ctx;
    int32_t result = 0;
    int error = 0; // the system's reason of a file that could not be written
    if (ctx.Source == CSaveBrdDataCtx::kSourceSnapshot) {
        result = DumpRawData(m_doc.GetSnapshotBuffer(), m_doc.GetSnapshotSamples(), &m_fwp);
        error = errno;
    } else {
        uint8_t* dma = nullptr;
        if (UsesFastPath(ctx.SampleCount) && AllocateDmaBufferTQ8(m_device, kDmaBytes, &dma) == TQ8_OK && dma) {
            std::memset(dma, 1, kDmaBytes);
            result = ReadFast(ctx.FirstSample, ctx.SampleCount, dma, kDmaBytes, &m_fwp);
            error = errno;
            FreeDmaBufferTQ8(m_device, dma);
        } else {
            result = ReadBuffered(ctx.FirstSample, ctx.SampleCount, &m_fwp);
            error = errno;
        }
    }
    m_result = result;
    m_systemError = result == TQ8_ERR_FILE_WRITE ? error : 0;
    vlt::PostAppMessage(this, kMsgWorkerDone);
}

bool CSaveBrdDataDlg::UsesFastPath(uint32_t count)
{
    return count > 0x100000u && count % 0x1000u == 0;
}

int32_t CSaveBrdDataDlg::DumpRawData(const uint8_t* buffer, uint32_t count, const TQ8_FILE_WRITE_PARAMS* fwp)
{
    return _DumpRawDataTQ8(m_device, buffer, count, fwp);
}

int32_t CSaveBrdDataDlg::ReadFast(uint32_t start, uint32_t count, uint8_t* dma, uint32_t bytes,
                                  const TQ8_FILE_WRITE_PARAMS* fwp)
{
    return ReadSampleRamFileFastTQ8(m_device, start, count, dma, bytes, fwp);
}

int32_t CSaveBrdDataDlg::ReadBuffered(uint32_t start, uint32_t count, const TQ8_FILE_WRITE_PARAMS* fwp)
{
    return ReadSampleRamFileBufTQ8(m_device, start, count, fwp);
}

int32_t CSaveBrdDataDlg::ProgressOf(uint64_t done, uint64_t total)
{
    if (total == 0)
        return 0;
    if (done >= total)
        return 10000;
    // done < total: done × 10000 overflows only beyond 1.8e15 samples.
    if (done > UINT64_MAX / 10000)
        return static_cast<int32_t>(done / (total / 10000));
    return static_cast<int32_t>(done * 10000 / total);
}

int32_t CSaveBrdDataDlg::SaveCallback(TQ8_HANDLE, void* context, uint32_t, uint32_t, uint32_t, uint64_t done, uint64_t,
                                      uint64_t total)
{
    auto* self = static_cast<CSaveBrdDataDlg*>(context);
    if (self->m_cancel)
        return TQ8_ERR_CANCELLED;
    const int32_t value = ProgressOf(done, total);
    if (value != self->m_lastProgress.exchange(value))
        vlt::PostAppMessage(self, kMsgProgress, uintptr_t(value));
    return 0;
}

intptr_t CSaveBrdDataDlg::OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t)
{
    if (msg == kMsgWorkerDone)
        OnWorkerDone();
    else if (msg == kMsgProgress)
        OnProgress(int32_t(wParam));
    return 0;
}

void CSaveBrdDataDlg::OnProgress(int32_t value)
{
    if (IsSaving())
        m_progress->setValue(value);
}

void CSaveBrdDataDlg::OnWorkerDone()
{
    if (!m_worker.joinable())
        return;
    m_worker.join();
    if (!m_cancel) {
        if (m_result != 0) {
            // A failed save wrote nothing that stays: the bar says so.
            m_progress->setValue(0);
            ReportFailure();
        } else {
            m_progress->setValue(10000);
            m_status->setText(QStringLiteral("Save operation complete"));
        }
    }
    SetControlsEnabled(true);
    if (m_closeWhenDone) {
        QDialog::reject();
        return;
    }
    setFocus();
}

// The library's text, then the system's reason ("No space left on device")
// or the library's own (a path a remote board's server does not take).
void CSaveBrdDataDlg::ReportFailure()
{
    std::wstring text;
    FormatDeviceErrorText(text, m_result, kSaveFailed, m_device);
    if (m_systemError != 0) {
        FormatSystemErrorText(m_systemError, text, (text + L"\n\n").c_str());
    } else {
        wchar_t* reason = nullptr;
        GetFileWriteErrorWTQ8(m_device, &m_fwp, &reason);
        if (reason) {
            text += L"\n\n" + std::wstring(reason);
            FreeMemoryTQ8(reason);
        }
    }
    if (m_result == TQ8_ERR_OUT_OF_BOUNDS && m_ctx.Source == CSaveBrdDataCtx::kSourceBoardMemory)
        text += MemoryBoundsNote();
    vlt::ShowMessageBox(text, MB_ICONERROR, this);
}

// What the board's memory holds against what the save asked for.
std::wstring CSaveBrdDataDlg::MemoryBoundsNote() const
{
    uint32_t ramSize = 0;
    if (GetSampleRamSizeTQ8(m_device, &ramSize) != TQ8_OK)
        return {};
    return L"\n\nThe board's memory holds " + FormatWithThousandsSeparator(ramSize) + L" samples; the save asks for "
        + FormatWithThousandsSeparator(m_ctx.SampleCount) + L" samples from sample "
        + FormatWithThousandsSeparator(m_ctx.FirstSample) + L".";
}

bool CSaveBrdDataDlg::AskCancel()
{
    if (!IsSaving())
        return true;
    if (m_cancel) // already asked; the worker is on its way out
        return false;
    if (vlt::ShowMessageBox(L"Cancel save operation?", MB_YESNO | MB_ICONQUESTION, this) != IDYES)
        return false;
    // The library stops at its next call-back; the dialog closes once the
    // worker has ended, so the UI never waits on it.
    m_cancel = true;
    m_closeWhenDone = true;
    return false;
}

void CSaveBrdDataDlg::reject()
{
    if (AskCancel())
        QDialog::reject();
}

void CSaveBrdDataDlg::closeEvent(QCloseEvent* event)
{
    if (AskCancel())
        event->accept();
    else
        event->ignore();
}

#include "CRecordController.h"

#include <algorithm>
#include <filesystem>

#include <QWidget>

#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "ErrorBox.h"
#include "IRecordWindowHost.h"
#include "MessageBox.h"
#include "RecordingTexts.h"
#include "TextConv.h"
#include "ValueFormat.h"

namespace {

constexpr uint32_t kSessionBits = CRecordController::kStateCreated | CRecordController::kStateArmed;
constexpr uint32_t kRunBits = kSessionBits | CRecordController::kStateFinished | CRecordController::kStateFailed;

std::wstring Trimmed(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

bool IsExistingDirectory(const std::wstring& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(vlt::WideToUtf8(path), ec);
}

} // namespace

CRecordController::CRecordController(IRecordWindowHost& host, CRecParamsManager& manager, CMultiModeLog log)
    : m_host(host), m_manager(manager), m_log(std::move(log))
{
}

CRecParamsManager::CDevState* CRecordController::Entry(TQ8_HANDLE device)
{
    return m_manager.FindDeviceParams(device) ? &m_manager.GetDeviceParams(device) : nullptr;
}

CMainDoc* CRecordController::DocumentOf(TQ8_HANDLE device) const
{
    const CRecParamsManager::CDevState* entry = m_manager.FindDeviceParams(device);
    if (entry && entry->Document)
        return entry->Document;
    CDeviceManagerTQ8* devices = m_manager.GetDeviceManager();
    return devices ? devices->GetDocument(device) : nullptr;
}

std::wstring CRecordController::BoardName(TQ8_HANDLE device, bool shortName) const
{
    CMainDoc* doc = DocumentOf(device);
    return doc ? doc->GetDeviceDisplayName(shortName) : L"TQ3300";
}

bool CRecordController::Exchange(bool save)
{
    const bool ok = m_host.ExchangeData(save);
    m_multiple = m_host.IsMultipleModeChecked();
    return ok;
}

void CRecordController::BeginStop()
{
    m_lastError.clear();
    if (m_multiple) {
        uint32_t repetitions = 0;
        if (!m_host.ReadRepetitions(repetitions))
            return;
        m_repetitions = repetitions;
        m_host.ShowStatistics(m_passes, m_attempts);
        if (m_attempts >= m_repetitions) {
            m_attempts = m_passes = 0;
            return;
        }
    } else {
        m_attempts = m_passes = 0;
    }
    if (m_recording) {
        Stop();
        ReportCompletion(true);
    } else {
        Start();
    }
}

void CRecordController::RequestBeginStop()
{
    // The step may start a new recording set: never while a tick walks the set.
    if (m_inTick)
        ++m_pendingBeginStop;
    else
        m_host.QueueBeginStop();
}

void CRecordController::OnQueuedBeginStop()
{
    if (m_inTick)
        ++m_pendingBeginStop;
    else
        BeginStop();
}

bool CRecordController::Start()
{
    if (!Exchange(true))
        return false;
    const std::wstring root = Trimmed(DefaultDir);
    if (!root.empty() && !IsExistingDirectory(root)) {
        m_host.ShowBox(L"Specified default directory does not exist.", MB_ICONERROR);
        return false;
    }
    std::vector<TQ8_HANDLE> set;
    m_manager.GetDevices(set, true);
    // A board without a document cannot record.
    set.erase(std::remove_if(set.begin(), set.end(), [&](TQ8_HANDLE h) { return !DocumentOf(h); }), set.end());
    m_set = set;
    if (m_set.empty()) {
        m_host.ShowBox(L"No devices have been selected for recording. Please check the device(s) that you would "
                       L"like to record in the device list control",
                       MB_ICONERROR);
        m_host.FocusDeviceList();
        return false;
    }
    m_host.ClearStateColumn();
    m_host.ShowTroubleLine({});
    m_unlimited = false;
    m_expectedTotal = 0;
    m_longestElapsed = 0;
    m_amount = 0;
    m_live.clear();
    if (!CreateSessions()) {
        Stop();
        return false;
    }
    if ((m_manager.Flags & kFlagPause)
        && m_host.ShowBox(L"Recording is primed and ready to go. Select OK to arm boards for recording",
                          MB_OKCANCEL | MB_ICONINFORMATION) == IDCANCEL) {
        Stop();
        m_host.ShowStatusText(L"Recording cancelled by user", kStatusMs);
        return false;
    }
    if (!ArmSessions()) {
        Stop();
        return false;
    }
    m_host.SetRecordingControls(true, m_unlimited);
    m_recording = true;
    std::wstring text = L"Recording armed";
    if (m_running > 1)
        text += L"; " + std::to_wstring(m_running) + L" devices";
    m_host.ShowStatusText(text + RaisedTransferNote(), kStatusMs);
    return true;
}

std::wstring CRecordController::RaisedTransferNote() const
{
    const uint32_t asked = m_manager.TransferSamples;
    if (asked == 0)
        return {};
    // The library raises a size below the least it takes; what it used, it tells.
    uint32_t used = 0;
    for (TQ8_HANDLE device : m_set) {
        CMainDoc* doc = DocumentOf(device);
        TQ8_REC_SESSION_PROGRESS_EX live{};
        live.base.Rpr_ss = sizeof live;
        if (!doc || GetRecordingSessionProgressTQ8(doc->GetRecordingSession(), &live.base, 0) != TQ8_OK)
            continue;
        FreeMemoryTQ8(live.base.Rpr_errorText);
        used = std::max(used, live.Rpr_transferSamples);
    }
    if (used <= asked)
        return {};
    return L"; transfer size raised from " + FormatWithThousandsSeparator(asked) + L" to "
           + FormatWithThousandsSeparator(used) + L" samples";
}

bool CRecordController::CreateSessions()
{
    const std::wstring root = Trimmed(DefaultDir);
    for (TQ8_HANDLE device : m_set) {
        CRecParamsManager::CDevState& entry = m_manager.GetDeviceParams(device);
        CRecParams& params = entry.RecParams;
        params.Flags = m_manager.Flags;
        params.RecType = m_manager.RecType;
        params.RecDurType = m_manager.RecDurType;
        params.DurSamples = m_manager.DurSamples;
        params.DurMs = m_manager.DurMs;
        params.AcqSamples = m_manager.AcqSamples;
        params.OutFlags = 0;
        entry.RecordedSamples = 0;
        entry.StateFlags &= ~kRunBits;
        if (!params.BuildSessionParams(device, m_manager, entry.SessionParams, root.empty() ? nullptr : root.c_str())) {
            // Without a word the button would seem to do nothing.
            m_host.ShowBox(L"Failed to prepare the recording of " + BoardName(device, false)
                               + L": check its destination file and the recording duration.",
                           MB_ICONERROR);
            return false;
        }
        if (entry.SessionParams.Rsp_samplesToRecord != 0)
            m_expectedTotal += entry.SessionParams.Rsp_samplesToRecord;
        else
            m_unlimited = true;
        if (!DocumentOf(device)->CreateRecordingSession(m_manager, entry))
            return false;
        entry.StateFlags |= kStateCreated;
        entry.SnapshotCounter = 0;
    }
    return true;
}

bool CRecordController::ArmSessions()
{
    m_running = 0;
    for (TQ8_HANDLE device : m_set) {
        if (!DocumentOf(device)->ArmRecordingSession())
            return false;
        m_manager.GetDeviceParams(device).StateFlags |= kStateArmed;
        ++m_running;
    }
    return true;
}

void CRecordController::Stop()
{
    const std::vector<TQ8_HANDLE> set = m_set;
    for (TQ8_HANDLE device : set) {
        CRecParamsManager::CDevState* entry = Entry(device);
        if (!entry || !(entry->StateFlags & kSessionBits))
            continue;
        TQ8_REC_SESSION_PROGRESS_EX last{};
        last.base.Rpr_ss = sizeof last;
        int32_t rc = TQ8_ERR_INVALID_HANDLE;
        if (CMainDoc* doc = DocumentOf(device))
            doc->EndRecordingSession(&entry->RecParams.OutFlags, &last.base, &rc);
        entry->StateFlags &= ~kSessionBits;
        // A board still running when the recording ends shows where it ended.
        if (m_recording && !(entry->StateFlags & kStateFinished))
            ShowEnded(device, last, rc);
        else if (rc == TQ8_OK && last.base.Rpr_errorText)
            FreeMemoryTQ8(last.base.Rpr_errorText);
    }
    if (!m_recording)
        return;
    m_recording = false;
    SumRecorded();
    ShowTickFigures();
    m_host.SetRecordingControls(false, false);
    m_host.ShowStatusText(L"Recording ended", kStatusMs);
}

void CRecordController::ShowEnded(TQ8_HANDLE device, TQ8_REC_SESSION_PROGRESS_EX& last, int32_t rc)
{
    const std::wstring errorText = TakeProgress(device, last, rc);
    const TQ8_REC_SESSION_PROGRESS& progress = last.base;
    std::wstring state = rectext::BoardProgressText(progress);
    if (progress.Rpr_status == TQ8_REC_STATUS_FAILED)
        FailureMessage(device, errorText, progress.Rpr_errorCode, state);
    else
        state += rectext::EndedNote(progress) + rectext::LiveNotes(last);
    m_host.SetRowState(device, state);
}

void CRecordController::SumRecorded()
{
    m_amount = 0;
    for (TQ8_HANDLE device : m_set)
        if (const CRecParamsManager::CDevState* entry = m_manager.FindDeviceParams(device))
            m_amount += entry->RecordedSamples;
}

void CRecordController::Tick()
{
    if (m_inTick)
        return;
    m_inTick = true;
    // A box shown for one board lets events run: the set may change meanwhile.
    const std::vector<TQ8_HANDLE> set = m_set;
    for (TQ8_HANDLE device : set) {
        const CRecParamsManager::CDevState* entry = m_manager.FindDeviceParams(device);
        if (entry && !(entry->StateFlags & kStateFinished))
            UpdateBoard(device);
    }
    SumRecorded();
    ShowTickFigures();
    ShowTrouble();
    if (m_recording && m_running <= 0) {
        Stop();
        ReportCompletion(false);
    }
    m_inTick = false;
    for (; m_pendingBeginStop > 0; --m_pendingBeginStop)
        m_host.QueueBeginStop();
}

void CRecordController::ShowTickFigures()
{
    if (m_longestElapsed != 0)
        m_host.ShowFigures(rectext::FormatElapsed(m_longestElapsed), FormatSampleCount(double(m_amount)),
                           rectext::FormatThroughput(m_amount, m_longestElapsed));
    if (m_expectedTotal != 0)
        m_host.SetProgressPosition(rectext::ProgressPosition(m_amount, m_expectedTotal));
}

void CRecordController::ShowTrouble()
{
    std::wstring names;
    for (TQ8_HANDLE device : m_set) {
        auto it = m_live.find(device);
        if (it == m_live.end() || !rectext::HasTrouble(it->second))
            continue;
        names += (names.empty() ? L"" : L", ") + BoardName(device, true);
    }
    m_host.ShowTroubleLine(names.empty() ? names : L"Trouble while recording: " + names);
}

void CRecordController::UpdateBoard(TQ8_HANDLE device)
{
    CMainDoc* doc = DocumentOf(device);
    TQ8_REC_SESSION_PROGRESS_EX live{};
    TQ8_REC_SESSION_PROGRESS& progress = live.base;
    progress.Rpr_ss = sizeof live;
    // A session already ended (a stop earlier in this tick) has no progress to show.
    const TQ8_REC_SESSION session = doc ? doc->GetRecordingSession() : nullptr;
    if (!session)
        return;
    const int32_t rc = GetRecordingSessionProgressTQ8(session, &progress, 0);
    const std::wstring errorText = TakeProgress(device, live, rc);
    CRecParamsManager::CDevState& entry = m_manager.GetDeviceParams(device);

    std::wstring state = rectext::BoardProgressText(progress);
    std::wstring message;
    bool finished = false;
    if (progress.Rpr_status == TQ8_REC_STATUS_FAILED) {
        if (!(m_manager.Flags & kFlagKeepOthers) || m_running <= 1)
            Stop();
        entry.StateFlags |= kStateFailed;
        message = FailureMessage(device, errorText, progress.Rpr_errorCode, state);
        finished = true;
    } else {
        if (progress.Rpr_status == TQ8_REC_STATUS_COMPLETED) {
            state += rectext::EndedNote(progress);
            finished = true;
        }
        state += rectext::LiveNotes(live);
    }
    if (finished) {
        entry.StateFlags |= kStateFinished;
        --m_running;
    }
    m_host.SetRowState(device, state);
    if (m_host.IsSnapshotDisplayChecked() && progress.Rpr_snapshotCounter != entry.SnapshotCounter) {
        entry.SnapshotCounter = progress.Rpr_snapshotCounter;
        doc->ShowRecordingSnapshot(m_manager);
    }
    if (message.empty())
        return;
    if (!m_multiple) {
        m_host.ShowBox(message, MB_ICONERROR);
        m_attempts = m_passes = 0;
        return;
    }
    m_lastError = message;
    ++m_attempts;
    m_host.ShowStatistics(m_passes, m_attempts);
    WriteLog(false);
    RequestBeginStop();
}

std::wstring CRecordController::TakeProgress(TQ8_HANDLE device, TQ8_REC_SESSION_PROGRESS_EX& live, int32_t rc)
{
    TQ8_REC_SESSION_PROGRESS& progress = live.base;
    if (rc != TQ8_OK) {
        // A session that cannot be asked (its server gone or restarted, its board
        // reset) has failed; it must not stay shown as recording. What it
        // recorded so far is kept.
        auto last = m_live.find(device);
        live = last != m_live.end() ? last->second : TQ8_REC_SESSION_PROGRESS_EX{};
        progress.Rpr_status = TQ8_REC_STATUS_FAILED;
        progress.Rpr_errorCode = rc;
        progress.Rpr_errorText = nullptr;
    }
    std::wstring errorText;
    if (progress.Rpr_errorText) {
        errorText = progress.Rpr_errorText;
        FreeMemoryTQ8(progress.Rpr_errorText);
        progress.Rpr_errorText = nullptr;
    }
    m_manager.GetDeviceParams(device).RecordedSamples = progress.Rpr_samplesRecorded;
    m_longestElapsed = std::max(m_longestElapsed, progress.Rpr_elapsedMs);
    m_live[device] = live;
    return errorText;
}

std::wstring CRecordController::FailureMessage(TQ8_HANDLE device, const std::wstring& errorText, int32_t code,
                                               std::wstring& state)
{
    std::wstring message = L"A recording error occurred on " + BoardName(device, true) + L":\n\n";
    if (!errorText.empty()) {
        message += errorText;
        state = L"ERROR: " + errorText;
    } else if (code != 0) {
        std::wstring text;
        GetErrorTextString(code, text, device);
        message += text;
        state = L"ERROR: " + text;
    } else {
        message += L"<Unknown Error>";
        state = L"ERROR: <Unknown>";
    }
    return message;
}

void CRecordController::ReportCompletion(bool userStopped)
{
    std::wstring text = L"Recording complete";
    unsigned icon = MB_ICONINFORMATION;
    ++m_passes;
    ++m_attempts;
    bool notes = false;
    std::vector<TQ8_HANDLE> selected;
    m_manager.GetDevices(selected, true);
    for (TQ8_HANDLE device : selected) {
        const CRecParamsManager::CDevState* entry = m_manager.FindDeviceParams(device);
        const uint32_t outFlags = entry ? entry->RecParams.OutFlags : 0;
        if (!(outFlags & 3))
            continue;
        icon = MB_ICONWARNING;
        if (!notes)
            text += L"\n\nNotes:\n\n";
        notes = true;
        text += BoardName(device, false) + L":\n";
        if (outFlags & 1) {
            text += L"  - Timestamp FIFO overflowed at least once\n";
            auto it = m_live.find(device);
            if (it != m_live.end() && it->second.Rpr_timestampsDropped != 0)
                text += L"  - " + std::to_wstring(it->second.Rpr_timestampsDropped) + L" timestamps were dropped\n";
        }
        if (outFlags & 2)
            text += L"  - No timestamps were generated\n";
    }
    if (m_multiple) {
        m_host.ShowStatistics(m_passes, m_attempts);
        WriteLog(true);
        RequestBeginStop();
    } else if (notes || !userStopped) {
        m_host.ShowBox(text, icon);
    }
}

void CRecordController::WriteLog(bool passed)
{
    m_log.Write(m_attempts, rectext::LogEntry(m_attempts, passed, m_lastError, m_longestElapsed, m_amount));
}

void CRecordController::RemoveDevice(TQ8_HANDLE device)
{
    auto it = std::find(m_set.begin(), m_set.end(), device);
    if (it == m_set.end())
        return;
    const CRecParamsManager::CDevState* entry = m_manager.FindDeviceParams(device);
    // A board that goes while it records no longer holds up the end.
    if (m_recording && entry && (entry->StateFlags & kStateArmed) && !(entry->StateFlags & kStateFinished))
        --m_running;
    m_set.erase(it);
    m_live.erase(device);
}

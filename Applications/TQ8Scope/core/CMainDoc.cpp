#include "CMainDoc.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <vector>

#include <cmath>

#include <QApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include "CAcquisitionThread.h"
#include "CAutoXmlDoc.h"
#include "CChildFrame.h"
#include "CDeviceManagerTQ8.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "CVltHub6Mgr.h"
#include "CommandIds.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "FileNames.h"
#include "FileDialog.h"
#include "IActionForm.h"
#include "IDataForm.h"
#include "IDocView.h"
#include "IFreqDomainWindow.h"
#include "IScopePanel.h"
#include "PersistentOptsKeys.h"
#include "TextConv.h"
#include "XmlRoutines.h"

namespace {
constexpr uint32_t kAlwaysShownPages = 0x2037;
constexpr unsigned kStatusMs = 2500;
constexpr wchar_t kSettingsFilter[] = L"TQ3300 Settings Files (*.tq8set)|*.tq8set|All Files (*.*)|*.*||";
constexpr wchar_t kAcquisitionErrorPrefix[] = L"An error occurred during acquisition: ";
constexpr wchar_t kFirmwareFilter[] =
    L"TQ3300 Firmware Update Files (*.tq8fw)|*.tq8fw|XSVF Files (*.xsvf)|*.xsvf|All Files (*.*)|*.*||";
constexpr unsigned kActiveDelayMs = 400;

std::wstring CompletionTime()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[129] = {};
    if (!localtime_r(&now, &local) || std::strftime(text, sizeof(text), " complete: %x %X", &local) == 0)
        return {};
    return vlt::Utf8ToWide(text);
}

// Why a settings file that the library refused cannot be read: the file
// reader's or the XML parser's reason; empty when it reads as XML, so that
// the library's own text (the settings do not fit the board) stands.
std::wstring SettingsFileReason(const std::wstring& path)
{
    std::string reason;
    CAutoXmlDoc doc(XmlReadFile(vlt::WideToUtf8(path), nullptr, 0, &reason));
    return doc ? std::wstring() : vlt::Utf8ToWide(reason);
}

// The element and the value that the board refused, after a blank line;
// empty when the library names none.
std::wstring SettingsValueReason(TQ8_HANDLE device, const std::wstring& path)
{
    wchar_t* reason = nullptr;
    GetSettingsFileErrorWTQ8(device, path.c_str(), &reason);
    const std::wstring text = reason ? L"\n\n" + std::wstring(reason) : L"";
    FreeMemoryTQ8(reason);
    return text;
}

std::wstring Format(const wchar_t* format, double a, double b)
{
    std::vector<wchar_t> text(1024);
    std::swprintf(text.data(), text.size(), format, a, b);
    return text.data();
}
} // namespace

CMainDoc::CMainDoc(CMainApp* app, CDeviceManagerTQ8* devices, TQ8_HANDLE device, uint32_t handOverFlags)
    : m_app(app), m_devices(devices), m_device(device)
{
    m_flags = (m_flags & ~docstate::kHandOver) | (handOverFlags & docstate::kHandOver);
    m_thread = std::make_unique<CAcquisitionThread>(this);
    LoadDocOptions();
    AttachDevice();
}

CMainDoc::~CMainDoc()
{
    // An upload window still open would call back into a document that is
    // gone; it goes first, as its upload still uses the board.
    delete m_firmwareUpload.data();
    delete m_registerCache.data();
    delete m_serialDeviceIo.data();
    ReleaseDevice();
    SaveDocOptions();
    m_freqDomain.reset();
    delete m_driverStats.data();
}

void CMainDoc::AttachDevice()
{
    m_wsData.Reset();
    if (m_devices && m_device) {
        m_devices->SetDocument(m_device, this);
        m_devices->OnDocumentAttached(m_device);
    }
    // The board may have been given a controller, or boards to control,
    // before it had a window.
    ReadControllerRoles();
    UpdateTitle();
    if (m_app && m_device) {
        CMainFrame* frame = MainFrame();
        if (IRecordingWindow* window = frame ? frame->GetRecordingWindow() : nullptr)
            window->AddDevice(m_device);
        else if (CRecParamsManager* recParams = m_app->GetWorkspace().GetRecParamsManager())
            recParams->AddDevice(m_device);
    }
    if (m_device && !(m_app && m_app->IsUnsafeMode()) && InIdleModeTQ8(m_device) != 0 && ValidateEeprom(true))
        ShowStatusText(L"Configuration EEPROM validated", kStatusMs);
}

// ---- State ------------------------------------------------------------------

uint32_t CMainDoc::GetControlPanelPageMask() const
{
    uint32_t mask = kAlwaysShownPages;
    if (IsUnsafeMode())
        mask |= 0x1000;
    if (!m_device)
        return mask | 0x8;
    const uint32_t features = GetBoardFeaturesTQ8(m_device);
    if (features & 0x1)
        mask |= 0x40;
    if (features & 0x8)
        mask |= 0x80;
    if (IsDeviceRemoteTQ8(m_device) != 0)
        mask |= 0x4000;
    const struct { int32_t package; uint32_t page; } packages[] = {{2, 0x100}, {4, 0x200}, {5, 0x400}, {6, 0x800}};
    for (const auto& p : packages)
        if (IsFixedLogicPackagePresentTQ8(m_device, p.package) == 0)
            mask |= p.page;
    bool fixedOffset = (GetInputChannelFlagsTQ8(m_device, 0) & 0x80) != 0;
    const int32_t channels = IsTwoChannelModel() ? 2 : 4;
    for (int32_t ch = 0; fixedOffset && ch < channels; ++ch)
        fixedOffset = (GetInputChannelFlagsTQ8(m_device, ch) & 0x2) != 0;
    if (!fixedOffset)
        mask |= 0x8;
    return mask;
}

void CMainDoc::SetLimitPlotData(bool on)
{
    m_flags = on ? (m_flags | docstate::kLimitPlotData) : (m_flags & ~docstate::kLimitPlotData);
    if (m_scopePanel)
        m_scopePanel->ApplySampleLimit(GetPlotDataLimit());
}

void CMainDoc::SetAlwaysForceTrigger(bool on)
{
    m_flags = on ? (m_flags | docstate::kAlwaysForceTrigger) : (m_flags & ~docstate::kAlwaysForceTrigger);
    if (on && (m_flags & docstate::kBusy) && m_device)
        IssueSoftwareTriggerTQ8(m_device);
}

void CMainDoc::SetNoPlotAfterAcquisition(bool on)
{
    m_flags = on ? (m_flags | docstate::kNoPlot) : (m_flags & ~docstate::kNoPlot);
}

void CMainDoc::SetStopOnThresholdChange(bool on, int32_t channel, uint32_t sample, uint8_t level)
{
    if (!on) {
        m_flags &= ~docstate::kStopOnThreshold;
        return;
    }
    m_flags |= docstate::kStopOnThreshold;
    m_thresholdChannel = channel;
    m_thresholdSample = sample;
    m_thresholdLevel = level;
}

bool CMainDoc::IsTwoChannelModel() const
{
    return m_device && GetBoardRevisionTQ8(m_device) == 1;
}

bool CMainDoc::IsMaster() const
{
    return m_device && GetMasterSlaveConfigurationTQ8(m_device, 1) == 1;
}

bool CMainDoc::IsSlave() const
{
    if (!m_device)
        return false;
    const int32_t config = GetMasterSlaveConfigurationTQ8(m_device, 1);
    return config == 2 || config == 3;
}

bool CMainDoc::IsVirtualDevice() const
{
    return m_device && IsDeviceVirtualTQ8(m_device) > 0;
}

CMainDoc* CMainDoc::DocumentOf(TQ8_HANDLE device) const
{
    return (m_devices && device) ? m_devices->GetDocument(device) : nullptr;
}

TQ8_HANDLE CMainDoc::GetControllerDevice() const
{
    return m_devices ? m_devices->GetController(m_device) : nullptr;
}

CMainDoc* CMainDoc::GetControllerDocument() const
{
    return DocumentOf(GetControllerDevice());
}

void CMainDoc::SetControlled(TQ8_HANDLE controller)
{
    // A board that loses its controller while it acquires for it (its
    // window closed, the board gone) ends that part: nothing else would
    // restart it or take it out of continuous mode.
    if (!controller && IsControlled() && (m_flags & docstate::kBusy))
        StopAcquisition();
    m_flags = controller ? (m_flags | docstate::kControlled) : (m_flags & ~docstate::kControlled);
    UpdateAllViews(dochint::kControllerRole);
}

void CMainDoc::RefreshControllerFlag()
{
    const bool controller = m_devices && m_devices->HasControlledDevices(m_device);
    m_flags = controller ? (m_flags | docstate::kController) : (m_flags & ~docstate::kController);
    UpdateAllViews(dochint::kControllerRole);
}

void CMainDoc::ReadControllerRoles()
{
    m_flags &= ~(docstate::kController | docstate::kControlled);
    if (m_devices && m_devices->HasControlledDevices(m_device))
        m_flags |= docstate::kController;
    else if (m_devices && m_devices->IsControlledDevice(m_device))
        m_flags |= docstate::kControlled;
}

void CMainDoc::AfterWorkspaceLoad()
{
    ReadControllerRoles();
    UpdateAllViews(dochint::kAfterWorkspaceLoad);
    if (m_childFrame)
        m_childFrame->SelectControlPage(m_wsData.DocActiveView);
}

void CMainDoc::BeforeWorkspaceSave()
{
    if (m_childFrame)
        m_wsData.DocActiveView = m_childFrame->GetSelectedControlPage();
    UpdateAllViews(dochint::kBeforeWorkspaceSave);
}

void CMainDoc::OnAppNotify(IBoardDocument*, int type, void* object)
{
    switch (type) {
    case appnotify::kPlotOptions: UpdateAllViews(dochint::kPlotOptions); break;
    case appnotify::kDeviceList: UpdateAllViews(dochint::kDeviceList, object); break;
    case appnotify::kBeforeWorkspaceSave: BeforeWorkspaceSave(); break;
    case appnotify::kAfterWorkspaceLoad: AfterWorkspaceLoad(); break;
    default: break;
    }
}

int32_t CMainDoc::SafeToObtainChannelData(uint32_t) const
{
    return (m_flags & docstate::kPlotReadMask) == docstate::kBoardMemoryData ? kArbiterOk : kArbiterNo;
}

// ---- Names and options ----------------------------------------------------------

std::wstring CMainDoc::GetDeviceDisplayName(bool shortName, TQ8_HANDLE device) const
{
    if (!device)
        device = m_device;
    if (!device)
        return L"<No device>";
    std::wstring name;
    if (GetBoardNameString(device, name, shortName ? TQ8_NAME_SET_SHORT : TQ8_NAME_SET_DISPLAY) != 0)
        return L"TQ3300";
    return name;
}

std::wstring CMainDoc::GetDefaultSettingsFileName() const
{
    std::wstring name;
    if (!m_device || GetBoardNameString(m_device, name, TQ8_NAME_SET_FILE) != 0)
        name = L"TQ3300";
    if (IsVirtualDevice())
        name += L"v";
    return name + L".tq8set";
}

void CMainDoc::UpdateTitle()
{
    m_title = GetDeviceDisplayName();
    if (!m_settingsPath.empty())
        m_title += L" - " + FileNameOf(m_settingsPath);
}

void CMainDoc::LoadDocOptions()
{
    if (!m_app)
        return;
    CPersistentOpts& options = m_app->GetPersistentOpts();
    options.GetItemUInt(opts::kDocStartSample, m_startSample, m_startSample);
    options.GetItemUInt(opts::kDocSampleCount, m_sampleCount, m_sampleCount);
    uint32_t saveFlags = opts::kSaveDataFlagsDefault;
    options.GetItemUInt(opts::kSaveDataFlags, saveFlags, opts::kSaveDataFlagsDefault);
    m_saveCtx.SetStoredFlags(saveFlags);
}

void CMainDoc::SaveDocOptions()
{
    if (!m_app)
        return;
    CPersistentOpts& options = m_app->GetPersistentOpts();
    options.SetItemUInt(opts::kDocStartSample, m_startSample);
    options.SetItemUInt(opts::kDocSampleCount, m_sampleCount);
    options.SetItemUInt(opts::kSaveDataFlags, m_saveCtx.GetStoredFlags());
}

// ---- Settings files -----------------------------------------------------------

void CMainDoc::SetSettingsPath(const std::wstring& path, bool addToRecent)
{
    m_settingsPath = path;
    if (addToRecent && m_app && !path.empty()) {
        m_app->GetRecentFileList().Add(path);
        m_app->GetRecentFileList().WriteList();
    }
    UpdateTitle();
}

void CMainDoc::ReportSettingsLoadFailure(int32_t result, const std::wstring& path)
{
    constexpr wchar_t kPrefix[] = L"Failed to load and apply board settings: ";
    const std::wstring reason =
        result == TQ8_ERR_FILE_UNREADABLE || result == TQ8_ERR_BAD_SETTINGS ? SettingsFileReason(path) : L"";
    if (!reason.empty()) {
        vlt::ShowMessageBox(ErrorBoxNamePrefix(m_device) + kPrefix + reason, MB_ICONERROR);
        return;
    }
    std::wstring text;
    FormatDeviceErrorText(text, result, kPrefix, m_device);
    // Well-formed settings the board refuses: which element holds what.
    if (result == TQ8_ERR_BAD_SETTINGS)
        text += SettingsValueReason(m_device, path);
    vlt::ShowMessageBox(text, MB_ICONERROR);
}

void CMainDoc::SetModified(bool modified)
{
    m_modified = modified;
    if (modified && m_app)
        m_app->GetWorkspace().SetModified(true);
}

bool CMainDoc::LoadSettingsFile(const std::wstring& path)
{
    return LoadSettings(path) > 0;
}

int CMainDoc::LoadSettings(const std::wstring& givenPath)
{
    std::wstring path = givenPath;
    if (path.empty()) {
        vlt::FileDialogRequest request;
        request.defaultExt = L"tq8set";
        request.filter = kSettingsFilter;
        request.title = L"Open and Apply TQ3300 Hardware Settings";
        std::optional<std::wstring> chosen = vlt::ShowFileDialog(request);
        if (!chosen)
            return 0;
        path = *chosen;
    }
    // A declined or failed save of the current settings stops the load.
    if (!PromptSaveSettings())
        return 0;
    const int32_t result = LoadSettingsFromFileXmlWTQ8(m_device, 0, path.c_str());
    if (result != 0) {
        ReportSettingsLoadFailure(result, path);
        return -1;
    }
    NotifyBoardSettingsChanged();
    SetSettingsPath(path, true);
    ShowStatusText(L"Setting loaded and applied to TQ3300", kStatusMs);
    return 1;
}

bool CMainDoc::OnOpenRecentSettings(size_t index)
{
    if (!m_app || index >= m_app->GetRecentFileList().GetSize())
        return false;
    const std::wstring path = m_app->GetRecentFileList()[index];
    const int result = LoadSettings(path);
    // Only a real failure removes the entry; a cancel keeps it.
    if (result < 0) {
        CRecentFileList& list = m_app->GetRecentFileList();
        for (size_t i = 0; i < list.GetSize(); ++i)
            if (list[i] == path) {
                list.Remove(i);
                list.WriteList();
                break;
            }
    }
    return result > 0;
}

bool CMainDoc::SaveSettingsFile(const std::wstring& givenPath)
{
    const std::wstring path = givenPath.empty() ? m_settingsPath : givenPath;
    if (path.empty()) {
        vlt::ErrorBeep();
        return false;
    }
    const int32_t result = SaveSettingsToFileXmlWTQ8(m_device, 2, path.c_str(), "UTF-8");
    const int error = errno;
    if (result != 0) {
        // The library's text for the code, then the system's reason ("No
        // space left on device") where there is one.
        std::wstring text;
        FormatDeviceErrorText(text, result, L"Failed to save board settings: ", m_device);
        if (result == TQ8_ERR_FILE_WRITE && error != 0)
            FormatSystemErrorText(error, text, (text + L"\n\nCannot write '" + path + L"': ").c_str());
        vlt::ShowMessageBox(text, MB_ICONERROR);
        return false;
    }
    SetModified(false);
    return true;
}

bool CMainDoc::OnSaveSettings()
{
    if (m_settingsPath.empty())
        return OnSaveSettingsAs();
    return SaveSettingsFile(m_settingsPath);
}

bool CMainDoc::OnSaveSettingsAs()
{
    std::wstring name = GetDefaultSettingsFileName();
    vlt::FileDialogRequest request;
    request.open = false;
    request.defaultExt = L"tq8set";
    request.fileName = name.empty() ? L"TQ8Settings" : name;
    request.filter = kSettingsFilter;
    request.overwritePrompt = true;
    request.title = L"Save TQ3300 Hardware Settings As";
    std::optional<std::wstring> chosen = vlt::ShowFileDialog(request);
    if (!chosen || !SaveSettingsFile(*chosen))
        return false;
    SetSettingsPath(*chosen, true);
    return true;
}

bool CMainDoc::PromptSaveSettings()
{
    if (!m_modified || m_settingsPath.empty())
        return true;
    const int answer = ShowBox(L"Save changes to modified settings file: " + FileNameOf(m_settingsPath) + L"?",
                               MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return false;
    if (answer == IDYES)
        return OnSaveSettings();
    return true;
}

int32_t CMainDoc::CopySettingsFrom(CMainDoc& other)
{
    const int32_t result = CopyHardwareSettingsTQ8(m_device, other.m_device);
    if (result != 0)
        return result;
    NotifyBoardSettingsChanged();
    m_startSample = other.m_startSample;
    m_sampleCount = other.m_sampleCount;
    UpdateAllViews(dochint::kAcquisitionRegion);
    ShowStatusText(L"Hardware settings copied", kStatusMs);
    return 0;
}

void CMainDoc::CopySettingsToDevices(bool all)
{
    if (!m_devices)
        return;
    CDeviceManagerTQ8::HandleList list;
    if (all) {
        m_devices->GetDevicesWithDocument(list);
        std::erase(list, m_device);
    } else if (!m_devices->SelectDevices(list, CDeviceManagerTQ8::kWithDocument, CDeviceManagerTQ8::kSelAlwaysAsk,
                                         L"Copy settings to which devices?", {m_device})) {
        return;
    }
    // Only boards with a document can take the settings.
    std::erase_if(list, [this](TQ8_HANDLE h) { return h == m_device || !DocumentOf(h); });
    if (list.empty()) {
        vlt::ErrorBeep();
        return;
    }
    for (TQ8_HANDLE h : list) {
        const int32_t result = DocumentOf(h)->CopySettingsFrom(*this);
        if (result != 0 &&
            ShowDeviceErrorBox(result, L"Failed to copy hardware settings: ", h, MB_OKCANCEL | MB_ICONERROR) == IDCANCEL)
            break;
    }
}

// ---- Hardware commands ---------------------------------------------------------

void CMainDoc::OnSetPowerupDefaults()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int32_t result = SetPowerupDefaultsTQ8(m_device);
    QGuiApplication::restoreOverrideCursor();
    if (result != 0)
        ShowDeviceErrorBox(result, L"Failed to set hardware defaults: ", nullptr);
    else
        ShowStatusText(L"TQ3300 hardware defaults set", kStatusMs);
    // The board may have changed even when the call failed.
    NotifyBoardSettingsChanged();
}

void CMainDoc::OnRewriteHardwareSettings()
{
    const int32_t result = RewriteHardwareSettingsTQ8(m_device);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to rewrite hardware settings: ", nullptr);
        return;
    }
    NotifyBoardSettingsChanged();
    ShowStatusText(L"Hardware settings rewritten", kStatusMs);
}

void CMainDoc::FollowClockChange()
{
    NotifyClockChanged();
    UpdateSlaveViews();
}

void CMainDoc::NotifyBoardSettingsChanged()
{
    UpdateAllViews(dochint::kBoardSettings);
    FollowClockChange();
}

void CMainDoc::UpdateSlaveViews()
{
    if (!m_devices || !IsMaster())
        return;
    CDeviceManagerTQ8::HandleList slaves;
    m_devices->GetSlaves(m_device, slaves);
    for (TQ8_HANDLE h : slaves)
        if (CMainDoc* doc = DocumentOf(h); doc && doc->IsIdle())
            doc->UpdateAllViews(dochint::kMasterClock, m_device);
}

// ---- Direct reads -------------------------------------------------------------------

namespace {
// The last non-zero read length of each direct read, for a sample count of 0.
uint32_t g_lastRamRead = 0;
uint32_t g_lastPciRead = 0;
} // namespace

int32_t CMainDoc::AllocateDmaBuffer(uint32_t samples, bool forceFree)
{
    if (m_dmaBuffer && (forceFree || m_dmaCapacity < samples)) {
        const int32_t result = FreeDmaBufferTQ8(m_device, m_dmaBuffer);
        if (result != 0)
            return result;
        m_dmaBuffer = nullptr;
        m_dmaCapacity = m_dmaValid = 0;
    }
    if (m_dmaBuffer)
        return 0;
    const int32_t result = AllocateDmaBufferTQ8(m_device, samples, &m_dmaBuffer);
    if (result != 0) {
        m_dmaBuffer = nullptr;
        return result;
    }
    m_dmaCapacity = m_dmaValid = samples;
    return 0;
}

void CMainDoc::FreeDmaBuffer()
{
    if (m_dmaBuffer && m_device)
        FreeDmaBufferTQ8(m_device, m_dmaBuffer);
    m_dmaBuffer = nullptr;
    m_dmaCapacity = m_dmaValid = 0;
}

bool CMainDoc::PrepareDirectRead(uint32_t& remembered, uint32_t& readLength)
{
    if (!ApplyDataFormRegion())
        return false;
    readLength = m_sampleCount != 0 ? m_sampleCount : remembered;
    if (readLength != 0)
        remembered = readLength;
    // Sized from this read, so a length remembered from another document fits.
    const int32_t result = AllocateDmaBuffer(std::max(readLength, kMinDmaSamples), false);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to allocate DMA buffer: ", m_device);
        return false;
    }
    return true;
}

bool CMainDoc::FinishDirectRead(int32_t waitResult, uint32_t readLength, const wchar_t* timeoutText,
                                const wchar_t* failurePrefix)
{
    if (waitResult == TQ8_ERR_TIMEOUT) {
        ShowStatusText(timeoutText, 0);
    } else if (waitResult != 0) {
        ShowDeviceErrorBox(waitResult, failurePrefix, m_device);
        return false;
    }
    if (!m_scopePanel)
        return true;
    m_flags |= docstate::kBoardMemoryData;
    const int32_t channels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(m_device, 1));
    if (!m_scopePanel->ShowSnapshot(m_dmaBuffer, readLength, channels, 0, m_device))
        return false;
    m_dmaValid = readLength;
    return true;
}

bool CMainDoc::ReadSampleRam()
{
    uint32_t readLength = 0;
    if (!PrepareDirectRead(g_lastRamRead, readLength))
        return false;
    const int32_t result = ReadSampleRamFastTQ8(m_device, 0, readLength, m_dmaBuffer, 1);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to read sample RAM: ", m_device);
        return false;
    }
    const int32_t wait = WaitForTransferCompleteTQ8(m_device, 1000);
    SetOperatingModeTQ8(m_device, TQ8_MODE_STANDBY);
    return FinishDirectRead(wait, readLength, L"Warning: Transfer timed out", L"Failed to wait for transfer complete: ");
}

bool CMainDoc::AcquirePciBuffered()
{
    uint32_t readLength = 0;
    if (!PrepareDirectRead(g_lastPciRead, readLength))
        return false;
    SetActiveMemoryRegionTQ8(m_device, 0, 0);
    int32_t result = SetOperatingModeTQ8(m_device, TQ8_MODE_PCI_BUFFERED_ACQ);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to enter PCI buffered acquisition mode: ", m_device);
        return false;
    }
    result = GetPciAcquisitionDataFastTQ8(m_device, readLength, m_dmaBuffer, 1);
    if (result != 0) {
        SetOperatingModeTQ8(m_device, TQ8_MODE_STANDBY);
        ShowDeviceErrorBox(result, L"Failed to start asynch DMA xfer: ", m_device);
        return false;
    }
    const int32_t wait = WaitForTransferCompleteTQ8(m_device, 10000);
    SetOperatingModeTQ8(m_device, TQ8_MODE_STANDBY);
    if (!FinishDirectRead(wait, readLength, L"Warning: DMA transfer timed out", L"Failed to wait for xfer: "))
        return false;
    if (m_scopePanel && m_freqDomain && m_freqDomain->Widget()->isVisible() && m_scopePanel->GetSnapshotSourceId() != -1)
        m_freqDomain->UpdateSpectra(m_scopePanel->GetSnapshotSourceId());
    return true;
}

// ---- Document life ------------------------------------------------------------

void CMainDoc::ApplyCommandLineFile()
{
    CMainFrame* frame = MainFrame();
    if (!frame)
        return;
    const std::wstring path = m_app->GetCommandLineFile();
    switch (frame->GetCommandLineFileKind()) {
    case 1: LoadSettingsFile(path); break;
    case 2:
        // The chain goes on when the upload window closes.
        if (StartFirmwareUpload(path, true))
            return;
        break;
    case 3:
        if (m_scopePanel)
            m_scopePanel->AddFileSource(path);
        break;
    default: break;
    }
    vlt::PostAppMessage(frame, WM_APP + 2);
}

void CMainDoc::CloseDocument()
{
    // The main frame must not stay blocked for an upload window that goes
    // with this document.
    if (m_firmwareUpload) {
        delete m_firmwareUpload.data();
        OnFirmwareUploadDlgClosed();
    }
    EndRecordingSession(nullptr);
    // The acquisitions of the boards this one controls end with it.
    StopControlledAcquisitions();
    if (m_device && !IsIdle())
        SetOperatingModeTQ8(m_device, TQ8_MODE_STANDBY);
    // Sent, so that the main frame's loop has dropped this document before it goes.
    SetContinuousMode(false, false, false);
    if (m_app && m_device) {
        CMainFrame* frame = MainFrame();
        if (IRecordingWindow* window = frame ? frame->GetRecordingWindow() : nullptr)
            window->RemoveDevice(m_device);
        else if (CRecParamsManager* recParams = m_app->GetWorkspace().GetRecParamsManager())
            recParams->RemoveDevice(m_device);
    }
    ReleaseDevice();
}

void CMainDoc::ReleaseDevice()
{
    if (!m_device)
        return;
    // A session must not outlive the board it records.
    EndRecordingSession(nullptr);
    // The sync device's output is free for another board.
    if (CVltHub6Mgr* manager = SyncManager())
        manager->DetachDevice(m_device);
    StopAcquisitionThread();
    // Its completion will never come: the controller must not wait for it.
    if (CMainDoc* controller = IsControlled() ? GetControllerDocument() : nullptr)
        controller->OnControlledAcquisitionDone(m_device);
    FreeDmaBuffer();
    const TQ8_HANDLE device = m_device;
    m_device = nullptr;
    if (m_devices)
        m_devices->ReleaseDevice(device);
    else if (m_app)
        m_app->GetWorkspace().ReleaseDevice(device);
}

void CMainDoc::ShowStatusText(const std::wstring& text, unsigned timeoutMs)
{
    if (m_app && m_app->GetMainFrame())
        m_app->GetMainFrame()->ShowStatusText(text, timeoutMs);
}

void CMainDoc::UpdateAllViews(int hint, void* object, IDocView* sender)
{
    // Over a copy: a view may go away while it updates.
    const std::vector<IDocView*> views = m_views;
    for (IDocView* view : views)
        if (view != sender && std::find(m_views.begin(), m_views.end(), view) != m_views.end())
            view->OnDocumentUpdate(sender, hint, object);
}

bool CMainDoc::IsUnsafeMode() const
{
    return m_app && m_app->IsUnsafeMode();
}

int CMainDoc::ShowBox(const std::wstring& text, unsigned style)
{
    return AfxMessageBox(text, style);
}

// ---- Acquisition ----------------------------------------------------------------

uint32_t CMainDoc::OperationOfDestination(int32_t destination)
{
    switch (destination) {
    case 0: return CAcquisitionThread::kOpAcquireToBoardRam;
    case 1: return CAcquisitionThread::kOpAcquireToZab;
    case 2: return CAcquisitionThread::kOpTransferRamToZab;
    default: return 0;
    }
}

bool CMainDoc::StartAcquisitionThread()
{
    // A thread that has ended is replaced; a failure is reported here and
    // leaves no flag set.
    const int32_t result = m_thread->Start(m_device);
    if (result == CAcquisitionThread::kEventNotCreated || result == CAcquisitionThread::kThreadNotCreated) {
        ShowSystemErrorBox(m_thread->GetLastError(), result == CAcquisitionThread::kEventNotCreated
                                                         ? L"Failed to create event object: "
                                                         : L"Failed to create acquisition thread: ");
        return false;
    }
    if (result != 0) {
        errno = m_thread->GetLastError();
        ShowAcquisitionError(result);
        return false;
    }
    m_acquisitionCount = 0;
    return true;
}

void CMainDoc::StopAcquisitionThread()
{
    // Standby ends a blocking call, so the join cannot hang on it. The
    // thread may still run an operation whose cancel was already taken.
    if ((m_flags & docstate::kAcquiring) && m_device)
        SetOperatingModeTQ8(m_device, TQ8_MODE_STANDBY);
    m_thread->Stop(m_device);
}

void CMainDoc::StartAcquisition()
{
    if (IsContinuousMode() && IsReadyForNextContinuous())
        StartAcquisition(nullptr);
}

// A question asked during a start, about this board or one it controls,
// lets other messages through while it is up: the window of this board or
// of its controller may close meanwhile, and a released handle is not used.
bool CMainDoc::HoldsBoards(const CMainDoc* controller) const
{
    return m_device && (!controller || controller->m_device);
}

bool CMainDoc::StartAcquisition(CMainDoc* controller)
{
    if (!HoldsBoards(controller))
        return false;
    bool joinsLoop = false;
    if (!(m_flags & docstate::kContinuous)) {
        const uint32_t operation = OperationOfDestination(controller ? controller->m_destination : m_destination);
        if (operation == 0) {
            ShowBox(L"Unsupported acquisition destination", MB_ICONERROR);
            return false;
        }
        if (!ApplyDataFormRegion() || !ValidateAcquisitionSettings(operation) || !HoldsBoards(controller) ||
            !StartAcquisitionThread())
            return false;
        m_threadStartSample = m_startSample;
        m_threadSampleCount = m_sampleCount;
        m_threadOperation = operation;
        const bool continuous =
            IsControlled() ? (controller && controller->IsContinuousMode()) : IsAcquireContinuouslyChecked();
        if (continuous) {
            EnterContinuousMode();
            joinsLoop = !IsControlled();
        } else {
            ShowAcquisitionStarted();
        }
    }
    if (!FinishAcquisitionStart(controller))
        return false;
    // The main frame's loop hears of the board only once it has started:
    // were the message taken while a question about a controlled board is
    // up, the loop would restart this board half-way through this start.
    if (joinsLoop)
        TellMainFrameContinuous(true, true);
    return true;
}

bool CMainDoc::FinishAcquisitionStart(CMainDoc*)
{
    if (IsController() && !StartControlledAcquisitions())
        return false;
    if (!m_thread->IsRunning() && !StartAcquisitionThread()) {
        // A continuous board whose thread cannot be made again leaves the loop.
        if (IsContinuousMode())
            SetContinuousMode(false, false, true);
        return false;
    }
    m_flags |= docstate::kAcquiring;
    CAcquisitionThread::Request request;
    request.sequence = ++m_sequence;
    request.operation = m_threadOperation;
    request.startSample = m_threadStartSample;
    request.sampleCount = m_threadSampleCount;
    request.forceTrigger = IsAlwaysForceTrigger();
    m_thread->Run(request);
    return true;
}

bool CMainDoc::StartControlledAcquisitions()
{
    m_controlledOutstanding.clear();
    m_flags &= ~docstate::kControlledOutstanding;
    if (!m_devices)
        return true;
    CDeviceManagerTQ8::HandleList list;
    m_devices->GetControlledDevices(m_device, list);
    for (TQ8_HANDLE h : list) {
        CMainDoc* doc = DocumentOf(h);
        if (!doc)
            continue;
        if (!doc->StartAcquisition(this)) {
            StopAcquisition();
            return false;
        }
        m_controlledOutstanding.insert(h);
    }
    if (!m_controlledOutstanding.empty())
        m_flags |= docstate::kControlledOutstanding;
    return true;
}

void CMainDoc::StopControlledAcquisitions()
{
    if (!(m_flags & docstate::kControlledOutstanding))
        return;
    const std::set<TQ8_HANDLE> outstanding = m_controlledOutstanding;
    for (TQ8_HANDLE h : outstanding)
        if (CMainDoc* doc = DocumentOf(h))
            doc->StopAcquisition();
}

void CMainDoc::StopAcquisition()
{
    StopControlledAcquisitions();
    if ((m_flags & docstate::kAcquiring) && m_device) {
        SetOperatingModeTQ8(m_device, TQ8_MODE_STANDBY);
        // Tagged with the running operation: whichever of this and the
        // thread's own result comes second is dropped.
        if (IsVirtualDevice())
            vlt::PostAppMessage(this, WM_APP, CAcquisitionThread::EncodeCompletion(m_sequence, TQ8_ERR_CANCELLED),
                                TQ8_ERR_CANCELLED);
    }
    if (m_flags & docstate::kContinuous)
        SetContinuousMode(false, false, true);
}

intptr_t CMainDoc::OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam)
{
    if (msg != WM_APP || !m_device)
        return 0;
    const uint64_t sequence = CAcquisitionThread::SequenceOf(wParam);
    if (sequence <= m_completedSequence || sequence > m_sequence)
        return 0; // an operation already finished: one completion each
    m_completedSequence = sequence;
    OnAcquisitionDone(CAcquisitionThread::IsSuccess(wParam) ? 1 : 0, lParam);
    return 0;
}

void CMainDoc::OnAcquisitionDone(uintptr_t wParam, intptr_t lParam)
{
    const int32_t result = static_cast<int32_t>(lParam);
    const bool continuous = m_flags & docstate::kContinuous;
    CMainDoc* controller = IsControlled() ? GetControllerDocument() : nullptr;
    if (wParam == 0) {
        // The stop runs while 0x1 is still set, so the failed board goes to standby.
        if (controller)
            controller->StopAcquisition();
        else
            StopAcquisition();
        m_flags &= ~docstate::kAcquiring;
        SetAcquisitionActive(false);
        errno = m_thread->GetLastError();
        ShowAcquisitionError(result);
    } else {
        m_flags &= ~docstate::kAcquiring;
        if (!(m_flags & docstate::kControlledOutstanding) && !continuous)
            SetAcquisitionActive(false);
        if (result == TQ8_ERR_CANCELLED) {
            std::wstring text = L"Acquisition cancelled";
            if (continuous) {
                SetContinuousMode(false, false, true);
                text = L"Continuous acquisition mode cancelled";
            }
            ShowStatusText(text, kStatusMs);
        } else {
            OnAcquisitionSucceeded(result, continuous);
        }
    }
    if (controller)
        controller->OnControlledAcquisitionDone(m_device);
}

void CMainDoc::OnAcquisitionSucceeded(int32_t, bool continuous)
{
    if (!continuous)
        ShowStatusText((m_threadSampleCount == 0 ? L"Transfer" : L"Acquisition") + CompletionTime(), kStatusMs);
    if ((m_flags & docstate::kNoPlot) || m_threadOperation != CAcquisitionThread::kOpAcquireToBoardRam)
        return;
    ++m_acquisitionCount;
    m_flags |= docstate::kBoardMemoryData;
    if (m_scopePanel) {
        const int32_t srcId = m_scopePanel->AddBoardSource(m_device, this);
        if (srcId != -1 && m_freqDomain && m_freqDomain->Widget()->isVisible())
            m_freqDomain->UpdateSpectra(srcId);
    }
    if (m_flags & docstate::kStopOnThreshold)
        CheckStopOnThresholdChange();
}

void CMainDoc::OnControlledAcquisitionDone(TQ8_HANDLE device)
{
    if (m_controlledOutstanding.erase(device) == 0 || !m_controlledOutstanding.empty())
        return;
    m_flags &= ~docstate::kControlledOutstanding;
    if (!(m_flags & (docstate::kAcquiring | docstate::kContinuous)))
        SetAcquisitionActive(false);
}

void CMainDoc::SetContinuousMode(bool on, bool updateCheckBox, bool post)
{
    SetAcquisitionActive(on);
    if (!on) {
        m_flags &= ~docstate::kContinuous;
        EndControlledContinuousMode(post);
    }
    if (updateCheckBox && !IsControlled())
        SetAcquireContinuouslyChecked(on);
    if (on && IsControlled())
        return;
    TellMainFrameContinuous(on, post);
}

void CMainDoc::EnterContinuousMode()
{
    SetAcquisitionActive(true);
    if (!IsControlled())
        SetAcquireContinuouslyChecked(true);
    m_flags |= docstate::kContinuous;
}

void CMainDoc::TellMainFrameContinuous(bool on, bool post)
{
    CMainFrame* frame = m_app ? m_app->GetMainFrame() : nullptr;
    if (!frame)
        return;
    const auto doc = reinterpret_cast<intptr_t>(static_cast<IBoardDocument*>(this));
    if (post)
        vlt::PostAppMessage(frame, WM_APP, on ? 1 : 0, doc);
    else
        vlt::SendAppMessage(frame, WM_APP, on ? 1 : 0, doc);
}

// However a controller's continuous mode ends (stopped, cancelled, failed,
// its window closed), that of the boards it controls ends with it: only
// its restarts carry them.
void CMainDoc::EndControlledContinuousMode(bool post)
{
    if (!m_devices || !m_device || !IsController())
        return;
    CDeviceManagerTQ8::HandleList list;
    m_devices->GetControlledDevices(m_device, list);
    for (TQ8_HANDLE h : list)
        if (CMainDoc* doc = DocumentOf(h); doc && doc->IsContinuousMode())
            doc->SetContinuousMode(false, false, post);
}

void CMainDoc::SetAcquisitionActive(bool on)
{
    if (!on && m_actionForm)
        m_actionForm->SetAcquisitionActiveTimer(0);
    const uint32_t before = m_flags;
    m_flags = on ? (m_flags | docstate::kShownAcquiring) : (m_flags & ~docstate::kShownAcquiring);
    if (before != m_flags)
        UpdateAllViews(dochint::kAcquisitionState, on ? this : nullptr);
}

bool CMainDoc::IsReadyForNextContinuous() const
{
    return IsIdle() || (m_flags & docstate::kBusy) == docstate::kContinuous;
}

void CMainDoc::ShowAcquisitionError(int32_t code)
{
    std::wstring text;
    FormatDeviceErrorText(text, code, kAcquisitionErrorPrefix, nullptr);
    ShowBox(text, MB_ICONERROR);
}

bool CMainDoc::ThresholdChanged(uint8_t first, uint8_t second, uint8_t level)
{
    return first > level || second <= level;
}

void CMainDoc::CheckStopOnThresholdChange()
{
    const int32_t selection = GetActiveChannelsTQ8(m_device, 1);
    const int32_t channels = GetChannelCountFromChanSelTQ8(selection);
    if (channels <= 0)
        return;
    int32_t position = -1;
    for (int32_t i = 0; i < channels && position < 0; ++i)
        if (GetPhysChanNumFromChanSelIdxTQ8(selection, i) == m_thresholdChannel)
            position = i;
    if (position < 0)
        return;
    // The first sample position must fit the library's 32-bit argument.
    const uint64_t first = uint64_t(m_thresholdSample) * uint64_t(channels);
    if (first + 2u * uint64_t(channels) > UINT32_MAX)
        return;
    std::vector<uint8_t> values(2 * size_t(channels));
    if (ReadSampleRamBufTQ8(m_device, uint32_t(first), 2 * uint32_t(channels), values.data(), 0) != 0)
        return;
    if (!ThresholdChanged(values[size_t(position)], values[size_t(channels + position)], m_thresholdLevel))
        return;
    SetContinuousMode(false, false, true);
    ShowStatusText(L"Stopped continuous acqusition: threshold change", kStatusMs);
}

// ---- Validation -------------------------------------------------------------------

bool CMainDoc::IsChannelActive(int32_t physical) const
{
    const int32_t selection = GetActiveChannelsTQ8(m_device, 1);
    const int32_t channels = GetChannelCountFromChanSelTQ8(selection);
    for (int32_t i = 0; i < channels; ++i)
        if (GetPhysChanNumFromChanSelIdxTQ8(selection, i) == physical)
            return true;
    return false;
}

bool CMainDoc::ValidateAcquisitionSettings(uint32_t operation)
{
    const std::wstring name = GetDeviceDisplayName() + L": ";
    const bool zab = operation == CAcquisitionThread::kOpAcquireToZab ||
                     operation == CAcquisitionThread::kOpTransferRamToZab;
    if (zab && !(GetBoardFeaturesTQ8(m_device) & 0x1)) {
        ShowBox(name + L"Cannot do ZAB operations; ZAB not present on this device", MB_ICONERROR);
        return false;
    }
    if (GetPreTriggerSamplesTQ8(m_device, 1) > 0 && GetTriggerDelaySamplesTQ8(m_device, 1) > 0) {
        ShowBox(name + L"Both Pre-Trigger Sample and Trigger Delay Sample settings are enabled. These settings are "
                       L"mutually exclusive; if one is used, the other must be set to zero.",
                MB_ICONERROR);
        return false;
    }
    const int32_t mode = GetTriggerModeTQ8(m_device, 1);
    if (mode == 1 && GetSegmentSizeTQ8(m_device, 1) == 0) {
        ShowBox(name + L"The trigger mode is set to Segmented, but no Segment Size has been selected", MB_ICONERROR);
        return false;
    }
    const int32_t source = GetTriggerSourceTQ8(m_device, 1);
    if (source != 4 && !IsChannelActive(source)) {
        const std::wstring text = name + L"The current trigger source is input channel " + std::to_wstring(source + 1) +
                                  L", but that channel is not included in the active channel selection so the "
                                  L"acquisition will never trigger.";
        // The board's window may have closed while the warning was up.
        if (ShowBox(text, MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL || !m_device)
            return false;
    }
    if (GetRouteToSdram2EnableTQ8(m_device, 1) > 0 && mode != 1) {
        const double limit = operation == CAcquisitionThread::kOpRecording ? 1500.0 : 3000.0;
        double rate = 0.0;
        GetEffectiveAcqRateTQ8(m_device, &rate);
        const int32_t channels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(m_device, 1));
        const double bandwidth = rate * (channels > 0 ? channels : 0);
        if (bandwidth > limit) {
            ShowBox(name + Format(L"When routing all data to SDRAM2 for FPGA processing, the maximum data bandwidth is "
                                  L"%.0f MS/s. With the current settings the data bandwidth is %.0f MS/s. Acquisition "
                                  L"rate or channel count will need to be decreased to prevent data loss.",
                                  limit, bandwidth),
                    MB_ICONERROR);
            return false;
        }
    }
    if (IsSlave())
        return CheckSlaveAgainstMaster(m_device, operation);
    return true;
}

bool CMainDoc::CheckSlaveAgainstMaster(TQ8_HANDLE device, uint32_t)
{
    const std::wstring name = GetDeviceDisplayName(false, device);
    const TQ8_HANDLE master = m_devices ? m_devices->GetMaster(device) : nullptr;
    if (!master) {
        return ShowBox(L"Warning: No master has been assigned for slave device '" + name +
                           L"'. A master device is required because it provides the clock and trigger for all slave "
                           L"devices.\n\nSelect Cancel to cancel the acquisition or OK to continue with the acquisition "
                           L"anyway.",
                       MB_OKCANCEL | MB_ICONWARNING) != IDCANCEL;
    }
    // While a question is up, the slave's or the master's window may close:
    // then the check ends there, without a call on a released board.
    const auto stillPaired = [&] { return m_device == device && m_devices->GetMaster(device) == master; };
    const int32_t config = GetMasterSlaveConfigurationTQ8(device, 1);
    if (GetAdcClockSourceTQ8(device, 1) != config) {
        const int answer =
            ShowBox(L"Slave devices must have one of the slave clocks selected as the ADC clock source. Update " + name +
                        L" to use the correct slave clock?\n\nSelect Yes to change the clock source\nSelect No to keep "
                        L"the current clock source\nSelect Cancel to cancel the acquisition",
                    MB_YESNOCANCEL | MB_ICONWARNING);
        if (answer == IDCANCEL || !stillPaired())
            return false;
        if (answer == IDYES) {
            const int32_t result = SetAdcClockSourceTQ8(device, config);
            if (result != 0) {
                ShowDeviceErrorBox(result, L"Failed to set clock source: ", device);
                return false;
            }
            NotifyBoardSettingsChanged();
        }
    }
    double slaveRate = 0.0, masterRate = 0.0;
    GetActualAdcAcqRateTQ8(device, &slaveRate);
    GetActualAdcAcqRateTQ8(master, &masterRate);
    if (slaveRate != masterRate) {
        const int answer =
            ShowBox(L"The acquisition rate of " + name + L" and its master do not agree. Update slave's acquisition rate "
                        L"to match master?\n\nSelect Yes to change the slave's clock rate\nSelect No to keep the "
                        L"current clock rate\nSelect Cancel to cancel the acquisition",
                    MB_YESNOCANCEL | MB_ICONWARNING);
        if (answer == IDCANCEL || !stillPaired())
            return false;
        if (answer == IDYES) {
            const int32_t result = SetExternalClockRateTQ8(device, masterRate);
            if (result != 0) {
                ShowDeviceErrorBox(result, L"Failed to set external clock rate: ", device);
                return false;
            }
            NotifyBoardSettingsChanged();
        }
    }
    if (GetTriggerModeTQ8(device, 1) != GetTriggerModeTQ8(master, 1) &&
        ShowBox(L"Warning: The trigger mode of " + name +
                    L" and its master do not agree. Since the master is responsible for providing a trigger to all of "
                    L"its slaves, this is likely a setup error.\n\nSelect Cancel to cancel the acquisition or OK to "
                    L"continue with the acquisition anyway.",
                MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL)
        return false;
    if (!stillPaired())
        return false;
    if (CMainDoc* masterDoc = DocumentOf(master)) {
        const int32_t masterChannels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(master, 1));
        const int32_t slaveChannels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(device, 1));
        // A channel count the library cannot give skips the comparison.
        if (masterChannels > 0 && slaveChannels > 0 &&
            masterDoc->m_sampleCount / uint32_t(masterChannels) < m_sampleCount / uint32_t(slaveChannels)) {
            ShowBox(L"The slave is configured to acquire more data than the master. This will result in the slave's "
                    L"acquisition not completing.",
                    MB_ICONERROR);
            return false;
        }
    }
    return true;
}

// ---- Views, forms and the channel arbiter ------------------------------------------

void CMainDoc::AddView(IDocView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CMainDoc::RemoveView(IDocView* view)
{
    std::erase(m_views, view);
    if (m_scopeView == view)
        m_scopeView = nullptr;
}

void CMainDoc::SetScopeView(IDocView* view)
{
    m_scopeView = view;
    const std::vector<IDocView*> views = m_views;
    for (IDocView* other : views)
        if (other != view)
            other->OnDocumentUpdate(view, dochint::kScopeViewReady, nullptr);
}

void CMainDoc::CloseChildFrame()
{
    if (!m_childFrame)
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(m_childFrame->parentWidget()))
        sub->close();
    else
        m_childFrame->close();
}

void CMainDoc::OnChannelSourceAdded(uint32_t srcId)
{
    if (m_freqDomain)
        m_freqDomain->OnSourceAdded(srcId);
}

void CMainDoc::OnChannelSourceRemoved(uint32_t srcId)
{
    const std::vector<IDocView*> views = m_views;
    for (IDocView* view : views)
        if (dynamic_cast<IScopePanel*>(view) != m_scopePanel || !m_scopePanel)
            view->OnDocumentUpdate(nullptr, dochint::kSourceRemoved, &srcId);
    if (m_freqDomain)
        m_freqDomain->OnSourceRemoved(srcId);
}

void CMainDoc::OnPlotSelectionChange()
{
    if (m_freqDomain && m_freqDomain->Widget()->isVisible())
        m_freqDomain->OnPlotSelectionChanged();
}

HRESULT CMainDoc::ChannelArbiter::QueryInterface(const IID& iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (iid == IScopeTQ8ChannelArbiter::iid || iid == IUnknown::iid) {
        *ppv = static_cast<IScopeTQ8ChannelArbiter*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

// The document's life belongs to its window; the count only answers callers.
uint32_t CMainDoc::ChannelArbiter::AddRef()
{
    return ++m_doc.m_arbiterRefs;
}

uint32_t CMainDoc::ChannelArbiter::Release()
{
    return m_doc.m_arbiterRefs > 1 ? --m_doc.m_arbiterRefs : 1;
}

HRESULT CMainDoc::ChannelArbiter::SafeToObtainChannelData(uint32_t srcId)
{
    return m_doc.SafeToObtainChannelData(srcId) == kArbiterOk ? S_OK : S_FALSE;
}

HRESULT CMainDoc::ChannelArbiter::OnScopeNeedsDataWhenAvailable(uint32_t)
{
    return S_OK;
}

bool CMainDoc::ApplyDataFormRegion()
{
    return !m_dataForm || m_dataForm->ApplyActiveMemoryRegion();
}

CMainFrame* CMainDoc::MainFrame() const
{
    return m_app ? m_app->GetMainFrame() : nullptr;
}

bool CMainDoc::IsAcquireContinuouslyChecked() const
{
    return m_actionForm ? m_actionForm->IsAcquireContinuouslyChecked() : m_continuousChecked;
}

void CMainDoc::SetAcquireContinuouslyChecked(bool on)
{
    if (m_actionForm)
        m_actionForm->SetAcquireContinuouslyChecked(on);
    else
        m_continuousChecked = on;
}

void CMainDoc::ShowAcquisitionStarted()
{
    if (m_actionForm)
        m_actionForm->SetAcquisitionActiveTimer(kActiveDelayMs);
}

// ---- Sync device, rate and workspace state ------------------------------------------

void CMainDoc::SetSyncDevice(int32_t syncDeviceId, int32_t outputIndex)
{
    if (syncDeviceId == m_syncDeviceId)
        return;
    m_syncDeviceId = syncDeviceId;
    m_syncOutputIndex = syncDeviceId != 0 ? outputIndex : -1;
    if (syncDeviceId != 0 && outputIndex == -1)
        if (CVltHub6Mgr* manager = SyncManager())
            if (const CVltHub6Mgr::CSyncInst* inst = manager->FindInstance(syncDeviceId))
                m_syncOutputIndex = inst->FindOutputOfDevice(m_device);
    UpdateAllViews(dochint::kSyncDevice, &m_syncDeviceId);
}

CVltHub6Mgr* CMainDoc::SyncManager() const
{
    return m_app ? m_app->GetWorkspace().GetSyncManager() : nullptr;
}

IVltHUB6* CMainDoc::GetSyncDeviceObject() const
{
    CVltHub6Mgr* manager = SyncManager();
    const CVltHub6Mgr::CSyncInst* inst = manager ? manager->FindInstance(m_syncDeviceId) : nullptr;
    return inst ? inst->GetObject() : nullptr;
}

double CMainDoc::GetAcquisitionRate(bool actual) const
{
    double rate = 0.0;
    if (!m_device)
        return rate;
    if (actual)
        GetActualAdcAcqRateTQ8(m_device, &rate);
    else
        GetEffectiveAcqRateTQ8(m_device, &rate);
    if (!HasSyncOutput() || GetAdcClockSourceTQ8(m_device, 1) != TQ8_CLOCK_EXTERNAL)
        return rate;
    IVltHUB6* sync = GetSyncDeviceObject();
    double syncRate = 0.0;
    if (!sync || FAILED(sync->GetDeviceClockRate(&syncRate)))
        return rate;
    const int32_t divider = actual ? 0 : GetPostAdcClockDividerTQ8(m_device, 1);
    return divider > 0 ? std::ldexp(syncRate, -divider) : syncRate;
}

void CMainDoc::WriteWorkspaceState(std::string& out) const
{
    m_wsData.WriteXml(out);
}

bool CMainDoc::ReadWorkspaceState(xmlNode* deviceElement)
{
    return m_wsData.ReadXml(deviceElement);
}

// ---- EEPROM and register cache -------------------------------------------------------

bool CMainDoc::ValidateEeprom(bool silent)
{
    const int32_t result = ValidateConfigEepromTQ8(m_device);
    constexpr wchar_t prefix[] = L"Configuration EEPROM validation failed: ";
    if (result == 0) {
        if (!silent)
            ShowBox(L"Configuration EEPROM validated with no errors", MB_OK);
        return true;
    }
    if (result == TQ8_ERR_EEPROM_INVALID) {
        std::wstring text;
        FormatDeviceErrorText(text, result, prefix, m_device);
        ShowBox(text + L"\n\nIf this is a device firmware problem, powering down the system may be necessary to "
                       L"restore the firmware to a valid state",
                MB_ICONERROR);
    } else {
        ShowDeviceErrorBox(result, prefix, m_device);
    }
    return false;
}

bool CMainDoc::RefreshRegisterCache(bool fromHardware)
{
    const int32_t result = RefreshLocalRegisterCacheTQ8(m_device, fromHardware ? 1 : 0);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to refresh local register cache: ", nullptr);
        return false;
    }
    NotifyBoardSettingsChanged();
    ShowStatusText(L"Local register cache refreshed", kStatusMs);
    return true;
}

void CMainDoc::OnCopySettingsFrom()
{
    if (!m_devices)
        return;
    CDeviceManagerTQ8::HandleList list;
    if (!m_devices->SelectDevices(list, CDeviceManagerTQ8::kWithDocument, CDeviceManagerTQ8::kSelSingle,
                                  L"Copy settings from which TQ3300 device?", {m_device}) ||
        list.empty())
        return;
    CMainDoc* other = DocumentOf(list.front());
    if (!other || other == this)
        return;
    const int32_t result = CopySettingsFrom(*other);
    if (result != 0)
        ShowDeviceErrorBox(result, L"Failed to copy hardware settings: ", m_device);
}

// ---- Tool windows and firmware upload ----------------------------------------------------

CMainDoc::ToolWindowFactories& CMainDoc::Factories()
{
    static ToolWindowFactories factories;
    return factories;
}

// Minimised: restore; hidden: show; visible: hide. true when now shown.
bool CMainDoc::ToggleToolWindow(QWidget* window)
{
    if (window->isMinimized()) {
        window->showNormal();
        return true;
    }
    if (window->isHidden()) {
        window->show();
        window->raise();
        return true;
    }
    window->hide();
    return false;
}

namespace {
void CentreOn(QWidget* window, QWidget* over)
{
    window->adjustSize();
    const QRect area = over ? over->frameGeometry() : window->screen()->availableGeometry();
    window->move(area.center() - window->rect().center());
}
} // namespace

void CMainDoc::OnFrequencyDomain()
{
    if (!m_freqDomain) {
        if (!Factories().freqDomain)
            return;
        std::unique_ptr<IFreqDomainWindow> window(Factories().freqDomain(*this, MainFrame()));
        if (!window || !window->Widget()) {
            ShowBox(L"Failed to create Frequency Domain window", MB_ICONERROR);
            return;
        }
        m_freqDomain = std::move(window);
        m_freqDomain->LoadOptions();
        CentreOn(m_freqDomain->Widget(), MainFrame());
        m_freqDomain->Widget()->hide();
    }
    if (ToggleToolWindow(m_freqDomain->Widget()))
        m_freqDomain->UpdateSpectra(-1);
}

void CMainDoc::ToggleOrCreateToolWindow(QPointer<QWidget>& window, const ToolWindowFactory& factory,
                                        const wchar_t* failureText)
{
    if (!window) {
        if (!factory)
            return;
        std::unique_ptr<QWidget> made(factory(*this, MainFrame()));
        if (!made) {
            ShowBox(failureText, MB_ICONERROR);
            return;
        }
        window = made.release();
        CentreOn(window.data(), MainFrame());
        window->hide();
    }
    ToggleToolWindow(window.data());
}

void CMainDoc::OnDriverStatistics()
{
    ToggleOrCreateToolWindow(m_driverStats, Factories().driverStatistics, L"Failed to create Driver Statisics window");
}

void CMainDoc::OnViewRegisterCache()
{
    ToggleOrCreateToolWindow(m_registerCache, Factories().registerCache, L"Failed to create Register Cache window");
}

void CMainDoc::OnSerialDeviceRegisterIo()
{
    ToggleOrCreateToolWindow(m_serialDeviceIo, Factories().serialDeviceIo, L"Failed to create SD Register IO window");
}

void CMainDoc::OnUploadFirmware()
{
    if (IsDeviceRemoteTQ8(m_device) >= 1) {
        ShowBox(L"Remote firmware uploading is not supported", MB_ICONERROR);
        return;
    }
    vlt::FileDialogRequest request;
    request.filter = kFirmwareFilter;
    request.pathMustExist = true;
    request.title = L"Upload or Verify TQ3300 Firmware";
    if (std::optional<std::wstring> chosen = vlt::ShowFileDialog(request))
        StartFirmwareUpload(*chosen, false);
}

bool CMainDoc::StartFirmwareUpload(const std::wstring& path, bool fromCommandLine)
{
    if (path.empty() || !Factories().firmwareUpload)
        return false;
    if (!IsIdle()) {
        ShowBox(L"Firmware upload failed: TQ3300 is currently busy", MB_ICONERROR);
        return false;
    }
    m_flags = fromCommandLine ? (m_flags | docstate::kFirmwareFromCommandLine)
                              : (m_flags & ~docstate::kFirmwareFromCommandLine);
    CMainFrame* frame = MainFrame();
    if (frame)
        frame->EnterModalState();
    QWidget* window = Factories().firmwareUpload(*this, path, frame);
    if (!window) {
        if (frame)
            frame->LeaveModalState();
        m_flags &= ~docstate::kFirmwareFromCommandLine;
        ShowBox(L"Failed to create firmware upload window", MB_ICONERROR);
        return false;
    }
    m_firmwareUpload = window;
    m_uploadModal = frame != nullptr;
    CentreOn(window, frame);
    window->show();
    return true;
}

void CMainDoc::OnFirmwareUploadDlgClosed()
{
    CMainFrame* frame = MainFrame();
    if (frame && m_uploadModal) {
        frame->LeaveModalState();
        frame->activateWindow();
    }
    m_uploadModal = false;
    m_firmwareUpload = nullptr;
    if (m_flags & docstate::kFirmwareFromCommandLine) {
        m_flags &= ~docstate::kFirmwareFromCommandLine;
        if (frame)
            vlt::PostAppMessage(frame, WM_APP + 2);
    }
}

// ---- Recording sessions -----------------------------------------------------------------

int32_t CMainDoc::AllocateSnapshotBuffer(uint32_t bytes, bool force)
{
    if (m_snapshot && (force || m_snapshotSize < bytes)) {
        m_snapshot.reset();
        m_snapshotSize = m_snapshotSamples = 0;
    }
    if (m_snapshot)
        return 0;
    m_snapshot.reset(new (std::nothrow) uint8_t[std::max<uint32_t>(bytes, 1)]);
    if (!m_snapshot)
        return TQ8_ERR_NO_MEMORY;
    m_snapshotSize = bytes;
    return 0;
}

uint32_t CMainDoc::SnapshotIntervalCount(double rateMHz, uint32_t transferSamples, uint32_t freqMs)
{
    const double perSecond = std::trunc(rateMHz * 1000000.0 / double(transferSamples));
    const double count = perSecond * double(freqMs / 1000);
    // Also catches a rate the library could not give (NaN, 0 transfers).
    if (!std::isfinite(count) || count <= 0.0)
        return 0;
    return count >= double(UINT32_MAX) ? UINT32_MAX : uint32_t(count);
}

bool CMainDoc::PrepareRecordingSnapshot(CRecParamsManager& manager, CRecParamsManager::CDevState& params)
{
    if (m_scopePanel)
        m_scopePanel->RemoveSnapshotSource();
    const int32_t result = AllocateSnapshotBuffer(manager.SnapshotSamples, false);
    if (result != 0) {
        ShowDeviceErrorBox(result, L"Failed to allocate data snapshot buffer: ", nullptr);
        return false;
    }
    TQ8_REC_SESSION_PARAMS& record = params.SessionParams;
    record.Rsp_flags |= TQ8_RSP_FLAG_SNAPSHOTS;
    record.Rsp_snapshotSamples = manager.SnapshotSamples;
    record.Rsp_snapshotIntervalCount = 0;
    record.Rsp_snapshotIntervalMs = 0;
    if (!IsVirtualDevice() && params.RecParams.RecType == CRecParams::kRecTypeToHost &&
        GetTriggerModeTQ8(m_device, 1) != 1)
        record.Rsp_snapshotIntervalCount =
            SnapshotIntervalCount(GetAcquisitionRate(false), record.Rsp_transferSamples, manager.SnapshotFreqMs);
    if (record.Rsp_snapshotIntervalCount == 0)
        record.Rsp_snapshotIntervalMs = manager.SnapshotFreqMs;
    return true;
}

bool CMainDoc::CreateRecordingSession(CRecParamsManager& manager, CRecParamsManager::CDevState& params)
{
    if (!IsIdle() || m_session) {
        ShowDeviceErrorBox(TQ8_ERR_BUSY, L"Cannot ready recording: ", m_device);
        return false;
    }
    if (!params.RecParams.DestFileOpts.NamesADestination()) {
        vlt::ShowMessageBox(ErrorBoxNamePrefix(m_device)
                                + L"Failed to create recording session: no destination file is given. Select the "
                                  L"device in the list and enter its destination file.",
                            MB_ICONERROR);
        return false;
    }
    // The library refuses a board whose last, already cancelled, operation
    // has not quite returned on the thread.
    m_thread->WaitUntilFinished(m_device);
    // A refused check or a failed snapshot buffer stops the recording here.
    if (!ValidateAcquisitionSettings(CAcquisitionThread::kOpRecording) || !PrepareRecordingSnapshot(manager, params))
        return false;
    // The plot gives up the board's source only for a session that exists, so
    // that a refused one leaves the plot as it was; nothing paints in between.
    TQ8_REC_SESSION session = nullptr;
    const int32_t result = CreateRecordingSessionTQ8(m_device, &params.SessionParams, &session);
    if (result != 0) {
        // The library's text, then its reason: the setting or path at fault.
        std::wstring text;
        FormatDeviceErrorText(text, result, L"Failed to create recording session: ", m_device);
        wchar_t* reason = nullptr;
        GetRecordingSessionErrorWTQ8(m_device, &params.SessionParams, &reason);
        if (reason) {
            text += L"\n\n" + std::wstring(reason);
            FreeMemoryTQ8(reason);
        }
        vlt::ShowMessageBox(text, MB_ICONERROR);
        return false;
    }
    m_session = session;
    if (m_scopePanel) {
        IScopeTQ8* plot = m_scopePanel->GetScopeControl();
        if (!plot || FAILED(plot->get_StartSample(&m_sessionPlotStart)))
            m_sessionPlotStart = 0;
        m_sessionTookSource = m_scopePanel->RemoveBoardSource();
    }
    return true;
}

void CMainDoc::PutBackBoardSource()
{
    if (!m_sessionTookSource)
        return;
    m_sessionTookSource = false;
    if (!m_scopePanel)
        return;
    m_scopePanel->AddBoardSource(m_device, this);
    if (IScopeTQ8* plot = m_scopePanel->GetScopeControl())
        plot->put_StartSample(m_sessionPlotStart);
}

bool CMainDoc::ArmRecordingSession()
{
    if (!m_session)
        return false;
    const int32_t result = ArmRecordingSessionTQ8(m_session);
    if (result != 0) {
        DeleteRecordingSessionTQ8(m_session);
        m_session = nullptr;
        PutBackBoardSource();
        ShowDeviceErrorBox(result, L"Failed to arm recording thread: ", m_device);
        return false;
    }
    m_sessionTookSource = false; // the recording has the board now
    m_flags |= docstate::kRecording;
    UpdateAllViews(dochint::kAcquisitionState, this);
    return true;
}

bool CMainDoc::EndRecordingSession(uint32_t* outFlags, TQ8_REC_SESSION_PROGRESS* last, int32_t* lastResult)
{
    if (lastResult)
        *lastResult = TQ8_ERR_INVALID_HANDLE;
    if (m_session) {
        AbortRecordingSessionTQ8(m_session);
        // After the abort the session holds what its files hold.
        const int32_t rc = last ? GetRecordingSessionProgressTQ8(m_session, last, 0) : TQ8_ERR_INVALID_HANDLE;
        if (lastResult)
            *lastResult = rc;
        uint32_t flags = 0;
        if (GetRecordingSessionOutFlagsTQ8(m_session, &flags) == 0 && outFlags)
            *outFlags = flags;
        DeleteRecordingSessionTQ8(m_session);
        m_session = nullptr;
    }
    PutBackBoardSource(); // of a session that never armed
    if (m_flags & docstate::kRecording) {
        m_flags &= ~docstate::kRecording;
        UpdateAllViews(dochint::kAcquisitionState);
    }
    return true;
}

void CMainDoc::ShowRecordingSnapshot(CRecParamsManager& manager)
{
    if (!m_scopePanel || !m_session || !m_snapshot)
        return;
    // The buffer may be smaller than the current setting asks for.
    const uint32_t wanted = std::min(manager.SnapshotSamples, m_snapshotSize);
    uint32_t count = 0;
    uint32_t counter = 0;
    if (GetRecordingSnapshotTQ8(m_session, m_snapshot.get(), wanted, &count, &counter) != 0 || count == 0)
        return;
    m_snapshotSamples = std::min(count, wanted);
    const int32_t channels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(m_device, 1));
    m_scopePanel->ShowSnapshot(m_snapshot.get(), m_snapshotSamples, channels, 0, m_device);
    if (m_freqDomain) {
        QWidget* window = m_freqDomain->Widget();
        if (window->isVisible() && !window->isMinimized())
            m_freqDomain->UpdateSpectra(m_scopePanel->GetSnapshotSourceId());
    }
}

// ---- Commands of the document's menu ---------------------------------------------------------

size_t CMainDoc::CountDocuments() const
{
    if (m_devices) {
        CDeviceManagerTQ8::HandleList list;
        m_devices->GetDevicesWithDocument(list);
        return list.size();
    }
    CMainFrame* frame = MainFrame();
    return frame ? frame->GetDocuments().size() : 1;
}

bool CMainDoc::GetCommandState(unsigned id, bool& enabled, bool& checked) const
{
    const bool idle = IsIdle() && m_device;
    checked = false;
    if (id >= cmd::kFileMruFirst && id <= cmd::kFileMruLast) {
        enabled = m_app && id - cmd::kFileMruFirst < m_app->GetRecentFileList().GetSize();
        return true;
    }
    const ToolWindowFactories& factories = Factories();
    switch (id) {
    case cmd::kOpenSettings:
    case cmd::kSetPowerupDefaults:
    case cmd::kRewriteHardwareSettings:
    case cmd::kValidateEeprom:
    case cmd::kRefreshFromDriver:
    case cmd::kRefreshFromHardware: enabled = idle; return true;
    case cmd::kUploadFirmware: enabled = idle && bool(factories.firmwareUpload); return true;
    case cmd::kSaveBoardData: enabled = idle && bool(factories.saveBoardData); return true;
    case cmd::kCalibrateAdcs: enabled = idle && bool(factories.calibrateAdcs); return true;
    case cmd::kSaveSettings:
    case cmd::kSaveSettingsAs: enabled = m_device != nullptr; return true;
    // Mail is not part of this system's desktop.
    case cmd::kSendSettings: enabled = false; return true;
    case cmd::kPlotDataInScope: enabled = m_scopePanel != nullptr; return true;
    case cmd::kGoToSample: enabled = m_childFrame && m_childFrame->CanGoToSample(); return true;
    case cmd::kFrequencyDomain:
        enabled = m_freqDomain || factories.freqDomain;
        checked = m_freqDomain && m_freqDomain->Widget()->isVisible();
        return true;
    case cmd::kDriverStatistics:
        enabled = m_driverStats || factories.driverStatistics;
        checked = m_driverStats && m_driverStats->isVisible();
        return true;
    case cmd::kCopySettingsFrom: {
        CDeviceManagerTQ8::HandleList all;
        if (m_devices)
            m_devices->GetDevices(all, CDeviceManagerTQ8::kAllDevices);
        enabled = idle && all.size() > 1;
        return true;
    }
    case cmd::kCopySettingsToAll:
    case cmd::kCopySettingsToSelected: enabled = idle && CountDocuments() > 1; return true;
    default: return false;
    }
}

bool CMainDoc::OnCommand(unsigned id)
{
    bool enabled = false, checked = false;
    if (!GetCommandState(id, enabled, checked) || !enabled)
        return false;
    if (id >= cmd::kFileMruFirst && id <= cmd::kFileMruLast) {
        OnOpenRecentSettings(id - cmd::kFileMruFirst);
        return true;
    }
    switch (id) {
    case cmd::kOpenSettings: LoadSettingsFile(std::wstring()); break;
    case cmd::kSaveSettings: OnSaveSettings(); break;
    case cmd::kSaveSettingsAs: OnSaveSettingsAs(); break;
    case cmd::kSaveBoardData: Factories().saveBoardData(*this); break;
    case cmd::kPlotDataInScope: m_scopePanel->OnOpenFileForPlotting(); break;
    case cmd::kGoToSample: m_childFrame->OnGoToSample(); break;
    case cmd::kFrequencyDomain: OnFrequencyDomain(); break;
    case cmd::kDriverStatistics: OnDriverStatistics(); break;
    case cmd::kSetPowerupDefaults: OnSetPowerupDefaults(); break;
    case cmd::kRewriteHardwareSettings: OnRewriteHardwareSettings(); break;
    case cmd::kValidateEeprom: ValidateEeprom(false); break;
    case cmd::kCalibrateAdcs: Factories().calibrateAdcs(*this, m_lastAdcChoice); break;
    case cmd::kCopySettingsFrom: OnCopySettingsFrom(); break;
    case cmd::kCopySettingsToAll: CopySettingsToDevices(true); break;
    case cmd::kCopySettingsToSelected: CopySettingsToDevices(false); break;
    case cmd::kRefreshFromDriver: RefreshRegisterCache(false); break;
    case cmd::kRefreshFromHardware: RefreshRegisterCache(true); break;
    case cmd::kUploadFirmware: OnUploadFirmware(); break;
    default: return false;
    }
    return true;
}

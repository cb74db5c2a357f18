#include "CWorkspaceTQ8.h"

#include <cwchar>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include <QGuiApplication>
#include <libxml/parser.h>
#include <QMdiSubWindow>
#include <sys/stat.h>

#include "CAutoXmlDoc.h"
#include "CChildFrame.h"
#include "CMainApp.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CRecParamsManager.h"
#include "CWorkspaceFile.h"
#include "EnumTexts.h"
#include "ErrorBox.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "TextConv.h"
#include "AtomicFile.h"
#include "NumberParse.h"
#include "RecParamsImp.h"
#include "WorkspaceXml.h"
#include "XmlRoutines.h"

namespace {

constexpr wchar_t kInvalidFile[] = L"Invalid TQ3300 workspace file";
constexpr unsigned kStatusTimeout = 2500;
constexpr uint32_t kDefaultDocFlags = docstate::kLimitPlotData;

CWorkspaceTQ8::NewWorkspaceDialog& DialogSlot()
{
    static CWorkspaceTQ8::NewWorkspaceDialog dialog;
    return dialog;
}

bool FileExists(const std::wstring& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(std::filesystem::path(vlt::WideToUtf8(path)), ec);
}

std::wstring BoardName(TQ8_HANDLE device)
{
    std::wstring name;
    GetBoardNameString(device, name, kErrorBoxNameFlags);
    return name;
}

std::wstring SerialText(uint32_t serial)
{
    return std::to_wstring(serial);
}

// Lines of one load step's messages, shown together at its end.
void AddLine(std::wstring& list, const std::wstring& line)
{
    list += line;
    list += L'\n';
}

// The element and the value of a board's settings that it refused, after
// the library's text; empty when the library names none.
std::wstring SettingsReason(TQ8_HANDLE device, const std::string& settings)
{
    wchar_t* reason = nullptr;
    GetSettingsStringErrorATQ8(device, settings.c_str(), &reason);
    const std::wstring text = reason ? L". " + std::wstring(reason) : L"";
    FreeMemoryTQ8(reason);
    return text;
}

// Shows the wait cursor while it lives.
struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

} // namespace

void CWorkspaceTQ8::SetNewWorkspaceDialog(NewWorkspaceDialog dialog)
{
    DialogSlot() = std::move(dialog);
}

CWorkspaceTQ8::CWorkspaceTQ8(CMainApp& app) : CWorkspaceTQ8(app, std::make_unique<CDeviceManagerTQ8>()) {}

CWorkspaceTQ8::CWorkspaceTQ8(CMainApp& app, std::unique_ptr<CDeviceManagerTQ8> devices)
    : m_app(app), m_devices(std::move(devices))
{
    m_devices->SetHost(this);
    m_syncDevices.SetDeviceManager(m_devices.get());
}

CWorkspaceTQ8::~CWorkspaceTQ8()
{
    m_syncDevices.RemoveAllInstances();
    // The manager would close its boards in its own destructor, when this
    // host is already gone.
    m_devices->CloseAllDevices();
    m_devices->SetHost(nullptr);
}

bool CWorkspaceTQ8::SetError(const wchar_t* text)
{
    m_lastError = text ? text : L"";
    return false;
}

bool CWorkspaceTQ8::InvalidFile()
{
    SetError(kInvalidFile);
    vlt::ShowMessageBox(kInvalidFile, MB_ICONERROR, m_app.GetMainFrame());
    return false;
}

void CWorkspaceTQ8::ShowStatus(const wchar_t* text)
{
    if (CMainFrame* frame = m_app.GetMainFrame())
        frame->ShowStatusText(text, kStatusTimeout);
}

// ---- Start and Create ---------------------------------------------------------------

int CWorkspaceTQ8::ChooseStartType(const CMyCommandLineInfo& cmdInfo, std::wstring& path)
{
    path.clear();
    if (!cmdInfo.m_strWorkspaceFile.empty()) {
        path = cmdInfo.m_strWorkspaceFile;
        return 4;
    }
    if (cmdInfo.m_bVirtual)
        return 3;
    int32_t startup = opts::kAppStartupTypeDefault;
    m_app.GetPersistentOpts().GetItemInt(opts::kAppStartupType, startup, opts::kAppStartupTypeDefault);
    switch (startup) {
    case 0:
        return GetDeviceCountTQ8() > 0 ? 1 : 5;
    case 1:
        path = m_app.GetLastWorkspacePath();
        return FileExists(path) ? 4 : 5;
    case 3:
        return 0;
    default:
        return 5;
    }
}

bool CWorkspaceTQ8::Start(const CMyCommandLineInfo& cmdInfo)
{
    m_devices->SetInteractive(true);
    std::wstring path;
    const int type = ChooseStartType(cmdInfo, path);
    if (type == 4)
        return LoadAndNotify(path);
    if (type == 5)
        return Create(5, std::wstring());
    // Every new workspace begins by closing the last one, which releases its
    // sync devices: the start-up's choice of sync devices goes with the
    // creation instead. "virtual_sync" puts one virtual unit in place of the
    // local ones.
    NewWorkspace choice;
    choice.type = type;
    const bool installed = IsHub6SoftwareInstalled();
    choice.useSyncDevices = installed && !cmdInfo.m_bVirtualSync;
    choice.virtualSync = installed && (cmdInfo.m_bVirtualSync || type == 3);
    if (!m_app.PromptSaveWorkspace(false) || !CreateWith(choice))
        return false;
    m_modified = false;
    return true;
}

bool CWorkspaceTQ8::Create(int type, const std::wstring& server)
{
    if (!m_app.PromptSaveWorkspace(false))
        return false;
    NewWorkspace choice;
    if (type == 5) {
        const NewWorkspaceDialog& dialog = DialogSlot();
        if (!dialog || !dialog(m_app.GetMainFrame(), *this, choice))
            return false;
        // The dialog never hands out an unknown type; refused here before the
        // current workspace is closed, so that nothing is lost.
        if (choice.type < 0 || choice.type > 4)
            return false;
    } else {
        if (type < 0 || type > 4)
            return false;
        choice.type = type;
        choice.server = server;
        choice.useSyncDevices = IsHub6SoftwareInstalled();
        choice.virtualSync = choice.useSyncDevices && type == 3;
    }
    return CreateWith(choice);
}

bool CWorkspaceTQ8::CreateWith(NewWorkspace choice)
{
    // A file replaces the workspace only once it has been read: one that
    // cannot be leaves the current one as it is.
    if (choice.type == 4)
        return LoadAndNotify(choice.path);
    Close();
    // Every workspace connects all local boards; those it does not use stay
    // free for new documents.
    m_devices->ConnectAllLocalDevices();
    m_recParams = std::make_unique<CRecParamsManager>();
    m_recParams->LinkDeviceManager(m_devices.get());
    CDeviceManagerTQ8::HandleList boards;
    CollectBoards(choice, boards);
    m_devices->BuildMasterSlaveRelations();

    CMainFrame* frame = m_app.GetMainFrame();
    const bool locked = frame && frame->updatesEnabled();
    ShowStatus(L"Creating documents...");
    if (locked)
        frame->setUpdatesEnabled(false);
    for (TQ8_HANDLE device : boards) {
        if (choice.powerupDefaults)
            SetPowerupDefaultsTQ8(device);
        if (!m_devices->GetDocument(device))
            m_app.OpenDeviceDocument(device, kDefaultDocFlags);
    }
    ConnectSyncDevices(choice);
    m_app.AfterWorkspaceLoad();
    if (locked)
        frame->setUpdatesEnabled(true);
    m_modified = false;
    return true;
}

void CWorkspaceTQ8::CollectBoards(const NewWorkspace& choice, CDeviceManagerTQ8::HandleList& boards)
{
    switch (choice.type) {
    case 1:
        m_devices->GetLocalDevices(boards);
        break;
    case 2: {
        WaitCursor wait;
        m_devices->ConnectServerDevices(choice.server.c_str(), kServerPort, boards, false);
        break;
    }
    case 3:
        if (TQ8_HANDLE device = m_devices->ConnectVirtualDevice())
            boards.push_back(device);
        else if (m_devices->IsInteractive())
            vlt::ShowMessageBox(m_devices->GetLastErrorText(), MB_ICONERROR, m_app.GetMainFrame());
        break;
    default:
        break;
    }
}

void CWorkspaceTQ8::ConnectSyncDevices(const NewWorkspace& choice)
{
    if (choice.useSyncDevices && choice.type != 3) {
        m_syncDevices.ConnectAllLocal();
        if (choice.type == 2) {
            std::vector<int32_t> ids;
            // The board step has already spoken for a server that cannot be
            // reached; a server without sync devices is worth a warning.
            m_syncDevices.ConnectServerDevices(choice.server.c_str(), kSyncServerPort, ids, true);
        }
    }
    if (choice.virtualSync && !m_syncDevices.AddVirtual())
        vlt::ShowMessageBox(m_syncDevices.GetLastErrorText(), MB_ICONERROR, m_app.GetMainFrame());
}

void CWorkspaceTQ8::Close()
{
    m_syncDevices.RemoveAllInstances();
    // Each document is closed (its acquisition thread joined) before its
    // board is disconnected; every board is disconnected once.
    m_devices->CloseAllDevices();
    // After the documents: each one leaves the manager as it closes.
    m_recParams.reset();
    m_path.clear();
    m_loadedWithErrorsFrom.clear();
    if (CMainFrame* frame = m_app.GetMainFrame())
        frame->OnSyncDevicesChanged();
}

// ---- Save ---------------------------------------------------------------------------

bool CWorkspaceTQ8::Save(const std::wstring& path)
{
    const std::wstring target = path.empty() ? m_path : path;
    std::string text;
    if (!BuildFileText(text) || !WriteFile(target, text))
        return false;
    m_modified = false;
    m_path = target;
    m_loadedWithErrorsFrom.clear();
    m_app.SetLastWorkspacePath(target);
    return true;
}

bool CWorkspaceTQ8::BuildFileText(std::string& out)
{
    if (!m_recParams) {
        vlt::ShowMessageBox(L"There is no open workspace to save.", MB_ICONERROR, m_app.GetMainFrame());
        return SetError(L"There is no open workspace to save.");
    }
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><TQ8Scope_Workspace>";
    if (!WriteDevices(text))
        return false;
    WriteMasterSlaveRelations(text);
    WriteControllerRelations(text);
    if (!WriteSyncDevices(text))
        return false;
    text += "<RecordingParameters>";
    if (!m_recParams->WriteXml(text))
        return SetError(m_recParams->GetLastErrorText().c_str());
    text += "</RecordingParameters></TQ8Scope_Workspace>";
    out = std::move(text);
    return true;
}

bool CWorkspaceTQ8::WriteDevices(std::string& out)
{
    constexpr wchar_t prefix[] = L"Failed to generate device settings: ";
    CDeviceManagerTQ8::HandleList boards;
    m_devices->GetDevicesWithDocument(boards);
    out += "<Devices>";
    for (TQ8_HANDLE device : boards) {
        CMainDoc* doc = m_devices->GetDocument(device);
        out += "<Device ";
        wsxml::AppendAttribute(out, "Sn", m_devices->GetSerialNumber(device), true);
        std::wstring server;
        uint16_t port = 0;
        const bool remote = m_devices->IsRemote(device) && m_devices->GetRemoteLocation(device, server, port);
        if (IsDeviceVirtualTQ8(device) > 0)
            wsxml::AppendAttribute(out, "Virtual", 1, true);
        if (remote) {
            wsxml::AppendAttribute(out, "Remote", 1, true);
            wsxml::AppendAttribute(out, "Server", vlt::WideToUtf8(server), true);
            wsxml::AppendAttribute(out, "Port", port, true);
        }
        out += '>';
        XmlAppendElement(out, "DocFlags", std::to_string(doc->GetStateFlags() & docstate::kHandOver));
        doc->WriteWorkspaceState(out);

        char* settings = nullptr;
        const int32_t rc = SaveSettingsToStringXmlATQ8(device, 1, &settings);
        std::string element = settings ? settings : "";
        FreeMemoryTQ8(settings);
        if (rc != TQ8_OK) {
            ShowDeviceErrorBox(rc, prefix, device);
            return SetError(prefix);
        }
        if (!wsxml::PrepareSettingsElement(element)) {
            ShowDeviceErrorBox(TQ8_ERR_GENERAL, prefix, device);
            return SetError(prefix);
        }
        out += "<LibSettings>" + element + "</LibSettings></Device>";
    }
    out += "</Devices>";
    return true;
}

void CWorkspaceTQ8::WriteMasterSlaveRelations(std::string& out) const
{
    const auto& relations = m_devices->GetMasterSlaveRelations();
    if (relations.empty())
        return;
    out += "<DeviceMsRelations>";
    for (const auto& [master, slaves] : relations) {
        out += "<Master ";
        wsxml::AppendAttribute(out, "Sn", master ? m_devices->GetSerialNumber(master) : 0u, true);
        if (master)
            wsxml::AppendAttribute(out, "Cfg", std::to_string(GetMasterSlaveConfigurationTQ8(master, 1)), true);
        out += '>';
        if (!master)
            out += "<!-- Sn=0: Slaves without a designated master -->";
        for (TQ8_HANDLE slave : slaves) {
            out += "<Slave ";
            wsxml::AppendAttribute(out, "Cfg", std::to_string(GetMasterSlaveConfigurationTQ8(slave, 1)), false);
            out += '>' + std::to_string(m_devices->GetSerialNumber(slave)) + "</Slave>";
        }
        out += "</Master>";
    }
    out += "</DeviceMsRelations>";
}

void CWorkspaceTQ8::WriteControllerRelations(std::string& out) const
{
    CDeviceManagerTQ8::HandleList boards;
    m_devices->GetDevicesWithDocument(boards);
    out += "<ControllerRelations>";
    for (TQ8_HANDLE device : boards) {
        if (!m_devices->HasControlledDevices(device))
            continue;
        out += "<Controller ";
        wsxml::AppendAttribute(out, "Sn", m_devices->GetSerialNumber(device), false);
        out += '>';
        CDeviceManagerTQ8::HandleList controlled;
        m_devices->GetControlledDevices(device, controlled);
        for (TQ8_HANDLE other : controlled)
            XmlAppendElement(out, "Controlled", std::to_string(m_devices->GetSerialNumber(other)));
        out += "</Controller>";
    }
    out += "</ControllerRelations>";
}

bool CWorkspaceTQ8::WriteSyncDevices(std::string& out)
{
    std::vector<int32_t> ids;
    if (m_syncDevices.GetInstanceIds(ids) == 0)
        return true;
    std::string relations;
    out += "<SyncDevices>";
    for (int32_t id : ids) {
        const CVltHub6Mgr::CSyncInst* inst = m_syncDevices.FindInstance(id);
        IVltHUB6* object = inst->GetObject();
        const uint32_t serial = m_syncDevices.GetInstanceSerial(id);
        out += "<SyncDevice ";
        wsxml::AppendAttribute(out, "Sn", serial, true);
        if (object->IsVirtual() == S_OK)
            wsxml::AppendAttribute(out, "Virtual", 1, true);
        if (object->IsLocal() != S_OK) {
            wsxml::AppendAttribute(out, "Remote", 1, true);
            wsxml::AppendAttribute(out, "Server", vlt::WideToUtf8(inst->GetServer()), true);
            wsxml::AppendAttribute(out, "Port", inst->GetPort(), true);
        }
        out += '>';
        std::string settings;
        if (!m_syncDevices.GetInstanceSettings(id, settings) || !wsxml::PrepareSettingsElement(settings)) {
            vlt::ShowMessageBox(L"Failed to generate sync device settings", MB_ICONERROR, m_app.GetMainFrame());
            return SetError(L"Failed to generate sync device settings");
        }
        out += "<LibSettings>" + settings + "</LibSettings></SyncDevice>";

        std::string outputs;
        for (int index = 0; index < CVltHub6Mgr::kOutputCount; ++index) {
            TQ8_HANDLE board = inst->GetOutputDevice(index);
            if (!board)
                continue;
            outputs += "<Output ";
            wsxml::AppendAttribute(outputs, "Idx", static_cast<uint32_t>(index), false);
            outputs += '>' + std::to_string(m_devices->GetSerialNumber(board)) + "</Output>";
        }
        if (!outputs.empty()) {
            relations += "<SyncRelation ";
            wsxml::AppendAttribute(relations, "Sn", serial, false);
            relations += '>' + outputs + "</SyncRelation>";
        }
    }
    out += "</SyncDevices><SyncDeviceRelations>" + relations + "</SyncDeviceRelations>";
    return true;
}

// The new text goes to a file beside the old one, which it replaces only
// when it is complete: a failed write leaves the previous workspace intact.
bool CWorkspaceTQ8::WriteFile(const std::wstring& path, const std::string& text)
{
    std::string reason;
    if (path.empty()) {
        vlt::ShowMessageBox(L"Failed to open workspace file for output: no file name given", MB_ICONERROR,
                            m_app.GetMainFrame());
        return SetError(L"Failed to open workspace file for output: ");
    }
    if (vlt::AtomicWriteFile(vlt::WideToUtf8(path), text, &reason))
        return true;
    const bool opening = reason.rfind("Cannot create", 0) == 0;
    const wchar_t* prefix =
        opening ? L"Failed to open workspace file for output: " : L"Failed to write workspace file data: ";
    vlt::ShowMessageBox(prefix + vlt::Utf8ToWide(reason), MB_ICONERROR, m_app.GetMainFrame());
    return SetError(prefix);
}

// ---- Load ---------------------------------------------------------------------------

bool CWorkspaceTQ8::Load(const std::wstring& path)
{
    bool replaced = false;
    if (LoadFile(path, replaced))
        return true;
    // What was loaded before the stop stays, each board whole: its document
    // takes back the view state the file gave it, as after a full load.
    if (replaced)
        m_app.AfterWorkspaceLoad();
    // The boxes have said why; no progress text may stay behind.
    if (CMainFrame* frame = m_app.GetMainFrame())
        frame->ClearStatusText();
    return false;
}

bool CWorkspaceTQ8::LoadFile(const std::wstring& path, bool& replaced)
{
    const std::string file = vlt::WideToUtf8(path);
    struct stat st {};
    if (path.empty() || ::stat(file.c_str(), &st) != 0) {
        ShowSystemErrorBox(path.empty() ? ENOENT : errno, L"Failed to open workspace file: ");
        return SetError(L"Failed to open workspace file: ");
    }
    ShowStatus(L"Parsing workspace data...");
    // The whole file is read and checked before anything is replaced.
    CWorkspaceFile records;
    std::string reason;
    switch (records.ReadFile(file, reason)) {
    case CWorkspaceFile::Result::Unreadable: {
        std::wstring text;
        FormatDeviceErrorText(text, kErrWorkspaceUnreadable, L"Failed to read workspace data: ", nullptr);
        if (!reason.empty())
            text += L"\n\n" + vlt::Utf8ToWide(reason);
        vlt::ShowMessageBox(text, MB_ICONERROR, m_app.GetMainFrame());
        return SetError(L"Failed to read workspace data: ");
    }
    case CWorkspaceFile::Result::NotWorkspace:
        ShowDeviceErrorBox(kErrWorkspaceUnreadable, L"Invalid workspace file: ", nullptr);
        return SetError(L"Invalid workspace file: ");
    case CWorkspaceFile::Result::Ok:
        break;
    }
    if (!Create(0, std::wstring()))
        return false;
    replaced = true;
    SetError(nullptr);
    m_loadErrors = false;
    if (!LoadDevices(records) || !LoadMasterSlaveRelations(records) || !LoadControllerRelations(records))
        return false;
    SynchronizeMasters();
    if (!LoadSyncDevices(records) || !LoadRecordingParameters(records))
        return false;
    m_app.SetLastWorkspacePath(path);
    if (!m_loadErrors) {
        m_path = path;
        m_modified = false;
        return true;
    }
    // What could not be applied would be missing from the file if it were
    // saved over: the workspace keeps no file name, so a save asks for one.
    m_loadedWithErrorsFrom = path;
    m_modified = true;
    return true;
}

// The documents learn of the loaded relations and take their saved state
// back (the File menu's open command does the same after its load). Errors
// are told last, when the boxes the documents may show are answered.
bool CWorkspaceTQ8::LoadAndNotify(const std::wstring& path)
{
    if (!Load(path))
        return false;
    m_app.AfterWorkspaceLoad();
    if (!m_loadedWithErrorsFrom.empty())
        ShowStatus((L"Workspace data loaded with errors from: " + path).c_str());
    return true;
}

TQ8_HANDLE CWorkspaceTQ8::ConnectListedDevice(const CWorkspaceFile::Device& entry, std::wstring& errors)
{
    if (!entry.valid) {
        SetError(kInvalidFile);
        AddLine(errors, L"A device entry of the workspace file has no valid serial number");
        return nullptr;
    }
    TQ8_HANDLE device = nullptr;
    if (entry.remote) {
        if (!entry.locationValid) {
            SetError(kInvalidFile);
            AddLine(errors, L"The entry of remote TQ3300 device #" + SerialText(entry.serial)
                                + L" has no valid server or port");
            return nullptr;
        }
        device = m_devices->ConnectRemoteDevice(vlt::Utf8ToWide(entry.server).c_str(), entry.port, entry.serial, true,
                                                entry.isVirtual);
    } else if (entry.isVirtual) {
        device = m_devices->ConnectVirtualDevice(entry.serial);
    } else {
        device = m_devices->ConnectLocalDevice(entry.serial);
    }
    if (!device)
        AddLine(errors, m_devices->GetLastErrorText());
    return device;
}

bool CWorkspaceTQ8::LoadDevices(const CWorkspaceFile& records)
{
    ShowStatus(L"Loading device(s)...");
    std::wstring connectErrors;
    std::wstring settingsErrors;
    std::set<TQ8_HANDLE> loaded;
    for (const CWorkspaceFile::Device& entry : records.devices) {
        TQ8_HANDLE device = ConnectListedDevice(entry, connectErrors);
        if (!device)
            continue;
        // A second entry of a board would give it a second document.
        if (loaded.count(device) || m_devices->GetDocument(device)) {
            AddLine(connectErrors, L"TQ3300 device #" + SerialText(m_devices->GetSerialNumber(device))
                                       + L" is listed more than once; only its first entry is loaded");
            continue;
        }
        loaded.insert(device);

        if (entry.settingsState == CWorkspaceFile::Settings::Missing) {
            SetError(kInvalidFile);
            AddLine(settingsErrors, BoardName(device) + L": the workspace file holds no settings for this device");
        } else if (entry.settingsState == CWorkspaceFile::Settings::Unserialisable) {
            SetError(L"Failed to allocate work buffer");
            AddLine(settingsErrors, BoardName(device) + L": Failed to allocate work buffer");
        } else if (int32_t rc = LoadSettingsFromStringXmlATQ8(device, 0, entry.settings.c_str()); rc != TQ8_OK) {
            std::wstring line;
            FormatDeviceErrorText(line, rc, nullptr, device);
            AddLine(settingsErrors, line + SettingsReason(device, entry.settings));
        }

        // Only the flags a workspace keeps: a file cannot open a document
        // marked as acquiring or recording.
        auto* document =
            dynamic_cast<CMainDoc*>(m_app.OpenDeviceDocument(device, entry.docFlags & docstate::kHandOver));
        if (document)
            document->SetWorkspaceState(entry.state);
    }
    if (!connectErrors.empty()
        && vlt::ShowMessageBox(L"Failed to connect to one or more TQ3300 devices:\n\n" + connectErrors
                                   + L"\nContinue loading workspace?",
                               MB_YESNO | MB_ICONWARNING, m_app.GetMainFrame())
               != IDYES)
        return false;
    if (!settingsErrors.empty())
        vlt::ShowMessageBox(L"An error occurred applying hardware settings to one or more devices:\n\n" + settingsErrors,
                            MB_OK | MB_ICONWARNING, m_app.GetMainFrame());
    m_loadErrors = m_loadErrors || !connectErrors.empty() || !settingsErrors.empty();
    return true;
}

// false in stop when the stored configuration differs and the user lets
// the load go on without the stored relations; false returned for Cancel.
bool CWorkspaceTQ8::ConfigMatches(TQ8_HANDLE device, const CWorkspaceFile::Related& entry, bool& stop)
{
    if (!entry.cfg)
        return true;
    const int32_t current = GetMasterSlaveConfigurationTQ8(device, 1);
    int32_t storedValue = 0;
    const bool known = vlt::ParseNumberPrefix(*entry.cfg, storedValue);
    if (known && storedValue == current)
        return true;
    wchar_t text[1024];
    std::swprintf(text, std::size(text),
                  L"Master/slave configuration for %ls has changed since this workspace was last saved. "
                  L"(Workspace configuration: %ls, Current board configuration: %ls).\n\n"
                  L"Select OK to continue loading the workspace without master/slave associtaions or Cancel to "
                  L"not load this workspace.",
                  BoardName(device).c_str(), known ? MasterSlaveConfigToText(storedValue) : L"<Unknown>",
                  MasterSlaveConfigToText(current));
    if (vlt::ShowMessageBox(text, MB_OKCANCEL | MB_ICONWARNING, m_app.GetMainFrame()) != IDOK)
        return false;
    stop = true;
    m_loadErrors = true;
    return true;
}

bool CWorkspaceTQ8::LoadMasterSlaveRelations(const CWorkspaceFile& records)
{
    ShowStatus(L"Loading master/slave information...");
    std::map<TQ8_HANDLE, CDeviceManagerTQ8::HandleList> relations;
    bool stop = false;
    for (const CWorkspaceFile::Master& entry : records.masters) {
        if (!entry.valid)
            return InvalidFile();
        TQ8_HANDLE master = entry.serial ? m_devices->FindDeviceBySerial(entry.serial) : nullptr;
        if (entry.serial && !master)
            continue;
        if (master && (!ConfigMatches(master, entry, stop)))
            return false;
        if (stop)
            return true;
        CDeviceManagerTQ8::HandleList& slaves = relations[master];
        for (const CWorkspaceFile::Related& slaveEntry : entry.slaves) {
            if (!slaveEntry.valid)
                return InvalidFile();
            TQ8_HANDLE slave = m_devices->FindDeviceBySerial(slaveEntry.serial);
            if (!slave)
                continue;
            if (!ConfigMatches(slave, slaveEntry, stop))
                return false;
            if (stop)
                return true;
            slaves.push_back(slave);
        }
    }
    for (const auto& [master, slaves] : relations) {
        if (slaves.empty())
            continue;
        if (master)
            m_devices->OnMasterSlaveConfigChanged(master, GetMasterSlaveConfigurationTQ8(master, 1));
        for (TQ8_HANDLE slave : slaves) {
            m_devices->OnMasterSlaveConfigChanged(slave, GetMasterSlaveConfigurationTQ8(slave, 1));
            m_devices->SetSlaveMaster(slave, master);
        }
    }
    return true;
}

bool CWorkspaceTQ8::LoadControllerRelations(const CWorkspaceFile& records)
{
    ShowStatus(L"Loading controlled device state...");
    std::vector<std::pair<TQ8_HANDLE, TQ8_HANDLE>> pairs; // controlled, controller
    for (const CWorkspaceFile::Controller& entry : records.controllers) {
        if (!entry.valid)
            return InvalidFile();
        TQ8_HANDLE controller = m_devices->FindDeviceBySerial(entry.serial);
        for (const CWorkspaceFile::Related& child : entry.controlled) {
            if (!child.valid)
                return InvalidFile();
            if (TQ8_HANDLE controlled = controller ? m_devices->FindDeviceBySerial(child.serial) : nullptr)
                pairs.emplace_back(controlled, controller);
        }
    }
    // The device manager refuses a board as its own controller and a circle
    // of control; such a relation is reported and the rest is kept.
    std::wstring refused;
    for (const auto& [controlled, controller] : pairs)
        if (m_devices->GetController(controlled) != controller && !m_devices->SetController(controlled, controller))
            AddLine(refused, BoardName(controlled) + L" cannot be controlled by " + BoardName(controller));
    if (!refused.empty())
        vlt::ShowMessageBox(L"One or more controller relations of the workspace were not restored:\n\n" + refused,
                            MB_OK | MB_ICONWARNING, m_app.GetMainFrame());
    m_loadErrors = m_loadErrors || !refused.empty();
    return true;
}

void CWorkspaceTQ8::SynchronizeMasters()
{
    ShowStatus(L"Synchronizing master/slave devices...");
    std::wstring lines;
    auto addError = [&](int32_t rc, const wchar_t* prefix, TQ8_HANDLE device) {
        std::wstring text;
        FormatDeviceErrorText(text, rc, prefix, device);
        AddLine(lines, L" - " + text);
    };
    CDeviceManagerTQ8::HandleList masters;
    m_devices->GetMasters(masters, true);
    for (TQ8_HANDLE master : masters) {
        CDeviceManagerTQ8::HandleList slaves;
        if (m_devices->GetSlaves(master, slaves) == 0)
            continue;
        double rate = 0.0;
        int32_t rc = TQ8_OK;
        if (GetAdcClockSourceTQ8(master, 1) == 1) {
            rc = GetExternalClockRateTQ8(master, &rate, 1);
            if (rc == TQ8_OK)
                rc = SetExternalClockRateTQ8(master, rate);
        } else {
            rc = GetInternalAdcClockRateTQ8(master, &rate, 1);
            if (rc == TQ8_OK)
                rc = SetInternalAdcClockRateTQ8(master, rate);
        }
        if (rc != TQ8_OK) {
            addError(rc, L"Failed to set master's clock rate: ", master);
            continue;
        }
        for (TQ8_HANDLE slave : slaves)
            if (int32_t src = SetExternalClockRateTQ8(slave, rate); src != TQ8_OK)
                addError(src, L"Failed to set slave's external clock rate: ", slave);
        if (int32_t src = SynchronizeAdcsTQ8(master); src != TQ8_OK)
            addError(src, L"Failed to synchronize all ADCS: ", master);
    }
    if (!lines.empty())
        vlt::ShowMessageBox(L"One or more errors occurred during master/slave synchronization:\n\n" + lines
                                + L"\nNote: This will not affect the loading of the workspace",
                            MB_OK | MB_ICONERROR, m_app.GetMainFrame());
}

int32_t CWorkspaceTQ8::ConnectListedSyncDevice(const CWorkspaceFile::Device& entry, std::wstring& errors)
{
    if (!entry.valid) {
        SetError(kInvalidFile);
        AddLine(errors, L"A sync device entry of the workspace file has no valid serial number");
        return 0;
    }
    int32_t id = 0;
    if (entry.remote) {
        if (!entry.locationValid) {
            SetError(kInvalidFile);
            AddLine(errors, L"The entry of remote HUB3300-6 device #" + SerialText(entry.serial)
                                + L" has no valid server or port");
            return 0;
        }
        id = m_syncDevices.ConnectRemote(vlt::Utf8ToWide(entry.server).c_str(), entry.port, entry.serial,
                                         entry.isVirtual);
    } else if (entry.isVirtual) {
        id = m_syncDevices.AddVirtual(entry.serial);
    } else {
        id = m_syncDevices.FindInstanceBySerial(entry.serial);
        if (!id) {
            m_syncDevices.ConnectAllLocal();
            id = m_syncDevices.FindInstanceBySerial(entry.serial);
            if (!id)
                m_syncDevices.SetLastErrorText(
                    (L"Local HUB3300-6 device #" + SerialText(entry.serial) + L" is not connected").c_str());
        }
    }
    if (!id)
        AddLine(errors, m_syncDevices.GetLastErrorText());
    return id;
}

bool CWorkspaceTQ8::LoadSyncDevices(const CWorkspaceFile& records)
{
    if (!IsHub6SoftwareInstalled()) {
        if (!records.hasSyncSection)
            return true;
        m_loadErrors = true;
        return vlt::ShowMessageBox(
                   L"The workspace being loaded contains information about HUB3300-6 devices. This system does not "
                   L"have HUB3300-6 product software installed so this information will be ignored.\n\nIf this "
                   L"workspace is subsequently saved, the HUB3300-6 data will be lost. You may want to save a copy "
                   L"of this workspace to another file using the Save Workspace As option in the File menu.\n\n"
                   L"Select OK to continue loading the workspace or Cancel to stop loading the workspace.",
                   MB_OKCANCEL | MB_ICONWARNING, m_app.GetMainFrame())
               == IDOK;
    }
    ShowStatus(L"Loading synchronization device(s)...");
    std::wstring connectErrors;
    std::wstring settingsErrors;
    for (const CWorkspaceFile::Device& entry : records.syncDevices) {
        const int32_t id = ConnectListedSyncDevice(entry, connectErrors);
        if (!id)
            continue;
        if (entry.settingsState != CWorkspaceFile::Settings::Present) {
            SetError(kInvalidFile);
            AddLine(settingsErrors, L"HUB3300-6 device #" + SerialText(m_syncDevices.GetInstanceSerial(id))
                                        + L": the workspace file holds no settings for this device");
        } else if (!m_syncDevices.SetInstanceSettings(id, entry.settings)) {
            AddLine(settingsErrors, m_syncDevices.GetLastErrorText());
        }
    }
    if (!connectErrors.empty()
        && vlt::ShowMessageBox(L"Failed to connect to one or more HUB3300-6 devices:\n\n" + connectErrors
                                   + L"\nContinue loading workspace?",
                               MB_YESNO | MB_ICONWARNING, m_app.GetMainFrame())
               != IDYES)
        return false;
    if (!settingsErrors.empty())
        vlt::ShowMessageBox(L"An error occurred applying hardware settings to one or more devices:\n\n" + settingsErrors,
                            MB_OK | MB_ICONWARNING, m_app.GetMainFrame());
    m_loadErrors = m_loadErrors || !connectErrors.empty() || !settingsErrors.empty();
    if (!LoadSyncRelations(records))
        return false;
    ShowStatus(L"Synchronizing externally synchronized devices...");
    std::vector<int32_t> ids;
    m_syncDevices.GetInstanceIds(ids);
    for (int32_t id : ids)
        if (!m_syncDevices.ApplyClockToBoards(id))
            vlt::ShowMessageBox(L"Failed to synchronize TQ3300 devices: " + m_syncDevices.GetLastErrorText()
                                    + L"\n\nNote: This will not affect the loading of the workspace",
                                MB_ICONERROR, m_app.GetMainFrame());
    return true;
}

bool CWorkspaceTQ8::LoadSyncRelations(const CWorkspaceFile& records)
{
    ShowStatus(L"Loading synchronization device information...");
    for (const CWorkspaceFile::SyncRelation& entry : records.syncRelations) {
        if (!entry.valid)
            return InvalidFile();
        CVltHub6Mgr::CSyncInst* inst = m_syncDevices.FindInstance(m_syncDevices.FindInstanceBySerial(entry.serial));
        if (!inst)
            continue;
        for (const CWorkspaceFile::SyncOutput& output : entry.outputs) {
            if (!output.valid)
                return InvalidFile();
            if (output.index >= CVltHub6Mgr::kOutputCount)
                continue;
            if (TQ8_HANDLE board = m_devices->FindDeviceBySerial(output.serial))
                inst->SetOutputDevice(static_cast<int>(output.index), board);
        }
    }
    return true;
}

bool CWorkspaceTQ8::LoadRecordingParameters(const CWorkspaceFile& records)
{
    ShowStatus(L"Loading recording parameters...");
    if (!records.hasRecordingParameters)
        return true;
    std::wstring fault;
    if (ApplyRecParamsRecords(*m_recParams, records.recordingParameters, &fault))
        return true;
    const std::wstring where = fault.empty() ? L"" : L": in RecordingParameters, " + fault;
    vlt::ShowMessageBox(m_recParams->GetLastErrorText() + where, MB_ICONERROR, m_app.GetMainFrame());
    return SetError(m_recParams->GetLastErrorText().c_str());
}

// ---- Device-manager services --------------------------------------------------------

size_t CWorkspaceTQ8::GetDeviceCountWithoutDocument() const
{
    return m_devices->GetDeviceCountWithoutDocument();
}

TQ8_HANDLE CWorkspaceTQ8::PickDeviceForNewDocument()
{
    // The new document records itself with the manager when it attaches.
    return m_devices->PickDeviceForNewDocument(nullptr);
}

bool CWorkspaceTQ8::SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring& prompt,
                                  const std::wstring& caption)
{
    return m_devices->SelectDevices(list, CDeviceManagerTQ8::kWithDocument, 0, prompt.c_str(), {}, {},
                                    caption.c_str());
}

bool CWorkspaceTQ8::IsInteractive() const
{
    return m_devices->IsInteractive();
}

void CWorkspaceTQ8::SetInteractive(bool interactive)
{
    m_devices->SetInteractive(interactive);
}

bool CWorkspaceTQ8::IsRemoteDevice(TQ8_HANDLE device) const
{
    return m_devices->IsRemote(device);
}

void CWorkspaceTQ8::ReleaseDevice(TQ8_HANDLE device)
{
    m_syncDevices.DetachDevice(device);
    m_devices->ReleaseDevice(device);
    if (CMainFrame* frame = m_app.GetMainFrame())
        frame->OnSyncDevicesChanged();
}

void CWorkspaceTQ8::SetDocument(TQ8_HANDLE device, IBoardDocument* document)
{
    // Only board documents can be recorded; another kind leaves the record alone.
    auto* doc = dynamic_cast<CMainDoc*>(document);
    if (doc || !document)
        m_devices->SetDocument(device, doc);
}

// ---- Host of the device manager -----------------------------------------------------

// Closed at once, even while the board records: the board is disconnected
// right after this.
void CWorkspaceTQ8::CloseDocumentFrame(CMainDoc* doc)
{
    if (!doc)
        return;
    CMainFrame* frame = m_app.GetMainFrame();
    CChildFrame* child = frame ? frame->FindChildFrame(doc) : nullptr;
    if (!child) {
        doc->CloseDocument();
        return;
    }
    child->CloseDocument();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget())) {
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        delete sub;
    }
}

void CWorkspaceTQ8::RefreshControllerFlag(CMainDoc* doc)
{
    if (doc)
        doc->RefreshControllerFlag();
}

void CWorkspaceTQ8::SetDocumentControlled(CMainDoc* doc, TQ8_HANDLE controller)
{
    if (doc)
        doc->SetControlled(controller);
}

void CWorkspaceTQ8::UpdateDocumentViews(CMainDoc* doc, int hint)
{
    // The manager sends only the relations hint.
    if (doc && hint == dochint::kRelationsChanged)
        doc->NotifyRelationsChanged();
}

void CWorkspaceTQ8::RefreshRecordingWindow()
{
    CMainFrame* frame = m_app.GetMainFrame();
    if (IRecordingWindow* window = frame ? frame->GetRecordingWindow() : nullptr)
        window->RefreshDeviceNames();
}

void CWorkspaceTQ8::NotifyAllDocuments(int type)
{
    m_app.NotifyAllDocuments(nullptr, type, nullptr);
}

uint32_t CWorkspaceTQ8::GetAppFlags()
{
    return m_app.GetAppFlags();
}

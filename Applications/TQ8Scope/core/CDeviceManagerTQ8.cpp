#include "CDeviceManagerTQ8.h"

#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>

#include "DocHints.h"
#include "ErrorBox.h"
#include "IDeviceManagerHost.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "ServiceClientSocket.h"
#include "TextConv.h"

static_assert(sizeof(TQ8_REMOTE_CONN_INFO) == 40, "remote connection record");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, port) == 8, "remote connection record");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, server) == 16, "remote connection record");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, clientName) == 24, "remote connection record");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, subServices) == 32, "remote connection record");

namespace {

const wchar_t kLocalHost[] = L"local_host";
const wchar_t kSubServices[] = L"FileServerWindows;PowerDownWindows";
const wchar_t kDefaultClientName[] = L"TQ3300 Scope Application";

std::wstring Prefix(const wchar_t* text, uint32_t serial)
{
    return text + std::to_wstring(serial) + L": ";
}

int RoleOfConfiguration(int32_t configuration)
{
    if (configuration == 1)
        return CDeviceManagerTQ8::kRoleMaster;
    if (configuration == 2 || configuration == 3)
        return CDeviceManagerTQ8::kRoleSlave;
    return CDeviceManagerTQ8::kRoleNone;
}

bool IsSlaveBoard(TQ8_HANDLE handle)
{
    return RoleOfConfiguration(GetMasterSlaveConfigurationTQ8(handle, 1)) == CDeviceManagerTQ8::kRoleSlave;
}

std::wstring ClientName()
{
    std::wstring title = vlt::GetMessageBoxCaption();
    return title.empty() ? std::wstring(kDefaultClientName) : title;
}

} // namespace

CDeviceManagerTQ8::~CDeviceManagerTQ8()
{
    CloseAllDevices();
}

// ---- Queries ------------------------------------------------------------------

size_t CDeviceManagerTQ8::GetDeviceCountWithoutDocument() const
{
    size_t count = 0;
    for (const auto& entry : m_devices)
        if (!entry.second.Document)
            ++count;
    return count;
}

uint32_t CDeviceManagerTQ8::GetSerialNumber(TQ8_HANDLE handle) const
{
    uint32_t serial = 0;
    if (!handle || GetSerialNumberTQ8(handle, &serial) != TQ8_OK)
        return 0;
    return serial;
}

TQ8_HANDLE CDeviceManagerTQ8::FindDeviceBySerial(uint32_t serial) const
{
    if (serial == 0)
        return nullptr;
    for (const auto& entry : m_devices)
        if (GetSerialNumber(entry.first) == serial)
            return entry.first;
    return nullptr;
}

CDeviceManagerTQ8::CDevState* CDeviceManagerTQ8::FindDevState(TQ8_HANDLE handle)
{
    auto it = m_devices.find(handle);
    return it == m_devices.end() ? nullptr : &it->second;
}

const CDeviceManagerTQ8::CDevState* CDeviceManagerTQ8::FindDevState(TQ8_HANDLE handle) const
{
    auto it = m_devices.find(handle);
    return it == m_devices.end() ? nullptr : &it->second;
}

CMainDoc* CDeviceManagerTQ8::GetDocument(TQ8_HANDLE handle) const
{
    const CDevState* state = FindDevState(handle);
    return state ? state->Document : nullptr;
}

bool CDeviceManagerTQ8::SetDocument(TQ8_HANDLE handle, CMainDoc* doc)
{
    CDevState* state = FindDevState(handle);
    if (!state)
        return false;
    state->Document = doc;
    return true;
}

// Closing a board's window gave up its role (OnDeviceRemoving); a board
// that stays connected has it again with its next window.
void CDeviceManagerTQ8::OnDocumentAttached(TQ8_HANDLE handle)
{
    if (!FindDevState(handle))
        return;
    const int32_t configuration = GetMasterSlaveConfigurationTQ8(handle, 1);
    if (RoleOfConfiguration(configuration) != GetMasterSlaveRole(handle))
        OnMasterSlaveConfigChanged(handle, configuration);
    else if (GetMasterSlaveRole(handle) == kRoleMaster)
        UpdateAllDocuments(dochint::kRelationsChanged);
}

bool CDeviceManagerTQ8::GetRemoteLocation(TQ8_HANDLE handle, std::wstring& server, uint16_t& port) const
{
    const CDevState* state = FindDevState(handle);
    if (!state)
        return false;
    server = state->Server;
    port = state->Port;
    return true;
}

bool CDeviceManagerTQ8::IsRemote(TQ8_HANDLE handle) const
{
    const CDevState* state = FindDevState(handle);
    if (!state)
        return false;
    return !state->Server.empty() || IsDeviceRemoteTQ8(handle) > 0;
}

uint32_t CDeviceManagerTQ8::GetDevices(HandleList& list, int kind, const HandleSet& exclude) const
{
    uint32_t count = 0;
    for (const auto& [handle, state] : m_devices) {
        if (exclude.count(handle))
            continue;
        if ((kind == kNoDocument && state.Document) || (kind == kWithDocument && !state.Document))
            continue;
        list.push_back(handle);
        ++count;
    }
    return count;
}

uint32_t CDeviceManagerTQ8::GetLocalDevices(HandleList& list) const
{
    uint32_t count = 0;
    for (const auto& entry : m_devices) {
        TQ8_HANDLE handle = entry.first;
        if (IsDeviceVirtualTQ8(handle) > 0 || IsRemote(handle))
            continue;
        list.push_back(handle);
        ++count;
    }
    return count;
}

uint32_t CDeviceManagerTQ8::GetDevicesWithDocument(HandleList& list) const
{
    return GetDevices(list, kWithDocument);
}

TQ8_HANDLE CDeviceManagerTQ8::GetController(TQ8_HANDLE handle) const
{
    const CDevState* state = FindDevState(handle);
    return state ? state->Controller : nullptr;
}

bool CDeviceManagerTQ8::HasControlledDevices(TQ8_HANDLE handle) const
{
    const CDevState* state = FindDevState(handle);
    return state && !state->Controlled.empty();
}

bool CDeviceManagerTQ8::IsControlledDevice(TQ8_HANDLE handle) const
{
    if (!handle)
        return false;
    for (const auto& entry : m_devices)
        if (entry.second.Controlled.count(handle))
            return true;
    return false;
}

uint32_t CDeviceManagerTQ8::GetControlledDevices(TQ8_HANDLE handle, HandleList& list) const
{
    HandleSet visited{handle};
    uint32_t count = 0;
    CollectControlled(handle, list, visited, count);
    return count;
}

// The visited set keeps a damaged relation from walking in circles.
void CDeviceManagerTQ8::CollectControlled(TQ8_HANDLE handle, HandleList& list, HandleSet& visited,
                                          uint32_t& count) const
{
    const CDevState* state = FindDevState(handle);
    if (!state)
        return;
    for (TQ8_HANDLE controlled : state->Controlled) {
        if (!visited.insert(controlled).second)
            continue;
        if (IsSlaveBoard(controlled))
            list.insert(list.begin(), controlled);
        else
            list.push_back(controlled);
        ++count;
        CollectControlled(controlled, list, visited, count);
    }
}

bool CDeviceManagerTQ8::ControlsTransitively(TQ8_HANDLE handle, TQ8_HANDLE other) const
{
    HandleList below;
    GetControlledDevices(handle, below);
    for (TQ8_HANDLE h : below)
        if (h == other)
            return true;
    return false;
}

int CDeviceManagerTQ8::GetMasterSlaveRole(TQ8_HANDLE handle) const
{
    if (!handle)
        return kRoleNone;
    if (m_relations.count(handle))
        return kRoleMaster;
    for (const auto& entry : m_relations)
        if (entry.second.count(handle))
            return kRoleSlave;
    return kRoleNone;
}

TQ8_HANDLE CDeviceManagerTQ8::GetMaster(TQ8_HANDLE handle) const
{
    if (!handle)
        return nullptr;
    for (const auto& entry : m_relations)
        if (entry.second.count(handle))
            return entry.first;
    return nullptr;
}

uint32_t CDeviceManagerTQ8::GetSlaves(TQ8_HANDLE master, HandleList& list) const
{
    auto it = m_relations.find(master);
    if (it == m_relations.end())
        return 0;
    list.insert(list.end(), it->second.begin(), it->second.end());
    return static_cast<uint32_t>(it->second.size());
}

uint32_t CDeviceManagerTQ8::GetMasters(HandleList& list, bool onlyWithDocument) const
{
    uint32_t count = 0;
    for (const auto& entry : m_relations) {
        if (!entry.first || (onlyWithDocument && !GetDocument(entry.first)))
            continue;
        list.push_back(entry.first);
        ++count;
    }
    return count;
}

void CDeviceManagerTQ8::SetLastDeviceError(int32_t code, const wchar_t* prefix, TQ8_HANDLE handle)
{
    FormatDeviceErrorText(m_lastError, code, prefix, handle);
}

std::wstring CDeviceManagerTQ8::ResolveServerName(const wchar_t* server, uint16_t port)
{
    if (port == 0 || !server || !*server)
        return kLocalHost;
    std::string host = vlt::WideToUtf8(server);
    // Digits and dots that are no address would go out as a name lookup.
    if (IsMalformedNumericAddress(host))
        return server;
    std::string service = std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    std::wstring name = server;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) == 0 && found) {
        if (found->ai_canonname && *found->ai_canonname)
            name = vlt::Utf8ToWide(found->ai_canonname);
        freeaddrinfo(found);
    }
    return name;
}

// ---- Connections ----------------------------------------------------------------

TQ8_HANDLE CDeviceManagerTQ8::Register(TQ8_HANDLE handle, const std::wstring& server, uint16_t port)
{
    CDevState& state = m_devices[handle];
    state = CDevState();
    state.Server = server;
    state.Port = port;
    OnDeviceAdded(handle);
    return handle;
}

uint32_t CDeviceManagerTQ8::ConnectAllLocalDevices()
{
    int32_t count = GetDeviceCountTQ8();
    uint32_t added = 0;
    for (int32_t ordinal = 1; ordinal <= count; ++ordinal) {
        TQ8_HANDLE handle = nullptr;
        if (ConnectToDeviceTQ8(&handle, static_cast<uint32_t>(ordinal)) != TQ8_OK || !handle)
            continue;
        if (m_devices.count(handle))
            continue;
        uint32_t serial = GetSerialNumber(handle);
        if (serial && FindDeviceBySerial(serial)) {
            DisconnectFromDeviceTQ8(handle);
            continue;
        }
        Register(handle, std::wstring(), 0);
        ++added;
    }
    return added;
}

TQ8_HANDLE CDeviceManagerTQ8::ConnectLocalDevice(uint32_t serial)
{
    if (TQ8_HANDLE known = FindDeviceBySerial(serial))
        return known;
    TQ8_HANDLE handle = nullptr;
    int32_t rc = ConnectToDeviceTQ8(&handle, serial);
    if (rc == TQ8_OK && !handle)
        rc = TQ8_ERR_GENERAL;
    // The library takes a number that is no board's serial as an ordinal:
    // that would be some other board.
    if (rc == TQ8_OK && GetSerialNumber(handle) != serial) {
        DisconnectFromDeviceTQ8(handle);
        rc = TQ8_ERR_DEVICE_NOT_FOUND;
    }
    if (rc != TQ8_OK) {
        SetLastDeviceError(rc, Prefix(L"Failed to connect to local TQ3300 device #", serial).c_str(), nullptr);
        return nullptr;
    }
    return Register(handle, std::wstring(), 0);
}

TQ8_HANDLE CDeviceManagerTQ8::ConnectVirtualDevice(uint32_t serial)
{
    if (serial == 0) {
        serial = AllocateVirtualSerial();
    } else if (TQ8_HANDLE known = FindDeviceBySerial(serial)) {
        if (!IsRemote(known) && IsDeviceVirtualTQ8(known) > 0)
            return known;
    }
    TQ8_HANDLE handle = nullptr;
    int32_t rc = ConnectToVirtualDeviceTQ8(&handle, serial, 1);
    if (rc == TQ8_OK && !handle)
        rc = TQ8_ERR_GENERAL;
    if (rc != TQ8_OK) {
        SetLastDeviceError(rc, Prefix(L"Failed to connect to virtual TQ3300 device #", serial).c_str(), nullptr);
        return nullptr;
    }
    return Register(handle, std::wstring(), 0);
}

int32_t CDeviceManagerTQ8::ConnectRemoteHandle(TQ8_HANDLE* handle, uint32_t serial, bool isVirtual,
                                               const TQ8_REMOTE_CONN_INFO& conn)
{
    if (isVirtual)
        return ConnectToRemoteVirtualDeviceWTQ8(handle, serial, 1, &conn);
    return ConnectToRemoteDeviceWTQ8(handle, serial, &conn);
}

int32_t CDeviceManagerTQ8::QueryRemoteSerials(const wchar_t* server, uint16_t port, uint32_t** serials)
{
    return GetRemoteDeviceCountWTQ8(server, port, serials);
}

TQ8_HANDLE CDeviceManagerTQ8::ConnectRemoteDevice(const wchar_t* server, uint16_t port, uint32_t serial,
                                                  bool quiet, bool isVirtual)
{
    const std::wstring serverText = server ? server : L"";
    const std::wstring client = ClientName();
    TQ8_REMOTE_CONN_INFO conn{};
    conn.size = sizeof(conn);
    conn.port = port;
    conn.server = serverText.c_str();
    conn.clientName = client.c_str();
    conn.subServices = kSubServices;
    if (isVirtual && serial == 0)
        serial = AllocateVirtualSerial();

    TQ8_HANDLE handle = nullptr;
    int32_t rc = ConnectRemoteHandle(&handle, serial, isVirtual, conn);
    const int connectError = errno;
    if (rc == TQ8_OK && !handle)
        rc = TQ8_ERR_GENERAL;
    if (rc != TQ8_OK) {
        const wchar_t* text = isVirtual ? L"Failed to connect to remote virtual TQ3300 device #"
                                        : L"Failed to connect to remote TQ3300 device #";
        FormatConnectErrorText(m_lastError, rc, Prefix(text, serial).c_str(), connectError);
        if (!quiet && m_interactive)
            ShowConnectErrorBox(rc, L"Failed to connect to remote device: ", connectError);
        return nullptr;
    }
    return Register(handle, serverText, port);
}

int32_t CDeviceManagerTQ8::ConnectServerDevices(const wchar_t* server, uint16_t port, HandleList& list, bool quiet)
{
    const bool talk = !quiet && m_interactive;
    uint32_t* serials = nullptr;
    int32_t count = QueryRemoteSerials(server, port, &serials);
    const int connectError = errno;
    if (count > 0 && !serials)
        count = TQ8_ERR_GENERAL;
    if (count < 0) {
        FormatConnectErrorText(m_lastError, count, L"Failed to get remote device count: ", connectError);
        if (talk)
            ShowConnectErrorBox(count, L"Failed to get remote device count: ", connectError);
        return -1;
    }
    if (count == 0) {
        FreeMemoryTQ8(serials);
        if (talk)
            ShowBox(L"Specified server has no TQ3300 devices", MB_ICONINFORMATION);
        return 0;
    }
    int32_t connected = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (TQ8_HANDLE handle = ConnectRemoteDevice(server, port, serials[i], quiet, false)) {
            list.push_back(handle);
            ++connected;
        }
    }
    FreeMemoryTQ8(serials);
    return connected;
}

uint32_t CDeviceManagerTQ8::AllocateVirtualSerial()
{
    uint32_t serial = m_nextVirtualSerial;
    while (serial == 0 || FindDeviceBySerial(serial))
        ++serial;
    m_nextVirtualSerial = serial + 1;
    return serial;
}

// ---- Documents and disconnection ------------------------------------------------

TQ8_HANDLE CDeviceManagerTQ8::PickDeviceForNewDocument(CMainDoc* doc)
{
    HandleList candidates;
    if (GetDevices(candidates, kNoDocument) == 0)
        return nullptr;
    if (candidates.size() > 1 && m_interactive && !SelectDevices(candidates, kNoDocument, kSelSingle))
        return nullptr;
    TQ8_HANDLE handle = candidates.front();
    if (!SetDocument(handle, doc))
        return nullptr;
    return handle;
}

bool CDeviceManagerTQ8::SelectDevices(HandleList& list, int kind, uint32_t flags, const wchar_t* prompt,
                                      const HandleSet& exclude, const HandleSet& preselect,
                                      const wchar_t* fileName)
{
    list.clear();
    GetDevices(list, kind, exclude);
    if (list.size() == 1 && !(flags & kSelAlwaysAsk))
        return true;
    if (!m_interactive)
        return false;
    if (!SelectionDialogFactory())
        return false;
    SelectionRequest request;
    request.kind = kind;
    request.flags = flags;
    request.prompt = prompt ? prompt : L"";
    request.exclude = exclude;
    request.preselect = preselect;
    request.fileName = fileName ? fileName : L"";
    HandleList chosen;
    if (!SelectionDialogFactory()(*this, request, chosen) || chosen.empty())
        return false;
    list = std::move(chosen);
    return true;
}

CDeviceManagerTQ8::SelectionDialog& CDeviceManagerTQ8::SelectionDialogFactory()
{
    static SelectionDialog dialog;
    return dialog;
}

bool CDeviceManagerTQ8::ReleaseDevice(TQ8_HANDLE handle)
{
    CDevState* state = FindDevState(handle);
    if (!state)
        return false;
    // While everything closes, CloseAllDevices disconnects each board itself.
    if (m_closingAll) {
        state->Document = nullptr;
        return true;
    }
    OnDeviceRemoving(handle);
    if (CDevState* still = FindDevState(handle))
        still->Document = nullptr;
    if (IsRemote(handle))
        DisconnectAndForget(handle);
    return true;
}

void CDeviceManagerTQ8::DisconnectAndForget(TQ8_HANDLE handle)
{
    DisconnectFromDeviceTQ8(handle);
    m_devices.erase(handle);
    m_relations.erase(handle);
    RemoveFromAllSets(handle);
    for (auto& entry : m_devices) {
        entry.second.Controlled.erase(handle);
        if (entry.second.Controller == handle)
            entry.second.Controller = nullptr;
    }
}

// Closing a document's window may release its board from inside; work on a
// snapshot of the handles and disconnect each board exactly once.
void CDeviceManagerTQ8::CloseAllDevices()
{
    if (m_closingAll)
        return;
    const bool wasInteractive = m_interactive;
    m_interactive = false;
    m_closingAll = true;
    HandleList handles;
    GetDevices(handles, kAllDevices);
    for (TQ8_HANDLE handle : handles) {
        if (!FindDevState(handle))
            continue;
        OnDeviceRemoving(handle);
        CMainDoc* doc = GetDocument(handle);
        if (doc && m_host)
            m_host->CloseDocumentFrame(doc);
        if (FindDevState(handle))
            DisconnectAndForget(handle);
    }
    m_devices.clear();
    m_relations.clear();
    m_closingAll = false;
    m_interactive = wasInteractive;
}

// ---- Relations ------------------------------------------------------------------

bool CDeviceManagerTQ8::SetController(TQ8_HANDLE handle, TQ8_HANDLE controller)
{
    CDevState* state = FindDevState(handle);
    if (!state)
        return false;
    if (controller) {
        // A board never controls itself, and control never runs in a circle.
        if (controller == handle || !FindDevState(controller) || GetController(controller)
            || ControlsTransitively(handle, controller))
            return false;
    }
    TQ8_HANDLE old = state->Controller;
    if (CDevState* oldState = FindDevState(old))
        oldState->Controlled.erase(handle);
    state->Controller = controller;
    if (controller)
        FindDevState(controller)->Controlled.insert(handle);
    RefreshControllerFlagOf(old);
    if (controller != old)
        RefreshControllerFlagOf(controller);
    if (m_host && state->Document)
        m_host->SetDocumentControlled(state->Document, controller);
    SetModified();
    return true;
}

bool CDeviceManagerTQ8::SetSlaveMaster(TQ8_HANDLE slave, TQ8_HANDLE master)
{
    CDevState* state = FindDevState(slave);
    if (!state || GetMasterSlaveRole(slave) == kRoleMaster)
        return false;
    if (master && (master == slave || GetMasterSlaveRole(master) != kRoleMaster))
        return false;
    RemoveFromAllSets(slave);
    m_relations[master].insert(slave);
    // The slave runs on its master's clock from now on: it takes the master's
    // rate at once, as it does whenever the master's clock changes.
    double rate = 0.0;
    const bool clocked =
        master && GetActualAdcAcqRateTQ8(master, &rate) == 0 && SetExternalClockRateTQ8(slave, rate) == 0;
    if (m_host) {
        if (state->Document) {
            m_host->UpdateDocumentViews(state->Document, dochint::kRelationsChanged);
            if (clocked)
                m_host->UpdateDocumentViews(state->Document, dochint::kClock);
        }
        m_host->RefreshRecordingWindow();
    }
    const uint32_t appFlags = m_host ? m_host->GetAppFlags() : opts::kAppFlagsDefault;
    if ((appFlags & opts::kAppFlagMastersControlSlaves) && !SetController(slave, master) && m_interactive)
        ShowBox(L"Failed to associate slave to master device.", MB_ICONERROR);
    return true;
}

int CDeviceManagerTQ8::OnMasterSlaveConfigChanged(TQ8_HANDLE handle, int32_t configuration)
{
    if (!FindDevState(handle))
        return -1;
    const int newRole = RoleOfConfiguration(configuration);
    const int oldRole = GetMasterSlaveRole(handle);
    if (newRole == oldRole)
        return 0;
    bool released = false;
    bool mastersChanged = false;
    if (oldRole == kRoleMaster) {
        HandleSet slaves = std::move(m_relations[handle]);
        m_relations.erase(handle);
        if (!slaves.empty()) {
            m_relations[nullptr].insert(slaves.begin(), slaves.end());
            released = true;
        }
        mastersChanged = true;
    } else if (oldRole == kRoleSlave) {
        RemoveFromAllSets(handle);
    }
    if (newRole == kRoleMaster) {
        m_relations[handle];
        mastersChanged = true;
    } else if (newRole == kRoleSlave) {
        m_relations[nullptr].insert(handle);
    }
    if (mastersChanged)
        UpdateAllDocuments(dochint::kRelationsChanged);
    if (!released)
        RefreshAllControllerFlags();
    if (released && m_interactive)
        ShowBox(L"One or more slave devices are no longer associated with a master device.", MB_ICONWARNING);
    SetModified();
    return released ? 1 : 0;
}

void CDeviceManagerTQ8::BuildMasterSlaveRelations()
{
    m_relations.clear();
    uint32_t masters = 0;
    uint32_t slaves = 0;
    for (const auto& entry : m_devices) {
        int role = RoleOfConfiguration(GetMasterSlaveConfigurationTQ8(entry.first, 1));
        if (role == kRoleMaster) {
            m_relations[entry.first];
            ++masters;
        } else if (role == kRoleSlave) {
            m_relations[nullptr].insert(entry.first);
            ++slaves;
        }
    }
    if (masters && slaves)
        AssociateUnassignedSlaves();
}

// A slave goes to the one master at its own location; with several masters
// there it stays unassigned.
void CDeviceManagerTQ8::AssociateUnassignedSlaves()
{
    auto unassigned = m_relations.find(nullptr);
    if (unassigned == m_relations.end())
        return;
    std::map<std::wstring, HandleList> mastersAt;
    for (const auto& entry : m_relations)
        if (const CDevState* state = entry.first ? FindDevState(entry.first) : nullptr)
            mastersAt[state->Location].push_back(entry.first);
    const HandleSet slaves = unassigned->second;
    for (TQ8_HANDLE slave : slaves) {
        const CDevState* state = FindDevState(slave);
        if (!state)
            continue;
        auto masters = mastersAt.find(state->Location);
        if (masters != mastersAt.end() && masters->second.size() == 1)
            SetSlaveMaster(slave, masters->second.front());
    }
}

void CDeviceManagerTQ8::RemoveFromAllSets(TQ8_HANDLE handle)
{
    for (auto& entry : m_relations)
        entry.second.erase(handle);
    auto unassigned = m_relations.find(nullptr);
    if (unassigned != m_relations.end() && unassigned->second.empty())
        m_relations.erase(unassigned);
}

void CDeviceManagerTQ8::OnDeviceAdded(TQ8_HANDLE handle)
{
    if (CDevState* state = FindDevState(handle))
        state->Location = ResolveServerName(state->Server.c_str(), state->Port);
    NotifyDeviceListChanged();
    SetModified();
}

void CDeviceManagerTQ8::OnDeviceRemoving(TQ8_HANDLE handle)
{
    if (IsControlledDevice(handle))
        SetController(handle, nullptr);
    if (HasControlledDevices(handle)) {
        HandleList controlled;
        GetControlledDevices(handle, controlled);
        for (TQ8_HANDLE board : controlled)
            SetController(board, nullptr);
    }
    if (GetMasterSlaveRole(handle) != kRoleNone)
        OnMasterSlaveConfigChanged(handle, 0);
    NotifyDeviceListChanged();
    SetModified();
}

// ---- Host --------------------------------------------------------------------------

void CDeviceManagerTQ8::UpdateAllDocuments(int hint)
{
    if (!m_host)
        return;
    for (const auto& entry : m_devices)
        if (entry.second.Document)
            m_host->UpdateDocumentViews(entry.second.Document, hint);
}

void CDeviceManagerTQ8::RefreshAllControllerFlags()
{
    if (!m_host)
        return;
    for (const auto& entry : m_devices)
        if (entry.second.Document)
            m_host->RefreshControllerFlag(entry.second.Document);
}

void CDeviceManagerTQ8::RefreshControllerFlagOf(TQ8_HANDLE handle)
{
    if (CMainDoc* doc = GetDocument(handle); doc && m_host)
        m_host->RefreshControllerFlag(doc);
}

void CDeviceManagerTQ8::SetModified()
{
    if (m_host)
        m_host->SetWorkspaceModified();
}

void CDeviceManagerTQ8::NotifyDeviceListChanged()
{
    if (m_host)
        m_host->NotifyAllDocuments(appnotify::kDeviceList);
}

int CDeviceManagerTQ8::ShowBox(const std::wstring& text, unsigned style)
{
    return vlt::ShowMessageBox(text, style);
}

#include "CStartupWorkspace.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "CMainApp.h"
#include "CMainFrame.h"
#include "ErrorBox.h"
#include "PersistentOptsKeys.h"
#include "TextConv.h"

namespace {

bool FileExists(const std::wstring& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(std::filesystem::path(vlt::WideToUtf8(path)), ec);
}

} // namespace

CStartupWorkspace::CStartupWorkspace(CMainApp& app) : m_app(app) {}

CStartupWorkspace::~CStartupWorkspace()
{
    DisconnectAll();
}

int CStartupWorkspace::ChooseStartType(const CMyCommandLineInfo& cmdInfo, std::wstring& path)
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

bool CStartupWorkspace::Start(const CMyCommandLineInfo& cmdInfo)
{
    m_interactive = true;
    std::wstring path;
    int type = ChooseStartType(cmdInfo, path);
    if (type == 4)
        return Load(path);
    if (!Create(type, std::wstring()))
        return false;
    m_modified = false;
    return true;
}

bool CStartupWorkspace::Create(int type, const std::wstring&)
{
    if (!m_app.PromptSaveWorkspace(false))
        return false;
    // Without the new-workspace dialog, asking gives an empty workspace.
    if (type == 5)
        type = 0;
    Close();
    ConnectAllLocalDevices();
    std::vector<TQ8_HANDLE> boards;
    if (type == 1) {
        for (const auto& entry : m_devices)
            if (IsDeviceVirtualTQ8(entry.first) <= 0 && !IsRemoteDevice(entry.first))
                boards.push_back(entry.first);
    } else if (type == 3) {
        if (TQ8_HANDLE device = ConnectVirtualDevice())
            boards.push_back(device);
    } else if (type != 0) {
        return false;
    }
    if (CMainFrame* frame = m_app.GetMainFrame())
        frame->ShowStatusText(L"Creating documents...", 2500);
    for (TQ8_HANDLE device : boards)
        if (!m_devices[device])
            m_app.OpenDeviceDocument(device, docstate::kLimitPlotData);
    m_app.AfterWorkspaceLoad();
    m_modified = false;
    return true;
}

bool CStartupWorkspace::Load(const std::wstring&)
{
    vlt::ShowMessageBox(L"Workspace files cannot be read by this version of the program.", MB_ICONERROR);
    return false;
}

bool CStartupWorkspace::Save(const std::wstring&)
{
    vlt::ShowMessageBox(L"Workspace files cannot be written by this version of the program.", MB_ICONERROR);
    return false;
}

void CStartupWorkspace::Close()
{
    const bool interactive = m_interactive;
    m_interactive = false;
    if (CMainFrame* frame = m_app.GetMainFrame())
        frame->CloseAllDocumentFrames();
    DisconnectAll();
    m_interactive = interactive;
}

void CStartupWorkspace::DisconnectAll()
{
    for (const auto& entry : m_devices)
        DisconnectFromDeviceTQ8(entry.first);
    m_devices.clear();
}

uint32_t CStartupWorkspace::ConnectAllLocalDevices()
{
    int32_t count = GetDeviceCountTQ8();
    uint32_t added = 0;
    for (int32_t ordinal = 1; ordinal <= count; ++ordinal) {
        TQ8_HANDLE device = nullptr;
        if (ConnectToDeviceTQ8(&device, static_cast<uint32_t>(ordinal)) != 0 || !device)
            continue;
        uint32_t serial = 0;
        GetSerialNumberTQ8(device, &serial);
        if (FindDeviceBySerial(serial)) {
            DisconnectFromDeviceTQ8(device);
            continue;
        }
        m_devices[device] = nullptr;
        ++added;
    }
    return added;
}

TQ8_HANDLE CStartupWorkspace::FindDeviceBySerial(uint32_t serial) const
{
    if (serial == 0)
        return nullptr;
    for (const auto& entry : m_devices) {
        uint32_t s = 0;
        if (GetSerialNumberTQ8(entry.first, &s) == 0 && s == serial)
            return entry.first;
    }
    return nullptr;
}

uint32_t CStartupWorkspace::AllocateVirtualSerial()
{
    uint32_t serial = m_nextVirtualSerial;
    while (FindDeviceBySerial(serial))
        ++serial;
    m_nextVirtualSerial = serial + 1;
    return serial;
}

TQ8_HANDLE CStartupWorkspace::ConnectVirtualDevice()
{
    uint32_t serial = AllocateVirtualSerial();
    TQ8_HANDLE device = nullptr;
    int32_t result = ConnectToVirtualDeviceTQ8(&device, serial, 1);
    if (result != 0 || !device) {
        wchar_t prefix[96];
        std::swprintf(prefix, 96, L"Failed to connect to virtual TQ3300 device #%u: ", serial);
        if (m_interactive)
            ShowDeviceErrorBox(result, prefix, nullptr);
        return nullptr;
    }
    m_devices[device] = nullptr;
    return device;
}

size_t CStartupWorkspace::GetDeviceCountWithoutDocument() const
{
    size_t count = 0;
    for (const auto& entry : m_devices)
        if (!entry.second)
            ++count;
    return count;
}

TQ8_HANDLE CStartupWorkspace::PickDeviceForNewDocument()
{
    for (const auto& entry : m_devices)
        if (!entry.second)
            return entry.first;
    return nullptr;
}

bool CStartupWorkspace::SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring&, const std::wstring&)
{
    list.clear();
    for (const auto& entry : m_devices)
        if (entry.second)
            list.push_back(entry.first);
    // More than one board needs the device selection dialog.
    return list.size() == 1;
}

bool CStartupWorkspace::IsRemoteDevice(TQ8_HANDLE device) const
{
    return IsDeviceRemoteTQ8(device) > 0;
}

void CStartupWorkspace::ReleaseDevice(TQ8_HANDLE device)
{
    auto it = m_devices.find(device);
    if (it != m_devices.end())
        it->second = nullptr;
}

void CStartupWorkspace::SetDocument(TQ8_HANDLE device, IBoardDocument* document)
{
    auto it = m_devices.find(device);
    if (it != m_devices.end())
        it->second = document;
}

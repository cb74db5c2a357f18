#include "CStartupWorkspace.h"

#include <filesystem>
#include <system_error>

#include <QMdiSubWindow>

#include "CChildFrame.h"
#include "CMainApp.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CRecParamsManager.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "TextConv.h"

namespace {

bool FileExists(const std::wstring& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(std::filesystem::path(vlt::WideToUtf8(path)), ec);
}

} // namespace

CStartupWorkspace::CStartupWorkspace(CMainApp& app) : m_app(app)
{
    m_devices.SetHost(this);
    m_syncDevices.SetDeviceManager(&m_devices);
}

CStartupWorkspace::~CStartupWorkspace()
{
    // The manager would close its boards in its own destructor, when this
    // host is already gone.
    m_devices.CloseAllDevices();
    m_devices.SetHost(nullptr);
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
    m_devices.SetInteractive(true);
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
    // Refused before the current workspace is closed, so that nothing is lost.
    if (type != 0 && type != 1 && type != 3)
        return false;
    Close();
    // Every workspace connects all local boards; those it does not use stay
    // free for new documents.
    m_devices.ConnectAllLocalDevices();
    m_recParams = std::make_unique<CRecParamsManager>();
    m_recParams->LinkDeviceManager(&m_devices);
    CDeviceManagerTQ8::HandleList boards;
    CollectBoards(type, boards);
    m_devices.BuildMasterSlaveRelations();

    CMainFrame* frame = m_app.GetMainFrame();
    const bool locked = frame && frame->updatesEnabled();
    if (frame)
        frame->ShowStatusText(L"Creating documents...", 2500);
    if (locked)
        frame->setUpdatesEnabled(false);
    for (TQ8_HANDLE device : boards)
        if (!m_devices.GetDocument(device))
            m_app.OpenDeviceDocument(device, docstate::kLimitPlotData);
    m_app.AfterWorkspaceLoad();
    if (locked)
        frame->setUpdatesEnabled(true);
    m_modified = false;
    return true;
}

void CStartupWorkspace::CollectBoards(int type, CDeviceManagerTQ8::HandleList& boards)
{
    if (type == 1) {
        m_devices.GetLocalDevices(boards);
    } else if (type == 3) {
        if (TQ8_HANDLE device = m_devices.ConnectVirtualDevice())
            boards.push_back(device);
        else if (m_devices.IsInteractive())
            vlt::ShowMessageBox(m_devices.GetLastErrorText(), MB_ICONERROR);
    }
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
    const bool modified = m_modified;
    m_syncDevices.RemoveAllInstances();
    // Each document is closed (its acquisition thread joined) before its
    // board is disconnected; every board is disconnected once.
    m_devices.CloseAllDevices();
    // After the documents: each one leaves the manager as it closes.
    m_recParams.reset();
    m_modified = modified;
}

// ---- Device-manager services ----------------------------------------------------

size_t CStartupWorkspace::GetDeviceCountWithoutDocument() const
{
    return m_devices.GetDeviceCountWithoutDocument();
}

TQ8_HANDLE CStartupWorkspace::PickDeviceForNewDocument()
{
    // The new document records itself with the manager when it attaches.
    return m_devices.PickDeviceForNewDocument(nullptr);
}

bool CStartupWorkspace::SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring& prompt,
                                      const std::wstring& caption)
{
    return m_devices.SelectDevices(list, CDeviceManagerTQ8::kWithDocument, 0, prompt.c_str(), {}, {},
                                   caption.c_str());
}

bool CStartupWorkspace::IsInteractive() const
{
    return m_devices.IsInteractive();
}

void CStartupWorkspace::SetInteractive(bool interactive)
{
    m_devices.SetInteractive(interactive);
}

bool CStartupWorkspace::IsRemoteDevice(TQ8_HANDLE device) const
{
    return m_devices.IsRemote(device);
}

void CStartupWorkspace::ReleaseDevice(TQ8_HANDLE device)
{
    m_syncDevices.DetachDevice(device);
    m_devices.ReleaseDevice(device);
}

void CStartupWorkspace::SetDocument(TQ8_HANDLE device, IBoardDocument* document)
{
    // Only board documents can be recorded; another kind leaves the record alone.
    auto* doc = dynamic_cast<CMainDoc*>(document);
    if (doc || !document)
        m_devices.SetDocument(device, doc);
}

// ---- Host of the device manager -----------------------------------------------------

// Closed at once, even while the board records: the board is disconnected
// right after this.
void CStartupWorkspace::CloseDocumentFrame(CMainDoc* doc)
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

void CStartupWorkspace::RefreshControllerFlag(CMainDoc* doc)
{
    if (doc)
        doc->RefreshControllerFlag();
}

void CStartupWorkspace::SetDocumentControlled(CMainDoc* doc, TQ8_HANDLE controller)
{
    if (doc)
        doc->SetControlled(controller);
}

void CStartupWorkspace::UpdateDocumentViews(CMainDoc* doc, int hint)
{
    // The manager sends only the relations hint.
    if (doc && hint == dochint::kRelationsChanged)
        doc->NotifyRelationsChanged();
}

void CStartupWorkspace::NotifyAllDocuments(int type)
{
    m_app.NotifyAllDocuments(nullptr, type, nullptr);
}

uint32_t CStartupWorkspace::GetAppFlags()
{
    return m_app.GetAppFlags();
}

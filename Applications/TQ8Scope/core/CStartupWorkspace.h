#pragma once
// TEMPORARY: stands in for the workspace (CWorkspaceTQ8) until it is built.
// It owns the device manager and the recording-parameters manager, makes
// the start-up choice of the first workspace and creates workspaces of
// every local board, one virtual board or none, all through the device
// manager; as the manager's host it forwards the manager's calls to the
// documents and the application. It cannot read or write workspace files,
// ask with the new-workspace dialog, or create a workspace of a remote
// server's boards.
#include <cstdint>
#include <memory>

#include "CDeviceManagerTQ8.h"
#include "CVltHub6Mgr.h"
#include "IDeviceManagerHost.h"
#include "IWorkspaceTQ8.h"

class CMainApp;
class CRecParamsManager;

class CStartupWorkspace : public IWorkspaceTQ8, public IDeviceManagerHost {
public:
    explicit CStartupWorkspace(CMainApp& app);
    ~CStartupWorkspace() override;

    // The workspace type the start-up chooses: 0 empty, 1 local boards,
    // 3 one virtual board, 4 a workspace file, 5 ask.
    int ChooseStartType(const CMyCommandLineInfo& cmdInfo, std::wstring& path);

    // ---- IWorkspaceTQ8
    bool Start(const CMyCommandLineInfo& cmdInfo) override;
    bool Create(int type, const std::wstring& server) override;
    bool Load(const std::wstring& path) override;
    bool Save(const std::wstring& path) override;
    // Closes every document and disconnects every board; the modified flag
    // stays as it was.
    void Close() override;
    bool IsModified() const override { return m_modified; }
    void SetModified(bool modified) override { m_modified = modified; }
    std::wstring GetPath() const override { return {}; }
    bool SupportsFiles() const override { return false; }

    size_t GetDeviceCountWithoutDocument() const override;
    TQ8_HANDLE PickDeviceForNewDocument() override;
    bool SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring& prompt,
                       const std::wstring& caption) override;
    bool IsInteractive() const override;
    void SetInteractive(bool interactive) override;
    bool IsRemoteDevice(TQ8_HANDLE device) const override;
    void ReleaseDevice(TQ8_HANDLE device) override;
    void SetDocument(TQ8_HANDLE device, IBoardDocument* document) override;
    CDeviceManagerTQ8* GetDeviceManager() override { return &m_devices; }
    CRecParamsManager* GetRecParamsManager() override { return m_recParams.get(); }
    CVltHub6Mgr* GetSyncManager() override { return &m_syncDevices; }

    // ---- IDeviceManagerHost
    void CloseDocumentFrame(CMainDoc* doc) override;
    void RefreshControllerFlag(CMainDoc* doc) override;
    void SetDocumentControlled(CMainDoc* doc, TQ8_HANDLE controller) override;
    void UpdateDocumentViews(CMainDoc* doc, int hint) override;
    void NotifyAllDocuments(int type) override;
    void SetWorkspaceModified() override { m_modified = true; }
    void RefreshRecordingWindow() override {}
    uint32_t GetAppFlags() override;

private:
    // The boards of a new workspace of type 0, 1 or 3.
    void CollectBoards(int type, CDeviceManagerTQ8::HandleList& boards);

    CMainApp& m_app;
    CDeviceManagerTQ8 m_devices;
    // After the device manager: its sync devices let go of their boards first.
    CVltHub6Mgr m_syncDevices;
    std::unique_ptr<CRecParamsManager> m_recParams;
    bool m_modified = false;
};

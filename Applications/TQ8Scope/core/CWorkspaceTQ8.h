#pragma once
// The set of boards the user works with at one time, with their master/slave,
// controller and sync-device relations and the recording parameters, and the
// .tq8ws file that saves and restores all of it. One object lives as long as
// the application; closing a workspace and making another reuses it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "CDeviceManagerTQ8.h"
#include "CWorkspaceFile.h"
#include "CVltHub6Mgr.h"
#include "IDeviceManagerHost.h"
#include "IWorkspaceTQ8.h"

class CMainApp;
class CRecParamsManager;
class QWidget;

class CWorkspaceTQ8 : public IWorkspaceTQ8, public IDeviceManagerHost {
public:
    // What a new workspace starts with (the new-workspace dialog's choices):
    // type 0 empty, 1 local boards, 2 a server's boards, 3 one virtual board,
    // 4 a workspace file.
    struct NewWorkspace {
        int type = 0;
        std::wstring server;
        bool useSyncDevices = false;
        bool virtualSync = false;
        bool powerupDefaults = false;
        std::wstring path;
    };
    // Asks the user (the new-workspace dialog); false when cancelled.
    using NewWorkspaceDialog = std::function<bool(QWidget* parent, CWorkspaceTQ8& ws, NewWorkspace& choice)>;
    static void SetNewWorkspaceDialog(NewWorkspaceDialog dialog);

    static constexpr uint16_t kServerPort = 3494;
    static constexpr uint16_t kSyncServerPort = 3496;
    static constexpr int32_t kErrWorkspaceUnreadable = -529;

    explicit CWorkspaceTQ8(CMainApp& app);
    ~CWorkspaceTQ8() override;

    // ---- IWorkspaceTQ8
    bool Start(const CMyCommandLineInfo& cmdInfo) override;
    bool Create(int type, const std::wstring& server) override;
    bool Load(const std::wstring& path) override;
    bool Save(const std::wstring& path) override;
    // Releases the sync devices, closes every board and drops the recording
    // parameters; the modified flag stays as it was.
    void Close() override;
    bool IsModified() const override { return m_modified; }
    void SetModified(bool modified) override { m_modified = modified; }
    std::wstring GetPath() const override { return m_path; }
    std::wstring GetLoadedWithErrorsPath() const override { return m_loadedWithErrorsFrom; }
    bool SupportsFiles() const override { return true; }
    // Stores the text (none empties it) and returns false.
    bool SetError(const wchar_t* text);
    std::wstring GetLastError() const override { return m_lastError; }

    // The type Start creates: 0, 1, 3, 4 (path set) or 5.
    int ChooseStartType(const CMyCommandLineInfo& cmdInfo, std::wstring& path);
    // The workspace file's text; false (with the box shown) when a part of it
    // cannot be produced.
    bool BuildFileText(std::string& out);

    size_t GetDeviceCountWithoutDocument() const override;
    TQ8_HANDLE PickDeviceForNewDocument() override;
    bool SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring& prompt,
                       const std::wstring& caption) override;
    bool IsInteractive() const override;
    void SetInteractive(bool interactive) override;
    bool IsRemoteDevice(TQ8_HANDLE device) const override;
    void ReleaseDevice(TQ8_HANDLE device) override;
    void SetDocument(TQ8_HANDLE device, IBoardDocument* document) override;
    CDeviceManagerTQ8* GetDeviceManager() override { return m_devices.get(); }
    CRecParamsManager* GetRecParamsManager() override { return m_recParams.get(); }
    CVltHub6Mgr* GetSyncManager() override { return &m_syncDevices; }

    // ---- IDeviceManagerHost
    void CloseDocumentFrame(CMainDoc* doc) override;
    void RefreshControllerFlag(CMainDoc* doc) override;
    void SetDocumentControlled(CMainDoc* doc, TQ8_HANDLE controller) override;
    void UpdateDocumentViews(CMainDoc* doc, int hint) override;
    void NotifyAllDocuments(int type) override;
    void SetWorkspaceModified() override { m_modified = true; }
    void RefreshRecordingWindow() override;
    uint32_t GetAppFlags() override;

protected:
    // A test gives a device manager of its own (boards on a server without one).
    CWorkspaceTQ8(CMainApp& app, std::unique_ptr<CDeviceManagerTQ8> devices);

private:
    bool CreateWith(NewWorkspace choice);
    void CollectBoards(const NewWorkspace& choice, CDeviceManagerTQ8::HandleList& boards);
    void ConnectSyncDevices(const NewWorkspace& choice);
    void ShowStatus(const wchar_t* text);

    // Sections of the file text.
    bool WriteDevices(std::string& out);
    void WriteMasterSlaveRelations(std::string& out) const;
    void WriteControllerRelations(std::string& out) const;
    bool WriteSyncDevices(std::string& out);
    bool WriteFile(const std::wstring& path, const std::string& text);

    // Load's steps; replaced tells whether the current workspace was closed
    // for the file's before a step failed.
    bool LoadFile(const std::wstring& path, bool& replaced);
    bool LoadAndNotify(const std::wstring& path);
    // Steps of a load, applying what the file held; false ends it. A step
    // whose errors the user let pass sets m_loadErrors.
    bool LoadDevices(const CWorkspaceFile& records);
    bool LoadMasterSlaveRelations(const CWorkspaceFile& records);
    bool LoadControllerRelations(const CWorkspaceFile& records);
    void SynchronizeMasters();
    bool LoadSyncDevices(const CWorkspaceFile& records);
    bool LoadSyncRelations(const CWorkspaceFile& records);
    bool LoadRecordingParameters(const CWorkspaceFile& records);
    TQ8_HANDLE ConnectListedDevice(const CWorkspaceFile::Device& entry, std::wstring& errors);
    int32_t ConnectListedSyncDevice(const CWorkspaceFile::Device& entry, std::wstring& errors);
    bool ConfigMatches(TQ8_HANDLE device, const CWorkspaceFile::Related& entry, bool& stop);
    // Sets "Invalid TQ3300 workspace file", says so and returns false.
    bool InvalidFile();

    CMainApp& m_app;
    std::unique_ptr<CDeviceManagerTQ8> m_devices;
    // After the device manager: its sync devices let go of their boards first.
    CVltHub6Mgr m_syncDevices;
    std::unique_ptr<CRecParamsManager> m_recParams;
    bool m_modified = false;
    std::wstring m_path;
    std::wstring m_lastError;
    bool m_loadErrors = false;
    // The file a load with errors read (it keeps no file name then).
    std::wstring m_loadedWithErrorsFrom;
};

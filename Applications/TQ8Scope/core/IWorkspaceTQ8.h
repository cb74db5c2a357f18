#pragma once
// The workspace as the application shell uses it: the first set of boards,
// the workspace file commands, and the device-manager services that the
// main frame needs. The workspace itself implements it.
#include <string>
#include <vector>

#include "TQ8_64.h"

class CDeviceManagerTQ8;
class CMyCommandLineInfo;
class CRecParamsManager;
class CVltHub6Mgr;
class IBoardDocument;

class IWorkspaceTQ8 {
public:
    virtual ~IWorkspaceTQ8() = default;

    // The first workspace of the process; false ends the program.
    virtual bool Start(const CMyCommandLineInfo& cmdInfo) = 0;
    // Replaces the workspace: type 5 asks with the new-workspace dialog.
    virtual bool Create(int type, const std::wstring& server) = 0;
    virtual bool Load(const std::wstring& path) = 0;
    // An empty path saves to the workspace's own file.
    virtual bool Save(const std::wstring& path) = 0;
    virtual void Close() = 0;
    virtual bool IsModified() const = 0;
    virtual void SetModified(bool modified) = 0;
    virtual std::wstring GetPath() const = 0;
    // The file of a load that met errors the user let pass: such a workspace
    // has no path, and saving it offers this name instead of replacing the
    // file. Empty otherwise.
    virtual std::wstring GetLoadedWithErrorsPath() const { return {}; }
    // Whether this workspace can create, read and write workspace files.
    virtual bool SupportsFiles() const = 0;
    // What the last failed operation was (its boxes said the details);
    // empty when it said nothing, as when the user cancelled.
    virtual std::wstring GetLastError() const { return {}; }

    // Device manager: boards without a document, the pick for a new
    // document (may ask; none when there is no board or the user cancels),
    // the user's choice of boards for a file, the interactive flag, whether a
    // board is on another computer, and letting go of a closed document's board.
    virtual size_t GetDeviceCountWithoutDocument() const = 0;
    virtual TQ8_HANDLE PickDeviceForNewDocument() = 0;
    virtual bool SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring& prompt,
                               const std::wstring& caption) = 0;
    virtual bool IsInteractive() const = 0;
    virtual void SetInteractive(bool interactive) = 0;
    virtual bool IsRemoteDevice(TQ8_HANDLE device) const = 0;
    virtual void ReleaseDevice(TQ8_HANDLE device) = 0;
    // Records the document opened for a connected board.
    virtual void SetDocument(TQ8_HANDLE device, IBoardDocument* document) = 0;
    // The workspace's device manager and recording-parameters manager;
    // null while the workspace has none.
    virtual CDeviceManagerTQ8* GetDeviceManager() { return nullptr; }
    virtual CRecParamsManager* GetRecParamsManager() { return nullptr; }
    // The external sync devices of the workspace; null while it has none.
    virtual CVltHub6Mgr* GetSyncManager() { return nullptr; }
};

#pragma once
// TEMPORARY: stands in for the workspace (CWorkspaceTQ8) and its device
// manager until they are built. It makes the start-up choice of the first
// workspace and connects the boards it needs through the device library:
// every local board, or one virtual board. It cannot read or write
// workspace files, ask with the new-workspace dialog, reach remote boards
// or let the user pick among several boards.
#include <cstdint>
#include <map>

#include "IWorkspaceTQ8.h"

class CMainApp;

class CStartupWorkspace : public IWorkspaceTQ8 {
public:
    explicit CStartupWorkspace(CMainApp& app);
    ~CStartupWorkspace() override;

    // The workspace type the start-up chooses: 0 empty, 1 local boards,
    // 3 one virtual board, 4 a workspace file, 5 ask.
    int ChooseStartType(const CMyCommandLineInfo& cmdInfo, std::wstring& path);

    bool Start(const CMyCommandLineInfo& cmdInfo) override;
    bool Create(int type, const std::wstring& server) override;
    bool Load(const std::wstring& path) override;
    bool Save(const std::wstring& path) override;
    void Close() override;
    bool IsModified() const override { return m_modified; }
    void SetModified(bool modified) override { m_modified = modified; }
    std::wstring GetPath() const override { return {}; }
    bool SupportsFiles() const override { return false; }

    size_t GetDeviceCountWithoutDocument() const override;
    TQ8_HANDLE PickDeviceForNewDocument() override;
    bool SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring& prompt,
                       const std::wstring& caption) override;
    bool IsInteractive() const override { return m_interactive; }
    void SetInteractive(bool interactive) override { m_interactive = interactive; }
    bool IsRemoteDevice(TQ8_HANDLE device) const override;
    void ReleaseDevice(TQ8_HANDLE device) override;
    void SetDocument(TQ8_HANDLE device, IBoardDocument* document) override;

    size_t GetDeviceCount() const { return m_devices.size(); }

private:
    uint32_t ConnectAllLocalDevices();
    TQ8_HANDLE ConnectVirtualDevice();
    uint32_t AllocateVirtualSerial();
    TQ8_HANDLE FindDeviceBySerial(uint32_t serial) const;
    void DisconnectAll();

    CMainApp& m_app;
    std::map<TQ8_HANDLE, IBoardDocument*> m_devices;
    bool m_modified = false;
    bool m_interactive = false;
    uint32_t m_nextVirtualSerial = 1600;
};

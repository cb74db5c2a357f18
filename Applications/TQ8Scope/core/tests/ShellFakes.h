#pragma once
// Stand-ins for the workspace and the board documents, so that the shell's
// flows can be driven without boards.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "AppMessages.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "IBoardDocument.h"
#include "IWorkspaceTQ8.h"

inline TQ8_HANDLE FakeHandle(uintptr_t n)
{
    return reinterpret_cast<TQ8_HANDLE>(n);
}

class FakeDoc : public IBoardDocument {
public:
    FakeDoc(CMainApp& app, TQ8_HANDLE device, uint32_t flags) : m_app(app), device(device), flags(flags) {}

    TQ8_HANDLE GetDeviceHandle() const override { return device; }
    uint32_t GetStateFlags() const override { return flags; }
    std::wstring GetTitle() const override { return title; }
    uint32_t GetControlPanelPageMask() const override { return pageMask; }
    void SetChildFrame(CChildFrame* f) override { frame = f; }
    void StartAcquisition() override
    {
        ++starts;
        if (onStart)
            onStart(*this);
    }
    void ApplyCommandLineFile() override
    {
        ++applied;
        order.push_back(device);
        vlt::PostAppMessage(m_app.GetMainFrame(), WM_APP + 2);
    }
    void CloseDocument() override { ++closed; }
    void OnAppNotify(IBoardDocument*, int type, void*) override { notifications.push_back(type); }
    bool GetCommandState(unsigned id, bool& enabled, bool& checked) const override
    {
        auto it = commandStates.find(id);
        if (it == commandStates.end())
            return false;
        enabled = it->second.enabled;
        checked = it->second.checked;
        return true;
    }
    bool OnCommand(unsigned id) override
    {
        commands.push_back(id);
        return true;
    }

    struct CommandState {
        bool enabled;
        bool checked;
    };

    CMainApp& m_app;
    TQ8_HANDLE device;
    uint32_t flags;
    uint32_t pageMask = 0;
    std::wstring title = L"Fake board";
    CChildFrame* frame = nullptr;
    int starts = 0;
    int applied = 0;
    int closed = 0;
    std::vector<int> notifications;
    std::map<unsigned, CommandState> commandStates; // commands the document serves
    std::vector<unsigned> commands;                  // commands it ran
    std::function<void(FakeDoc&)> onStart;
    static inline std::vector<TQ8_HANDLE> order;
};

class FakeWorkspace : public IWorkspaceTQ8 {
public:
    explicit FakeWorkspace(CMainApp& app) : m_app(app) {}

    bool Start(const CMyCommandLineInfo&) override
    {
        for (TQ8_HANDLE d : boards)
            m_app.OpenDeviceDocument(d, docstate::kLimitPlotData);
        return startResult;
    }
    bool Create(int, const std::wstring&) override { return false; }
    bool Load(const std::wstring&) override { return false; }
    bool Save(const std::wstring& p) override
    {
        ++saves;
        savedTo = p;
        if (saveResult)
            modified = false;
        return saveResult;
    }
    void Close() override { ++closes; }
    bool IsModified() const override { return modified; }
    void SetModified(bool m) override { modified = m; }
    std::wstring GetPath() const override { return path; }
    bool SupportsFiles() const override { return true; }
    size_t GetDeviceCountWithoutDocument() const override { return unopened.size(); }
    // The boards not yet open, handed out in order; the user's choice is
    // played by onPick.
    TQ8_HANDLE PickDeviceForNewDocument() override
    {
        if (unopened.empty())
            return nullptr;
        if (onPick)
            onPick();
        TQ8_HANDLE device = unopened.front();
        unopened.erase(unopened.begin());
        return device;
    }
    bool SelectDevices(std::vector<TQ8_HANDLE>& list, const std::wstring& prompt, const std::wstring&) override
    {
        lastPrompt = prompt;
        list = selection;
        return !list.empty();
    }
    bool IsInteractive() const override { return interactive; }
    void SetInteractive(bool on) override { interactive = on; }
    bool IsRemoteDevice(TQ8_HANDLE d) const override { return remote.count(d) != 0; }
    void ReleaseDevice(TQ8_HANDLE) override {}
    void SetDocument(TQ8_HANDLE d, IBoardDocument* doc) override { docs[d] = doc; }
    CVltHub6Mgr* GetSyncManager() override { return syncManager; }
    CRecParamsManager* GetRecParamsManager() override { return recParams; }

    CMainApp& m_app;
    std::vector<TQ8_HANDLE> boards;
    std::vector<TQ8_HANDLE> selection;
    std::vector<TQ8_HANDLE> unopened;
    std::function<void()> onPick;
    CRecParamsManager* recParams = nullptr;
    std::map<TQ8_HANDLE, bool> remote; // present = remote
    std::map<TQ8_HANDLE, IBoardDocument*> docs;
    std::wstring lastPrompt;
    std::wstring path;
    std::wstring savedTo;
    bool startResult = true;
    bool saveResult = true;
    bool modified = false;
    bool interactive = true;
    int saves = 0;
    int closes = 0;
    CVltHub6Mgr* syncManager = nullptr;
};

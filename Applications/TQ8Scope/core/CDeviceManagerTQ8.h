#pragma once
// Owns every connected board of the workspace: connects local, virtual and
// remote boards, keeps one state record per board (its document, where it
// is, its controller and the boards it controls) and the master/slave map,
// hands free boards to new documents and disconnects boards. UI thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TQ8_64.h"

class CMainDoc;
class IDeviceManagerHost;

class CDeviceManagerTQ8 {
public:
    // Kinds of GetDevices and SelectDevices.
    static constexpr int kNoDocument = 0;
    static constexpr int kWithDocument = 1;
    static constexpr int kAllDevices = 2;
    // Flags of SelectDevices.
    static constexpr uint32_t kSelSingle = 0x1;
    static constexpr uint32_t kSelAlwaysAsk = 0x2;
    static constexpr uint32_t kSelNoDeviceRow = 0x4;
    // Master/slave roles.
    static constexpr int kRoleNone = 0;
    static constexpr int kRoleMaster = 1;
    static constexpr int kRoleSlave = 2;

    static constexpr uint32_t kFirstVirtualSerial = 1600;
    static constexpr uint16_t kDefaultRemotePort = 3494;

    class CDevState {
    public:
        virtual ~CDevState() = default;

        CMainDoc* Document = nullptr;
        uint32_t Reserved = 0;
        std::wstring Location;
        std::wstring Server;
        uint16_t Port = 0;
        TQ8_HANDLE Controller = nullptr;
        std::set<TQ8_HANDLE> Controlled;
    };

    using HandleSet = std::set<TQ8_HANDLE>;
    using HandleList = std::vector<TQ8_HANDLE>;

    CDeviceManagerTQ8() = default;
    CDeviceManagerTQ8(const CDeviceManagerTQ8&) = delete;
    CDeviceManagerTQ8& operator=(const CDeviceManagerTQ8&) = delete;
    // Closes every board.
    virtual ~CDeviceManagerTQ8();

    // The host must outlive the manager or be reset to null first.
    void SetHost(IDeviceManagerHost* host) { m_host = host; }

    // ---- Queries
    size_t GetDeviceCount() const { return m_devices.size(); }
    size_t GetDeviceCountWithoutDocument() const;
    uint32_t GetSerialNumber(TQ8_HANDLE handle) const;
    TQ8_HANDLE FindDeviceBySerial(uint32_t serial) const;
    CDevState* FindDevState(TQ8_HANDLE handle);
    const CDevState* FindDevState(TQ8_HANDLE handle) const;
    CMainDoc* GetDocument(TQ8_HANDLE handle) const;
    bool SetDocument(TQ8_HANDLE handle, CMainDoc* doc);
    // A board's window has opened: the board takes up its master/slave role
    // again, and the slaves' lists of masters follow a master's window.
    void OnDocumentAttached(TQ8_HANDLE handle);
    bool GetRemoteLocation(TQ8_HANDLE handle, std::wstring& server, uint16_t& port) const;
    bool IsRemote(TQ8_HANDLE handle) const;
    uint32_t GetDevices(HandleList& list, int kind, const HandleSet& exclude = {}) const;
    uint32_t GetLocalDevices(HandleList& list) const;
    uint32_t GetDevicesWithDocument(HandleList& list) const;

    TQ8_HANDLE GetController(TQ8_HANDLE handle) const;
    bool HasControlledDevices(TQ8_HANDLE handle) const;
    bool IsControlledDevice(TQ8_HANDLE handle) const;
    // Every board below handle, however deep; slaves at the front.
    uint32_t GetControlledDevices(TQ8_HANDLE handle, HandleList& list) const;

    int GetMasterSlaveRole(TQ8_HANDLE handle) const;
    TQ8_HANDLE GetMaster(TQ8_HANDLE handle) const;
    uint32_t GetSlaves(TQ8_HANDLE master, HandleList& list) const;
    uint32_t GetMasters(HandleList& list, bool onlyWithDocument) const;
    const std::map<TQ8_HANDLE, HandleSet>& GetMasterSlaveRelations() const { return m_relations; }

    const std::wstring& GetLastErrorText() const { return m_lastError; }
    void SetLastErrorText(const wchar_t* text) { m_lastError = text ? text : L""; }
    void SetLastDeviceError(int32_t code, const wchar_t* prefix, TQ8_HANDLE handle);
    bool IsInteractive() const { return m_interactive; }
    void SetInteractive(bool on) { m_interactive = on; }

    // "local_host" without a server or port, else the canonical name.
    static std::wstring ResolveServerName(const wchar_t* server, uint16_t port);

    // ---- Connections: the new board's handle, or null
    uint32_t ConnectAllLocalDevices();
    TQ8_HANDLE ConnectLocalDevice(uint32_t serial);
    TQ8_HANDLE ConnectVirtualDevice(uint32_t serial = 0);
    TQ8_HANDLE ConnectRemoteDevice(const wchar_t* server, uint16_t port, uint32_t serial, bool quiet,
                                   bool isVirtual);
    // Number connected, 0 for a server without boards, -1 on failure.
    int32_t ConnectServerDevices(const wchar_t* server, uint16_t port, HandleList& list, bool quiet);
    uint32_t AllocateVirtualSerial();

    // ---- Documents and disconnection
    TQ8_HANDLE PickDeviceForNewDocument(CMainDoc* doc);
    bool SelectDevices(HandleList& list, int kind, uint32_t flags, const wchar_t* prompt = nullptr,
                       const HandleSet& exclude = {}, const HandleSet& preselect = {},
                       const wchar_t* fileName = nullptr);
    // The dialog SelectDevices asks with (set at program start-up; without
    // it nothing is chosen): true and the chosen handles, ascending, on OK.
    struct SelectionRequest {
        int kind = kAllDevices;
        uint32_t flags = 0;
        std::wstring prompt;
        HandleSet exclude;
        HandleSet preselect;
        std::wstring fileName;
    };
    using SelectionDialog = std::function<bool(CDeviceManagerTQ8& devices, const SelectionRequest& request,
                                               HandleList& chosen)>;
    static SelectionDialog& SelectionDialogFactory();
    bool ReleaseDevice(TQ8_HANDLE handle);
    void CloseAllDevices();

    // ---- Relations
    bool SetController(TQ8_HANDLE handle, TQ8_HANDLE controller);
    bool SetSlaveMaster(TQ8_HANDLE slave, TQ8_HANDLE master);
    // -1 for an unknown board, 0 when nothing changed, 1 when slaves were
    // released from a master.
    int OnMasterSlaveConfigChanged(TQ8_HANDLE handle, int32_t configuration);
    void BuildMasterSlaveRelations();
    void AssociateUnassignedSlaves();

    virtual void OnDeviceRemoving(TQ8_HANDLE handle);
    virtual void OnDeviceAdded(TQ8_HANDLE handle);

protected:
    // The library's remote calls, kept apart so that a test can reach
    // boards without a server.
    virtual int32_t ConnectRemoteHandle(TQ8_HANDLE* handle, uint32_t serial, bool isVirtual,
                                        const TQ8_REMOTE_CONN_INFO& conn);
    virtual int32_t QueryRemoteSerials(const wchar_t* server, uint16_t port, uint32_t** serials);

private:
    TQ8_HANDLE Register(TQ8_HANDLE handle, const std::wstring& server, uint16_t port);
    void DisconnectAndForget(TQ8_HANDLE handle);
    void CollectControlled(TQ8_HANDLE handle, HandleList& list, HandleSet& visited, uint32_t& count) const;
    bool ControlsTransitively(TQ8_HANDLE handle, TQ8_HANDLE other) const;
    void RemoveFromAllSets(TQ8_HANDLE handle);
    void UpdateAllDocuments(int hint);
    void RefreshAllControllerFlags();
    void RefreshControllerFlagOf(TQ8_HANDLE handle);
    void SetModified();
    void NotifyDeviceListChanged();
    int ShowBox(const std::wstring& text, unsigned style);

    std::map<TQ8_HANDLE, CDevState> m_devices;
    std::map<TQ8_HANDLE, HandleSet> m_relations;
    bool m_interactive = false;
    std::wstring m_lastError;
    uint32_t m_nextVirtualSerial = kFirstVirtualSerial;

    IDeviceManagerHost* m_host = nullptr;
    bool m_closingAll = false;
};

#pragma once
// The external sync devices (HUB3300-6) of the workspace: one component
// object per connected unit, keyed by an instance id that is never reused.
// Connects local, virtual and remote units, binds boards to a unit's six
// outputs, passes clock changes on to the bound boards and keeps the text of
// its last failure. UI thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CComPtr.h"
#include "TQ8_64.h"
#include "VltHUB6.h"

// Before the reason a clock rate for a unit was refused.
inline constexpr wchar_t kHub6RateRefusedContext[] = L"Failed to set HUB3300 clock frequency: ";

class CDeviceManagerTQ8;
class CMainDoc;
class QWidget;

class CVltHub6Mgr {
public:
    static constexpr int kOutputCount = 6;
    static constexpr uint32_t kFirstVirtualSerial = 6000;
    static constexpr uint16_t kDefaultRemotePort = 3496;

    // One connected unit. Movable but not copyable: ending an instance
    // unbinds its boards, which a copy's end must not do to the original.
    class CSyncInst {
    public:
        CSyncInst() = default;
        CSyncInst(CVltHub6Mgr* manager, int32_t id, IVltHUB6* object);
        CSyncInst(CSyncInst&& other) noexcept;
        CSyncInst& operator=(CSyncInst&& other) noexcept;
        CSyncInst(const CSyncInst&) = delete;
        CSyncInst& operator=(const CSyncInst&) = delete;
        // Each bound board's document forgets this unit.
        virtual ~CSyncInst();

        int32_t GetId() const { return m_id; }
        IVltHUB6* GetObject() const { return m_object; }
        const std::wstring& GetServer() const { return m_server; }
        uint16_t GetPort() const { return m_port; }
        void SetRemoteLocation(const std::wstring& server, uint16_t port);
        // The unit's display name (string item 0); empty when it has none.
        std::wstring GetName() const;

        // index 0 to 5 for the outputs labelled 1 to 6.
        TQ8_HANDLE GetOutputDevice(int index) const;
        // The document of the board on that output, or null.
        CMainDoc* GetOutputDocument(int index) const;
        // The output that holds the board, -1 when none.
        int FindOutputOfDevice(TQ8_HANDLE handle) const;
        // Binds the board to the output (null clears it); false, with nothing
        // changed, when the board is not set for external synchronization or
        // is already bound to another output of this or another unit.
        bool SetOutputDevice(int index, TQ8_HANDLE handle);
        // Sets the unit's clock, tells the bound boards and synchronizes.
        // false when the unit failed, or when a bound board refused the
        // rate (the others still take it): the manager's last error text
        // names each refusing board with the library's text. A rate that
        // drives a bound board's ADC outside the rates it runs at changes
        // nothing; the text names those boards in the same way.
        bool SetClockRate(double rate);
        // The bound boards that cannot run at rate, one line each with the
        // library's text; empty when all can.
        std::wstring RateRefusals(double rate) const;
        // The library's code for the rate the unit's clock would give the
        // board's ADC on that source and those dividers when the board does
        // not run at it; 0 when it does, or when the unit cannot say its rate.
        int32_t ClockRefusal(TQ8_HANDLE board, int32_t source, int32_t divider1, int32_t divider2) const;

    private:
        CMainDoc* DocumentOf(TQ8_HANDLE handle) const;
        bool IsBoundElsewhere(TQ8_HANDLE handle, int index) const;
        void DetachAll();

        CVltHub6Mgr* m_manager = nullptr;
        int32_t m_id = 0;
        CComPtr<IVltHUB6> m_object;
        TQ8_HANDLE m_outputs[kOutputCount] = {};
        std::wstring m_server;
        uint16_t m_port = 0;
    };

    CVltHub6Mgr() = default;
    CVltHub6Mgr(const CVltHub6Mgr&) = delete;
    CVltHub6Mgr& operator=(const CVltHub6Mgr&) = delete;
    // Ends every instance, which unbinds their boards.
    virtual ~CVltHub6Mgr();

    // Where bound boards' documents are found; must outlive this manager.
    void SetDeviceManager(CDeviceManagerTQ8* devices) { m_devices = devices; }
    CDeviceManagerTQ8* GetDeviceManager() const { return m_devices; }

    const std::wstring& GetLastErrorText() const { return m_lastError; }
    void SetLastErrorText(const wchar_t* text) { m_lastError = text ? text : L""; }

    size_t GetInstanceCount() const { return m_instances.size(); }
    bool HasInstances() const { return !m_instances.empty(); }
    CSyncInst* FindInstance(int32_t id);
    const CSyncInst* FindInstance(int32_t id) const;
    // 0 when no connected unit has the serial (and for serial 0).
    int32_t FindInstanceBySerial(uint32_t serial) const;
    // Appends every id in ascending order; returns how many.
    uint32_t GetInstanceIds(std::vector<int32_t>& ids) const;
    uint32_t GetInstanceSerial(int32_t id) const;
    bool GetInstanceErrorText(std::wstring& text, const wchar_t* context, int32_t id) const;

    uint32_t AllocateVirtualSerial();
    // The id of the new instance, or of the connected one with the same serial; 0 on failure.
    int32_t AddInstance(IVltHUB6* object);
    int32_t ConnectLocal(uint32_t index);
    int32_t AddVirtual(uint32_t serial = 0);
    int32_t ConnectRemote(const wchar_t* server, uint16_t port, uint32_t serial, bool isVirtual);
    int32_t ConnectServerDevices(const wchar_t* server, uint16_t port, std::vector<int32_t>& ids, bool warnWhenEmpty);
    // Local units held after the call; -1 when an object cannot be made.
    int32_t ConnectAllLocal();

    bool RemoveInstance(int32_t id);
    // The next id and the next virtual serial keep their values.
    void RemoveAllInstances();
    // A board that leaves the workspace leaves every output it was bound to.
    void DetachDevice(TQ8_HANDLE handle);

    // A rate set on the page that a bound board cannot run at is refused
    // as on the board's clock page: the unit gets its rate back and the
    // boards are not told.
    bool ShowDeviceSettings(int32_t id, QWidget* owner, DISPID initialProperty);
    bool ApplyClockToBoards(int32_t id);
    // The unit's settings as XML text (UTF-8), and back.
    bool GetInstanceSettings(int32_t id, std::string& xml);
    bool SetInstanceSettings(int32_t id, const std::string& xml);

    virtual void OnDeviceSettingsChanged(int32_t id);

private:
    void SetObjectError(IVltHUB6* object, const wchar_t* context = nullptr);
    void RefuseDeviceRate(IVltHUB6* object, double rate, const std::wstring& refused, QWidget* owner);

    std::map<int32_t, CSyncInst> m_instances;
    uint32_t m_nextVirtualSerial = kFirstVirtualSerial;
    int32_t m_nextId = 1;
    std::wstring m_lastError;
    CDeviceManagerTQ8* m_devices = nullptr;
};

// A new unit object made by its ProgID; failure means the software is not installed.
HRESULT CreateHub6Object(CComPtr<IVltHUB6>& object);
// Whether a unit object can be made; asked once per process.
bool IsHub6SoftwareInstalled();
// The number of local units; counted once per process.
uint32_t GetLocalHub6DeviceCount();
// Forgets the two remembered answers above (after installing the software, and in tests).
void ForgetHub6SoftwareState();
// The serials a server lists, appended; false on failure, with the reason in
// error when given.
bool EnumRemoteHub6Devices(const wchar_t* server, uint16_t port, std::vector<uint32_t>& serials,
                           std::wstring* error = nullptr);
// "<name>: <context><error>"; false without an object.
bool FormatHub6ErrorText(std::wstring& text, const wchar_t* context, IVltHUB6* object);

#pragma once
// One HUB3300-6 unit as a component object: opened as a local or virtual
// unit, it keeps the unit's clock and passes on synchronizations and
// triggers; connected to a remote unit, it hands each of these to the
// sync-device service of the unit's computer. Late-bound calls through
// IDispatch are not offered.
#include "CComObjectRoot.h"
#include "CHub6RemoteLink.h"
#include "CHub6UnitTable.h"
#include "VltHUB6.h"

#include <memory>
#include <string>

class CVltHUB6 : public IVltHUB6, public vlt::CComObjectRoot {
public:
    HRESULT InternalQueryInterface(const IID& riid, void** ppv);

    // IDispatch
    HRESULT GetIDsOfNames(const wchar_t* const* names, uint32_t count, DISPID* ids) override;
    HRESULT Invoke(DISPID id, uint16_t flags, DISPPARAMS* params, VARIANT* pResult, EXCEPINFO* pExcepInfo,
                   uint32_t* puArgErr) override;

    // IVltHUB6
    HRESULT OpenLocal(uint32_t index) override;
    HRESULT OpenVirtual(uint32_t serial, uint32_t flags) override;
    HRESULT Close() override;
    HRESULT GetSerialNumber(uint32_t* serial) override;
    HRESULT GetStringItem(uint32_t item, BSTR* text) override;
    HRESULT GetSyncNowAvailable(VARIANT_BOOL* available) override;
    HRESULT SetDeviceClockRate(double rate) override;
    HRESULT GetDeviceClockRate(double* rate) override;
    HRESULT SynchronizeExternal() override;
    HRESULT GetTriggerNowAvailable(VARIANT_BOOL* available) override;
    HRESULT SoftwareTrigger() override;
    HRESULT GetErrorText(uint32_t reserved, BSTR* text) override;
    HRESULT ConnectRemoteDevice(uint32_t serial, uint32_t reserved1, uint16_t port, BSTR server, uint32_t reserved2,
                                uint32_t reserved3) override;
    HRESULT ConnectRemoteVirtualDevice(uint32_t serial, uint32_t flags, uint32_t reserved1, uint16_t port, BSTR server,
                                       uint32_t reserved2, uint32_t reserved3) override;
    HRESULT IsLocal() override;
    HRESULT IsVirtual() override;
    HRESULT IsRemote() override;
    HRESULT ListServerDevices(BSTR server, uint16_t port, uint32_t* count, VARIANT* serials) override;
    HRESULT SaveSettingsToString(BSTR* xml) override;
    HRESULT LoadSettingsFromString(BSTR xml) override;

private:
    using Kind = CHub6UnitTable::Kind;

    // Records text as the last error and returns hr.
    HRESULT Fail(HRESULT hr, const std::wstring& text);
    // The injected failure of method, recorded, or S_OK.
    HRESULT Injected(const char* method);
    // S_OK when a unit is open, else the recorded failure.
    HRESULT RequireOpen();
    HRESULT CanOpen();
    HRESULT ConnectRemote(Kind kind, uint32_t serial, uint16_t port, BSTR server);
    void Attach(Kind kind, uint32_t serial);
    HRESULT Answer(bool yes);
    // One call to the remote unit's service; a failure records its text.
    HRESULT RemoteCall(const char* method, const ServiceRequestParams* params = nullptr);
    HRESULT RemoteClockRate(double& rate);
    HRESULT StoreClockRate(double rate);
    HRESULT ReadClockRate(double& rate);

    std::shared_ptr<CHub6Unit> m_unit;    // a local or virtual unit
    std::unique_ptr<CHub6RemoteLink> m_link; // a remote unit
    Kind m_kind = Kind::Local;
    uint32_t m_serial = 0;
    std::wstring m_server;
    uint16_t m_port = 0;
    std::wstring m_lastError;
};

#pragma once
// The sync device's component: one object per connected HUB3300-6 unit,
// created by the ProgID "HUB6COM.VltHUB6". Methods are in method-table order.
#include "ComInterfaces.h"
#include "Guid.h"
#include "Variant.h"

#include <cstdint>

class QWidget;

inline constexpr wchar_t kHub6ProgId[] = L"HUB6COM.VltHUB6";
inline constexpr CLSID CLSID_VltHUB6 = vlt::MakeGuid("6B1F2C40-3D5E-4A71-9C2B-5E8D7F1A0B36");
// The settings page of the component.
inline constexpr CLSID CLSID_VltHUB6PropPage = vlt::MakeGuid("4ECD3FD4-8837-4079-A94E-B6F87457057B");

// String items of GetStringItem.
inline constexpr uint32_t kHub6ItemDisplayName = 0;
inline constexpr uint32_t kHub6ItemErrorName = 24;

// Clock rates are in MHz.
inline constexpr double kHub6MinClockRate = 1.0;
inline constexpr double kHub6MaxClockRate = 6000.0;
inline constexpr double kHub6DefaultClockRate = 1500.0;

// Every method returns a negative HRESULT on failure; GetErrorText then
// gives the reason.
struct IVltHUB6 : IDispatch {
    static constexpr IID iid = vlt::MakeGuid("A3C9E1D2-5B74-4F08-8E61-2D9B0C7A4F15");
    // index counts from 1.
    virtual HRESULT OpenLocal(uint32_t index) = 0;
    // flags: 1.
    virtual HRESULT OpenVirtual(uint32_t serial, uint32_t flags) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT GetSerialNumber(uint32_t* serial) = 0;
    virtual HRESULT GetStringItem(uint32_t item, BSTR* text) = 0;
    virtual HRESULT GetSyncNowAvailable(VARIANT_BOOL* available) = 0;
    virtual HRESULT SetDeviceClockRate(double rate) = 0;
    virtual HRESULT GetDeviceClockRate(double* rate) = 0;
    virtual HRESULT SynchronizeExternal() = 0;
    virtual HRESULT GetTriggerNowAvailable(VARIANT_BOOL* available) = 0;
    virtual HRESULT SoftwareTrigger() = 0;
    virtual HRESULT GetErrorText(uint32_t reserved, BSTR* text) = 0;
    virtual HRESULT ConnectRemoteDevice(uint32_t serial, uint32_t reserved1, uint16_t port, BSTR server,
                                        uint32_t reserved2, uint32_t reserved3) = 0;
    virtual HRESULT ConnectRemoteVirtualDevice(uint32_t serial, uint32_t flags, uint32_t reserved1, uint16_t port,
                                               BSTR server, uint32_t reserved2, uint32_t reserved3) = 0;
    // S_OK when yes, S_FALSE when no.
    virtual HRESULT IsLocal() = 0;
    virtual HRESULT IsVirtual() = 0;
    virtual HRESULT IsRemote() = 0;
    // serials: VT_ARRAY | VT_UI4 when count is not 0.
    virtual HRESULT ListServerDevices(BSTR server, uint16_t port, uint32_t* count, VARIANT* serials) = 0;
    // The device's settings as XML text, and back.
    virtual HRESULT SaveSettingsToString(BSTR* xml) = 0;
    virtual HRESULT LoadSettingsFromString(BSTR xml) = 0;
};

// A property page shown in a modal frame for the objects it is given.
struct IVltPropertyPage : IUnknown {
    static constexpr IID iid = vlt::MakeGuid("D8E47A6B-19C3-4E5F-B02A-7C41F9E3A268");
    virtual HRESULT SetObjects(uint32_t count, IUnknown** objects) = 0;
    // S_OK when the user applied the page, S_FALSE when cancelled. The frame
    // opens centred on its owner, or at x, y of the owner when not both 0.
    virtual HRESULT ShowFrame(QWidget* owner, BSTR caption, int32_t x, int32_t y, DISPID initialProperty) = 0;
};

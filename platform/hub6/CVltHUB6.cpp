#include "CVltHUB6.h"

#include "Hub6Settings.h"
#include "SafeArray.h"
#include "TextConv.h"

#include <algorithm>
#include <charconv>
#include <cwchar>
#include <vector>

#include "Hub6Wire.h"
#include "NumberParse.h"
#include "XmlRoutines.h"

namespace {

std::wstring ServerText(const std::wstring& server, uint16_t port)
{
    return server + L":" + std::to_wstring(port);
}

std::wstring RateText(double rate)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%.3f", rate);
    return text;
}

std::string NumberText(double value)
{
    char number[64];
    auto r = std::to_chars(number, number + sizeof number, value);
    return std::string(number, r.ptr);
}

// The serials of a list reply; false when the reply does not add up.
bool ReadServedSerials(xmlDocPtr reply, std::vector<uint32_t>& serials)
{
    uint32_t count = 0;
    std::vector<xmlNodePtr> nodes;
    if (XPathGetUInt32(reply, "/VltServiceResponse/ReturnData/Count", count) != kXmlOk)
        return false;
    XPathFindNodes(reply, "/VltServiceResponse/ReturnData/Device", nodes);
    if (nodes.size() != count)
        return false;
    for (xmlNodePtr node : nodes) {
        uint32_t serial = 0;
        if (!XmlNodeGetUInt32(node, serial))
            return false;
        serials.push_back(serial);
    }
    return true;
}

HRESULT HandOut(const std::wstring& text, BSTR* out)
{
    *out = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HRESULT CVltHUB6::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, IVltHUB6>(this, riid, ppv) || vlt::QiEntry<IDispatch, IVltHUB6>(this, riid, ppv)
        || vlt::QiEntry<IVltHUB6>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT CVltHUB6::GetIDsOfNames(const wchar_t* const*, uint32_t count, DISPID* ids)
{
    for (uint32_t i = 0; ids && i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT CVltHUB6::Invoke(DISPID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, uint32_t*)
{
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT CVltHUB6::Fail(HRESULT hr, const std::wstring& text)
{
    m_lastError = text;
    return hr;
}

HRESULT CVltHUB6::Injected(const char* method)
{
    const HRESULT hr = CHub6UnitTable::Instance().TakeInjection(method);
    if (SUCCEEDED(hr))
        return S_OK;
    return Fail(hr, L"Simulated failure of " + vlt::Utf8ToWide(method));
}

HRESULT CVltHUB6::RequireOpen()
{
    return m_unit || m_link ? S_OK : Fail(E_UNEXPECTED, L"No HUB3300-6 device is open");
}

HRESULT CVltHUB6::CanOpen()
{
    return m_unit || m_link ? Fail(E_UNEXPECTED, L"A HUB3300-6 device is already open") : S_OK;
}

void CVltHUB6::Attach(Kind kind, uint32_t serial)
{
    m_unit = CHub6UnitTable::Instance().Open(kind, serial);
    m_kind = kind;
    m_serial = serial;
}

HRESULT CVltHUB6::RemoteCall(const char* method, const ServiceRequestParams* params)
{
    CAutoXmlDoc reply;
    std::wstring error;
    return m_link->Call(method, params, reply, error) ? S_OK : Fail(E_FAIL, error);
}

HRESULT CVltHUB6::RemoteClockRate(double& rate)
{
    std::string text;
    std::wstring error;
    if (!m_link->CallForItem(hub6wire::kGetClock, nullptr, hub6wire::kRate, text, error))
        return Fail(E_FAIL, error);
    if (!vlt::ParseNumberExact(text, rate) || !IsValidHub6ClockRate(rate))
        return Fail(E_FAIL, L"Invalid reply from HUB3300-6 server " + ServerText(m_server, m_port));
    return S_OK;
}

HRESULT CVltHUB6::StoreClockRate(double rate)
{
    if (!m_link) {
        m_unit->clockRate = rate;
        return S_OK;
    }
    ServiceRequestParams params;
    AddServiceRequestParam(params, hub6wire::kRate, NumberText(rate));
    return RemoteCall(hub6wire::kSetClock, &params);
}

HRESULT CVltHUB6::ReadClockRate(double& rate)
{
    if (m_link)
        return RemoteClockRate(rate);
    rate = m_unit->clockRate;
    return S_OK;
}

HRESULT CVltHUB6::OpenLocal(uint32_t index)
{
    if (HRESULT hr = CanOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("OpenLocal"); FAILED(hr))
        return hr;
    uint32_t serial = 0;
    if (!CHub6UnitTable::Instance().GetLocalSerial(index, serial))
        return Fail(E_INVALIDARG, L"Local HUB3300-6 device " + std::to_wstring(index) + L" not found");
    Attach(Kind::Local, serial);
    return S_OK;
}

HRESULT CVltHUB6::OpenVirtual(uint32_t serial, uint32_t flags)
{
    if (HRESULT hr = CanOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("OpenVirtual"); FAILED(hr))
        return hr;
    if (serial == 0)
        return Fail(E_INVALIDARG, L"Invalid HUB3300-6 serial number 0");
    if (flags != 1)
        return Fail(E_INVALIDARG, L"Invalid virtual HUB3300-6 flags " + std::to_wstring(flags));
    Attach(Kind::Virtual, serial);
    return S_OK;
}

HRESULT CVltHUB6::Close()
{
    m_unit.reset();
    m_link.reset();
    m_serial = 0;
    m_server.clear();
    m_port = 0;
    return S_OK;
}

HRESULT CVltHUB6::GetSerialNumber(uint32_t* serial)
{
    if (!serial)
        return E_POINTER;
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("GetSerialNumber"); FAILED(hr))
        return hr;
    *serial = m_serial;
    return S_OK;
}

HRESULT CVltHUB6::GetStringItem(uint32_t item, BSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    if (item != kHub6ItemDisplayName && item != kHub6ItemErrorName)
        return Fail(E_INVALIDARG, L"Unknown HUB3300-6 string item " + std::to_wstring(item));
    // An object without a unit has no name yet.
    return HandOut(m_unit || m_link ? L"HUB3300-6 #" + std::to_wstring(m_serial) : std::wstring(), text);
}

HRESULT CVltHUB6::GetSyncNowAvailable(VARIANT_BOOL* available)
{
    if (!available)
        return E_POINTER;
    *available = m_unit || m_link ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CVltHUB6::SetDeviceClockRate(double rate)
{
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("SetDeviceClockRate"); FAILED(hr))
        return hr;
    if (!IsValidHub6ClockRate(rate))
        return Fail(E_INVALIDARG, L"Clock rate " + RateText(rate) + L" MHz is out of range (" +
                                      RateText(kHub6MinClockRate) + L" to " + RateText(kHub6MaxClockRate) + L" MHz)");
    return StoreClockRate(rate);
}

HRESULT CVltHUB6::GetDeviceClockRate(double* rate)
{
    if (!rate)
        return E_POINTER;
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("GetDeviceClockRate"); FAILED(hr))
        return hr;
    return ReadClockRate(*rate);
}

HRESULT CVltHUB6::SynchronizeExternal()
{
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("SynchronizeExternal"); FAILED(hr))
        return hr;
    if (m_link)
        return RemoteCall(hub6wire::kSync);
    ++m_unit->syncs;
    return S_OK;
}

HRESULT CVltHUB6::GetTriggerNowAvailable(VARIANT_BOOL* available)
{
    if (!available)
        return E_POINTER;
    *available = m_unit || m_link ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CVltHUB6::SoftwareTrigger()
{
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("SoftwareTrigger"); FAILED(hr))
        return hr;
    if (m_link)
        return RemoteCall(hub6wire::kTrigger);
    ++m_unit->triggers;
    return S_OK;
}

HRESULT CVltHUB6::GetErrorText(uint32_t, BSTR* text)
{
    if (!text)
        return E_POINTER;
    return HandOut(m_lastError, text);
}

HRESULT CVltHUB6::ConnectRemote(Kind kind, uint32_t serial, uint16_t port, BSTR server)
{
    if (HRESULT hr = CanOpen(); FAILED(hr))
        return hr;
    const std::wstring name(vlt::BstrView(server));
    if (name.empty())
        return Fail(E_INVALIDARG, L"No HUB3300-6 server given");
    if (serial == 0)
        return Fail(E_INVALIDARG, L"Invalid HUB3300-6 serial number 0");
    auto link = std::make_unique<CHub6RemoteLink>();
    std::wstring error;
    if (!link->Open(name, port, error))
        return Fail(E_FAIL, error);
    ServiceRequestParams params;
    AddServiceRequestParam(params, hub6wire::kSerial, std::to_string(serial));
    AddServiceRequestParam(params, hub6wire::kVirtual, kind == Kind::RemoteVirtual ? "1" : "0");
    CAutoXmlDoc reply;
    if (!link->Call(hub6wire::kOpen, &params, reply, error))
        return Fail(E_FAIL, error);
    m_link = std::move(link);
    m_kind = kind;
    m_serial = serial;
    m_server = name;
    m_port = port;
    return S_OK;
}

HRESULT CVltHUB6::ConnectRemoteDevice(uint32_t serial, uint32_t, uint16_t port, BSTR server, uint32_t, uint32_t)
{
    if (HRESULT hr = Injected("ConnectRemoteDevice"); FAILED(hr))
        return hr;
    return ConnectRemote(Kind::Remote, serial, port, server);
}

HRESULT CVltHUB6::ConnectRemoteVirtualDevice(uint32_t serial, uint32_t flags, uint32_t, uint16_t port, BSTR server,
                                             uint32_t, uint32_t)
{
    if (HRESULT hr = Injected("ConnectRemoteVirtualDevice"); FAILED(hr))
        return hr;
    if (flags != 1)
        return Fail(E_INVALIDARG, L"Invalid virtual HUB3300-6 flags " + std::to_wstring(flags));
    return ConnectRemote(Kind::RemoteVirtual, serial, port, server);
}

HRESULT CVltHUB6::Answer(bool yes)
{
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    return yes ? S_OK : S_FALSE;
}

HRESULT CVltHUB6::IsLocal()
{
    return Answer(m_kind == Kind::Local || m_kind == Kind::Virtual);
}

HRESULT CVltHUB6::IsVirtual()
{
    return Answer(m_kind == Kind::Virtual || m_kind == Kind::RemoteVirtual);
}

HRESULT CVltHUB6::IsRemote()
{
    return Answer(m_kind == Kind::Remote || m_kind == Kind::RemoteVirtual);
}

HRESULT CVltHUB6::ListServerDevices(BSTR server, uint16_t port, uint32_t* count, VARIANT* serials)
{
    if (!count || !serials)
        return E_POINTER;
    *count = 0;
    VariantInit(serials);
    if (HRESULT hr = Injected("ListServerDevices"); FAILED(hr))
        return hr;
    const std::wstring name(vlt::BstrView(server));
    CHub6RemoteLink link;
    CAutoXmlDoc reply;
    std::wstring error;
    if (!link.Open(name, port, error) || !link.Call(hub6wire::kList, nullptr, reply, error))
        return Fail(E_FAIL, error);
    std::vector<uint32_t> list;
    if (!ReadServedSerials(reply, list))
        return Fail(E_FAIL, L"Invalid reply from HUB3300-6 server " + ServerText(name, port));
    if (list.empty())
        return S_OK;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI4, 0, static_cast<uint32_t>(list.size()));
    void* data = nullptr;
    if (!array || FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        return Fail(E_OUTOFMEMORY, L"Out of memory");
    }
    std::copy(list.begin(), list.end(), static_cast<uint32_t*>(data));
    SafeArrayUnaccessData(array);
    serials->vt = VT_ARRAY | VT_UI4;
    serials->parray = array;
    *count = static_cast<uint32_t>(list.size());
    return S_OK;
}

HRESULT CVltHUB6::SaveSettingsToString(BSTR* xml)
{
    if (!xml)
        return E_POINTER;
    *xml = nullptr;
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("SaveSettingsToString"); FAILED(hr))
        return hr;
    double rate = 0.0;
    if (HRESULT hr = ReadClockRate(rate); FAILED(hr))
        return hr;
    return HandOut(vlt::Utf8ToWide(WriteHub6Settings({rate})), xml);
}

HRESULT CVltHUB6::LoadSettingsFromString(BSTR xml)
{
    if (HRESULT hr = RequireOpen(); FAILED(hr))
        return hr;
    if (HRESULT hr = Injected("LoadSettingsFromString"); FAILED(hr))
        return hr;
    Hub6Settings settings;
    if (!ReadHub6Settings(vlt::WideToUtf8(vlt::BstrView(xml)), settings))
        return Fail(E_INVALIDARG, L"Invalid HUB3300-6 settings");
    return StoreClockRate(settings.clockRate);
}

#include "CSvcHub6Inst.h"

#include <charconv>
#include <map>
#include <vector>

#include "CHub6UnitTable.h"
#include "Hub6Settings.h"
#include "Hub6Wire.h"
#include "NumberParse.h"
#include "ServiceCallDispatch.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "XmlRoutines.h"

namespace {

const ServiceMethodTable<CSvcHub6Inst>& MethodTable()
{
    static const ServiceMethodTable<CSvcHub6Inst> table = {
        {hub6wire::kList, &CSvcHub6Inst::OnList},         {hub6wire::kOpen, &CSvcHub6Inst::OnOpen},
        {hub6wire::kGetClock, &CSvcHub6Inst::OnGetClock}, {hub6wire::kSetClock, &CSvcHub6Inst::OnSetClock},
        {hub6wire::kSync, &CSvcHub6Inst::OnSync},         {hub6wire::kTrigger, &CSvcHub6Inst::OnTrigger},
    };
    return table;
}

int32_t Sent(int32_t rc)
{
    return rc == 0 ? 1 : kSvcSocketError;
}

int32_t ReplySuccess(int socket)
{
    return Sent(SendFramedMessage(socket, kReplySuccess, sizeof kReplySuccess - 1));
}

int32_t ReplyError(int socket, const std::string& text)
{
    return Sent(SendResponse(socket, false, text.c_str()));
}

int32_t ReplyData(int socket, const std::string& items)
{
    return Sent(SendFramedMessage(socket, "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse>"
                                          "<ReturnData>" + items + "</ReturnData></VltServiceResponse>"));
}

bool GetUIntParameter(xmlDocPtr request, const char* name, uint32_t& value)
{
    std::string text;
    return GetCallParameter(request, name, text) == 0 && vlt::ParseNumberExact(text, value);
}

std::string RateText(double rate)
{
    char number[64];
    auto r = std::to_chars(number, number + sizeof number, rate);
    return std::string(number, r.ptr);
}

} // namespace

void CSvcHub6Inst::Release()
{
    delete this;
}

int32_t CSvcHub6Inst::HandleRequest(int socket, xmlDocPtr request, int32_t flags)
{
    return DispatchServiceCall(*this, MethodTable(), socket, request, flags);
}

int32_t CSvcHub6Inst::SendErrorReply(int socket, int32_t code)
{
    std::string text;
    GetServiceErrorText(code, text);
    ReplyError(socket, text);
    return 1;
}

int32_t CSvcHub6Inst::SendInjected(int socket, const char* method)
{
    const HRESULT hr = CHub6UnitTable::Instance().TakeInjection(method);
    if (SUCCEEDED(hr))
        return 0;
    return ReplyError(socket, std::string("Simulated failure of ") + method);
}

int32_t CSvcHub6Inst::RequireUnit(int socket)
{
    return m_unit ? 0 : ReplyError(socket, "No HUB3300-6 device is open");
}

int32_t CSvcHub6Inst::OnList(int socket, xmlDocPtr)
{
    if (int32_t rc = SendInjected(socket, "ListServerDevices"))
        return rc;
    std::vector<uint32_t> serials;
    uint32_t serial = 0;
    for (uint32_t index = 1; CHub6UnitTable::Instance().GetLocalSerial(index, serial); ++index)
        serials.push_back(serial);
    std::string items;
    XmlAppendElement(items, hub6wire::kCount, std::to_string(serials.size()));
    for (uint32_t s : serials)
        XmlAppendElement(items, hub6wire::kDevice, std::to_string(s));
    return ReplyData(socket, items);
}

int32_t CSvcHub6Inst::OnOpen(int socket, xmlDocPtr request)
{
    uint32_t serial = 0;
    uint32_t isVirtual = 0;
    if (!GetUIntParameter(request, hub6wire::kSerial, serial) || serial == 0
        || !GetUIntParameter(request, hub6wire::kVirtual, isVirtual) || isVirtual > 1)
        return kSvcMalformedRequest;
    if (m_unit)
        return ReplyError(socket, "A HUB3300-6 device is already open");
    if (int32_t rc = SendInjected(socket, isVirtual ? "ConnectRemoteVirtualDevice" : "ConnectRemoteDevice"))
        return rc;
    CHub6UnitTable& table = CHub6UnitTable::Instance();
    if (!isVirtual) {
        uint32_t local = 0;
        bool served = false;
        for (uint32_t index = 1; !served && table.GetLocalSerial(index, local); ++index)
            served = local == serial;
        if (!served)
            return ReplyError(socket, "HUB3300-6 device " + std::to_string(serial) + " is not on this server");
    }
    using Kind = CHub6UnitTable::Kind;
    m_unit = table.Open(isVirtual ? Kind::Virtual : Kind::Local, serial);
    return ReplySuccess(socket);
}

int32_t CSvcHub6Inst::OnGetClock(int socket, xmlDocPtr)
{
    if (int32_t rc = RequireUnit(socket); rc || (rc = SendInjected(socket, "GetDeviceClockRate")))
        return rc;
    std::string items;
    XmlAppendElement(items, hub6wire::kRate, RateText(m_unit->clockRate));
    return ReplyData(socket, items);
}

int32_t CSvcHub6Inst::OnSetClock(int socket, xmlDocPtr request)
{
    std::string text;
    double rate = 0.0;
    if (GetCallParameter(request, hub6wire::kRate, text) != 0 || !vlt::ParseNumberExact(text, rate))
        return kSvcMalformedRequest;
    if (int32_t rc = RequireUnit(socket); rc || (rc = SendInjected(socket, "SetDeviceClockRate")))
        return rc;
    if (!IsValidHub6ClockRate(rate))
        return ReplyError(socket, "Clock rate " + text + " MHz is out of range");
    m_unit->clockRate = rate;
    return ReplySuccess(socket);
}

int32_t CSvcHub6Inst::OnSync(int socket, xmlDocPtr)
{
    if (int32_t rc = RequireUnit(socket); rc || (rc = SendInjected(socket, "SynchronizeExternal")))
        return rc;
    ++m_unit->syncs;
    return ReplySuccess(socket);
}

int32_t CSvcHub6Inst::OnTrigger(int socket, xmlDocPtr)
{
    if (int32_t rc = RequireUnit(socket); rc || (rc = SendInjected(socket, "SoftwareTrigger")))
        return rc;
    ++m_unit->triggers;
    return ReplySuccess(socket);
}

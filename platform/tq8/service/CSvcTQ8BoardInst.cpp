#include "CSvcTQ8BoardInst.h"

#include <array>
#include <string>

#include "BoardWire.h"
#include "NumberParse.h"
#include "ServiceCallDispatch.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "XmlRoutines.h"

namespace {

using Handler = int32_t (CSvcTQ8BoardInst::*)(int, xmlDocPtr);

// In the order of the wire table, which the table below is built from.
constexpr std::array<Handler, static_cast<size_t>(tq8wire::Method::Count)> kHandlers = {
    &CSvcTQ8BoardInst::OnList,
    &CSvcTQ8BoardInst::OnOpen,
};

const ServiceMethodTable<CSvcTQ8BoardInst>& MethodTable()
{
    static const ServiceMethodTable<CSvcTQ8BoardInst> table = [] {
        ServiceMethodTable<CSvcTQ8BoardInst> t;
        for (const tq8wire::MethodRow& row : tq8wire::kMethods)
            t.emplace(row.name, kHandlers[static_cast<size_t>(row.method)]);
        return t;
    }();
    return table;
}

int32_t ReplyData(int socket, const std::string& items)
{
    const int32_t rc = SendFramedMessage(socket, "<VltServiceResponse><ReturnData>" + items
                                                     + "</ReturnData></VltServiceResponse>");
    return rc == 0 ? 1 : kSvcSocketError;
}

bool GetUIntParameter(xmlDocPtr request, const char* name, uint32_t& value)
{
    std::string text;
    return GetCallParameter(request, name, text) == 0 && vlt::ParseNumberExact(text, value);
}

} // namespace

CSvcTQ8BoardInst::~CSvcTQ8BoardInst()
{
    if (m_handle)
        DisconnectFromDeviceTQ8(m_handle);
}

void CSvcTQ8BoardInst::Release()
{
    delete this;
}

int32_t CSvcTQ8BoardInst::HandleRequest(int socket, xmlDocPtr request, int32_t flags)
{
    return DispatchServiceCall(*this, MethodTable(), socket, request, flags);
}

int32_t CSvcTQ8BoardInst::SendErrorReply(int socket, int32_t code)
{
    std::string text;
    GetServiceErrorText(code, text);
    SendResponse(socket, false, text.c_str());
    return 1;
}

int32_t CSvcTQ8BoardInst::OnList(int socket, xmlDocPtr)
{
    std::string devices;
    int32_t count = 0;
    const int32_t local = GetDeviceCountTQ8();
    for (int32_t ordinal = 1; ordinal <= local; ++ordinal) {
        TQ8_HANDLE h = nullptr;
        uint32_t serial = 0;
        if (ConnectToDeviceTQ8(&h, static_cast<uint32_t>(ordinal)) != TQ8_OK)
            continue;
        if (GetSerialNumberTQ8(h, &serial) == TQ8_OK) {
            XmlAppendElement(devices, tq8wire::kDevice, std::to_string(serial));
            ++count;
        }
        DisconnectFromDeviceTQ8(h);
    }
    std::string items;
    XmlAppendElement(items, tq8wire::kCount, std::to_string(count));
    return ReplyData(socket, items + devices);
}

int32_t CSvcTQ8BoardInst::OnOpen(int socket, xmlDocPtr request)
{
    uint32_t serial = 0;
    uint32_t isVirtual = 0;
    if (!GetUIntParameter(request, tq8wire::kSerial, serial) || !GetUIntParameter(request, tq8wire::kVirtual, isVirtual)
        || isVirtual > 1)
        return kSvcMalformedRequest;
    TQ8_HANDLE h = nullptr;
    int32_t rc = isVirtual ? ConnectToVirtualDeviceTQ8(&h, serial, 1) : ConnectToDeviceTQ8(&h, serial);
    uint32_t opened = 0;
    if (rc == TQ8_OK)
        rc = GetSerialNumberTQ8(h, &opened);
    if (rc == TQ8_OK) {
        // A connection serves one board: a second open replaces the first.
        if (m_handle)
            DisconnectFromDeviceTQ8(m_handle);
        m_handle = h;
    } else if (h) {
        DisconnectFromDeviceTQ8(h);
    }
    std::string items;
    XmlAppendElement(items, tq8wire::kResult, std::to_string(rc));
    XmlAppendElement(items, tq8wire::kSerial, std::to_string(opened));
    return ReplyData(socket, items);
}

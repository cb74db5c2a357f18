#include "CHub6RemoteLink.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

#include "Hub6Wire.h"
#include "ServiceClientSocket.h"
#include "ServiceErrors.h"
#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"
#include "SystemErrorText.h"
#include "TextConv.h"

namespace {

constexpr char kDisconnect[] = "<VltServiceRequest><Disconnect/></VltServiceRequest>";

ServiceHostOptions ReplyLimits()
{
    ServiceHostOptions limits;
    limits.maxMessageBytes = kHub6MaxReplyBytes;
    limits.idleTimeoutMs = kHub6ReplyTimeoutMs;
    limits.messageTimeoutMs = kHub6ReplyTimeoutMs;
    return limits;
}

} // namespace

CHub6RemoteLink::~CHub6RemoteLink()
{
    Close();
}

std::wstring CHub6RemoteLink::Where() const
{
    return m_server + L":" + std::to_wstring(m_port);
}

bool CHub6RemoteLink::Lost(std::wstring& error)
{
    if (m_socket >= 0)
        close(m_socket);
    m_socket = -1;
    error = L"Lost the connection to HUB3300-6 server " + Where();
    return false;
}

bool CHub6RemoteLink::Open(const std::wstring& server, uint16_t port, std::wstring& error)
{
    Close();
    m_server = server;
    m_port = port;
    const std::wstring where = L"Could not connect to HUB3300-6 server " + Where();
    ServiceConnectFailure failure = ServiceConnectFailure::None;
    m_socket = ConnectServiceSocket(vlt::WideToUtf8(server), port, kHub6ReplyTimeoutMs, &failure);
    if (m_socket < 0) {
        // The connect's own reason ("Connection refused") when it has one.
        const int connectError = errno;
        error = where;
        if (failure == ServiceConnectFailure::NoConnection && connectError != 0)
            error += L": " + vlt::Utf8ToWide(vlt::SystemErrorText(connectError));
        return false;
    }
    const std::string hello = std::string("<VltServiceRequest><Connect service=\"") + kHub6ServiceName
        + "\"><ClientApp>HUB6COM</ClientApp></Connect></VltServiceRequest>";
    CAutoXmlDoc reply;
    std::string refusal;
    if (!Exchange(hello, reply, error)) {
        error = where; // a host that has no such service closes without a word
        return false;
    }
    if (IsServiceErrorReply(reply, &refusal)) {
        Close();
        error = where + (refusal.empty() ? L"" : L": " + vlt::Utf8ToWide(refusal));
        return false;
    }
    return true;
}

void CHub6RemoteLink::Close()
{
    if (m_socket < 0)
        return;
    // The host ends the conversation on this without a reply.
    SendFramedMessage(m_socket, kDisconnect, sizeof kDisconnect - 1);
    close(m_socket);
    m_socket = -1;
}

bool CHub6RemoteLink::Exchange(const std::string& request, CAutoXmlDoc& reply, std::wstring& error)
{
    reply.Free();
    if (m_socket < 0)
        return Lost(error);
    if (SendFramedMessage(m_socket, request) != 0)
        return Lost(error);
    const ServiceHostOptions limits = ReplyLimits();
    std::vector<char> buffer(kReceiveBufferSize);
    xmlDocPtr doc = nullptr;
    uint32_t length = 0;
    const int32_t rc = ReceiveFramedMessage(m_socket, buffer.data(), &limits, doc, length);
    reply.Attach(doc);
    if (rc == 0)
        return true;
    reply.Free();
    if (rc == kSvcMalformedXml || rc == kSvcXmlError) {
        // A reply that cannot be read leaves the conversation out of step.
        Lost(error);
        error = L"Invalid reply from HUB3300-6 server " + Where();
        return false;
    }
    return Lost(error);
}

bool CHub6RemoteLink::Call(const char* method, const ServiceRequestParams* params, CAutoXmlDoc& reply,
                           std::wstring& error)
{
    std::string request;
    BuildServiceRequest(method, params, request);
    if (!Exchange(request, reply, error))
        return false;
    std::string text;
    if (!IsServiceErrorReply(reply, &text))
        return true;
    error = text.empty() ? L"HUB3300-6 server " + Where() + L" refused the request" : vlt::Utf8ToWide(text);
    return false;
}

bool CHub6RemoteLink::CallForItem(const char* method, const ServiceRequestParams* params, const char* item,
                                  std::string& value, std::wstring& error)
{
    CAutoXmlDoc reply;
    if (!Call(method, params, reply, error))
        return false;
    if (GetServiceReturnString(reply, item, value) == 0)
        return true;
    error = L"Invalid reply from HUB3300-6 server " + Where();
    return false;
}

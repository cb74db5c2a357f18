#include "CLoopbackServiceTransport.h"

#include <string>
#include <unistd.h>

#include <libxml/parser.h>

#include "BuiltInHost.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

CLoopbackServiceTransport::CLoopbackServiceTransport(uint16_t port) : m_socket(srvtest::ConnectClient(port))
{
}

CLoopbackServiceTransport::~CLoopbackServiceTransport()
{
    if (m_socket >= 0) {
        srvtest::WriteAll(m_socket, srvtest::Frame(srvtest::kDisconnect));
        close(m_socket);
    }
}

int32_t CLoopbackServiceTransport::Send(const char* text, uint32_t length, xmlDocPtr* reply, uint32_t timeoutMs)
{
    if (m_socket < 0 || !text || !reply)
        return kSvcInvalidArgument;
    SetSocketTimeouts(m_socket, static_cast<int32_t>(timeoutMs), static_cast<int32_t>(timeoutMs));
    std::string answer;
    if (SendFramedMessage(m_socket, text, length) != 0 || !srvtest::ReadFrame(m_socket, answer))
        return kSvcSocketError;
    *reply = xmlReadMemory(answer.data(), static_cast<int>(answer.size()), nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    return *reply ? 0 : kSvcMalformedXml;
}

ServiceRequestSender CLoopbackServiceTransport::Sender()
{
    return [this](const char* text, uint32_t length, xmlDocPtr* reply, uint32_t timeoutMs) {
        return Send(text, length, reply, timeoutMs);
    };
}

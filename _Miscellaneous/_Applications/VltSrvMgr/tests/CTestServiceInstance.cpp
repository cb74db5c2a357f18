#include "CTestServiceInstance.h"

#include "ServiceProtocol.h"
#include "XmlRoutines.h"

std::atomic<int> CTestServiceInstance::s_alive{0};

CTestServiceInstance::CTestServiceInstance(std::string name) : m_name(std::move(name))
{
    ++s_alive;
}

CTestServiceInstance::~CTestServiceInstance()
{
    --s_alive;
}

void CTestServiceInstance::Release()
{
    delete this;
}

int32_t CTestServiceInstance::HandleRequest(int socket, xmlDocPtr request, int32_t)
{
    std::string method;
    if (!XmlNodeGetAttribute(XPathFindNode(request, "/VltServiceRequest/Call"), "method", method))
        return 0;
    if (method == "Fail")
        return -7;
    if (method == "Echo") {
        std::string text;
        if (GetCallParameter(request, "Text", text) != 0)
            return -534;
        XmlEscape(text);
        std::string name = m_name;
        XmlEscape(name);
        const std::string reply = "<VltServiceResponse><ReturnData><Text>" + text + "</Text><Service>" + name
            + "</Service></ReturnData></VltServiceResponse>";
        return SendFramedMessage(socket, reply) == 0 ? 1 : -525;
    }
    if (method.rfind("Only:", 0) == 0) {
        if (method.substr(5) != m_name)
            return 0;
        std::string name = m_name;
        XmlEscape(name);
        const std::string reply = "<VltServiceResponse><ReturnData><Text></Text><Service>" + name
            + "</Service></ReturnData></VltServiceResponse>";
        return SendFramedMessage(socket, reply) == 0 ? 1 : -525;
    }
    if (method == "Big") {
        int32_t size = 0;
        if (GetCallParameterInt(request, "Size", size) != 0 || size < 0 || size > 4 * 1024 * 1024)
            return -534;
        return SendFramedMessage(socket, std::string(static_cast<size_t>(size), 'x')) == 0 ? 1 : -525;
    }
    return 0;
}

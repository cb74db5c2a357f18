#include "ServiceRequestRoutines.h"

#include "NumberParse.h"
#include "XmlRoutines.h"

namespace {

constexpr char kReturnRoot[] = "/VltServiceResponse/ReturnData/";

std::string ReturnPath(const char* item)
{
    return std::string(kReturnRoot) + (item ? item : "");
}

} // namespace

void AddServiceRequestParam(ServiceRequestParams& params, const std::string& name, std::string value)
{
    XmlEscape(value);
    params.emplace_back(name, std::move(value));
}

int32_t BuildServiceRequest(const char* method, const ServiceRequestParams* params, std::string& text)
{
    text.clear();
    text.reserve(128);
    text += "<VltServiceRequest><Call method=\"";
    text += method ? method : "ping";
    text += "\">";
    if (params) {
        text += "<Parameters>";
        for (const auto& [name, value] : *params)
            text += "<" + name + ">" + value + "</" + name + ">";
        text += "</Parameters>";
    }
    text += "</Call></VltServiceRequest>";
    return 0;
}

std::string UIntToString(uint32_t value)
{
    return std::to_string(value);
}

int32_t GetServiceReturnInt(xmlDocPtr reply, const char* item, int32_t& value)
{
    if (!reply)
        return kXmlMissingArgument;
    std::string text;
    if (XPathGetString(reply, ReturnPath(item).c_str(), text) != kXmlOk)
        return kServiceResultMissing;
    return vlt::ParseNumberExact(text, value) ? 0 : kServiceResultMissing;
}

int32_t GetServiceReturnString(xmlDocPtr reply, const char* item, std::string& value)
{
    if (!reply)
        return kXmlMissingArgument;
    std::string text;
    if (!XmlNodeGetText(XPathFindNode(reply, ReturnPath(item).c_str()), text) || text.empty())
        return kServiceResultMissing;
    value = text;
    return 0;
}

bool IsServiceErrorReply(xmlDocPtr reply, std::string* errorText)
{
    std::string flag;
    xmlNodePtr root = reply ? xmlDocGetRootElement(reply) : nullptr;
    const bool failed = (XmlGetAttrString(root, "error", flag) && flag == "true")
        || (XmlGetAttrString(root, "handled", flag) && flag == "false");
    if (failed && errorText && XPathGetString(reply, "/VltServiceResponse/ErrorText", *errorText) != kXmlOk)
        errorText->clear();
    return failed;
}

bool ParseULongStrict(const std::string& text, uint32_t& value)
{
    return vlt::ParseNumberExact(text, value);
}

bool ParseUInt64Strict(const std::string& text, uint64_t& value)
{
    return vlt::ParseNumberExact(text, value);
}

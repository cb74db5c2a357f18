#include "Hub6Settings.h"

#include "NumberParse.h"
#include "VltHUB6.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

namespace {
constexpr char kRoot[] = "HUB6Settings";
constexpr char kClockAttr[] = "ClockRateMHz";

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XmlFree {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
} // namespace

bool IsValidHub6ClockRate(double rate)
{
    return std::isfinite(rate) && rate >= kHub6MinClockRate && rate <= kHub6MaxClockRate;
}

std::string WriteHub6Settings(const Hub6Settings& settings)
{
    char number[64];
    auto r = std::to_chars(number, number + sizeof number, settings.clockRate);
    return std::string("<") + kRoot + " " + kClockAttr + "=\"" + std::string(number, r.ptr) + "\"/>";
}

bool ReadHub6Settings(std::string_view xml, Hub6Settings& settings)
{
    if (xml.empty() || xml.size() > 1u << 20)
        return false;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8",
                                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc)
        return false;
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || std::strcmp(reinterpret_cast<const char*>(root->name), kRoot) != 0)
        return false;
    std::unique_ptr<xmlChar, XmlFree> value(xmlGetProp(root, reinterpret_cast<const xmlChar*>(kClockAttr)));
    double rate = 0.0;
    if (!value || !vlt::ParseNumberExact(reinterpret_cast<const char*>(value.get()), rate)
        || !IsValidHub6ClockRate(rate))
        return false;
    settings.clockRate = rate;
    return true;
}

#include "CCustomLogicProviderTQ8.h"

#include <libxml/parser.h>
#include <strings.h>

#include "CAutoXmlDoc.h"
#include "XmlRoutines.h"

const char* const CCustomLogicProviderTQ8::kFileName = "VltFpgaProc.tq3300.xml";

namespace {

constexpr int kFileUnreadable = -529;
constexpr int kWrongRoot = -530;

} // namespace

void CCustomLogicProviderTQ8::Clear()
{
    *this = CCustomLogicProviderTQ8();
}

int CCustomLogicProviderTQ8::Load(const std::string& path)
{
    Clear();
    CAutoXmlDoc doc(XmlReadFile(path, nullptr, XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NONET));
    if (doc.IsEmpty())
        return kFileUnreadable;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (!root || strcasecmp(reinterpret_cast<const char*>(root->name), "VltFpgaDev_TQ3300") != 0)
        return kWrongRoot;
    if (XPathGetString(doc, "GUID", m_guid, root) != kXmlOk)
        return kXmlItemMissing;
    std::string text;
    if (XPathGetString(doc, "CustomFwEnum", text, root) != kXmlOk || !ParseUInt16(text.c_str(), m_customFwEnum))
        return kXmlItemMissing;
    XPathGetString(doc, "ClientName", m_clientName, root);
    XPathGetString(doc, "ShortName", m_shortName, root);
    XPathGetString(doc, "GroupName", m_groupName, root);
    return 0;
}

std::string CCustomLogicProviderTQ8::DisplayName() const
{
    if (!m_clientName.empty())
        return m_clientName;
    if (!m_shortName.empty())
        return m_shortName;
    return "<Unspecified>";
}

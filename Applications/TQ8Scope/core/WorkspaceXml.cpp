#include "WorkspaceXml.h"

#include <libxml/parser.h>

#include "CAutoXmlDoc.h"
#include "XmlRoutines.h"

namespace wsxml {

void AppendAttribute(std::string& out, const char* name, const std::string& value, bool trailingSpace)
{
    std::string escaped = value;
    XmlEscape(escaped);
    out += name;
    out += "=\"";
    out += escaped;
    out += '"';
    if (trailingSpace)
        out += ' ';
}

void AppendAttribute(std::string& out, const char* name, uint32_t value, bool trailingSpace)
{
    AppendAttribute(out, name, std::to_string(value), trailingSpace);
}

namespace {

void SkipBlanks(const std::string& text, size_t& pos)
{
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r' || text[pos] == '\n'))
        ++pos;
}

} // namespace

bool PrepareSettingsElement(std::string& text)
{
    size_t start = 0;
    // A byte-order mark and a declaration would stand inside the workspace's
    // own text, where the file could no longer be read.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    SkipBlanks(text, start);
    if (text.compare(start, 5, "<?xml") == 0) {
        const size_t end = text.find("?>", start);
        if (end == std::string::npos)
            return false;
        start = end + 2;
        SkipBlanks(text, start);
    }
    std::string element = text.substr(start);
    // Parsed as a document, the text must hold one element and nothing else
    // (no document type, comment or processing instruction around it).
    CAutoXmlDoc doc(xmlReadMemory(element.data(), static_cast<int>(element.size()), nullptr, "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (doc.IsEmpty() || doc.Get()->intSubset || !doc.Get()->children || doc.Get()->children->next
        || doc.Get()->children->type != XML_ELEMENT_NODE)
        return false;
    text = std::move(element);
    return true;
}

bool SameNameIgnoringCase(const xmlChar* name, const char* wanted)
{
    return name && xmlStrcasecmp(name, reinterpret_cast<const xmlChar*>(wanted)) == 0;
}

static bool Matches(xmlNodePtr node, const char* name, bool ignoreCase)
{
    if (node->type != XML_ELEMENT_NODE)
        return false;
    if (ignoreCase)
        return SameNameIgnoringCase(node->name, name);
    return xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name));
}

std::vector<xmlNodePtr> ChildElements(xmlNodePtr parent, const char* name, bool ignoreCase)
{
    std::vector<xmlNodePtr> list;
    for (xmlNodePtr child = parent ? parent->children : nullptr; child; child = child->next)
        if (Matches(child, name, ignoreCase))
            list.push_back(child);
    return list;
}

xmlNodePtr ChildElement(xmlNodePtr parent, const char* name, bool ignoreCase)
{
    for (xmlNodePtr child = parent ? parent->children : nullptr; child; child = child->next)
        if (Matches(child, name, ignoreCase))
            return child;
    return nullptr;
}

xmlNodePtr FirstElementChild(xmlNodePtr parent)
{
    for (xmlNodePtr child = parent ? parent->children : nullptr; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            return child;
    return nullptr;
}

bool DumpElement(xmlDocPtr doc, xmlNodePtr element, std::string& text)
{
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer)
        return false;
    const int written = xmlNodeDump(buffer, doc, element, 0, 0);
    const bool ok = written >= 0;
    if (ok)
        text.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)), static_cast<size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return ok;
}

} // namespace wsxml
